#include "tools/rdf-import/TextTable.h"

#include <algorithm>

namespace rdf {
namespace {

std::size_t Characters(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

TextTable::TextTable(std::initializer_list<Column> titled) : columns(titled) {
    Clear();
}

void TextTable::Cell(std::string_view cell) {
    const std::size_t width = Characters(cell);
    std::size_t& column = widths[cells.size() % columns.size()];
    column = std::max(column, width);
    text += cell;
    cells.push_back({text.size(), width});
}

void TextTable::AppendTo(std::string& out, std::string_view indent) const {
    const std::size_t count = columns.size();
    const std::size_t complete = cells.size() - cells.size() % count;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < complete; i += count) {
        const std::size_t lineStart = out.size();
        out += indent;
        for (std::size_t k = 0; k < count; ++k) {
            const Span& cell = cells[i + k];
            const std::size_t padding = widths[k] - cell.width;
            if (k > 0)
                out.append(2, ' ');
            if (columns[k].align == Right)
                out.append(padding, ' ');
            out.append(text, begin, cell.end - begin);
            if (columns[k].align == Left)
                out.append(padding, ' ');
            begin = cell.end;
        }
        const std::size_t last = out.find_last_not_of(' ');
        out.resize(last == std::string::npos || last < lineStart ? lineStart : last + 1);
        out += '\n';
    }
}

void TextTable::Clear() {
    widths.assign(columns.size(), 0);
    text.clear();
    cells.clear();
    for (const Column& column : columns)
        Cell(column.title);
}

} // namespace rdf
