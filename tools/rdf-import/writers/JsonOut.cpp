#include "tools/rdf-import/writers/JsonOut.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace rdf {
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
    // The shortest digits that read back exactly, from the library, as d.ddde±x.
    char scientific[32];
    const char* end =
        std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific).ptr;
    const char* e =
        static_cast<const char*>(std::memchr(scientific, 'e', static_cast<std::size_t>(end - scientific)));
    char digits[20];
    int k = 0;
    for (const char* c = scientific; c < e; ++c) {
        if (*c != '.')
            digits[k++] = *c;
    }
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    const int n = exponent + 1; // where the decimal point stands after the digits' start

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

void JsonOut::Number(double value) {
    char text[32];
    const std::string_view number = JsonNumberText(value, text);
    if (number == "null")
        json.Null();
    else
        json.RawValue(number.data(), number.size(), rapidjson::kNumberType);
}

} // namespace rdf
