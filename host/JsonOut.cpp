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

constexpr std::array<std::uint64_t, 20> WholePowersOfTen() {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i)
        powers[i] = powers[i - 1] * 10;
    return powers;
}
constexpr std::array<std::uint64_t, 20> kWholePowersOfTen = WholePowersOfTen();

int DigitCount(std::uint64_t value) {
    // log10(2) is close to 1233 / 4096: a guess from the bit length, one below at most.
    const int bits = 64 - __builtin_clzll(value | 1);
    const int guess = bits * 1233 >> 12;
    return guess + (value >= kWholePowersOfTen[static_cast<std::size_t>(guess)]);
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

// The eight digits of `value`, below 10^8, one in each byte of a word, the first in the lowest
// byte: split into pairs and then digits in parallel lanes, rather than a division each.
std::uint64_t EightDigitLanes(std::uint32_t value) {
    const std::uint64_t fours = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t hundreds = (fours * 10486 >> 20) & 0x0000007F0000007FULL; // lane / 100
    const std::uint64_t pairs = hundreds | (fours - hundreds * 100) << 16;
    const std::uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000FULL; // lane / 10
    return tens | (pairs - tens * 10) << 8;
}

// The word's bytes from the lowest, whatever the machine's byte order: one store where that is
// the machine's own order.
void PutWord(char* at, std::uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(at, &word, sizeof word);
#else
    for (int byte = 0; byte < 8; ++byte)
        at[byte] = static_cast<char>(word >> 8 * byte);
#endif
}

// Copies a fixed-size block, of which the caller keeps only the first characters: one or two
// moves of whole registers rather than a loop over a length.
template <std::size_t Size> char* CopyBlock(char* to, const char* from, int kept) {
    std::memcpy(to, from, Size);
    return to + kept;
}

// A positive finite value's shortest digits that read back exactly, as characters, trailing
// zeros left off, and the place of the decimal point counted from the first digit. The digits
// of the whole number are laid out as three words of eight, right-aligned, with room after them
// so that copies of them may move whole blocks.
class ShortestDigits {
public:
    explicit ShortestDigits(double value) {
        const std::optional<Decimal> reading = ReadingDecimal(value);
        const auto [digits, exponent] = reading ? *reading : AnyDecimal(value);
        constexpr std::uint64_t kEightDigits = 100000000;
        const std::uint64_t high = digits / kEightDigits; // below 10^9: Dragonbox gives 17 digits at most
        const std::uint64_t lanes[kWords] = {
            high / kEightDigits << 56,
            high != 0 ? EightDigitLanes(static_cast<std::uint32_t>(high % kEightDigits)) : 0,
            EightDigitLanes(static_cast<std::uint32_t>(digits % kEightDigits))};
        for (int word = 0; word < kWords; ++word)
            PutWord(text + 8 * word, lanes[word] | kZeroCharacters);
        const int all = DigitCount(digits);
        first = text + kWords * 8 - all;
        count = all - TrailingZeros(lanes);
        point = all + exponent;
    }

    // The first digit, with at least 24 characters readable from it.
    const char* First() const { return first; }
    int Count() const { return count; }
    int Point() const { return point; }

private:
    static constexpr int kWords = 3;
    static constexpr std::uint64_t kZeroCharacters = 0x3030303030303030ULL;

    // Zero digits at the end, the whole number being above zero: a zero digit is a zero byte,
    // and the last digit of a word its highest byte.
    static int TrailingZeros(const std::uint64_t (&lanes)[kWords]) {
        int zeros = 0;
        for (int word = kWords - 1; lanes[word] == 0; --word)
            zeros += 8;
        return zeros + __builtin_clzll(lanes[kWords - 1 - zeros / 8]) / 8;
    }

    char text[kWords * 8 + 24] = {};
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
