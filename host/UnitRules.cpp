#include "host/UnitRules.h"
#include "host/Text.h"
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

// A digit's value, taken unsigned so that it widens without a sign extension.
std::uint64_t DigitValue(wchar_t digit) {
    return static_cast<std::uint32_t>(digit) - std::uint32_t{'0'};
}

// Where a text being read ends: at a view's end, or at the NUL that ends a converter's text,
// which is then read without being measured first. A NUL is no digit, so there a digit needs no
// test of the end.
struct ViewEnd {
    const wchar_t* end;
    bool At(const wchar_t* at) const { return at == end; }
    bool DigitAt(const wchar_t* at) const { return at != end && IsDigit(*at); }
    bool Holds(const wchar_t* at, std::ptrdiff_t count) const { return end - at >= count; }
};
struct NulEnd {
    bool At(const wchar_t* at) const { return *at == L'\0'; }
    bool DigitAt(const wchar_t* at) const { return IsDigit(*at); }
    // Its callers test each character before they read the next, so none is read past the NUL.
    bool Holds(const wchar_t*, std::ptrdiff_t) const { return true; }
};

template <class End> bool TakeSign(const wchar_t*& at, End end) {
    if (end.At(at) || (*at != L'-' && *at != L'+'))
        return false;
    return *at++ == L'-';
}

// A run of digits: where it starts, how many, and the number they make, exact for up to
// kDigitsKept of them (a longer run's number wraps around and is not used).
struct DigitRun {
    const wchar_t* first;
    std::size_t count;
    std::uint64_t value;
};

// The digits from `at` on, taken into `units` as each is checked.
template <class End> std::uint64_t TakeDigitsInto(const wchar_t*& at, End end, std::uint64_t units) {
    for (; end.DigitAt(at); ++at)
        units = units * 10 + DigitValue(*at);
    return units;
}

template <class End> DigitRun TakeDigits(const wchar_t*& at, End end) {
    const wchar_t* const first = at;
    const std::uint64_t value = TakeDigitsInto(at, end, 0);
    return {first, static_cast<std::size_t>(at - first), value};
}

bool IsExact(std::size_t digits) {
    return digits <= static_cast<std::size_t>(kDigitsKept);
}

// The whole number of at most kDigitsKept figures, exactly; through a signed conversion, which
// costs fewer instructions than an unsigned one.
double Exact(std::uint64_t value) {
    return static_cast<double>(static_cast<std::int64_t>(value));
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

// Most readings are a sign, at most 15 digits and a point, read here straight from the wide
// text, in one pass that checks each character and takes it in, as such a quotient: the very
// double the full reader gives. Anything else (an exponent, more digits, no digits, other
// characters) goes to the full reader.
template <class End> bool ReadPlainDecimal(const wchar_t* at, End end, double& value) {
    const bool negative = TakeSign(at, end);
    const wchar_t* const first = at;
    std::uint64_t units = TakeDigitsInto(at, end, 0);
    const wchar_t* const point = at; // if there is one
    const bool hasPoint = !end.At(at) && *at == L'.';
    if (hasPoint)
        units = TakeDigitsInto(++at, end, units);
    const std::ptrdiff_t decimals = hasPoint ? at - point - 1 : 0;
    const std::ptrdiff_t digits = point - first + decimals;
    if (!end.At(at) || digits == 0 || digits > kDigitsKept)
        return false;
    const double magnitude = Exact(units) / kExactPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
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

// What a minute and a second weigh in degrees.
constexpr double kDegreesPerMinute = 1.0 / 60.0;
constexpr double kDegreesPerSecond = 1.0 / 3600.0;

// The number two digits at `at` make.
int TwoDigits(const wchar_t* at) {
    return (at[0] - L'0') * 10 + (at[1] - L'0');
}

struct MinutesAndSeconds {
    int minutes;
    int seconds;
};

// The tail of almost every angle, ".MM.SS" to the end with both fields below 60, read in one
// step; nothing for any other tail, which the field-by-field reading takes. Always inline: a
// call would cost a good part of what the reading does.
template <class End>
[[gnu::always_inline]] inline std::optional<MinutesAndSeconds> UsualTail(const wchar_t* at, End end) {
    constexpr std::ptrdiff_t kLength = 6;
    if (!end.Holds(at, kLength) || at[0] != L'.' || !IsDigit(at[1]) || !IsDigit(at[2]))
        return std::nullopt;
    // Each field is taken as soon as it is read, which keeps few values at hand at once.
    const int minutes = TwoDigits(at + 1);
    if (at[3] != L'.' || !IsDigit(at[4]) || !IsDigit(at[5]) || !end.At(at + kLength))
        return std::nullopt;
    const int seconds = TwoDigits(at + 4);
    if (minutes >= 60 || seconds >= 60)
        return std::nullopt;
    return MinutesAndSeconds{minutes, seconds};
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

double Radians(double degrees, bool negative) {
    const double radians = degrees * kPi / 180.0;
    return negative ? -radians : radians;
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

// Out of line, so that the usual reading needs no room on the stack.
template <class End> [[gnu::noinline]] bool ReadAnyNumber(const wchar_t* text, End end, double& value) {
    return Store(ReadNarrowed(Whole(text, end)), value);
}

// The readers set `value` only for a text they accept.
template <class End> bool ReadNumber(const wchar_t* text, End end, double& value) {
    return ReadPlainDecimal(text, end, value) || ReadAnyNumber(text, end, value);
}

// Out of line, so that the usual angle needs no room on the stack.
template <class End> [[gnu::noinline]] bool ReadAnyDegrees(const wchar_t* text, End end, double& value) {
    return Store(ReadDegreesByFields(text, end), value);
}

// Almost every angle is whole degrees and the usual tail, read here in one pass; any other goes
// to the reading by fields, which gives the usual angle the very same double.
template <class End> bool ReadDegrees(const wchar_t* text, End end, double& value) {
    const wchar_t* at = text;
    const bool negative = TakeSign(at, end);
    const DigitRun degreeDigits = TakeDigits(at, end);
    if (degreeDigits.count == 0 || !IsExact(degreeDigits.count))
        return ReadAnyDegrees(text, end, value);
    const auto usual = UsualTail(at, end);
    if (!usual)
        return ReadAnyDegrees(text, end, value);
    double degrees = Exact(degreeDigits.value);
    degrees += usual->minutes * kDegreesPerMinute;
    degrees += usual->seconds * kDegreesPerSecond;
    value = Radians(degrees, negative);
    return true;
}

template <class Read> std::optional<double> Optional(Read read) {
    double value = 0.0;
    return read(value) ? std::optional<double>(value) : std::nullopt;
}

bool Scaled(const wchar_t* text, double factor, double& value) {
    if (!ReadNumber(text, NulEnd{}, value))
        return false;
    value *= factor;
    return true;
}

} // namespace

std::optional<double> ParseNumber(std::wstring_view text) {
    return Optional(
        [text](double& value) { return ReadNumber(text.data(), ViewEnd{text.data() + text.size()}, value); });
}

std::optional<double> ParseDegrees(std::wstring_view text) {
    return Optional([text](double& value) {
        return ReadDegrees(text.data(), ViewEnd{text.data() + text.size()}, value);
    });
}

bool DegreesToRadians(const wchar_t* text, double& value) {
    return ReadDegrees(text, NulEnd{}, value);
}
bool GonsToRadians(const wchar_t* text, double& value) {
    return Scaled(text, kPi / 200.0, value);
}
bool MilsToRadians(const wchar_t* text, double& value) {
    return Scaled(text, kPi / 3200.0, value);
}
bool Metres(const wchar_t* text, double& value) {
    return ReadNumber(text, NulEnd{}, value);
}
bool FeetToMetres(const wchar_t* text, double& value) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::InternationalFoot), value);
}
bool UsSurveyFeetToMetres(const wchar_t* text, double& value) {
    return Scaled(text, survey::MetresPer(survey::LengthUnit::UsSurveyFoot), value);
}
bool Celsius(const wchar_t* text, double& value) {
    return ReadNumber(text, NulEnd{}, value);
}

bool FahrenheitToCelsius(const wchar_t* text, double& value) {
    if (!ReadNumber(text, NulEnd{}, value))
        return false;
    value = (value - 32.0) * 5.0 / 9.0;
    return true;
}

bool MillimetresOfMercuryToHectopascals(const wchar_t* text, double& value) {
    return Scaled(text, kHectopascalsPerMillimetreOfMercury, value);
}
bool Hectopascals(const wchar_t* text, double& value) {
    return ReadNumber(text, NulEnd{}, value);
}
bool InchesOfMercuryToHectopascals(const wchar_t* text, double& value) {
    return Scaled(text, kHectopascalsPerInchOfMercury, value);
}

} // namespace host
