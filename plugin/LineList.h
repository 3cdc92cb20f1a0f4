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

    std::size_t Count() const { return ends.size(); }

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

    // Where a line ends among the kept bytes (past its zero; where the last kept line ends, for
    // a converted line), twice over, plus one for a converted line. Each line begins where the
    // one before it ends, so that reading in order needs no look at the next line.
    static constexpr std::size_t kConverted = 1;

    std::size_t AppendKeptLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder);
    std::size_t AppendFedLine(std::string_view bytes, const platform::AnsiLineDecoder& decoder);
    void Keep(std::string_view bytes);
    void Convert(std::string_view bytes, const platform::AnsiLineDecoder& decoder);

    Store<char> kept;
    Store<wchar_t> converted;
    std::vector<std::size_t> ends;
    std::vector<std::size_t> convertedEnds;
};

// Reads a list's lines in order, each as wide text followed by a zero; the reader of a line may
// change it until the next. Kept lines are widened into a buffer that the next lines reuse, a
// converted one read where the list holds it.
class LineReader {
public:
    // A pass that reads every line has the lines after the one it asks for widened with it, so
    // that the widening goes on across their ends; one that reads few has each widened alone.
    enum class Reads { FewLines, EveryLine };

    // A way to widen `length` bytes below 0x80 to `out`.
    using Widening = void (*)(const char* bytes, std::size_t length, wchar_t* out);

    // The widening every processor runs, and the fastest this one runs.
    static Widening Portable();
    static Widening Fastest();

    LineReader(LineList& lines, Reads reads, Widening widen = Fastest())
        : lines(lines), widened(new Widened{reads, widen, nullptr, 0, 0, 0}) {}

    // Moves to the next line, the first at the start; returns its length.
    std::size_t Next() {
        const std::size_t entry = lines.ends[next++];
        if (entry % 2 == LineList::kConverted) {
            const std::size_t at = convertedEnd;
            convertedEnd = lines.convertedEnds[nextConverted++];
            text = lines.converted.text.get() + at;
            length = convertedEnd - at - 1;
            return length;
        }
        text = nullptr;
        start = keptEnd;
        keptEnd = entry / 2;
        length = keptEnd - start - 1;
        return length;
    }
    // The line's first character, zero for an empty line, without widening it.
    wchar_t First() const {
        return text != nullptr ? *text
                               : static_cast<wchar_t>(static_cast<unsigned char>(lines.kept.text[start]));
    }
    // A kept line's bytes, followed by a zero; null for a converted line.
    const char* Bytes() const { return text != nullptr ? nullptr : lines.kept.text.get() + start; }
    // The line's text: a kept line is widened unless it was widened with the line before it.
    wchar_t* Text() {
        if (text != nullptr)
            return text;
        // Lines come in order, so none begins before the widened bytes.
        Widened& kept = *widened;
        if (start + length >= kept.to)
            kept.From(lines.kept, start, length);
        return kept.buffer.get() + (start - kept.from);
    }

private:
    // The kept bytes [from, to) as wide text. Held apart from the reader, whose own state then
    // stays in registers as a pass reads line after line.
    struct Widened {
        void From(const LineList::Store<char>& kept, std::size_t from, std::size_t length);

        Reads reads;
        Widening widen;
        std::unique_ptr<wchar_t[]> buffer;
        std::size_t size = 0;
        std::size_t from = 0;
        std::size_t to = 0;
    };

    LineList& lines;
    std::unique_ptr<Widened> widened;
    std::size_t next = 0;
    std::size_t nextConverted = 0;
    std::size_t keptEnd = 0;
    std::size_t convertedEnd = 0;
    std::size_t start = 0; // where a kept line's bytes begin
    std::size_t length = 0;
    wchar_t* text = nullptr; // a converted line's text
};
