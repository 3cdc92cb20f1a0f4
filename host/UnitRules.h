// How the host reads the texts the module hands its converters, and the host's internal units:
// metres, radians, degrees Celsius and hectopascals. Each rule returns nothing for a text it
// does not understand. All of them ignore the locale.
#pragma once

#include <optional>
#include <string_view>

namespace host {

// An optional sign, digits with at most one decimal point, at least one digit; nothing else.
std::optional<double> ParseNumber(std::wstring_view text);

// Degrees as the module hands them: [sign]D[.M[.S[.f]]] or "D.", where a minutes or seconds
// field has one or two digits and a single digit is the tens digit; minutes and seconds below
// 60; the sign applies to the whole angle. Radians.
std::optional<double> ParseDegrees(std::wstring_view text);

std::optional<double> GonsToRadians(std::wstring_view text);
// 6400 mils to the circle.
std::optional<double> MilsToRadians(std::wstring_view text);
std::optional<double> Metres(std::wstring_view text);
std::optional<double> FeetToMetres(std::wstring_view text);
std::optional<double> UsSurveyFeetToMetres(std::wstring_view text);
std::optional<double> Celsius(std::wstring_view text);
std::optional<double> FahrenheitToCelsius(std::wstring_view text);
std::optional<double> MillimetresOfMercuryToHectopascals(std::wstring_view text);
std::optional<double> Hectopascals(std::wstring_view text);
std::optional<double> InchesOfMercuryToHectopascals(std::wstring_view text);

} // namespace host
