#include "output/TextTable.h"

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
    cells.push_back({static_cast<std::uint32_t>(cell.size()), static_cast<std::uint32_t>(width)});
    if (streamTo != nullptr && next == 0) {
        Write(*streamTo, streamIndent);
        text.clear();
        cells.clear();
    }
}

void TextTable::Measure(std::string_view cell) {
    std::size_t& column = widths[next];
    column = std::max(column, Characters(cell));
    next = next + 1 == columns.size() ? 0 : next + 1;
}

void TextTable::Stream(host::BufferedOutput& out, std::string_view indent) {
    Write(out, indent);
    text.clear();
    cells.clear();
    next = 0;
    streamTo = &out;
    streamIndent = indent;
}

void TextTable::Write(host::BufferedOutput& out, std::string_view indent) const {
    const std::size_t count = columns.size();
    // A line at its full width, but for a last column left unpadded, with its cells' bytes
    // beyond: trimming only shortens it.
    const bool lastUnpadded = columns.back().align == Left;
    std::size_t padded = indent.size() + 2 * (count - 1) + 1;
    for (std::size_t k = 0; k + (lastUnpadded ? 1 : 0) < count; ++k)
        padded += widths[k];
    const char* cell = text.data();
    for (std::size_t first = 0; first + count <= cells.size(); first += count) {
        std::size_t bytes = 0;
        for (std::size_t k = 0; k < count; ++k)
            bytes += cells[first + k].bytes;
        line.resize(std::max(line.size(), padded + bytes));

        char* const start = line.data();
        char* p = std::copy(indent.begin(), indent.end(), start);
        for (std::size_t k = 0; k < count; ++k) {
            const Span& span = cells[first + k];
            const std::size_t padding = widths[k] - span.width;
            if (k > 0)
                p = std::fill_n(p, 2, ' ');
            if (columns[k].align == Right)
                p = std::fill_n(p, padding, ' ');
            p = std::copy(cell, cell + span.bytes, p);
            if (columns[k].align == Left && k + 1 < count)
                p = std::fill_n(p, padding, ' ');
            cell += span.bytes;
        }
        while (p > start && p[-1] == ' ')
            --p;
        *p++ = '\n';
        out.Write({start, static_cast<std::size_t>(p - start)});
    }
}

void TextTable::Clear() {
    streamTo = nullptr;
    widths.assign(columns.size(), 0);
    next = 0;
    text.clear();
    cells.clear();
    for (const Column& column : columns)
        Cell(column.title);
}

} // namespace rdf
