#include "plugin/LineList.h"

#include "platform/LargeBuffer.h"

#include <algorithm>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define NIKON_WIDEN_AVX2 1
#include <immintrin.h>
#endif

namespace {

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char byte) { return byte != '\0' && static_cast<unsigned char>(byte) < 0x80; });
}

#if defined(__SSE2__)
constexpr std::size_t kChunk = 16;
static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4, "a wide character takes two or four bytes");

// The sixteen bytes at `p`, which are below 0x80, as sixteen wide characters at `out`.
void WidenChunk(const char* p, wchar_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i low = _mm_unpacklo_epi8(chunk, zero);
    const __m128i high = _mm_unpackhi_epi8(chunk, zero);
    auto* wide = reinterpret_cast<__m128i*>(out);
    if constexpr (sizeof(wchar_t) == 2) {
        _mm_storeu_si128(wide, low);
        _mm_storeu_si128(wide + 1, high);
    } else {
        _mm_storeu_si128(wide, _mm_unpacklo_epi16(low, zero));
        _mm_storeu_si128(wide + 1, _mm_unpackhi_epi16(low, zero));
        _mm_storeu_si128(wide + 2, _mm_unpacklo_epi16(high, zero));
        _mm_storeu_si128(wide + 3, _mm_unpackhi_epi16(high, zero));
    }
}
#endif

void WidenOneByOne(const char* bytes, std::size_t length, wchar_t* out) {
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
}

// The `length` ASCII bytes at `bytes` widened to `out`. A line's last part shorter than a chunk
// is widened with the chunk that ends the line, when the line is that long.
void Widen(const char* bytes, std::size_t length, wchar_t* out) {
#if defined(__SSE2__)
    if (length >= kChunk) {
        std::size_t i = 0;
        for (; i + kChunk <= length; i += kChunk)
            WidenChunk(bytes + i, out + i);
        if (i < length)
            WidenChunk(bytes + length - kChunk, out + length - kChunk);
        return;
    }
#endif
    WidenOneByOne(bytes, length, out);
}

#if defined(NIKON_WIDEN_AVX2)
// Widen where the processor has AVX2, which widens eight or sixteen bytes in one instruction.
__attribute__((target("avx2"))) void WidenChunkAvx2(const char* p, wchar_t* out) {
    auto* wide = reinterpret_cast<__m256i*>(out);
    if constexpr (sizeof(wchar_t) == 2) {
        _mm256_storeu_si256(wide, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    } else {
        _mm256_storeu_si256(wide, _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
        _mm256_storeu_si256(wide + 1,
                            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8))));
    }
}

__attribute__((target("avx2"))) void WidenAvx2(const char* bytes, std::size_t length, wchar_t* out) {
    if (length < kChunk) {
        WidenOneByOne(bytes, length, out);
        return;
    }
    std::size_t i = 0;
    for (; i + kChunk <= length; i += kChunk)
        WidenChunkAvx2(bytes + i, out + i);
    if (i < length)
        WidenChunkAvx2(bytes + length - kChunk, out + length - kChunk);
}
#endif

} // namespace

template <class Char> void LineList::Store<Char>::Reserve(std::size_t characters) {
    if (characters > capacity)
        MoveTo(std::unique_ptr<Char[]>(new Char[characters]), characters);
}

template <class Char> void LineList::Store<Char>::ReserveIfPossible(std::size_t characters) {
    if (characters <= capacity)
        return;
    if (Char* larger = new (std::nothrow) Char[characters])
        MoveTo(std::unique_ptr<Char[]>(larger), characters);
}

template <class Char>
void LineList::Store<Char>::MoveTo(std::unique_ptr<Char[]> larger, std::size_t characters) {
    platform::AdviseLargePages(larger.get(), characters * sizeof(Char));
    std::copy(text.get(), text.get() + used, larger.get());
    text = std::move(larger);
    capacity = characters;
}

template <class Char> void LineList::Store<Char>::MakeRoom(std::size_t room) {
    if (capacity - used < room)
        Reserve(std::max(used + room, 2 * capacity));
}

// No line decodes to more characters than its bytes, so the file's size bounds either store.
void LineList::Reserve(std::size_t bytes, const platform::AnsiLineDecoder& decoder) {
    if (decoder.KeepsAscii())
        kept.Reserve(bytes);
    else
        converted.Reserve(bytes);
}

void LineList::ReserveIfPossible(std::size_t bytes, const platform::AnsiLineDecoder& decoder) {
    if (decoder.KeepsAscii())
        kept.ReserveIfPossible(bytes);
    else
        converted.ReserveIfPossible(bytes);
}

void LineList::Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    if (decoder.KeepsAscii() && IsAscii(bytes))
        Keep(bytes);
    else
        Convert(bytes, decoder);
}

void LineList::Keep(std::string_view bytes) {
    kept.MakeRoom(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), kept.End());
    kept.text[kept.used + bytes.size()] = '\0';
    kept.used += bytes.size() + 1;
    ends.push_back(2 * kept.used);
}

// Each byte makes at most one character; the zero needs one more. The first converted line
// reserves room for all the file's bytes not kept yet: converted lines rarely come alone.
void LineList::Convert(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    if (converted.capacity == 0)
        converted.ReserveIfPossible(kept.capacity - kept.used);
    converted.MakeRoom(bytes.size() + 1);
    const std::size_t length = decoder.Convert(bytes, converted.End());
    converted.text[converted.used + length] = L'\0';
    converted.used += length + 1;
    ends.push_back(2 * kept.used + kConverted);
    convertedEnds.push_back(converted.used);
}

// The room asked for is all of `bytes`; a list reserved for the whole file has that room
// already. A line and its zero take no more room than its bytes and line feed, so each line
// still finds room for the bytes after it.
std::size_t LineList::AppendLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    if (decoder.KeepsAscii())
        kept.MakeRoom(bytes.size() + 1);
    std::size_t taken = 0;
    for (;;) {
        const std::string_view rest = bytes.substr(taken);
        std::size_t took = AppendKeptLines(rest, decoder);
        if (took == 0 && (took = AppendFedLine(rest, decoder)) == 0)
            return taken;
        taken += took;
    }
}

std::size_t LineList::AppendKeptLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    platform::LineBatch batch;
    const std::size_t took = decoder.CopyPlainLines(bytes, kept.End(), batch);
    for (std::size_t i = 0; i < batch.count; ++i) {
        kept.used += batch.lengths[i] + 1;
        ends.push_back(2 * kept.used);
    }
    return took;
}

// The line at the start of `bytes` up to its line feed, without the carriage return of a CR LF
// end; 0 when `bytes` holds no line feed.
std::size_t LineList::AppendFedLine(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    const platform::FedLine line = platform::FindFedLine(bytes);
    if (line.taken != 0)
        Append(line.text, decoder);
    return line.taken;
}

LineReader::Widening LineReader::Portable() {
    return Widen;
}

LineReader::Widening LineReader::Fastest() {
#if defined(NIKON_WIDEN_AVX2)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return WidenAvx2;
#endif
    return Widen;
}

// Kept lines lie end to end with their zeros, all below 0x80: widening them together gives each
// line's text and the zero after it. A block of this many bytes stays in the nearer caches.
void LineReader::Widened::From(const LineList::Store<char>& kept, std::size_t first, std::size_t length) {
    constexpr std::size_t kAhead = 4096;
    std::size_t last = first + length + 1;
    if (reads == Reads::EveryLine)
        last = std::max(last, std::min(first + kAhead, kept.used));
    if (size < last - first) {
        buffer.reset(new wchar_t[last - first]);
        size = last - first;
    }
    widen(kept.text.get() + first, last - first, buffer.get());
    from = first;
    to = last;
}
