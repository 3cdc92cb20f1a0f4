#include "tools/rdf-import/AngleFormat.h"

#include "host/Text.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <cmath>

namespace rdf {
namespace {

constexpr double kPi = 3.141592653589793;

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
};

const StyleRow& RowOf(AngleStyle style) {
    for (const StyleRow& row : kStyles) {
        if (row.style == style)
            return row;
    }
    return kStyles[0];
}

// Rounded to a tenth of a second first, so that 59.96" carries into the next minute.
std::string FormatDms(double radians) {
    const double degrees = radians * 180.0 / kPi;
    const long long tenths = std::llround(std::fabs(degrees) * 36000.0);
    return fmt::format(FMT_COMPILE("{}{}\u00b0{:02}'{:02}.{}\""), degrees < 0 && tenths != 0 ? "-" : "",
                       tenths / 36000, tenths % 36000 / 600, tenths % 600 / 10, tenths % 10);
}

} // namespace

std::optional<AngleStyle> ParseAngleStyle(const std::string& name) {
    for (const StyleRow& row : kStyles) {
        if (name == row.name)
            return row.style;
    }
    return std::nullopt;
}

std::string FormatAngle(double radians, AngleStyle style) {
    if (style == AngleStyle::Dms)
        return FormatDms(radians);
    const StyleRow& row = RowOf(style);
    return host::FixedDecimal(radians * row.perRadian, row.decimals) + row.suffix;
}

std::string AngleNumber(double radians, AngleStyle style) {
    if (style == AngleStyle::Dms)
        return FormatDms(radians);
    if (style == AngleStyle::Radians)
        return host::ShortestDecimal(radians);
    return host::ShortestDecimal(radians * RowOf(style).perRadian);
}

} // namespace rdf
