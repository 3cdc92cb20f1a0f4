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

// A positive finite value's shortest digits that read back exactly, trailing zeros possibly kept.
template <NumberOrigin Origin> Decimal ShortestDecimalOf(double value) {
    if constexpr (Origin == NumberOrigin::Reading) {
        if (const std::optional<Decimal> reading = ReadingDecimal(value))
            return *reading;
    }
    // {fmt}'s Dragonbox, the one call into its internals: its public formatting gives the same
    // digits in a layout of its own at three times the cost, to be taken apart again here.
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    return {decimal.significand, decimal.exponent};
}

// Dragonbox gives 17 digits at most; a decimal's digits are laid out as exactly that many, the
// first above zero, so that they land where the text wants them without a count of leading zeros.
constexpr int kMostDigits = 17;
constexpr std::uint64_t kEightDigits = 100000000;
constexpr std::uint64_t kSixteenDigits = kEightDigits * kEightDigits;

#if defined(__SSE2__)

// Fixed-point reciprocals for unsigned 16-bit lanes, rounded up: 2^16 / 10, exact for a quotient
// of a lane below 16384, and 2^19 / 100, for one below 43699.
constexpr short kTenth = 6554;
constexpr short kHundredth = 5243;

// The 16 digits of `value`, below 10^16, one a byte, the first lowest: its halves of eight digits
// split into fours in the 32-bit lanes of one register, each four into two pairs in 16-bit lanes,
// and each pair into two digits in its lane's bytes.
__m128i SixteenDigitBytes(std::uint64_t value) {
    const __m128i eights = _mm_set_epi64x(static_cast<long long>(value % kEightDigits),
                                          static_cast<long long>(value / kEightDigits));
    const __m128i high = _mm_srli_epi64(_mm_mul_epu32(eights, _mm_set1_epi32(0x68DB8BAD)), 44); // / 10000
    const __m128i low = _mm_sub_epi32(eights, _mm_mul_epu32(high, _mm_set1_epi32(10000)));
    const __m128i fours = _mm_or_si128(high, _mm_slli_epi64(low, 32));
    // Each four's hundreds beside it, and the rest, four - 100 hundreds, from one multiply-add.
    const __m128i hundreds = _mm_srli_epi16(_mm_mulhi_epu16(fours, _mm_set1_epi16(kHundredth)), 3);
    const __m128i besideHundreds = _mm_or_si128(hundreds, _mm_slli_epi32(fours, 16));
    const __m128i rest = _mm_madd_epi16(besideHundreds, _mm_set1_epi32(0x0001FF9C)); // -100, then 1
    const __m128i pairs = _mm_or_si128(hundreds, _mm_slli_epi32(rest, 16));
    // A lane's tens in its low byte and ones in its high: the ones are the fraction of its
    // tenth, taken times ten.
    const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(kTenth));
    const __m128i ones = _mm_mulhi_epu16(_mm_mullo_epi16(pairs, _mm_set1_epi16(kTenth)), _mm_set1_epi16(10));
    return _mm_or_si128(tens, _mm_slli_epi16(ones, 8));
}

// Writes the 16 digits of `value`, below 10^16, leading zeros included, at `at`, and returns how
// many are left when the trailing zeros are taken off.
int PutSixteenDigits(char* at, std::uint64_t value) {
    const __m128i digits = SixteenDigitBytes(value);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_add_epi8(digits, _mm_set1_epi8('0')));
    const auto nonZero =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(digits, _mm_setzero_si128()))) ^ 0xFFFFU;
    return 31 - __builtin_clz(nonZero << 1 | 1); // the place of the last digit above zero, else 0
}

#else

// A digit above zero, at most 9, carries into its byte's top bit when 127 is added, and no
// further; a digit's place in its word is its byte's.
constexpr std::uint64_t kCarries = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kTopBits = 0x8080808080808080ULL;

// How many of a word's eight digits, the first lowest, are left when the trailing zeros are
// taken off.
int KeptDigits(std::uint64_t digits) {
    const std::uint64_t nonZero = (digits + kCarries) & kTopBits;
    return nonZero == 0 ? 0 : 8 - __builtin_clzll(nonZero) / 8;
}

// Writes the 16 digits of `value`, below 10^16, leading zeros included, at `at`, and returns how
// many are left when the trailing zeros are taken off.
int PutSixteenDigits(char* at, std::uint64_t value) {
    constexpr std::uint64_t kZeroCharacters = 0x3030303030303030ULL;
    const std::uint64_t first = EightDigitCharacters(static_cast<std::uint32_t>(value / kEightDigits));
    const std::uint64_t second = EightDigitCharacters(static_cast<std::uint32_t>(value % kEightDigits));
    PutWord(at, first);
    PutWord(at + 8, second);
    const int kept = KeptDigits(second ^ kZeroCharacters);
    return kept != 0 ? 8 + kept : KeptDigits(first ^ kZeroCharacters);
}

#endif

// Writes the 17 digits of `value`, from 10^16 up to 10^17, at `at`, and returns how many are left
// when the trailing zeros are taken off.
int PutSeventeenDigits(char* at, std::uint64_t value) {
    const std::uint64_t first = value / kSixteenDigits;
    *at = static_cast<char>('0' + first);
    return 1 + PutSixteenDigits(at + 1, value - first * kSixteenDigits);
}

// The text of a fraction's digits: the digits already at `out`, `kept` of them, with the decimal
// point put in after the first `point`. The digits after it move on by one as a whole block.
char* PutPointInto(char* out, int point, int kept) {
    char fraction[kMostDigits - 1];
    std::memcpy(fraction, out + point, sizeof fraction);
    out[point] = '.';
    std::memcpy(out + point + 1, fraction, sizeof fraction);
    return out + kept + 1;
}

} // namespace

template <NumberOrigin Origin> char* PutJsonNumber(char* out, double value) {
    if (!std::isfinite(value))
        return std::copy_n("null", 4, out);
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0.0)
        return std::copy_n("0.0", 3, out);
    const auto [digits, exponent] = ShortestDecimalOf<Origin>(value);
    const int length = DigitCount(digits);
    const std::uint64_t allDigits =
        digits * kWholePowersOfTen[static_cast<std::size_t>(kMostDigits - length)];
    const int point = length + exponent;
    if (0 < point && point <= kMostFixedPoint) {
        // A whole part of at most 15 digits, then a fraction of at most 16 or ".0".
        const int kept = PutSeventeenDigits(out, allDigits);
        if (kept > point)
            return PutPointInto(out, point, kept);
        std::memcpy(out + point, ".0", 2);
        return out + point + 2;
    }
    if (kLeastFixedPoint < point && point <= 0) {
        std::memcpy(out, "0.0000", 2 - kLeastFixedPoint);
        out += 2 - point;
        return out + PutSeventeenDigits(out, allDigits);
    }
    const int kept = PutSeventeenDigits(out + 1, allDigits);
    out[0] = out[1];
    out[1] = '.';
    out += kept > 1 ? kept + 1 : 1;
    *out++ = 'e';
    return WriteExponent(out, point - 1);
}

template char* PutJsonNumber<NumberOrigin::Reading>(char* at, double value);
template char* PutJsonNumber<NumberOrigin::Computed>(char* at, double value);

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
