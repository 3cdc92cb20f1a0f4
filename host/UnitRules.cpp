#include "host/UnitRules.h"
#include "host/Text.h"
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

// Room on the stack for a number's text; any number a reading holds is far shorter.
constexpr std::size_t kShortNumber = 64;

bool IsAsciiCharacter(wchar_t c) {
    return static_cast<std::uint32_t>(c) <= 0x7F;
}

bool IsAscii(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), IsAsciiCharacter);
}

// Copies `text` into `to` as narrow characters, unless one of them is not ASCII.
bool NarrowAscii(std::wstring_view text, char* to) {
    for (const wchar_t c : text) {
        if (!IsAsciiCharacter(c))
            return false;
        *to++ = static_cast<char>(c);
    }
    return true;
}

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

// Digits of an unsigned decimal number, already checked to be ASCII, read as a whole number or,
// `asFraction`, as the digits after "0.": narrowed on the stack unless they are many. from_chars
// ignores the locale. A number beyond the range of a double does not convert.
std::optional<double> ReadDecimal(std::wstring_view digits, bool asFraction = false) {
    if (digits.size() <= static_cast<std::size_t>(kDigitsKept)) {
        std::int64_t whole = 0;
        for (const wchar_t c : digits)
            whole = whole * 10 + (c - L'0');
        return static_cast<double>(whole) / (asFraction ? kExactPowersOfTen[digits.size()] : 1.0);
    }
    char room[kShortNumber];
    std::string longer;
    const std::size_t size = digits.size() + (asFraction ? 2 : 0);
    char* const text = size <= sizeof room ? room : (longer.resize(size), longer.data());
    char* at = text;
    if (asFraction) {
        *at++ = '0';
        *at++ = '.';
    }
    std::transform(digits.begin(), digits.end(), at, [](wchar_t c) { return static_cast<char>(c); });
    double value = 0.0;
    const auto result = std::from_chars(text, text + size, value);
    if (result.ec != std::errc() || result.ptr != text + size)
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

// Most readings are a sign, at most 15 digits and a point, read here straight from the wide
// text as such a quotient, the very double the full reader gives. Anything else (an exponent,
// more digits, no digits, other characters) goes to the full reader.
std::optional<double> ReadPlainDecimal(std::wstring_view text) {
    const bool negative = TakeSign(text);
    std::int64_t whole = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (const wchar_t c : text) {
        if (c == L'.' && !point) {
            point = true;
        } else if (IsDigit(c) && digits < kDigitsKept) {
            whole = whole * 10 + (c - L'0');
            ++digits;
            decimals += point ? 1 : 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const double value = static_cast<double>(whole) / kExactPowersOfTen[decimals];
    return negative ? -value : value;
}

std::optional<double> Scaled(std::wstring_view text, double factor) {
    const auto number = ParseNumber(text);
    if (!number)
        return std::nullopt;
    return *number * factor;
}

} // namespace

std::optional<double> ParseNumber(std::wstring_view text) {
    if (const auto plain = ReadPlainDecimal(text))
        return plain;
    // Any other number's text is narrowed on the stack, and only a long one is copied.
    char room[kShortNumber];
    if (text.size() > sizeof room)
        return IsAscii(text) ? survey::ReadNumber(std::string(text.begin(), text.end())) : std::nullopt;
    if (!NarrowAscii(text, room))
        return std::nullopt;
    return survey::ReadNumber(std::string_view(room, text.size()));
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
        const auto fraction = ReadDecimal(text, true);
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
