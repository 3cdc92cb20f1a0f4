// Columns padded to their widest cell for the text listings: names left, numbers right. A
// listing has a row for every observation, so the cells are kept in one buffer with their
// lengths and widths beside them rather than as a string each, and written a line at a time.
#pragma once

#include "host/BufferedOutput.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rdf {

class TextTable {
public:
    enum Align : bool { Left, Right };
    struct Column {
        const char* title;
        Align align;
    };

    explicit TextTable(std::initializer_list<Column> columns);

    // Whether no row has been added below the titles.
    bool Empty() const { return cells.size() == columns.size(); }
    // The next cell of the row being filled; rows are written once complete.
    void Cell(std::string_view text);
    // The titles and every complete row, each line indented and without trailing spaces.
    void Write(host::BufferedOutput& out, std::string_view indent) const;
    // Back to the titles alone.
    void Clear();

    // Writes a table too long to hold: `rows(cell)` gives every cell to `cell` and is called
    // twice, first to measure the columns, then to write each row as it completes.
    template <class Rows> void WriteRows(host::BufferedOutput& out, std::string_view indent, Rows rows) {
        rows([this](std::string_view text) { Measure(text); });
        Stream(out, indent);
        rows([this](std::string_view text) { Cell(text); });
    }

private:
    void Measure(std::string_view text);
    // Writes the titles; from then on Cell writes each row as it completes.
    void Stream(host::BufferedOutput& out, std::string_view indent);

    struct Span {
        std::uint32_t bytes; // one field of one line
        std::uint32_t width; // characters, not bytes: names may be Cyrillic
    };

    std::vector<Column> columns;
    std::vector<std::size_t> widths;
    std::size_t next = 0; // the column of the next cell
    std::string text;
    std::vector<Span> cells;
    host::BufferedOutput* streamTo = nullptr;
    std::string streamIndent;
    // Where each line is laid out, kept from row to row: a streamed table writes one row a call.
    mutable std::string line;
};

} // namespace rdf
