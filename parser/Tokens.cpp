#include "parser/Tokens.h"

SpaceClass::SpaceClass() : locale(), ctype(std::use_facet<std::ctype<wchar_t>>(locale)) {
    for (std::size_t code = 0; code < ascii.size(); ++code)
        ascii[code] = ctype.is(std::ctype_base::space, static_cast<wchar_t>(code));
}

namespace {

// Fields are a few characters long: a scan four at a time beats a library search call, which
// costs more to set up than the field takes to read.
wchar_t* FindComma(wchar_t* p, wchar_t* const end) {
    for (; end - p >= 4; p += 4) {
        if (p[0] == L',')
            return p;
        if (p[1] == L',')
            return p + 1;
        if (p[2] == L',')
            return p + 2;
        if (p[3] == L',')
            return p + 3;
    }
    while (p != end && *p != L',')
        ++p;
    return p;
}

} // namespace

const TokenList& LineSplitter::Split(wchar_t* text, std::size_t size, std::size_t maxFields) {
    Restore();
    line = text;
    length = size;
    tokens.clear();
    nextField = 0;
    fieldsLeft = true;
    return SplitFurther(maxFields);
}

const TokenList& LineSplitter::SplitFurther(std::size_t maxFields) {
    if (line == nullptr || !fieldsLeft)
        return tokens;
    wchar_t* const begin = line;
    wchar_t* const end = begin + length;
    wchar_t* field = begin + nextField;
    for (std::size_t count = tokens.size(); count < maxFields; ++count) {
        wchar_t* const stop = FindComma(field, end);
        wchar_t* first = field;
        wchar_t* last = stop;
        while (first != last && isSpace(*first))
            ++first;
        while (last != first && isSpace(last[-1]))
            --last;
        // The line's own terminator already ends a token that reaches the end of the line.
        if (last != end) {
            overwritten.push_back({static_cast<std::size_t>(last - begin), *last});
            *last = L'\0';
        }
        tokens.emplace_back(first, static_cast<std::size_t>(last - first));
        if (stop == end) {
            fieldsLeft = false;
            break;
        }
        field = stop + 1;
    }
    nextField = static_cast<std::size_t>(field - begin);
    return tokens;
}

void LineSplitter::Restore() {
    if (line != nullptr) {
        for (const Overwritten& place : overwritten)
            line[place.position] = place.original;
    }
    overwritten.clear();
    line = nullptr;
}

void LineSplitter::InsertToken(std::size_t position, Token token) {
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(position), token);
}
