#include "host/AngleFormat.h"
#include "survey/Geometry.h"

#include "host/Text.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {
namespace {

using survey::kPi;
constexpr char kDegreeSign[] = "\u00b0";

struct StyleRow {
    const char* name;
    AngleStyle style;
    double perRadian; // units of the style in one radian
    int decimals;
    const char* suffix;
};

constexpr StyleRow kStyles[] = {
    {"dms", AngleStyle::Dms, 180.0 / kPi, 0, ""},
    {"deg", AngleStyle::Degrees, 180.0 / kPi, 6, "\u00b0"},
    {"gon", AngleStyle::Gons, 200.0 / kPi, 5, " gon"},
    {"rad", AngleStyle::Radians, 1.0, 7, " rad"},
    {"mil", AngleStyle::Mils, 3200.0 / kPi, 3, " mil"}, // 6400 to the circle, as the host reads them
};

const StyleRow& RowOf(AngleStyle style) {
    for (const StyleRow& row : kStyles) {
        if (row.style == style)
            return row;
    }
    return kStyles[0];
}

char* TwoDigits(char* out, long long value) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

// Beyond 2^53 tenths of a second (about 2.5e11 degrees) a double no longer holds every tenth, and
// counting them in an integer would overflow: such angles, and NaN and infinities, are shown as
// whole degrees in the fixed-point text, which every double has.
constexpr double kMostDmsTenths = 9007199254740992.0;

std::string_view FormatDegreesOnly(double degrees, char* room) {
    const std::string_view number = host::FixedDecimal(degrees, 0, room);
    char* const end = room + (number.data() - room) + number.size();
    std::memcpy(end, kDegreeSign, sizeof kDegreeSign - 1);
    return {number.data(), number.size() + sizeof kDegreeSign - 1};
}

// Rounded to a tenth of a second first, so that 59.96" carries into the next minute. A listing
// shows two angles in every row, so the digits are put in place rather than formatted.
std::string_view FormatDms(double radians, char* room) {
    const double degrees = radians * 180.0 / kPi;
    if (!(std::fabs(degrees) * 36000.0 < kMostDmsTenths))
        return FormatDegreesOnly(degrees, room);
    const long long tenths = std::llround(std::fabs(degrees) * 36000.0);
    char* out = room;
    if (degrees < 0 && tenths != 0)
        *out++ = '-';
    out = fmt::format_to(out, FMT_COMPILE("{}"), tenths / 36000);
    out = std::copy_n(kDegreeSign, sizeof kDegreeSign - 1, out);
    out = TwoDigits(out, tenths % 36000 / 600);
    *out++ = '\'';
    out = TwoDigits(out, tenths % 600 / 10);
    *out++ = '.';
    *out++ = static_cast<char>('0' + tenths % 10);
    *out++ = '"';
    return {room, static_cast<std::size_t>(out - room)};
}

} // namespace

std::optional<AngleStyle> ParseAngleStyle(const std::string& name) {
    for (const StyleRow& row : kStyles) {
        if (name == row.name)
            return row.style;
    }
    return std::nullopt;
}

AngleStyle JobAngleStyle(const std::optional<survey::AngleUnit>& unit) {
    if (unit == survey::AngleUnit::Gons)
        return AngleStyle::Gons;
    if (unit == survey::AngleUnit::Mils)
        return AngleStyle::Mils;
    return AngleStyle::Dms;
}

std::string FormatAngle(double radians, AngleStyle style) {
    char room[kAngleTextRoom];
    return std::string(FormatAngle(radians, style, room));
}

std::string_view FormatAngle(double radians, AngleStyle style, char* room) {
    if (style == AngleStyle::Dms)
        return FormatDms(radians, room);
    const StyleRow& row = RowOf(style);
    const std::string_view number = host::FixedDecimal(radians * row.perRadian, row.decimals, room);
    const std::size_t suffix = std::strlen(row.suffix);
    std::memcpy(room + (number.data() - room) + number.size(), row.suffix, suffix);
    return {number.data(), number.size() + suffix};
}

std::string AngleNumber(double radians, AngleStyle style) {
    if (style == AngleStyle::Dms)
        return FormatAngle(radians, style);
    if (style == AngleStyle::Radians)
        return host::ShortestDecimal(radians);
    return host::ShortestDecimal(radians * RowOf(style).perRadian);
}

} // namespace host
