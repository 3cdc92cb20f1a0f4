#include "tools/rdf-import/writers/JsonOut.h"

#include "host/JsonText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fmt/compile.h>
#include <fmt/format.h>

namespace rdf {
namespace {

// Fixed-point text for decimal points from 10^-5 up to 10^15, as printf's %g would, else an
// exponent of at least two digits.
constexpr int kLeastFixedPoint = -4;
constexpr int kMostFixedPoint = 15;

constexpr double PowerOfTen(int exponent) {
    return exponent == 0 ? 1.0 : 10.0 * PowerOfTen(exponent - 1);
}
constexpr double kLeastWithExponent = PowerOfTen(kMostFixedPoint);

char* WriteExponent(char* out, int exponent) {
    *out++ = exponent < 0 ? '-' : '+';
    exponent = std::abs(exponent);
    if (exponent < 10)
        *out++ = '0';
    return std::to_chars(out, out + 4, exponent).ptr;
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
    // The shortest digits that read back exactly, from the library, fixed-point or with an
    // exponent as it chooses; taken apart into the digits and where the decimal point stands.
    char shortest[32];
    const char* const end = fmt::format_to(shortest, FMT_COMPILE("{}"), value);
    const std::string_view library(shortest, static_cast<std::size_t>(end - shortest));
    // Most numbers already stand as they should: with an exponent beyond the fixed-point range,
    // or fixed-point below 10^15, where a whole number only lacks its ".0".
    if (library.find('e') != std::string_view::npos || value < kLeastWithExponent) {
        out = std::copy(library.begin(), library.end(), out);
        if (library.find_first_of(".e") == std::string_view::npos)
            out = std::copy_n(".0", 2, out);
        return {text, static_cast<std::size_t>(out - text)};
    }
    const char* const e = std::find(static_cast<const char*>(shortest), end, 'e');
    char digits[24];
    int k = 0;
    int n = 0; // where the decimal point stands after the digits' start
    bool beforePoint = true;
    for (const char* c = shortest; c < e; ++c) {
        if (*c == '.') {
            beforePoint = false;
        } else if (k > 0 || *c != '0') {
            digits[k++] = *c;
            n += beforePoint ? 1 : 0;
        } else if (!beforePoint) {
            --n; // a zero between the point and the first digit
        }
    }
    if (e != end) {
        int exponent = 0;
        std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
        n += exponent;
    }
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
    host::WriteJsonText(json, out, text);
}

void JsonOut::Number(double value) {
    char text[32];
    const std::string_view number = JsonNumberText(value, text);
    if (number == "null")
        json.Null();
    else
        host::WriteJsonRaw(json, out, number, rapidjson::kNumberType);
}

} // namespace rdf
