#include "host/UnitRules.h"
#include "host/Text.h"
#include "host/UnitReading.h"
#include "survey/Geometry.h"

#include "survey/Survey.h"
#include "survey/Text.h"

#include <algorithm>
#include <cstdint>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>

namespace host {
namespace reading {
namespace {

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

// More digits than a double holds exactly, narrowed on the stack unless they are many, for
// from_chars, which ignores the locale; `asFraction`, they are the digits after "0.". A number
// beyond the range of a double does not convert.
std::optional<double> ReadLongDecimal(const DigitRun& digits, bool asFraction) {
    char room[kShortNumber];
    std::string longer;
    const std::size_t size = digits.count + (asFraction ? 2 : 0);
    char* const text = size <= sizeof room ? room : (longer.resize(size), longer.data());
    char* at = text;
    if (asFraction) {
        *at++ = '0';
        *at++ = '.';
    }
    std::transform(digits.first, digits.first + digits.count, at,
                   [](wchar_t c) { return static_cast<char>(c); });
    double value = 0.0;
    const auto result = std::from_chars(text, text + size, value);
    if (result.ec != std::errc() || result.ptr != text + size)
        return std::nullopt;
    return value;
}

// The digits after a point, read as a fraction.
std::optional<double> ReadFraction(const DigitRun& digits) {
    if (!IsExact(digits.count))
        return ReadLongDecimal(digits, true);
    return Exact(digits.value) / kExactPowersOfTen[digits.count];
}

// After a point, a field of one or two digits, where a single digit is the tens digit ("5" means
// 50), below 60, that ends the text or is followed by a point.
template <class End> std::optional<int> TakeSexagesimalField(const wchar_t*& at, End end) {
    const DigitRun field = TakeDigits(at, end);
    if (field.count == 0 || field.count > 2 || (!end.At(at) && *at != L'.'))
        return std::nullopt;
    const auto value = static_cast<int>(field.count == 1 ? field.value * 10 : field.value);
    if (value >= 60)
        return std::nullopt;
    return value;
}

// Any other number's text is narrowed on the stack, and only a long one is copied.
std::optional<double> ReadNarrowed(std::wstring_view text) {
    char room[kShortNumber];
    if (text.size() > sizeof room)
        return IsAscii(text) ? survey::ReadNumber(std::string(text.begin(), text.end())) : std::nullopt;
    if (!NarrowAscii(text, room))
        return std::nullopt;
    return survey::ReadNumber(std::string_view(room, text.size()));
}

// Minutes, seconds and the fraction of a second after the degrees, each after a point of its
// own, added to `degrees`; false for a malformed tail.
template <class End> bool AddTail(const wchar_t* at, End end, double& degrees) {
    if (!end.At(at) && *at == L'.' && end.At(at + 1))
        ++at; // "D." is whole degrees
    for (const double weight : {kDegreesPerMinute, kDegreesPerSecond}) {
        if (end.At(at))
            return true;
        if (*at++ != L'.')
            return false;
        const auto value = TakeSexagesimalField(at, end);
        if (!value)
            return false;
        degrees += *value * weight;
    }
    if (end.At(at))
        return true;
    ++at; // the point: a field ends only at one
    const DigitRun fractionDigits = TakeDigits(at, end);
    if (fractionDigits.count == 0 || !end.At(at))
        return false;
    const auto fraction = ReadFraction(fractionDigits);
    if (!fraction)
        return false;
    degrees += *fraction / 3600.0;
    return true;
}

// Any angle, field by field.
template <class End> std::optional<double> ReadDegreesByFields(const wchar_t* at, End end) {
    const bool negative = TakeSign(at, end);
    const DigitRun degreeDigits = TakeDigits(at, end);
    if (degreeDigits.count == 0)
        return std::nullopt;
    // Whole degrees are read here, the general reader taking only a long run of digits.
    const auto whole =
        IsExact(degreeDigits.count) ? Exact(degreeDigits.value) : ReadLongDecimal(degreeDigits, false);
    if (!whole)
        return std::nullopt;
    double degrees = *whole;
    if (!AddTail(at, end, degrees))
        return std::nullopt;
    return Radians(degrees, negative);
}

// Sets `value` to what `read` holds, if anything; whether it did.
bool Store(const std::optional<double>& read, double& value) {
    if (read)
        value = *read;
    return read.has_value();
}

std::wstring_view Whole(const wchar_t* text, ViewEnd end) {
    return {text, static_cast<std::size_t>(end.end - text)};
}
std::wstring_view Whole(const wchar_t* text, NulEnd) {
    return text;
}

} // namespace

bool ReadAnyNumber(const wchar_t* text, NulEnd end, double& value) {
    return Store(ReadNarrowed(Whole(text, end)), value);
}
bool ReadAnyNumber(const wchar_t* text, ViewEnd end, double& value) {
    return Store(ReadNarrowed(Whole(text, end)), value);
}
bool ReadAnyDegrees(const wchar_t* text, NulEnd end, double& value) {
    return Store(ReadDegreesByFields(text, end), value);
}
bool ReadAnyDegrees(const wchar_t* text, ViewEnd end, double& value) {
    return Store(ReadDegreesByFields(text, end), value);
}

} // namespace reading

namespace {

using reading::ViewEnd;
using survey::kPi;

// Conventional manometric units, as weather services and instruments use them.
constexpr double kHectopascalsPerMillimetreOfMercury = 1.33322387415;
constexpr double kHectopascalsPerInchOfMercury = 25.4 * kHectopascalsPerMillimetreOfMercury;

template <class Read> std::optional<double> Optional(Read read) {
    double value = 0.0;
    return read(value) ? std::optional<double>(value) : std::nullopt;
}

bool Scaled(const wchar_t* text, double factor, double& value) {
    if (!Metres(text, value))
        return false;
    value *= factor;
    return true;
}

} // namespace

std::optional<double> ParseNumber(std::wstring_view text) {
    return Optional([text](double& value) {
        return reading::ReadNumber(text.data(), ViewEnd{text.data() + text.size()}, value);
    });
}

std::optional<double> ParseDegrees(std::wstring_view text) {
    return Optional([text](double& value) {
        return reading::ReadDegrees(text.data(), ViewEnd{text.data() + text.size()}, value);
    });
}

bool GonsToRadians(const wchar_t* text, double& value) {
    return Scaled(text, kPi / 200.0, value);
}
bool MilsToRadians(const wchar_t* text, double& value) {
    return Scaled(text, kPi / 3200.0, value);
}
bool FeetToMetres(const wchar_t* text, double& value) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::InternationalFoot), value);
}
bool UsSurveyFeetToMetres(const wchar_t* text, double& value) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::UsSurveyFoot), value);
}

bool FahrenheitToCelsius(const wchar_t* text, double& value) {
    if (!Celsius(text, value))
        return false;
    value = (value - 32.0) * 5.0 / 9.0;
    return true;
}

bool MillimetresOfMercuryToHectopascals(const wchar_t* text, double& value) {
    return Scaled(text, kHectopascalsPerMillimetreOfMercury, value);
}
bool InchesOfMercuryToHectopascals(const wchar_t* text, double& value) {
    return Scaled(text, kHectopascalsPerInchOfMercury, value);
}

} // namespace host
