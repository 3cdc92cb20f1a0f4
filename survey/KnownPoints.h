// Points the user gives on the command line (`NAME=N,E[,Z]`) or in a CSV file with a header row
// `name,northing,easting[,elevation]`. Values are read in a length unit of the caller's choice
// and kept in metres.
#pragma once

#include "survey/Survey.h"

#include <istream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace survey {

// The point, or the text of what is wrong with it.
using KnownPointOrError = std::variant<KnownPoint, std::string>;

KnownPointOrError ParseKnownPoint(std::string_view text, LengthUnit unit);

struct KnownPointList {
    std::vector<KnownPoint> points;
    std::vector<std::string> errors; // each names its line, counted from 1
};

// Reads at most kMaxKnownPointsBytes: a longer stream (a device that never ends) is an error.
// Lines may end in LF, CR LF or CR; a UTF-8 byte-order mark is skipped.
constexpr std::size_t kMaxKnownPointsBytes = 64 << 20;
KnownPointList ReadKnownPoints(std::istream& in, LengthUnit unit);

} // namespace survey
