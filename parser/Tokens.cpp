#include "parser/Tokens.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define NIKON_SPLIT_AVX2 1
#include <immintrin.h>
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

// The characters one SIMD mask covers, and the characters of the line one window of field
// ends covers.
constexpr std::size_t kBlock = 32;
constexpr std::size_t kWindow = 64;
using FieldBits = std::uint64_t;

// Bit i of `commas` is set where the block's i-th character is a comma; `printable` tells
// whether every one of its characters is printable ASCII other than the space.
struct BlockMasks {
    FieldBits commas;
    bool printable;
};

// Either character type: a kept line's bytes are its characters' values.
template <class Char> bool IsPrintableAscii(Char c) {
    const auto code = static_cast<std::make_unsigned_t<Char>>(c);
    return code > ' ' && code < 0x7F;
}

// The masks of `count` characters read one by one: a line too short to be read a block at a
// time, or a processor without SSE2.
template <class Char> BlockMasks PortableMasks(const Char* p, std::size_t count) {
    BlockMasks masks{0, true};
    for (std::size_t i = 0; i < count; ++i) {
        masks.commas |= FieldBits{p[i] == ','} << i;
        masks.printable = masks.printable && IsPrintableAscii(p[i]);
    }
    return masks;
}

#if defined(__SSE2__)
// The sixteen wide characters at `p` narrowed to bytes with signed saturation, which keeps
// every ASCII character as it is and turns no other into one.
__m128i Narrow16(const wchar_t* p) {
    const auto* chunk = reinterpret_cast<const __m128i*>(p);
#if WCHAR_MAX > 0xFFFF
    const __m128i low = _mm_packs_epi32(_mm_loadu_si128(chunk), _mm_loadu_si128(chunk + 1));
    const __m128i high = _mm_packs_epi32(_mm_loadu_si128(chunk + 2), _mm_loadu_si128(chunk + 3));
#else
    const __m128i low = _mm_loadu_si128(chunk);
    const __m128i high = _mm_loadu_si128(chunk + 1);
#endif
    return _mm_packs_epi16(low, high);
}

__m128i Narrow16(const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// All ones in the bytes that are printable ASCII other than the space: moving '!' to the
// bottom of the signed bytes leaves those below all others.
__m128i Printable16(__m128i bytes) {
    constexpr int kPrintable = '~' - '!' + 1;
    const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '!')));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-0x80 + kPrintable)));
}

unsigned Commas16(__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(','))));
}

template <class Char> BlockMasks Masks(const Char* p) {
    const __m128i low = Narrow16(p);
    const __m128i high = Narrow16(p + 16);
    const __m128i printable = _mm_and_si128(Printable16(low), Printable16(high));
    return {Commas16(low) | FieldBits{Commas16(high)} << 16, _mm_movemask_epi8(printable) == 0xFFFF};
}
#else
template <class Char> BlockMasks Masks(const Char* p) {
    return PortableMasks(p, kBlock);
}
#endif

// Where fields end among the characters of a window, and whether all of them are printable.
struct WindowEnds {
    FieldBits ends; // bit i for a comma at base[i], and the bit of the line's end within the window
    bool printable;
};

// The masks of the `left` characters from `base` on, fewer than a window's. Reads nothing
// outside [line, base + left): the characters are read as blocks that end where they end when
// the line is that long. Characters read before `base` count toward `printable` too, which
// only ever sends a field to the trimming path.
template <class Char, BlockMasks (*MasksOf)(const Char*) = Masks<Char>>
BlockMasks LastMasks(const Char* line, const Char* base, std::size_t left) {
    const Char* const end = base + left;
    if (static_cast<std::size_t>(end - line) < kBlock)
        return PortableMasks(base, left);
    const BlockMasks last = MasksOf(end - kBlock);
    if (left <= kBlock)
        return {last.commas >> (kBlock - left), last.printable};
    const BlockMasks first = MasksOf(base);
    return {first.commas | last.commas << (left - kBlock), first.printable && last.printable};
}

// The window of characters from `base` on, its blocks read by `MasksOf`.
template <class Char, BlockMasks (*MasksOf)(const Char*) = Masks<Char>>
WindowEnds Window(const Char* line, const Char* base, const Char* end) {
    const auto left = static_cast<std::size_t>(end - base);
    if (left >= kWindow) {
        const BlockMasks first = MasksOf(base);
        const BlockMasks second = MasksOf(base + kBlock);
        return {first.commas | second.commas << kBlock, first.printable && second.printable};
    }
    const BlockMasks masks = LastMasks<Char, MasksOf>(line, base, left);
    return {masks.commas | FieldBits{1} << left, masks.printable};
}

#if defined(NIKON_SPLIT_AVX2)
// A block of ASCII bytes read where the processor has AVX2: one load and three compares.
__attribute__((target("avx2"))) BlockMasks ByteMasksAvx2(const char* p) {
    constexpr int kPrintable = '~' - '!' + 1;
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i moved = _mm256_add_epi8(bytes, _mm256_set1_epi8(static_cast<char>(0x80 - '!')));
    const __m256i printable =
        _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(-0x80 + kPrintable)), moved);
    const auto commas =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(','))));
    return {commas, _mm256_movemask_epi8(printable) == -1};
}

// The whole window's reading compiled for AVX2, so that its blocks' reads are inlined.
__attribute__((target("avx2"), flatten)) WindowEnds ByteWindowAvx2(const char* line, const char* base,
                                                                   const char* end) {
    return Window<char, ByteMasksAvx2>(line, base, end);
}

bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#else
bool ProcessorHasAvx2() {
    return false;
}
#endif

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

// The fields of one window not taken yet: `ends` marks where they end, from `base` on, and the
// next begins at `field`.
struct LineSplitter::Fields {
    wchar_t* base;
    FieldBits ends;
    wchar_t* field;

    // Takes the next field's end and moves past it.
    wchar_t* NextStop() {
        wchar_t* const stop = base + LowestBit(ends);
        ends &= ends - 1;
        field = stop + 1;
        return stop;
    }
};

struct LineSplitter::Taken {
    Fields fields;
    std::size_t count;
};

std::size_t LineSplitter::TakeFields(Fields& fields, Token* const out, const std::size_t room) {
    Token* next = out;
    const Token* const last = out + room;
    do {
        wchar_t* const first = fields.field;
        wchar_t* const stop = fields.NextStop();
        *next++ = Token(first, stop);
        *stop = L'\0';
    } while (fields.ends != 0 && next != last);
    return static_cast<std::size_t>(next - out);
}

LineSplitter::Taken LineSplitter::TakeTrimmedFields(Fields fields, Token* const out, const std::size_t room) {
    const SpaceClass::PlainTest plain = isSpace.Plain();
    std::size_t taken = 0;
    do {
        wchar_t* const first = fields.field;
        wchar_t* const stop = fields.NextStop();
        Span token{first, stop};
        // Most fields begin and end with a printable character: nothing to trim.
        if (first != stop && !plain.Both(first[0], stop[-1])) {
            token = Trim(token);
            if (token.last != stop && after == LinesAfterSplit::GivenBack)
                trimmedEnds.push_back({token.last, *token.last});
        }
        out[taken++] = Token(token.first, token.last);
        *token.last = L'\0';
    } while (fields.ends != 0 && taken != room);
    return {fields, taken};
}

LineSplitter::LineSplitter(LinesAfterSplit after, SplitBlocks blocks)
    : after(after), avx2(blocks == SplitBlocks::Fastest && ProcessorHasAvx2()) {}

void LineSplitter::SplitFields(std::size_t maxFields) {
    wchar_t* const lineEnd = end;
    // A plain ASCII line is read as its bytes, four or two times fewer than its wide characters.
    const auto readWindow = [this, lineEnd](const wchar_t* base) {
#if defined(NIKON_SPLIT_AVX2)
        if (bytes != nullptr && avx2)
            return ByteWindowAvx2(bytes, bytes + (base - line), bytes + (lineEnd - line));
#endif
        if (bytes != nullptr)
            return Window(bytes, bytes + (base - line), bytes + (lineEnd - line));
        return Window<wchar_t>(line, base, lineEnd);
    };
    WindowEnds window = readWindow(nextField);
    Fields fields{nextField, window.ends, nextField};
    // While every character from the first field on is printable, no field needs trimming.
    bool printable = isSpace.PrintableNeverSpace() && window.printable;
    std::size_t count = tokens.count;
    // A window ends at most kWindow fields, and the insertion may come among them: room is
    // made once a window, not once a field.
    constexpr std::size_t kWindowFields = kWindow;
    Token* slots = Room(count, kWindowFields + 1);
    // The fields before the insertion are split without looking out for it.
    const bool insertionAhead = insertion.position >= count && insertion.position < maxFields;
    std::size_t limit = insertionAhead ? insertion.position : maxFields;
    for (;;) {
        while (count < limit) {
            if (fields.ends == 0) {
                fields.base += kWindow;
                window = readWindow(fields.base);
                fields.ends = window.ends;
                printable = printable && window.printable;
                slots = Room(count, kWindowFields + 1);
                continue;
            }
            const std::size_t room = std::min(limit - count, kWindowFields);
            if (printable) {
                count += TakeFields(fields, slots + count, room);
            } else {
                const Taken taken = TakeTrimmedFields(fields, slots + count, room);
                fields = taken.fields;
                count += taken.count;
            }
            // The line's end is the last end of its window: the split has passed it.
            if (fields.field > lineEnd) {
                fieldsLeft = false;
                break;
            }
        }
        if (!fieldsLeft || limit == maxFields)
            break;
        slots[count++] = insertion.token;
        limit = maxFields;
    }
    tokens.count = count;
    nextField = fields.field;
}

LineSplitter::Span LineSplitter::Trim(Span field) {
    while (field.first != field.last && isSpace(*field.first))
        ++field.first;
    while (field.last != field.first && isSpace(field.last[-1]))
        --field.last;
    return field;
}

// A token's zero stands on its field's comma, unless the token's end was trimmed; the line's
// own terminator ends its last field, and the inserted token is not the line's.
void LineSplitter::GiveBack() {
    for (std::size_t i = 0; i < tokens.count; ++i) {
        if (i == insertion.position)
            continue;
        const Token& token = tokens[i];
        wchar_t* const zero = line + (token.data() - line) + static_cast<std::ptrdiff_t>(token.size());
        if (zero != end)
            *zero = L',';
    }
    for (const TrimmedEnd& trimmed : trimmedEnds)
        *trimmed.at = trimmed.character;
    trimmedEnds.clear();
}
