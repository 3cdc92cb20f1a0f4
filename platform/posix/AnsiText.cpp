#include "platform/AnsiText.h"

#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

// Bytes from here to 0x7F need no look on a plain ASCII line; the first below is the carriage return.
constexpr char kFirstPlainByte = '\r' + 1;

#if defined(__SSE2__)
constexpr std::size_t kChunk = 16;

// Writes the sixteen bytes of `chunk` to `out` as sixteen wide characters.
void StoreWidened(__m128i chunk, wchar_t* out) {
    static_assert(sizeof(wchar_t) == 4, "a wide character takes four bytes here");
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(chunk, zero);
    const __m128i high = _mm_unpackhi_epi8(chunk, zero);
    auto* wide = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(wide, _mm_unpacklo_epi16(low, zero));
    _mm_storeu_si128(wide + 1, _mm_unpackhi_epi16(low, zero));
    _mm_storeu_si128(wide + 2, _mm_unpacklo_epi16(high, zero));
    _mm_storeu_si128(wide + 3, _mm_unpackhi_epi16(high, zero));
}

// Whether the sixteen bytes at `p` are all ASCII and none is zero; if so, writes them widened
// to `out`.
bool WidenChunk(const unsigned char* p, wchar_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (_mm_movemask_epi8(_mm_or_si128(chunk, _mm_cmpeq_epi8(chunk, zero))) != 0)
        return false;
    StoreWidened(chunk, out);
    return true;
}

// Widens the run of ASCII bytes at `p`, sixteen at a time, and stops at the first chunk that
// holds a byte of 0x80 or more or a zero byte; returns where it stopped. A last part shorter
// than a chunk is taken with the chunk that ends the text, when the text is that long.
const unsigned char* WidenAscii(const unsigned char* first, const unsigned char* p, const unsigned char* stop,
                                wchar_t*& out) {
    while (static_cast<std::size_t>(stop - p) >= kChunk) {
        if (!WidenChunk(p, out))
            return p;
        p += kChunk;
        out += kChunk;
    }
    const auto rest = static_cast<std::size_t>(stop - p);
    if (rest > 0 && static_cast<std::size_t>(stop - first) >= kChunk &&
        WidenChunk(stop - kChunk, out + rest - kChunk)) {
        out += rest;
        p = stop;
    }
    return p;
}
#else
// Widens the run of ASCII bytes at `p`, eight at a time, and stops at the first chunk that holds
// a byte of 0x80 or more or a zero byte; returns where it stopped.
const unsigned char* WidenAscii(const unsigned char*, const unsigned char* p, const unsigned char* stop,
                                wchar_t*& out) {
    constexpr std::size_t kChunk = 8;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    while (static_cast<std::size_t>(stop - p) >= kChunk) {
        std::uint64_t chunk;
        std::memcpy(&chunk, p, kChunk);
        const std::uint64_t zeroByte = (chunk - kOnes) & ~chunk;
        if (((chunk | zeroByte) & kHigh) != 0)
            break;
        for (std::size_t i = 0; i < kChunk; ++i)
            out[i] = static_cast<wchar_t>(p[i]);
        p += kChunk;
        out += kChunk;
    }
    return p;
}
#endif

#if defined(__SSE2__)
// Widens the sixteen bytes at `p` to `out` whatever they are, and returns the bits of those
// that may stop a plain ASCII line: a byte below 14 (line feed, carriage return, zero and a few
// other controls) or of 0x80 or more, all found by one signed comparison.
unsigned WidenAndFindStops(const unsigned char* p, wchar_t* out) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i stops = _mm_cmplt_epi8(chunk, _mm_set1_epi8(kFirstPlainByte));
    StoreWidened(chunk, out);
    return static_cast<unsigned>(_mm_movemask_epi8(stops));
}
#endif

// The length of the line end at byte `end` of `bytes`: 1 for LF, 2 for CR LF, 0 when that byte
// ends no line.
std::size_t LineEndAt(std::string_view bytes, std::size_t end) {
    if (bytes[end] == '\n')
        return 1;
    return bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 0;
}

bool StopsAsciiLine(unsigned char byte) {
    return byte < kFirstPlainByte || byte >= 0x80;
}

} // namespace

// MB_CUR_MAX, btowc, mbrtowc and nl_langinfo all answer for the thread's locale as uselocale
// set it, or the global one.
AnsiLineDecoder::AnsiLineDecoder() {
    singleByte = MB_CUR_MAX == 1;
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    if (singleByte) {
        for (int byte = 0; byte < 256; ++byte) {
            const wint_t wide = std::btowc(byte);
            byteTable[static_cast<std::size_t>(byte)] =
                wide == WEOF ? kReplacement : static_cast<wchar_t>(wide);
        }
    }
    asciiKept = utf8;
    if (singleByte) {
        asciiKept = true;
        for (std::size_t byte = 0; byte < 0x80; ++byte)
            asciiKept = asciiKept && byteTable[byte] == static_cast<wchar_t>(byte);
    }
}

bool AnsiLineDecoder::KeepsAscii() const {
    return asciiKept;
}

// Each byte yields at most one wide character, so `out` needs room for bytes.size(). Ends at
// the first zero byte, which no single-byte or UTF-8 character holds.
std::size_t AnsiLineDecoder::Decode(std::string_view bytes, wchar_t* out) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const first = p;
    const auto* const stop = p + bytes.size();
    wchar_t* const start = out;
    if (singleByte) {
        while (p < stop) {
            if (asciiKept && (p = WidenAscii(first, p, stop, out)) == stop)
                break;
            if (*p == 0)
                break;
            *out++ = byteTable[*p++];
        }
        return static_cast<std::size_t>(out - start);
    }
    std::mbstate_t state{};
    while (p < stop) {
        if (utf8 && *p < 0x80) {
            if ((p = WidenAscii(first, p, stop, out)) == stop || *p == 0)
                break;
            if (*p < 0x80) {
                *out++ = static_cast<wchar_t>(*p++);
                continue;
            }
        }
        wchar_t wide = 0;
        const std::size_t used =
            std::mbrtowc(&wide, reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p), &state);
        // glibc's UTF-8 still decodes the old five- and six-byte forms beyond U+10FFFF, which
        // are no characters a host can store; they count as invalid too.
        const bool beyondUnicode = static_cast<std::uint32_t>(wide) > kLastCodePoint;
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0 ||
            beyondUnicode) {
            // Invalid or cut short: one replacement for the byte, then start afresh after it.
            *out++ = kReplacement;
            ++p;
            state = std::mbstate_t{};
            continue;
        }
        *out++ = wide;
        p += used;
    }
    return static_cast<std::size_t>(out - start);
}

std::size_t AnsiLineDecoder::Convert(std::string_view bytes, wchar_t* out) const {
    // Other multi-byte character sets are cut at the zero first, so that no sequence reads past it.
    if (!singleByte && !utf8)
        bytes = bytes.substr(0, bytes.find('\0'));
    return Decode(bytes, out);
}

// The common line, plain ASCII ended by LF or CR LF, widened in the same pass that finds its
// end; 0 for any other, which ConvertFedLine takes as a whole.
std::size_t AnsiLineDecoder::WidenAsciiLine(std::string_view bytes, wchar_t* out, std::size_t& length) const {
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + kChunk <= size; i += kChunk) {
        if (const unsigned stops = WidenAndFindStops(p + i, out + i)) {
            i += static_cast<std::size_t>(__builtin_ctz(stops));
            break;
        }
    }
#endif
    for (; i < size && !StopsAsciiLine(p[i]); ++i)
        out[i] = static_cast<wchar_t>(p[i]);
    const std::size_t ending = i < size ? LineEndAt(bytes, i) : 0;
    if (ending == 0)
        return 0;
    length = i;
    return i + ending;
}

namespace {

// Runs over plain ASCII lines from byte `taken` of `bytes` on, across their ends sixteen bytes at a
// time: `store(p, out)` writes the chunk at `p` to `out` and returns the bits of its bytes that may
// stop such a line. Writes each line to `out` from `written` on, a zero after it, adds it to
// `batch` and moves both counts past it. Stops before a line it does not take whole; true when
// the batch is full. A bare line feed leaves what follows it where the chunk's store put it, so the
// next line goes on in the same chunk; after CR LF the rest of the chunk lies one place off, and
// the stores start again at the next line.
template <class Out, class StoreChunk>
bool TakePlainLines(std::string_view bytes, Out* out, std::size_t& taken, std::size_t& written,
                    LineBatch& batch, [[maybe_unused]] StoreChunk store) {
    std::size_t lineStart = taken;
    std::size_t lag = taken - written; // the output lags the bytes by the carriage returns dropped
    std::size_t count = batch.count;
    const auto finish = [&](bool full) {
        batch.count = count;
        taken = lineStart;
        written = lineStart - lag;
        return full;
    };
#if defined(__SSE2__)
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t chunk = lineStart; bytes.size() - chunk >= kChunk;) {
        std::size_t next = chunk + kChunk;
        for (unsigned stops = store(p + chunk, out + chunk - lag); stops != 0; stops &= stops - 1) {
            const std::size_t end = chunk + static_cast<std::size_t>(__builtin_ctz(stops));
            const std::size_t ending = LineEndAt(bytes, end);
            if (ending == 0)
                return finish(false);
            out[end - lag] = Out{};
            batch.lengths[count++] = end - lineStart;
            lineStart = end + ending;
            if (count == LineBatch::kMaxLines)
                return finish(true);
            if (ending == 2) {
                ++lag;
                next = lineStart;
                break;
            }
        }
        chunk = next;
    }
#endif
    return finish(false);
}

#if defined(__SSE2__)
// Copies the sixteen bytes at `p` to `out` and returns the bits of those that may stop a plain
// ASCII line, as WidenAndFindStops does.
unsigned CopyAndFindStops(const unsigned char* p, char* out) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(chunk, _mm_set1_epi8(kFirstPlainByte))));
}
#endif

} // namespace

bool AnsiLineDecoder::WidenPlainLines(std::string_view bytes, wchar_t* out, std::size_t& taken,
                                      std::size_t& written, LineBatch& batch) const {
#if defined(__SSE2__)
    return TakePlainLines(bytes, out, taken, written, batch, WidenAndFindStops);
#else
    return TakePlainLines(bytes, out, taken, written, batch, nullptr);
#endif
}

std::size_t AnsiLineDecoder::CopyPlainLines(std::string_view bytes, char* out, LineBatch& batch) const {
    batch.count = 0;
    std::size_t taken = 0;
    std::size_t written = 0;
    if (asciiKept) {
#if defined(__SSE2__)
        TakePlainLines(bytes, out, taken, written, batch, CopyAndFindStops);
#endif
    }
    return taken;
}

std::size_t AnsiLineDecoder::ConvertLine(std::string_view bytes, wchar_t* out, std::size_t& length) const {
    if (asciiKept) {
        if (const std::size_t taken = WidenAsciiLine(bytes, out, length))
            return taken;
    }
    return ConvertFedLine(bytes, out, length);
}

} // namespace platform
