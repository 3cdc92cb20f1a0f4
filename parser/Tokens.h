// Splitting a record line into its fields, in place.
#pragma once

#include <array>
#include <cstddef>
#include <locale>
#include <string>
#include <string_view>
#include <vector>

// One trimmed field of a line: a view into the line itself. While the split that made it lasts,
// a zero follows its text, so the host can be handed c_str() as it stands.
class Token {
public:
    constexpr Token() = default;
    constexpr Token(const wchar_t* text, std::size_t size) : text(text), length(size) {}

    const wchar_t* c_str() const { return text; }
    const wchar_t* data() const { return text; }
    std::size_t size() const { return length; }
    bool empty() const { return length == 0; }
    wchar_t operator[](std::size_t index) const { return text[index]; }
    operator std::wstring_view() const { return {text, length}; }

private:
    const wchar_t* text = L"";
    std::size_t length = 0;
};

// The fields of one line, numbered from 0; token 0 is the record code. Never empty after a
// split: an empty line gives one empty token.
using TokenList = std::vector<Token>;

// Whether `token` is exactly the two-letter record code `code` (case-sensitive).
inline bool IsCode(const Token& token, const wchar_t (&code)[3]) {
    return token.size() == 2 && token[0] == code[0] && token[1] == code[1];
}

// The global locale's white-space classification, as boost's is_space reads it, taken once:
// the ASCII answers are kept in a table, the rest are asked of the locale's ctype facet.
class SpaceClass {
public:
    SpaceClass();
    bool operator()(wchar_t c) const {
        const auto code = static_cast<std::size_t>(c);
        return code < ascii.size() ? ascii[code] : ctype.is(std::ctype_base::space, c);
    }

private:
    std::locale locale;
    const std::ctype<wchar_t>& ctype;
    std::array<bool, 128> ascii{};
};

// Splits lines at every ',' (empty fields kept, no quoting) and trims each field. The split
// writes a zero after every token it makes and Restore() puts the line back as it was, so no
// field is ever copied; the token and bookkeeping storage is reused from line to line.
class LineSplitter {
public:
    LineSplitter() = default;
    LineSplitter(const LineSplitter&) = delete;
    LineSplitter& operator=(const LineSplitter&) = delete;
    ~LineSplitter() { Restore(); }

    // Takes at most `maxFields` leading fields of the `length` characters at `line`, which a
    // zero must follow; the rest of the line is not read. Restores the previous line first. The
    // tokens stay valid until the next Split or Restore.
    const TokenList& Split(wchar_t* line, std::size_t length,
                           std::size_t maxFields = static_cast<std::size_t>(-1));
    const TokenList& Split(std::wstring& line, std::size_t maxFields = static_cast<std::size_t>(-1)) {
        return Split(line.data(), line.size(), maxFields);
    }
    // Goes on splitting the last line, until it has `maxFields` tokens. Not after InsertToken.
    const TokenList& SplitFurther(std::size_t maxFields);
    // Gives the last line split its own characters back.
    void Restore();

    const TokenList& Tokens() const { return tokens; }
    // The line's first character that is not white space; zero when there is none.
    wchar_t FirstNonSpace(const wchar_t* line, std::size_t length) const {
        for (const wchar_t* end = line + length; line != end; ++line)
            if (!isSpace(*line))
                return *line;
        return L'\0';
    }
    // For the one record layout that lacks a field the others have.
    void InsertToken(std::size_t position, Token token);

private:
    struct Overwritten {
        std::size_t position;
        wchar_t original;
    };

    const SpaceClass isSpace;
    TokenList tokens;
    wchar_t* line = nullptr;
    std::size_t length = 0;
    std::size_t nextField = 0; // where the next field begins, while fieldsLeft
    bool fieldsLeft = false;
    std::vector<Overwritten> overwritten;
};

// The RAII form of a split: the line is restored when the scope ends, however it ends.
class ScopedSplit {
public:
    ScopedSplit(LineSplitter& splitter, wchar_t* line, std::size_t length,
                std::size_t maxFields = static_cast<std::size_t>(-1))
        : splitter(splitter) {
        splitter.Split(line, length, maxFields);
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
