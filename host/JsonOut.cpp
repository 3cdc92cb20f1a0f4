#include "host/JsonOut.h"

#include "host/JsonText.h"
#include "host/Text.h"

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

// A positive finite value's shortest digits that read back exactly, as a whole number, and the
// place of the decimal point counted from its first digit.
struct Shortest {
    std::uint64_t digits;
    int count;
    int point;
};

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

Shortest ShortestOf(double value) {
    const std::optional<Decimal> reading = ReadingDecimal(value);
    auto [digits, exponent] = reading ? *reading : AnyDecimal(value);
    while (digits % 10 == 0) {
        digits /= 10;
        ++exponent;
    }
    const int count = DigitCount(digits);
    return {digits, count, count + exponent};
}

// Writes `count` digits of `value`, below 10^count, so that they end at `end`.
char* PutDigitsBefore(char* end, std::uint32_t value, int count) {
    for (; count >= 2; count -= 2, value /= 100)
        std::memcpy(end -= 2, &kDigitPairs[2 * (value % 100)], 2);
    if (count == 1)
        *--end = static_cast<char>('0' + value);
    return end;
}

// Writes exactly `count` digits of `value`, below 10^count, leading zeros included; below 10^8,
// on 32 bits, which is cheaper.
char* PutDigits(char* out, std::uint64_t value, int count) {
    constexpr std::uint64_t kEightDigits = 100000000;
    char* const end = out + count;
    char* at = end;
    for (; count >= 8; count -= 8, value /= kEightDigits)
        at = PutDigitsBefore(at, static_cast<std::uint32_t>(value % kEightDigits), 8);
    PutDigitsBefore(at, static_cast<std::uint32_t>(value), count);
    return end;
}

// The digits with a decimal point after the first `whole` of them, fewer than all.
char* PutPointed(char* out, std::uint64_t digits, int count, int whole) {
    const std::uint64_t fraction = kWholePowersOfTen[static_cast<std::size_t>(count - whole)];
    out = PutDigits(out, digits / fraction, whole);
    *out++ = '.';
    return PutDigits(out, digits % fraction, count - whole);
}

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
    const auto [digits, k, n] = ShortestOf(value);
    if (k <= n && n <= kMostFixedPoint) {
        out = PutDigits(out, digits, k);
        out = std::fill_n(out, n - k, '0');
        return std::copy_n(".0", 2, out);
    }
    if (0 < n && n <= kMostFixedPoint)
        return PutPointed(out, digits, k, n);
    if (kLeastFixedPoint < n && n <= 0) {
        out = std::copy_n("0.", 2, out);
        out = std::fill_n(out, -n, '0');
        return PutDigits(out, digits, k);
    }
    out = k > 1 ? PutPointed(out, digits, k, 1) : PutDigits(out, digits, 1);
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
    afterKey = true;
}

void JsonOut::PutEscaped(char* at, std::string_view text) {
    out.Commit(at);
    escaping.Reset(out);
    escaping.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

char* JsonOut::PutValue(char* at, int value) {
    return std::to_chars(at, at + RoomOf(value), value).ptr;
}

char* JsonOut::PutLongBreak(char* at) const {
    *at = '\n';
    std::memset(at + 1, ' ', breakWidth - 1);
    return at + breakWidth;
}

} // namespace host
