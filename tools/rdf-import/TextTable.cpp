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
    std::size_t& column = widths[next];
    column = std::max(column, width);
    next = next + 1 == columns.size() ? 0 : next + 1;
    text += cell;
    cells.push_back({text.size(), width});
}

void TextTable::AppendTo(std::string& out, std::string_view indent) const {
    const std::size_t count = columns.size();
    const std::size_t rows = cells.size() / count;
    // Every line at its full width, but for a last column left unpadded: trimming only shortens.
    const bool lastUnpadded = columns.back().align == Left;
    std::size_t line = indent.size() + 2 * (count - 1) + 1;
    for (std::size_t k = 0; k + (lastUnpadded ? 1 : 0) < count; ++k)
        line += widths[k];
    std::size_t size = rows * line;
    for (std::size_t i = 0, begin = 0; i < rows * count; begin = cells[i++].end) {
        const std::size_t bytes = cells[i].end - begin;
        const bool padded = !lastUnpadded || i % count + 1 < count;
        size += padded ? bytes - cells[i].width : bytes;
    }
    const std::size_t start = out.size();
    out.resize(start + size);

    char* p = out.data() + start;
    std::size_t begin = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        char* const lineStart = p;
        p = std::copy(indent.begin(), indent.end(), p);
        for (std::size_t k = 0; k < count; ++k) {
            const Span& cell = cells[row * count + k];
            const std::size_t padding = widths[k] - cell.width;
            if (k > 0)
                p = std::fill_n(p, 2, ' ');
            if (columns[k].align == Right)
                p = std::fill_n(p, padding, ' ');
            p = std::copy(text.data() + begin, text.data() + cell.end, p);
            if (columns[k].align == Left && k + 1 < count)
                p = std::fill_n(p, padding, ' ');
            begin = cell.end;
        }
        while (p > lineStart && p[-1] == ' ')
            --p;
        *p++ = '\n';
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void TextTable::Clear() {
    widths.assign(columns.size(), 0);
    next = 0;
    text.clear();
    cells.clear();
    for (const Column& column : columns)
        Cell(column.title);
}

} // namespace rdf
