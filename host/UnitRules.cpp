#include "host/UnitRules.h"
#include "survey/Geometry.h"

#include "survey/Survey.h"
#include "survey/Text.h"

#include <algorithm>
#include <cstdint>

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace host {
namespace {

using survey::kPi;
// Conventional manometric units, as weather services and instruments use them.
constexpr double kHectopascalsPerMillimetreOfMercury = 1.33322387415;
constexpr double kHectopascalsPerInchOfMercury = 25.4 * kHectopascalsPerMillimetreOfMercury;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool TakeSign(std::wstring_view& text) {
    if (text.empty() || (text.front() != L'-' && text.front() != L'+'))
        return false;
    const bool negative = text.front() == L'-';
    text.remove_prefix(1);
    return negative;
}

std::size_t CountDigits(std::wstring_view text) {
    std::size_t count = 0;
    while (count < text.size() && IsDigit(text[count]))
        ++count;
    return count;
}

// Digits of an unsigned decimal number, already checked to be ASCII; from_chars ignores the
// locale. A number beyond the range of a double does not convert.
std::optional<double> ReadDecimal(std::wstring_view digits) {
    const std::string narrow(digits.begin(), digits.end());
    double value = 0.0;
    const auto result = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (result.ec != std::errc() || result.ptr != narrow.data() + narrow.size())
        return std::nullopt;
    return value;
}

// A field of one or two digits, where a single digit is the tens digit ("5" means 50).
std::optional<int> ReadSexagesimalField(std::wstring_view field) {
    if (field.empty() || field.size() > 2 || CountDigits(field) != field.size())
        return std::nullopt;
    int value = (field[0] - L'0') * 10;
    if (field.size() == 2)
        value += field[1] - L'0';
    if (value >= 60)
        return std::nullopt;
    return value;
}

std::optional<double> Scaled(std::wstring_view text, double factor) {
    const auto number = ParseNumber(text);
    if (!number)
        return std::nullopt;
    return *number * factor;
}

} // namespace

std::optional<double> ParseNumber(std::wstring_view text) {
    // The number's characters are all ASCII; anything else is refused before narrowing.
    if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return static_cast<std::uint32_t>(c) > 0x7F; }))
        return std::nullopt;
    return survey::ReadNumber(std::string(text.begin(), text.end()));
}

std::optional<double> ParseDegrees(std::wstring_view text) {
    const bool negative = TakeSign(text);
    const std::size_t degreeDigits = CountDigits(text);
    if (degreeDigits == 0)
        return std::nullopt;
    const auto whole = ReadDecimal(text.substr(0, degreeDigits));
    if (!whole)
        return std::nullopt;
    double degrees = *whole;
    text.remove_prefix(degreeDigits);
    if (text == L".")
        text = {};
    // Minutes, seconds, then the fraction of a second, each after a point of its own.
    static constexpr double kWeights[] = {1.0 / 60.0, 1.0 / 3600.0};
    for (double weight : kWeights) {
        if (text.empty())
            break;
        if (text.front() != L'.')
            return std::nullopt;
        text.remove_prefix(1);
        const std::wstring_view field = text.substr(0, text.find(L'.'));
        const auto value = ReadSexagesimalField(field);
        if (!value)
            return std::nullopt;
        degrees += *value * weight;
        text.remove_prefix(field.size());
    }
    if (!text.empty()) {
        text.remove_prefix(1); // the point: the loop stops only at one
        if (text.empty() || CountDigits(text) != text.size())
            return std::nullopt;
        const auto fraction = ReadDecimal(L"0." + std::wstring(text));
        if (!fraction)
            return std::nullopt;
        degrees += *fraction / 3600.0;
    }
    const double radians = degrees * kPi / 180.0;
    return negative ? -radians : radians;
}

std::optional<double> GonsToRadians(std::wstring_view text) {
    return Scaled(text, kPi / 200.0);
}
std::optional<double> MilsToRadians(std::wstring_view text) {
    return Scaled(text, kPi / 3200.0);
}
std::optional<double> Metres(std::wstring_view text) {
    return ParseNumber(text);
}
std::optional<double> FeetToMetres(std::wstring_view text) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::InternationalFoot));
}
std::optional<double> UsSurveyFeetToMetres(std::wstring_view text) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::UsSurveyFoot));
}
std::optional<double> Celsius(std::wstring_view text) {
    return ParseNumber(text);
}

std::optional<double> FahrenheitToCelsius(std::wstring_view text) {
    const auto fahrenheit = ParseNumber(text);
    if (!fahrenheit)
        return std::nullopt;
    return (*fahrenheit - 32.0) * 5.0 / 9.0;
}

std::optional<double> MillimetresOfMercuryToHectopascals(std::wstring_view text) {
    return Scaled(text, kHectopascalsPerMillimetreOfMercury);
}
std::optional<double> Hectopascals(std::wstring_view text) {
    return ParseNumber(text);
}
std::optional<double> InchesOfMercuryToHectopascals(std::wstring_view text) {
    return Scaled(text, kHectopascalsPerInchOfMercury);
}

} // namespace host
