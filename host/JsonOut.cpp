#include "host/JsonOut.h"

#include "host/JsonText.h"
#include "host/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

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

// Splits std::to_chars' shortest scientific text ("d.ddde+XX", or "de+XX" for one digit) into
// its digits and the place of the decimal point after the first digit's start.
void ShortestDigits(double value, char (&digits)[32], int& count, int& point) {
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    const auto* e = static_cast<const char*>(std::memchr(text, 'e', static_cast<std::size_t>(end - text)));
    digits[0] = text[0];
    count = 1;
    if (e - text > 2) {
        std::memcpy(digits + 1, text + 2, static_cast<std::size_t>(e - text - 2));
        count = static_cast<int>(e - text - 1);
    }
    int exponent = 0;
    for (const char* c = e + 2; c != end; ++c)
        exponent = exponent * 10 + (*c - '0');
    point = (e[1] == '-' ? -exponent : exponent) + 1;
}

// The powers of ten from the least to the most fixed-point decimal point, as doubles.
constexpr double kDecades[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4,
                               1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14};
constexpr int kLeastDecade = -5;

// A positive value that 15 significant digits give exactly, as most readings are: the one whole
// number of its 15th places that divides back to it, whose digits less its trailing zeros are the
// shortest that read back (no other decimal that short reads as the same double). False for any
// other value, which the general shortest-digits search takes.
bool QuickShortestDigits(double value, char (&digits)[32], int& count, int& point) {
    if (!(value >= kDecades[0] && value < kDecades[std::size(kDecades) - 1] * 10))
        return false;
    const int decade =
        static_cast<int>(std::upper_bound(std::begin(kDecades), std::end(kDecades), value) - kDecades) - 1 +
        kLeastDecade;
    const double scale = kExactPowersOfTen[kDigitsKept - 1 - decade];
    const double whole = std::nearbyint(value * scale);
    if (whole / scale != value || whole >= kExactPowersOfTen[kDigitsKept])
        return false;
    auto units = static_cast<std::uint64_t>(whole);
    int place = kDigitsKept;
    for (; place > 1; place -= 2, units /= 100)
        std::copy_n(&kDigitPairs[2 * (units % 100)], 2, digits + place - 2);
    if (place == 1)
        digits[0] = static_cast<char>('0' + units);
    count = kDigitsKept;
    point = decade + 1;
    return digits[0] != '0';
}

} // namespace

std::string_view JsonNumberText(double value, char* text) {
    if (!std::isfinite(value))
        return "null";
    char* out = text;
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0.0) {
        std::memcpy(out, "0.0", 3);
        return {text, static_cast<std::size_t>(out + 3 - text)};
    }
    // The shortest digits that read back exactly: the standard library's scientific form gives
    // them with their exponent, to be laid out as this tool's numbers are.
    char digits[32];
    int k = 0;
    int n = 0; // where the decimal point stands after the digits' start
    if (!QuickShortestDigits(value, digits, k, n))
        ShortestDigits(value, digits, k, n);
    while (k > 1 && digits[k - 1] == '0')
        --k;

    if (k <= n && n <= kMostFixedPoint) {
        out = std::copy(digits, digits + k, out);
        out = std::fill_n(out, n - k, '0');
        out = std::copy_n(".0", 2, out);
    } else if (0 < n && n <= kMostFixedPoint) {
        out = std::copy(digits, digits + n, out);
        *out++ = '.';
        out = std::copy(digits + n, digits + k, out);
    } else if (kLeastFixedPoint < n && n <= 0) {
        out = std::copy_n("0.", 2, out);
        out = std::fill_n(out, -n, '0');
        out = std::copy(digits, digits + k, out);
    } else {
        *out++ = digits[0];
        if (k > 1) {
            *out++ = '.';
            out = std::copy(digits + 1, digits + k, out);
        }
        *out++ = 'e';
        out = WriteExponent(out, n - 1);
    }
    return {text, static_cast<std::size_t>(out - text)};
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
