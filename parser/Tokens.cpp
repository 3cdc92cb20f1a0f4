#include "parser/Tokens.h"

#include <algorithm>
#include <cstdint>
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

// The characters one comma mask covers, and the mask, with a bit to spare for the line's end.
constexpr std::size_t kBlock = 32;
using FieldBits = std::uint64_t;

#if defined(__SSE2__)
// Bit i is set where p[i] is a comma, for the sixteen characters at `p`. They are narrowed to
// bytes with signed saturation, which keeps every ASCII character as it is and turns no other
// into one, so one byte compare finds the commas of all sixteen.
unsigned CommaBits16(const wchar_t* p) {
    const auto* chunk = reinterpret_cast<const __m128i*>(p);
#if WCHAR_MAX > 0xFFFF
    const __m128i low = _mm_packs_epi32(_mm_loadu_si128(chunk), _mm_loadu_si128(chunk + 1));
    const __m128i high = _mm_packs_epi32(_mm_loadu_si128(chunk + 2), _mm_loadu_si128(chunk + 3));
#else
    const __m128i low = _mm_loadu_si128(chunk);
    const __m128i high = _mm_loadu_si128(chunk + 1);
#endif
    const __m128i bytes = _mm_packs_epi16(low, high);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(','))));
}

// Bit i is set where p[i] is a comma, for the kBlock characters at `p`.
FieldBits CommaBits(const wchar_t* p) {
    return CommaBits16(p) | FieldBits{CommaBits16(p + 16)} << 16;
}
#else
FieldBits CommaBits(const wchar_t* p) {
    FieldBits bits = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        bits |= FieldBits{p[i] == L','} << i;
    return bits;
}
#endif

// Where fields end among the characters from `base` on, when no more than a block's are left:
// bit i for a comma at base[i], and the bit of `end` itself. Reads nothing outside [line, end):
// the last block of a long line is read as the block that ends the line.
FieldBits LastFieldEnds(const wchar_t* line, const wchar_t* base, const wchar_t* end) {
    const auto left = static_cast<std::size_t>(end - base);
    const FieldBits endBit = FieldBits{1} << left;
    if (static_cast<std::size_t>(end - line) >= kBlock)
        return (CommaBits(end - kBlock) >> (kBlock - left)) | endBit;
    FieldBits bits = endBit;
    for (std::size_t i = 0; i < left; ++i)
        bits |= FieldBits{base[i] == L','} << i;
    return bits;
}

// Where fields end among the kBlock characters from `base` on, as LastFieldEnds.
inline FieldBits FieldEnds(const wchar_t* line, const wchar_t* base, const wchar_t* end) {
    return static_cast<std::size_t>(end - base) > kBlock ? CommaBits(base) : LastFieldEnds(line, base, end);
}

std::size_t LowestBit(FieldBits bits) {
#if defined(__GNUC__)
    return static_cast<std::size_t>(__builtin_ctzll(bits));
#else
    std::size_t index = 0;
    while ((bits & 1u) == 0) {
        bits >>= 1;
        ++index;
    }
    return index;
#endif
}

const wchar_t* FindComma(const wchar_t* p, const wchar_t* const end) {
    while (p != end && *p != L',')
        ++p;
    return p;
}

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
                                     const Insertion& inserted) {
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
    if (fieldsLeft && tokens.count < maxFields)
        SplitFields(maxFields);
    return tokens;
}

Token* LineSplitter::Room(std::size_t count, std::size_t more) {
    if (tokens.capacity - count < more) {
        const std::size_t capacity = 2 * tokens.capacity + more;
        std::unique_ptr<Token[]> larger(new Token[capacity]);
        std::copy(tokens.slots.get(), tokens.slots.get() + count, larger.get());
        tokens.slots = std::move(larger);
        tokens.capacity = capacity;
    }
    return tokens.slots.get();
}

void LineSplitter::SplitFields(std::size_t maxFields) {
    const SpaceClass::PlainTest plain = isSpace.Plain();
    wchar_t* const lineEnd = end;
    wchar_t* field = nextField;
    wchar_t* base = field;
    FieldBits ends = FieldEnds(line, base, lineEnd);
    std::size_t count = tokens.count;
    // A block ends at most kBlock + 1 fields, and the insertion may come among them: room is
    // made once a block, not once a field.
    constexpr std::size_t kBlockRoom = kBlock + 2;
    Token* slots = Room(count, kBlockRoom);
    // The fields before the insertion are split without looking out for it.
    const bool insertionAhead = insertion.position >= count && insertion.position < maxFields;
    std::size_t limit = insertionAhead ? insertion.position : maxFields;
    for (;;) {
        while (count < limit) {
            if (ends == 0) {
                base += kBlock;
                ends = FieldEnds(line, base, lineEnd);
                slots = Room(count, kBlockRoom);
                continue;
            }
            wchar_t* const stop = base + LowestBit(ends);
            ends &= ends - 1;
            Span token{field, stop};
            // Most fields begin and end with a printable character: nothing to trim.
            if (field != stop && !plain.Both(field[0], stop[-1]))
                token = Trim(token);
            // The line's own terminator already ends a token that reaches the end of the line.
            // No character of a line is a zero, so a zero kept as the overwritten one means "none".
            slots[count++] =
                Token(token.first, static_cast<std::size_t>(token.last - token.first), *token.last);
            *token.last = L'\0';
            if (stop == lineEnd) {
                fieldsLeft = false;
                break;
            }
            field = stop + 1;
        }
        if (!fieldsLeft || limit == maxFields)
            break;
        slots[count++] = insertion.token;
        limit = maxFields;
    }
    tokens.count = count;
    nextField = field;
}

LineSplitter::Span LineSplitter::Trim(Span field) {
    while (field.first != field.last && isSpace(*field.first))
        ++field.first;
    while (field.last != field.first && isSpace(field.last[-1]))
        --field.last;
    return field;
}

void LineSplitter::EndSplit() {
    if (after == LinesAfterSplit::GivenBack) {
        for (const Token& token : tokens)
            if (token.Overwritten() != L'\0')
                line[(token.data() - line) + static_cast<std::ptrdiff_t>(token.size())] = token.Overwritten();
    }
    line = nullptr;
    fieldsLeft = false;
}
