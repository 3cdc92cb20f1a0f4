#include "parser/Tokens.h"

SpaceClass::SpaceClass() : locale(), ctype(std::use_facet<std::ctype<wchar_t>>(locale)) {
    for (std::size_t code = 0; code < ascii.size(); ++code)
        ascii[code] = ctype.is(std::ctype_base::space, static_cast<wchar_t>(code));
}

const TokenList& LineSplitter::Split(std::wstring& text, std::size_t maxFields) {
    Restore();
    line = &text;
    tokens.clear();
    const std::size_t size = text.size();
    std::size_t start = 0;
    while (tokens.size() < maxFields) {
        const std::size_t comma = std::wstring_view(text).find(L',', start);
        const std::size_t stop = comma == std::wstring_view::npos ? size : comma;
        std::size_t first = start;
        std::size_t last = stop;
        while (first < last && isSpace(text[first]))
            ++first;
        while (last > first && isSpace(text[last - 1]))
            --last;
        // The string's own terminator already ends a token that reaches the end of the line.
        if (last < size) {
            overwritten.push_back({last, text[last]});
            text[last] = L'\0';
        }
        tokens.emplace_back(text.data() + first, last - first);
        if (comma == std::wstring_view::npos)
            break;
        start = comma + 1;
    }
    return tokens;
}

void LineSplitter::Restore() {
    if (line != nullptr) {
        for (const Overwritten& place : overwritten)
            (*line)[place.position] = place.original;
    }
    overwritten.clear();
    line = nullptr;
}

void LineSplitter::InsertToken(std::size_t position, Token token) {
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(position), token);
}
