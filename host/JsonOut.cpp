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

namespace host {
namespace {

// Fixed-point text for decimal points from 10^-5 up to 10^15, as printf's %g would, else an
// exponent of at least two digits.
constexpr int kLeastFixedPoint = -4;
constexpr int kMostFixedPoint = 15;
constexpr std::size_t kIndentWidth = 2;

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

Shortest ShortestOf(double value) {
    // {fmt}'s Dragonbox, the one call into its internals: its public formatting gives the same
    // digits laid out its own way, at three times the cost, to be read back apart here.
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    std::uint64_t digits = decimal.significand;
    int exponent = decimal.exponent;
    while (digits % 10 == 0) {
        digits /= 10;
        ++exponent;
    }
    const int count = DigitCount(digits);
    return {digits, count, count + exponent};
}

// Writes the last `count` digits of `value` so that they end at `end`, and drops them from it.
char* PutDigitsBefore(char* end, std::uint64_t& value, int count) {
    for (; count >= 2; count -= 2, value /= 100)
        std::memcpy(end -= 2, &kDigitPairs[2 * (value % 100)], 2);
    if (count == 1) {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return end;
}

char* PutDigits(char* out, std::uint64_t digits, int count) {
    PutDigitsBefore(out + count, digits, count);
    return out + count;
}

// The digits with a decimal point after the first `whole` of them, fewer than all.
char* PutPointed(char* out, std::uint64_t digits, int count, int whole) {
    char* const end = out + count + 1;
    char* point = PutDigitsBefore(end, digits, count - whole) - 1;
    *point = '.';
    PutDigitsBefore(point, digits, whole);
    return end;
}

char* PutNumber(char* out, double value) {
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

} // namespace

std::string_view JsonNumberText(double value, char* text) {
    return {text, static_cast<std::size_t>(PutNumber(text, value) - text)};
}

void JsonOut::String(std::string_view text) {
    Prefix();
    if (!NeedsJsonEscapes(text)) {
        out.Put('"');
        out.Write(text);
        out.Put('"');
        return;
    }
    escaping.Reset(out);
    escaping.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void JsonOut::Int(int value) {
    char text[16];
    Raw({text, static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text)});
}

void JsonOut::Number(double value) {
    char text[32];
    Raw(JsonNumberText(value, text));
}

void JsonOut::Prefix() {
    if (levels.empty())
        return;
    Level& level = levels.back();
    if (!level.inArray && level.values % 2 == 1) {
        out.Write(": ");
    } else {
        if (level.values > 0)
            out.Put(',');
        NewLine();
    }
    ++level.values;
}

void JsonOut::NewLine() {
    // A line break and the indentation of the present depth, from one run of them.
    static constexpr std::string_view kBreak =
        "\n                                                                ";
    static_assert(kBreak.size() >= BufferedOutput::kShortRun);
    const std::size_t width = 1 + kIndentWidth * levels.size();
    if (width <= kBreak.size()) {
        out.WriteStart(kBreak.data(), width);
        return;
    }
    out.Put('\n');
    out.PutRepeated(' ', width - 1);
}

void JsonOut::Open(char bracket, bool inArray) {
    Prefix();
    levels.push_back({inArray, 0});
    out.Put(bracket);
}

void JsonOut::Close(char bracket) {
    const bool empty = levels.back().values == 0;
    levels.pop_back();
    if (!empty)
        NewLine();
    out.Put(bracket);
}

} // namespace host
