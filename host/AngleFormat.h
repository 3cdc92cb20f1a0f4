// How the outputs show angles, which the host keeps in radians.
#pragma once

#include "host/Text.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <string_view>

namespace host {

enum class AngleStyle { Dms, Degrees, Gons, Radians, Mils };

// "dms", "deg", "gon", "rad", "mil"; none for any other name.
std::optional<AngleStyle> ParseAngleStyle(const std::string& name);

// The style of a job's own angle unit: gons and mils as they are, degrees as degrees-minutes-seconds.
AngleStyle JobAngleStyle(const std::optional<survey::AngleUnit>& unit);

// For people: 123°45'30.0", 123.458333°, 137.17593 gon, 2.1547970 rad, 2198.815 mil.
std::string FormatAngle(double radians, AngleStyle style);
// The same text in `room`, which must hold kAngleTextRoom characters.
constexpr std::size_t kAngleTextRoom = host::kFixedDecimalRoom + 8;
std::string_view FormatAngle(double radians, AngleStyle style, char* room);
// For tools: the shortest exact number in the unit of the style; degrees-minutes-seconds as text.
std::string AngleNumber(double radians, AngleStyle style);

} // namespace host
