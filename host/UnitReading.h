// How a converter's text is read: the usual readings straight from the wide text, inline where a
// converter reads them, once a reading; any other goes to the general readers out of line.
#pragma once

#include "host/Text.h"
#include "survey/Geometry.h"

#include <cstddef>
#include <cstdint>

namespace host::reading {

inline bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// A digit's value, taken unsigned so that it widens without a sign extension.
inline std::uint64_t DigitValue(wchar_t digit) {
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

// A sign, if any, and the run of digits after it, `negative` for a minus. Most texts start with a
// digit and so have no sign: the sign is looked for only where no digit was taken.
template <class End> DigitRun TakeSignedDigits(const wchar_t*& at, End end, bool& negative) {
    negative = false;
    const DigitRun leading = TakeDigits(at, end);
    if (leading.count != 0)
        return leading;
    negative = TakeSign(at, end);
    return TakeDigits(at, end);
}

inline bool IsExact(std::size_t digits) {
    return digits <= static_cast<std::size_t>(kDigitsKept);
}

// The whole number of at most kDigitsKept figures, exactly; through a signed conversion, which
// costs fewer instructions than an unsigned one.
inline double Exact(std::uint64_t value) {
    return static_cast<double>(static_cast<std::int64_t>(value));
}

// Most readings are a sign, at most 15 digits and a point, read here straight from the wide
// text, in one pass that checks each character and takes it in, as such a quotient: the very
// double the full reader gives. Anything else (an exponent, more digits, no digits, other
// characters) goes to the full reader.
template <class End> bool ReadPlainDecimal(const wchar_t* at, End end, double& value) {
    bool negative = false;
    const DigitRun whole = TakeSignedDigits(at, end, negative);
    const wchar_t* const first = whole.first;
    std::uint64_t units = whole.value;
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

// What a minute and a second weigh in degrees.
inline constexpr double kDegreesPerMinute = 1.0 / 60.0;
inline constexpr double kDegreesPerSecond = 1.0 / 3600.0;

// The number two digits at `at` make.
inline int TwoDigits(const wchar_t* at) {
    return (at[0] - L'0') * 10 + (at[1] - L'0');
}

// The tail of almost every angle, ".MM.SS" to the end with both fields below 60, read in one
// step and added to `degrees`; false for any other tail, which the field-by-field reading takes,
// leaving `degrees` as they were. Always inline: a call would cost a good part of what the reading
// does.
template <class End>
[[gnu::always_inline]] inline bool AddUsualTail(const wchar_t* at, End end, double& degrees) {
    constexpr std::ptrdiff_t kLength = 6;
    if (!end.Holds(at, kLength) || at[0] != L'.' || !IsDigit(at[1]) || !IsDigit(at[2]))
        return false;
    // Each field is taken as soon as it is read, which keeps few values at hand at once.
    const int minutes = TwoDigits(at + 1);
    if (at[3] != L'.' || !IsDigit(at[4]) || !IsDigit(at[5]) || !end.At(at + kLength))
        return false;
    const int seconds = TwoDigits(at + 4);
    if (minutes >= 60 || seconds >= 60)
        return false;
    degrees += minutes * kDegreesPerMinute;
    degrees += seconds * kDegreesPerSecond;
    return true;
}

inline double Radians(double degrees, bool negative) {
    const double radians = degrees * survey::kPi / 180.0;
    return negative ? -radians : radians;
}

// Any number and any angle: the general readers, out of line, so that the usual reading needs no
// room on the stack. They set `value` only for a text they accept.
bool ReadAnyNumber(const wchar_t* text, NulEnd, double& value);
bool ReadAnyNumber(const wchar_t* text, ViewEnd end, double& value);
bool ReadAnyDegrees(const wchar_t* text, NulEnd, double& value);
bool ReadAnyDegrees(const wchar_t* text, ViewEnd end, double& value);

// The readers set `value` only for a text they accept.
template <class End> bool ReadNumber(const wchar_t* text, End end, double& value) {
    return ReadPlainDecimal(text, end, value) || ReadAnyNumber(text, end, value);
}

// Almost every angle is whole degrees and the usual tail, unsigned, read here in one pass; any
// other, a signed one too, goes to the reading by fields, which gives the usual angle the very
// same double.
template <class End> bool ReadDegrees(const wchar_t* text, End end, double& value) {
    const wchar_t* at = text;
    const DigitRun degreeDigits = TakeDigits(at, end);
    if (degreeDigits.count == 0 || !IsExact(degreeDigits.count))
        return ReadAnyDegrees(text, end, value);
    double degrees = Exact(degreeDigits.value);
    if (!AddUsualTail(at, end, degrees))
        return ReadAnyDegrees(text, end, value);
    value = Radians(degrees, false);
    return true;
}

} // namespace host::reading
