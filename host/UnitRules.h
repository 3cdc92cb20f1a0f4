// How the host reads the texts the module hands its converters, and the host's internal units:
// metres, radians, degrees Celsius and hectopascals. Each rule returns nothing for a text it
// does not understand. All of them ignore the locale.
#pragma once

#include "host/UnitReading.h"

#include <optional>
#include <string_view>

namespace host {

// An optional sign, digits with at most one decimal point, at least one digit, and an optional
// exponent: the survey library's one reader of numbers.
std::optional<double> ParseNumber(std::wstring_view text);

// Degrees as the module hands them: [sign]D[.M[.S[.f]]] or "D.", where a minutes or seconds
// field has one or two digits and a single digit is the tens digit; minutes and seconds below
// 60; the sign applies to the whole angle. Radians.
std::optional<double> ParseDegrees(std::wstring_view text);

// The units the module names, each to the host's own unit, of a converter's NUL-terminated text,
// read as the readers above read it without measuring it first: false for a text the rule does
// not understand, which leaves `value` as it was.
using UnitRule = bool(const wchar_t* text, double& value);
UnitRule GonsToRadians, MilsToRadians; // 6400 mils to the circle
UnitRule FeetToMetres, UsSurveyFeetToMetres;
UnitRule FahrenheitToCelsius;
UnitRule MillimetresOfMercuryToHectopascals, InchesOfMercuryToHectopascals;

// The units of almost every reading, read as written: inline, so that a converter reads its text
// with no call.
inline bool DegreesToRadians(const wchar_t* text, double& value) {
    return reading::ReadDegrees(text, reading::NulEnd{}, value);
}
inline bool Metres(const wchar_t* text, double& value) {
    return reading::ReadNumber(text, reading::NulEnd{}, value);
}
inline bool Celsius(const wchar_t* text, double& value) {
    return Metres(text, value);
}
inline bool Hectopascals(const wchar_t* text, double& value) {
    return Metres(text, value);
}

} // namespace host
