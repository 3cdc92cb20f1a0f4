// A file's lines, held end to end with a zero after each: one allocation for the whole file
// instead of one a line, read in order by both passes. A plain ASCII line is kept as its bytes,
// a quarter of its wide text, and widened when a pass reads it; any other line is converted as
// the file is read, so that every conversion, and the character set it depends on, comes
// before the first pass.
#pragma once

#include "platform/AnsiText.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

class LineList {
public:
    // Room for `bytes` of the file in all, line feeds counted, so that appending never moves
    // the text.
    void Reserve(std::size_t bytes, const platform::AnsiLineDecoder& decoder);
    // The same as a hint: when that much memory is not to be had, the list grows as it fills,
    // so a huge file that ends early (byte 26) is still read.
    void ReserveIfPossible(std::size_t bytes, const platform::AnsiLineDecoder& decoder);

    // Appends one line's bytes, converted unless kept.
    void Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    // Appends the lines at the start of `bytes` whose line feeds are among them; returns how
    // many bytes they took, or 0 (nothing appended) when the first line goes on past them.
    std::size_t AppendLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    std::size_t Count() const { return starts.size(); }

private:
    friend class LineReader;

    // Lines of one kind of character end to end, each followed by a zero.
    template <class Char> struct Store {
        void Reserve(std::size_t characters);
        void ReserveIfPossible(std::size_t characters);
        void MakeRoom(std::size_t room);
        void MoveTo(std::unique_ptr<Char[]> larger, std::size_t characters);
        Char* End() { return text.get() + used; }

        // Left uninitialised: every character is written before it is read.
        std::unique_ptr<Char[]> text;
        std::size_t used = 0;
        std::size_t capacity = 0;
    };

    // A line's place among the kept bytes, twice over, plus one for a converted line.
    static constexpr std::size_t kConverted = 1;

    std::size_t AppendKeptLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder);
    std::size_t AppendFedLine(std::string_view bytes, const platform::AnsiLineDecoder& decoder);
    void Keep(std::string_view bytes);
    void Convert(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    Store<char> kept;
    Store<wchar_t> converted;
    std::vector<std::size_t> starts;
    std::vector<std::size_t> convertedStarts;
};

// Reads a list's lines in order, each as wide text followed by a zero; the reader of a line may
// change it until the next. A kept line is widened into a buffer that every line reuses, a
// converted one read where the list holds it.
class LineReader {
public:
    explicit LineReader(LineList& lines) : lines(lines) {}

    // Moves to the next line, the first at the start; returns its length.
    std::size_t Next();
    // The line's first character, zero for an empty line, without widening it.
    wchar_t First() const {
        return bytes != nullptr ? static_cast<wchar_t>(static_cast<unsigned char>(*bytes)) : *text;
    }
    // The line's text, widened afresh from its bytes if it was kept.
    wchar_t* Text();

private:
    void GrowBuffer(std::size_t characters);

    LineList& lines;
    std::size_t next = 0;
    std::size_t nextConverted = 0;
    std::size_t length = 0;
    const char* bytes = nullptr; // the line's bytes when kept
    wchar_t* text = nullptr;     // else its text
    std::unique_ptr<wchar_t[]> buffer;
    std::size_t bufferSize = 0;
};
