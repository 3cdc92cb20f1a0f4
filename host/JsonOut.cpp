#include "host/JsonOut.h"

#include "host/JsonText.h"
#include "host/Text.h"

// Dragonbox compiled here from {fmt}'s header form, not called in the shared library: without
// that call's indirection a number costs an eighth fewer instructions.
#ifndef FMT_HEADER_ONLY
#define FMT_HEADER_ONLY
#endif
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {
namespace {

// Fixed-point text for decimal points from 10^-5 up to 10^15, as printf's %g would, else an
// exponent of at least two digits.
constexpr int kLeastFixedPoint = -4;
constexpr int kMostFixedPoint = 15;

char* WriteExponent(char* out, int exponent) {
    *out++ = exponent < 0 ? '-' : '+';
    exponent = std::abs(exponent);
    if (exponent < 10)
        *out++ = '0';
    return std::to_chars(out, out + 4, exponent).ptr;
}

struct Decimal {
    std::uint64_t digits;
    int exponent;
};

// Most readings are a whole number of ten-thousandths. When that number (of a positive value)
// has at most 15 digits and divides back to the value exactly, no other decimal so short reads as
// the same double, so less its trailing zeros it is the shortest: found for a fraction of the
// general cost.
std::optional<Decimal> ReadingDecimal(double value) {
    constexpr int kPlaces = 4;
    const double scale = kExactPowersOfTen[kPlaces];
    const double scaled = value * scale;
    if (!(scaled < kExactPowersOfTen[kDigitsKept]))
        return std::nullopt;
    const auto whole = static_cast<std::int64_t>(scaled);
    if (static_cast<double>(whole) != scaled || scaled / scale != value)
        return std::nullopt;
    return Decimal{static_cast<std::uint64_t>(whole), -kPlaces};
}

Decimal AnyDecimal(double value) {
    // {fmt}'s Dragonbox, the one call into its internals: its public formatting gives the same
    // digits in a layout of its own at three times the cost, to be taken apart again here.
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    return {decimal.significand, decimal.exponent};
}

// How many of a run of digits lead and trail as zeros.
struct ZeroRuns {
    int leading;
    int trailing;
};

constexpr std::uint64_t kEightDigits = 100000000;

#if defined(__SSE2__)

// Four unsigned 16-bit lanes, the first lowest, in both halves of a register.
__m128i FourLanes(std::uint16_t first, std::uint16_t second, std::uint16_t third, std::uint16_t fourth) {
    const std::uint64_t word =
        first | std::uint64_t{second} << 16 | std::uint64_t{third} << 32 | std::uint64_t{fourth} << 48;
    return _mm_set1_epi64x(static_cast<long long>(word));
}

// The eight digits of `value`, below 10^8, in the 16-bit lanes of a register, the first lowest:
// split into fours, each copied to four lanes and divided there by 1000, 100, 10 and 1 through
// multiplications by fixed-point reciprocals; less ten times the lane before, each is a digit.
__m128i EightDigitLanes(std::uint32_t value) {
    const __m128i whole = _mm_cvtsi32_si128(static_cast<int>(value));
    const __m128i high = _mm_srli_epi64(_mm_mul_epu32(whole, _mm_set1_epi32(0x68DB8BAD)), 44); // / 10000
    const __m128i low = _mm_sub_epi32(whole, _mm_mul_epu32(high, _mm_set1_epi32(10000)));
    const __m128i fours = _mm_slli_epi64(_mm_unpacklo_epi16(high, low), 2);
    const __m128i pairs = _mm_unpacklo_epi16(fours, fours);
    const __m128i copies = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i scaled = _mm_mulhi_epu16(copies, FourLanes(33555, 41944, 52429, 32768));
    const __m128i prefixes = _mm_mulhi_epu16(scaled, FourLanes(32, 256, 2048, 32768));
    const __m128i tens = _mm_slli_epi64(_mm_mullo_epi16(prefixes, _mm_set1_epi16(10)), 16);
    return _mm_sub_epi16(prefixes, tens);
}

// The zeros that lead and trail among the first `width` (8 or 16) digits, one a byte, of `digits`.
ZeroRuns ZeroRunsOf(__m128i digits, int width) {
    const unsigned lanes = (1U << width) - 1;
    const auto nonZero =
        static_cast<unsigned>(~_mm_movemask_epi8(_mm_cmpeq_epi8(digits, _mm_setzero_si128()))) & lanes;
    if (nonZero == 0)
        return {width, width};
    return {__builtin_ctz(nonZero), __builtin_clz(nonZero) - (32 - width)};
}

// Writes the 16 digits of `value`, below 10^16, leading zeros included, as characters at `at`.
ZeroRuns PutSixteenDigits(char* at, std::uint64_t value) {
    const __m128i digits =
        _mm_packus_epi16(EightDigitLanes(static_cast<std::uint32_t>(value / kEightDigits)),
                         EightDigitLanes(static_cast<std::uint32_t>(value % kEightDigits)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_add_epi8(digits, _mm_set1_epi8('0')));
    return ZeroRunsOf(digits, 16);
}

// Writes the 8 digits of `value`, below 10^8, leading zeros included, as characters at `at`.
ZeroRuns PutEightDigits(char* at, std::uint32_t value) {
    const __m128i digits = _mm_packus_epi16(EightDigitLanes(value), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_add_epi8(digits, _mm_set1_epi8('0')));
    return ZeroRunsOf(digits, 8);
}

#else

constexpr std::uint64_t kZeroCharacters = 0x3030303030303030ULL;
// A digit above zero, at most 9, carries into its byte's top bit when 127 is added, and no
// further; a digit's place in its word is its byte's.
constexpr std::uint64_t kCarries = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;

// The eight digits of `value`, below 10^8, one in each byte of a word, the first in the lowest
// byte.
std::uint64_t EightDigitLanes(std::uint32_t value) {
    return EightDigitCharacters(value) ^ kZeroCharacters;
}

// Writes the 16 digits of `value`, below 10^16, leading zeros included, as characters at `at`.
ZeroRuns PutSixteenDigits(char* at, std::uint64_t value) {
    const std::uint64_t words[2] = {EightDigitLanes(static_cast<std::uint32_t>(value / kEightDigits)),
                                    EightDigitLanes(static_cast<std::uint32_t>(value % kEightDigits))};
    PutWord(at, words[0] | kZeroCharacters);
    PutWord(at + 8, words[1] | kZeroCharacters);
    const std::uint64_t nonZero[2] = {(words[0] + kCarries) & kTopBits, (words[1] + kCarries) & kTopBits};
    if ((nonZero[0] | nonZero[1]) == 0)
        return {16, 16};
    const int leading =
        nonZero[0] != 0 ? __builtin_ctzll(nonZero[0]) / 8 : 8 + __builtin_ctzll(nonZero[1]) / 8;
    const int trailing =
        nonZero[1] != 0 ? __builtin_clzll(nonZero[1]) / 8 : 8 + __builtin_clzll(nonZero[0]) / 8;
    return {leading, trailing};
}

// Writes the 8 digits of `value`, below 10^8, leading zeros included, as characters at `at`.
ZeroRuns PutEightDigits(char* at, std::uint32_t value) {
    const std::uint64_t word = EightDigitLanes(value);
    PutWord(at, word | kZeroCharacters);
    const std::uint64_t nonZero = (word + kCarries) & kTopBits;
    if (nonZero == 0)
        return {8, 8};
    return {__builtin_ctzll(nonZero) / 8, __builtin_clzll(nonZero) / 8};
}

#endif

// The digits of `value`, below 10^8, counted as PutSixteenDigits counts them, though only the last
// eight are written: the first eight would be zeros, which no copy keeps.
ZeroRuns PutLastEightOfSixteen(char* at, std::uint32_t value) {
    const ZeroRuns last = PutEightDigits(at + 8, value);
    return {8 + last.leading, last.trailing};
}

// Copies a fixed-size block, of which the caller keeps only the first characters: one or two
// moves of whole registers rather than a loop over a length.
template <std::size_t Size> char* CopyBlock(char* to, const char* from, int kept) {
    std::memcpy(to, from, Size);
    return to + kept;
}

// A positive finite value's shortest digits that read back exactly, as characters, trailing
// zeros left off, and the place of the decimal point counted from the first digit. The at most
// 17 digits of the whole number are laid out right-aligned in 24 characters, with room after
// them so that copies of them may move whole blocks.
class ShortestDigits {
public:
    explicit ShortestDigits(double value) {
        const std::optional<Decimal> reading = ReadingDecimal(value);
        const auto [digits, exponent] = reading ? *reading : AnyDecimal(value);
        constexpr std::uint64_t kSixteenDigits = kEightDigits * kEightDigits;
        const auto top = static_cast<int>(digits / kSixteenDigits); // Dragonbox gives 17 digits at most
        text[kEnd - 17] = static_cast<char>('0' + top);
        const ZeroRuns zeros =
            digits < kEightDigits
                ? PutLastEightOfSixteen(text + kEnd - 16, static_cast<std::uint32_t>(digits))
                : PutSixteenDigits(text + kEnd - 16, digits % kSixteenDigits);
        const int all = top != 0 ? 17 : 16 - zeros.leading;
        first = text + kEnd - all;
        count = all - zeros.trailing;
        point = all + exponent;
    }

    // The first digit, with at least 24 characters readable from it.
    const char* First() const { return first; }
    int Count() const { return count; }
    int Point() const { return point; }

private:
    static constexpr int kEnd = 24;

    // Only the digits are set: the blocks copied around them carry the rest along unread, and
    // their writers keep no more than the digits.
    char text[kEnd + 24];
    const char* first;
    int count;
    int point;
};

} // namespace

char* PutJsonNumber(char* out, double value) {
    if (!std::isfinite(value))
        return std::copy_n("null", 4, out);
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0.0)
        return std::copy_n("0.0", 3, out);
    const ShortestDigits shortest(value);
    const char* const digits = shortest.First();
    const int k = shortest.Count();
    const int n = shortest.Point();
    if (k <= n && n <= kMostFixedPoint) {
        out = CopyBlock<kMostFixedPoint + 1>(out, digits, k);
        std::memset(out, '0', kMostFixedPoint);
        out += n - k;
        std::memcpy(out, ".0", 2);
        return out + 2;
    }
    if (0 < n && n <= kMostFixedPoint) {
        // A whole part of at most 15 digits, then a fraction of at most 16.
        CopyBlock<kMostFixedPoint + 1>(out, digits, n);
        out[n] = '.';
        return CopyBlock<16>(out + n + 1, digits + n, k - n);
    }
    if (kLeastFixedPoint < n && n <= 0) {
        std::memcpy(out, "0.0000", 2 - kLeastFixedPoint);
        return CopyBlock<24>(out + 2 - n, digits, k);
    }
    *out = *digits;
    out[1] = '.';
    out = k > 1 ? CopyBlock<16>(out + 2, digits + 1, k - 1) : out + 1;
    *out++ = 'e';
    return WriteExponent(out, n - 1);
}

std::string_view JsonNumberText(double value, char* text) {
    return {text, static_cast<std::size_t>(PutJsonNumber(text, value) - text)};
}

void JsonOut::Key(std::string_view key) {
    char* at = ItemRoom(key.size() + 4);
    *at++ = '"';
    std::memcpy(at, key.data(), key.size());
    at += key.size();
    out.Commit(std::copy_n("\": ", 3, at));
    bare = true;
}

void JsonOut::PutEscaped(char* at, std::string_view text) {
    out.Commit(at);
    escaping.Reset(out);
    escaping.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

char* JsonOut::PutValue(char* at, int value) {
    return std::to_chars(at, at + RoomOf(value), value).ptr;
}

char* JsonOut::PutLongBreak(char* at, std::size_t width) {
    *at = '\n';
    std::memset(at + 1, ' ', width - 1);
    return at + width;
}

} // namespace host
