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

// A positive finite value's shortest digits that read back exactly, as a whole number, and the
// place of the decimal point counted from its first digit.
struct Shortest {
    std::uint64_t digits;
    int count;
    int point;
};

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

// Writes the `count` digits of `value`, below 10^count, and returns their end. The leading run
// goes first, so that the next overwrites what its word wrote past its digits; eight characters
// from `out` are written however few the digits.
char* PutDigits(char* out, std::uint64_t value, int count) {
    constexpr std::uint64_t kEightDigits = 100000000;
    if (count <= 8) {
        PutWord(out, EightDigitCharacters(static_cast<std::uint32_t>(value)) >> 8 * (8 - count));
        return out + count;
    }
    out = PutDigits(out, value / kEightDigits, count - 8);
    PutWord(out, EightDigitCharacters(static_cast<std::uint32_t>(value % kEightDigits)));
    return out + 8;
}

// The digits with a decimal point after the first `whole` of them, fewer than all: the fraction,
// at most 16 digits, is moved on by one place as a block.
char* PutPointed(char* out, std::uint64_t digits, int count, int whole) {
    char* const end = PutDigits(out, digits, count);
    std::memmove(out + whole + 1, out + whole, 16);
    out[whole] = '.';
    return end + 1;
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
        std::memset(out, '0', kMostFixedPoint);
        out += n - k;
        std::memcpy(out, ".0", 2);
        return out + 2;
    }
    if (0 < n && n <= kMostFixedPoint)
        return PutPointed(out, digits, k, n);
    if (kLeastFixedPoint < n && n <= 0) {
        std::memcpy(out, "0.0000", 2 - kLeastFixedPoint);
        return PutDigits(out + 2 - n, digits, k);
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
