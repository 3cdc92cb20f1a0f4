#include "parser/Tokens.h"

#include <algorithm>
#include <cwchar>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

SpaceClass::SpaceClass() : locale(), ctype(std::use_facet<std::ctype<wchar_t>>(locale)) {
    for (std::size_t code = 0; code < ascii.size(); ++code)
        ascii[code] = ctype.is(std::ctype_base::space, static_cast<wchar_t>(code));
    graphNeverSpace = std::none_of(ascii.begin() + kFirstGraph, ascii.begin() + kLastGraph + 1,
                                   [](bool space) { return space; });
}

bool SpaceClass::Beyond(wchar_t c) {
    const auto code = static_cast<std::size_t>(c);
    if (code >= kCachedChars)
        return ctype.is(std::ctype_base::space, c);
    if (!seen)
        seen.reset(new Answer[kCachedChars]());
    Answer& answer = seen[code];
    if (answer == kNotAsked)
        answer = ctype.is(std::ctype_base::space, c) ? kSpace : kNotSpace;
    return answer == kSpace;
}

namespace {

// Fields are a few characters long: a scan four at a time beats a library search call, which
// costs more to set up than the field takes to read.
#if defined(__SSE2__) && WCHAR_MAX > 0xFFFF
const wchar_t* FindComma(const wchar_t* p, const wchar_t* const end) {
    const __m128i comma = _mm_set1_epi32(L',');
    for (; end - p >= 4; p += 4) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int found = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(chunk, comma)));
        if (found != 0)
            return p + __builtin_ctz(static_cast<unsigned>(found));
    }
    while (p != end && *p != L',')
        ++p;
    return p;
}
#else
const wchar_t* FindComma(const wchar_t* p, const wchar_t* const end) {
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
#endif

} // namespace

std::wstring_view LineSplitter::TrimmedLeadingField(const wchar_t* text, std::size_t size) {
    const wchar_t* first = text;
    const wchar_t* last = FindComma(text, text + size);
    while (first != last && isSpace(*first))
        ++first;
    while (last != first && isSpace(last[-1]))
        --last;
    return {first, static_cast<std::size_t>(last - first)};
}

const TokenList& LineSplitter::Split(wchar_t* text, std::size_t size, std::size_t maxFields,
                                     Insertion inserted) {
    Restore();
    line = text;
    end = text + size;
    tokens.count = 0;
    nextField = text;
    fieldsLeft = true;
    insertion = inserted;
    return SplitFurther(maxFields);
}

const TokenList& LineSplitter::SplitFurther(std::size_t maxFields) {
    if (!fieldsLeft)
        return tokens;
    wchar_t* field = nextField;
    std::size_t count = tokens.count;
    Token* slots = tokens.slots.data();
    std::size_t room = tokens.slots.size();
    // Room for the token about to be written and the insertion before it.
    const auto makeRoom = [&] {
        if (room - count < 2) {
            tokens.slots.resize(2 * room + 16);
            slots = tokens.slots.data();
            room = tokens.slots.size();
        }
    };
    while (count < maxFields) {
        makeRoom();
        if (count == insertion.position) {
            slots[count++] = insertion.token;
            if (count == maxFields)
                break;
        }
        wchar_t* const stop = field + (FindComma(field, end) - field);
        wchar_t* first = field;
        wchar_t* last = stop;
        // Most fields begin and end with a printable character: nothing to trim.
        if (first != last && !(isSpace.Plain(*first) && isSpace.Plain(last[-1]))) {
            while (first != last && isSpace(*first))
                ++first;
            while (last != first && isSpace(last[-1]))
                --last;
        }
        // The line's own terminator already ends a token that reaches the end of the line. No
        // character of a line is a zero, so a zero kept as the overwritten one means "none".
        const wchar_t overwritten = *last;
        *last = L'\0';
        slots[count++] = Token(first, static_cast<std::size_t>(last - first), overwritten);
        if (stop == end) {
            fieldsLeft = false;
            break;
        }
        field = stop + 1;
    }
    tokens.count = count;
    nextField = field;
    return tokens;
}

void LineSplitter::Restore() {
    if (line != nullptr && after == LinesAfterSplit::GivenBack) {
        for (const Token& token : tokens)
            if (token.Overwritten() != L'\0')
                line[(token.data() - line) + static_cast<std::ptrdiff_t>(token.size())] = token.Overwritten();
    }
    line = nullptr;
    fieldsLeft = false;
}
