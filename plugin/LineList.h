// A file's lines as wide text, held end to end in one buffer with a zero after each: one
// allocation for the whole file instead of one a line, read in order by both passes, and lines
// the parser can split in place.
#pragma once

#include "platform/AnsiText.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

class LineList {
public:
    // Room for `characters` in all, zeros included, so that appending never moves the text.
    void Reserve(std::size_t characters);
    // The same as a hint: when that much memory is not to be had, the list grows as it fills,
    // so a huge file that ends early (byte 26) is still read.
    void ReserveIfPossible(std::size_t characters);

    // Converts one line's bytes and appends it.
    void Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    // Converts and appends the lines at the start of `bytes` whose line feeds are among them;
    // returns how many bytes they took, or 0 (nothing appended) when the first line goes on
    // past them.
    std::size_t AppendLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    std::size_t Count() const { return starts.size(); }

    // Line `index`: its first character and its length; the zero after it may not be changed.
    wchar_t* Text(std::size_t index) { return text.get() + starts[index]; }
    std::size_t Length(std::size_t index) const {
        const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : used;
        return end - starts[index] - 1;
    }
    std::wstring_view Line(std::size_t index) const { return {text.get() + starts[index], Length(index)}; }

private:
    void MakeRoom(std::size_t characters);
    void MoveTo(std::unique_ptr<wchar_t[]> larger, std::size_t characters);

    // Left uninitialised: every character is written by the decoder before it is read.
    std::unique_ptr<wchar_t[]> text;
    std::size_t used = 0;
    std::size_t capacity = 0;
    std::vector<std::size_t> starts;
};
