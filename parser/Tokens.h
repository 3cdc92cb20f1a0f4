// Splitting a record line into its fields, in place.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <locale>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// One trimmed field of a line: a view into the line itself. While the split that made it lasts,
// a zero follows its text, so the host can be handed c_str() as it stands.
class Token {
public:
    constexpr Token() = default;
    constexpr Token(const wchar_t* text, std::size_t size) : text(text), last(text + size) {}
    // The characters from `text` up to `last`, where the zero stands.
    constexpr Token(const wchar_t* text, const wchar_t* last) : text(text), last(last) {}

    const wchar_t* c_str() const { return text; }
    const wchar_t* data() const { return text; }
    std::size_t size() const { return static_cast<std::size_t>(last - text); }
    bool empty() const { return last == text; }
    wchar_t operator[](std::size_t index) const { return text[index]; }
    operator std::wstring_view() const { return {text, size()}; }

private:
    // Kept as two ends: the split then makes a token with two stores.
    const wchar_t* text = L"";
    const wchar_t* last = text;
};

// The fields of one line, numbered from 0; token 0 is the record code. Never empty after a
// split: an empty line gives one empty token. Its storage only grows, so that the split writes
// each token straight into its place.
class TokenList {
public:
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const Token& operator[](std::size_t index) const { return slots[index]; }
    const Token* begin() const { return slots.get(); }
    const Token* end() const { return slots.get() + count; }

private:
    friend class LineSplitter;

    std::unique_ptr<Token[]> slots; // the first `count` of `capacity` hold the line's tokens
    std::size_t count = 0;
    std::size_t capacity = 0;
};

// Whether `token` is exactly the two-letter record code `code` (case-sensitive).
inline bool IsCode(std::wstring_view token, const wchar_t (&code)[3]) {
    return token.size() == 2 && token[0] == code[0] && token[1] == code[1];
}

// A token the split puts in at `position`, before the line's field there, when the line has a
// field for that position: for the one record layout that lacks a field the others have.
struct Insertion {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t position = kNone;
    Token token;
};

// The global locale's white-space classification, as boost's is_space reads it, taken once:
// the ASCII answers are kept in a table, and every other character of the basic plane is asked
// of the locale's ctype facet only the first time it is seen.
class SpaceClass {
public:
    SpaceClass();
    bool operator()(wchar_t c) {
        const auto code = static_cast<std::size_t>(c);
        return code < ascii.size() ? ascii[code] : Beyond(c);
    }
    // Tells, in one comparison, whether a character is printable ASCII (neither the space nor
    // a control) that the locale does not count as white space: the usual end of a field.
    class PlainTest {
    public:
        explicit PlainTest(bool graphNeverSpace) : span(graphNeverSpace ? kLastGraph - kFirstGraph + 1 : 0) {}
        bool operator()(wchar_t c) const { return Offset(c) < span; }
        // Whether both are plain, with one comparison: the usual test of a field's two ends.
        bool Both(wchar_t first, wchar_t last) const { return std::max(Offset(first), Offset(last)) < span; }

    private:
        static std::make_unsigned_t<wchar_t> Offset(wchar_t c) {
            return static_cast<std::make_unsigned_t<wchar_t>>(c - kFirstGraph);
        }

        std::make_unsigned_t<wchar_t> span; // none when the locale counts a printable one as space
    };
    PlainTest Plain() const { return PlainTest(graphNeverSpace); }
    // Whether the locale counts no printable ASCII character as white space, so that a field
    // of printable characters alone needs no trimming.
    bool PrintableNeverSpace() const { return graphNeverSpace; }

private:
    enum Answer : unsigned char { kNotAsked, kSpace, kNotSpace };
    static constexpr wchar_t kFirstGraph = L'!';
    static constexpr wchar_t kLastGraph = L'~';
    static constexpr std::size_t kCachedChars = 0x10000;

    bool Beyond(wchar_t c);

    std::locale locale;
    const std::ctype<wchar_t>& ctype;
    std::array<bool, 128> ascii{};
    bool graphNeverSpace = false;   // no printable ASCII character is white space in the locale
    std::unique_ptr<Answer[]> seen; // kCachedChars answers, made at the first character needing one
};

// What becomes of a line once its split is done: put back as it was, for a line that is read
// again, or left with the zeros the split wrote, for one that nothing reads any more.
enum class LinesAfterSplit { GivenBack, Dropped };

// How a line's bytes are read a block at a time: with the widest instructions the processor
// has, or with those every processor of its kind runs.
enum class SplitBlocks { Fastest, Portable };

// Splits lines at every ',' (empty fields kept, no quoting) and trims each field. The split
// writes a zero after every token it makes and Restore() puts the line back as it was, so no
// field is ever copied; the token and bookkeeping storage is reused from line to line.
class LineSplitter {
public:
    explicit LineSplitter(LinesAfterSplit after = LinesAfterSplit::GivenBack,
                          SplitBlocks blocks = SplitBlocks::Fastest);
    LineSplitter(const LineSplitter&) = delete;
    LineSplitter& operator=(const LineSplitter&) = delete;
    ~LineSplitter() { Restore(); }

    // Takes at most `maxFields` leading fields of the `length` characters at `text`, which a
    // zero must follow; the rest of the line is not read. Restores the previous line first. The
    // tokens stay valid until the next Split or Restore. `inserted` counts toward maxFields.
    // `ascii`, when given, holds the same line as bytes, every one of them below 0x80.
    const TokenList& Split(wchar_t* text, std::size_t length,
                           std::size_t maxFields = static_cast<std::size_t>(-1),
                           const Insertion& inserted = {}, const char* ascii = nullptr) {
        Restore();
        line = text;
        bytes = ascii;
        end = text + length;
        tokens.count = 0;
        nextField = text;
        fieldsLeft = true;
        insertion = inserted;
        return SplitFurther(maxFields);
    }
    const TokenList& Split(std::wstring& line, std::size_t maxFields = static_cast<std::size_t>(-1)) {
        return Split(line.data(), line.size(), maxFields);
    }
    // Goes on splitting the last line, until it has `maxFields` tokens.
    const TokenList& SplitFurther(std::size_t maxFields) {
        if (fieldsLeft && tokens.count < maxFields)
            SplitFields(maxFields);
        return tokens;
    }
    // Gives the last line split its own characters back (unless lines are dropped after
    // their split) and ends the split.
    void Restore() {
        if (line == nullptr)
            return;
        if (after == LinesAfterSplit::GivenBack)
            GiveBack();
        line = nullptr;
        fieldsLeft = false;
    }

    const TokenList& Tokens() const { return tokens; }
    SpaceClass::PlainTest Plain() const { return isSpace.Plain(); }
    // The line's first field, trimmed, without splitting the line: no zero follows it.
    std::wstring_view LeadingField(const wchar_t* line, std::size_t length) {
        // Most lines begin with their two-letter code and its comma: two printable characters,
        // tested with one comparison, neither of them a comma.
        if (length >= 3 && line[2] == L',' && isSpace.Plain().Both(line[0], line[1]) && line[0] != L',' &&
            line[1] != L',')
            return {line, 2};
        return TrimmedLeadingField(line, length);
    }
    // The line's first character that is not white space; zero when there is none.
    wchar_t FirstNonSpace(const wchar_t* line, std::size_t length) {
        for (const wchar_t* end = line + length; line != end; ++line)
            if (!isSpace(*line))
                return *line;
        return L'\0';
    }

private:
    std::wstring_view TrimmedLeadingField(const wchar_t* line, std::size_t length);
    void GiveBack();
    struct Span {
        wchar_t* first;
        wchar_t* last;
    };
    // A character a trimmed token's zero was written over, for a line that is given back.
    struct TrimmedEnd {
        wchar_t* at;
        wchar_t character;
    };
    // The ends of the fields among one window of the line, and where they begin.
    struct Fields;
    struct Taken;
    // Room for `more` tokens after the first `count`; returns the first token's slot.
    Token* Room(std::size_t count, std::size_t more);
    // Splits fields from nextField on until there are `maxFields` tokens or the line ends.
    void SplitFields(std::size_t maxFields);
    // Tokens at `out` for at most `room` of the fields of `fields`, returning how many: as they
    // stand, where none needs trimming, or each trimmed. The rare trimming path takes and gives
    // back its fields by value, so that the usual path keeps them in registers.
    static std::size_t TakeFields(Fields& fields, Token* out, std::size_t room);
    Taken TakeTrimmedFields(Fields fields, Token* out, std::size_t room);
    // [first, last) without its leading and trailing white space.
    Span Trim(Span field);

    SpaceClass isSpace;
    LinesAfterSplit after;
    bool avx2; // a line's bytes are read with AVX2
    TokenList tokens;
    wchar_t* line = nullptr;
    wchar_t* end = nullptr;
    const char* bytes = nullptr;  // the line as ASCII bytes, when it is given so
    wchar_t* nextField = nullptr; // where the next field begins, while fieldsLeft
    bool fieldsLeft = false;
    Insertion insertion;
    std::vector<TrimmedEnd> trimmedEnds; // of the line split, when lines are given back
};

// The RAII form of a split: the line is restored when the scope ends, however it ends.
class ScopedSplit {
public:
    ScopedSplit(LineSplitter& splitter, wchar_t* line, std::size_t length,
                std::size_t maxFields = static_cast<std::size_t>(-1), const Insertion& insertion = {},
                const char* ascii = nullptr)
        : splitter(splitter) {
        splitter.Split(line, length, maxFields, insertion, ascii);
    }
    ScopedSplit(LineSplitter& splitter, std::wstring& line,
                std::size_t maxFields = static_cast<std::size_t>(-1))
        : ScopedSplit(splitter, line.data(), line.size(), maxFields) {}
    ScopedSplit(const ScopedSplit&) = delete;
    ScopedSplit& operator=(const ScopedSplit&) = delete;
    ~ScopedSplit() { splitter.Restore(); }

    const TokenList& Tokens() const { return splitter.Tokens(); }
    // More of the same line, up to `maxFields` tokens in all.
    const TokenList& Further(std::size_t maxFields) { return splitter.SplitFurther(maxFields); }

private:
    LineSplitter& splitter;
};
