#include "survey/Text.h"
#include "survey/Geometry.h"

#include <charconv>
#include <cmath>

namespace survey {
namespace {

std::size_t Digits(std::string_view text, std::size_t from) {
    std::size_t at = from;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    return at - from;
}

bool IsSign(std::string_view text, std::size_t at) {
    return at < text.size() && (text[at] == '+' || text[at] == '-');
}

// Digits with at most one point, at least one digit, then an optional exponent.
bool WellFormed(std::string_view text) {
    std::size_t at = Digits(text, 0);
    std::size_t digits = at;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = Digits(text, at + 1);
        digits += fraction;
        at += 1 + fraction;
    }
    if (digits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        at += IsSign(text, at + 1) ? 2 : 1;
        const std::size_t exponent = Digits(text, at);
        if (exponent == 0)
            return false;
        at += exponent;
    }
    return at == text.size();
}

} // namespace

std::optional<double> ReadNumber(std::string_view text) {
    const bool negative = IsSign(text, 0) && text[0] == '-';
    if (IsSign(text, 0))
        text.remove_prefix(1);
    if (!WellFormed(text))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::string FixedText(double value, int decimals, bool sign) {
    char text[400];
    char* const start = text + 1;
    const auto written = std::to_chars(start, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (!sign || *start == '-' || std::isnan(value))
        return std::string(start, written.ptr);
    text[0] = '+';
    return std::string(text, written.ptr);
}

std::string SecondsText(double radians) {
    const double seconds = radians * 180 / kPi * 3600;
    if (std::abs(seconds) < 3600)
        return FixedText(seconds, 1, true) + "\"";
    return FixedText(seconds / 3600, 4, true) + "\u00b0";
}

} // namespace survey
