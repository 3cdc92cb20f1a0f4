#include "tools/rdf-import/coordinates/CoordinateText.h"

#include "host/Text.h"

#include <algorithm>
#include <cmath>

namespace rdf {
namespace {

constexpr double kSecondsPerRadian = 180 / 3.14159265358979323846 * 3600;

// In the order of the enumerations.
constexpr const char* kUnitSymbols[] = {"m", "ft", "usft"};
constexpr const char* kStatusNames[] = {"oriented", "not located", "not oriented"};

std::string Length(double metres, survey::LengthUnit unit, int decimals) {
    return host::FixedDecimal(metres / survey::MetresPer(unit), decimals);
}

std::string Signed(const std::string& text) {
    return text[0] == '-' ? text : "+" + text;
}

// Residuals and instrument errors in seconds; a blunder past a degree in degrees, minutes and seconds.
std::string Seconds(double radians) {
    const double seconds = radians * kSecondsPerRadian;
    if (std::abs(seconds) >= 3600)
        return (seconds < 0 ? "-" : "+") + FormatAngle(std::abs(radians), AngleStyle::Dms);
    return Signed(host::FixedDecimal(seconds, 1)) + "\"";
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Columns padded to their widest cell: names left, numbers right.
class Table {
public:
    explicit Table(std::vector<bool> rightAligned) : right(std::move(rightAligned)) {}

    void Row(std::vector<std::string> cells) { rows.push_back(std::move(cells)); }

    std::string Text(const std::string& indent) const {
        std::vector<std::size_t> widths(right.size(), 0);
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], Width(row[i]));
        }
        std::string text;
        for (const auto& row : rows) {
            std::string line = indent;
            for (std::size_t i = 0; i < row.size(); ++i) {
                const std::string pad(widths[i] - Width(row[i]), ' ');
                line += (i == 0 ? "" : "  ") + (right[i] ? pad + row[i] : row[i] + pad);
            }
            line.erase(line.find_last_not_of(' ') + 1);
            text += line + '\n';
        }
        return text;
    }

private:
    // Characters, not bytes: names may be Cyrillic.
    static std::size_t Width(const std::string& text) {
        return static_cast<std::size_t>(std::count_if(
            text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    }

    std::vector<bool> right;
    std::vector<std::vector<std::string>> rows;
};

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Source(const survey::Coordinate& point, survey::LengthUnit unit) {
    if (point.source == survey::PointSource::Known)
        return "known";
    std::string text = "from " + Joined(point.fromStations);
    if (point.horizontalSpread)
        text += "  spread " + Length(*point.horizontalSpread, unit, 3);
    if (point.verticalSpread)
        text += " / " + Length(*point.verticalSpread, unit, 3);
    return text;
}

std::string Points(const survey::Reduction& reduction, survey::LengthUnit unit) {
    Table table({false, true, true, true, false, false});
    table.Row({"name", "northing", "easting", "elevation", "code", "source"});
    for (const survey::Coordinate& point : reduction.coordinates) {
        table.Row({point.name, Length(point.northing, unit, 3), Length(point.easting, unit, 3),
                   point.elevation ? Length(*point.elevation, unit, 3) : "", point.code,
                   Source(point, unit)});
    }
    return table.Text("    ");
}

std::string Stations(const survey::Reduction& reduction, survey::LengthUnit unit, AngleStyle angles) {
    std::string text;
    for (const survey::StationResult& station : reduction.stations) {
        text += "    " + station.name;
        if (station.northing)
            text += "  N " + Length(*station.northing, unit, 3) + "  E " + Length(*station.easting, unit, 3);
        if (station.elevation)
            text += "  Z " + Length(*station.elevation, unit, 3);
        text += station.orientation ? "  orientation " + FormatAngle(*station.orientation, angles)
                                    : std::string("  ") + StatusName(station.status);
        text += '\n';
        if (station.checks.empty())
            continue;
        Table residuals({false, true, true, true});
        residuals.Row({"residuals", "azimuth", "distance", "elevation"});
        for (const survey::Check& check : station.checks) {
            residuals.Row({check.target, Seconds(check.azimuthResidual),
                           check.horizontalDistanceResidual
                               ? Signed(Length(*check.horizontalDistanceResidual, unit, 3))
                               : "",
                           check.elevationResidual ? Signed(Length(*check.elevationResidual, unit, 3)) : ""});
        }
        text += residuals.Text("      ");
    }
    return text;
}

std::string Rounds(const survey::Reduction& reduction, survey::LengthUnit unit, AngleStyle angles) {
    Table table({false, false, true, true, true, true, true, false});
    table.Row({"station", "target", "horizontal", "zenith", "collimation", "index", "dist. diff.", ""});
    for (const survey::FaceRound& round : reduction.rounds) {
        table.Row({round.station, round.target, FormatAngle(round.horizontalAngle, angles),
                   FormatAngle(round.zenithAngle, angles), Seconds(round.collimationError),
                   Seconds(round.indexError),
                   round.distanceDifference ? Signed(Length(*round.distanceDifference, unit, 3)) : "",
                   round.withinTolerance ? "" : "outside the tolerances"});
    }
    return table.Text("    ");
}

} // namespace

const char* UnitSymbol(survey::LengthUnit unit) {
    return kUnitSymbols[static_cast<std::size_t>(unit)];
}

const char* StatusName(survey::StationStatus status) {
    return kStatusNames[static_cast<std::size_t>(status)];
}

std::string PointListHeader(survey::LengthUnit unit, bool eastingFirst) {
    const std::string suffix = std::string("_") + UnitSymbol(unit);
    const std::string northing = "northing" + suffix;
    const std::string easting = "easting" + suffix;
    return "name," + (eastingFirst ? easting + "," + northing : northing + "," + easting) + ",elevation" +
           suffix + ",code\n";
}

std::string PointListRows(const survey::FileSurvey& file, survey::LengthUnit unit, bool eastingFirst) {
    std::string text;
    for (const survey::Coordinate& point : file.reduction.coordinates) {
        const std::string northing = Length(point.northing, unit, 4);
        const std::string easting = Length(point.easting, unit, 4);
        text += CsvField(point.name) + "," +
                (eastingFirst ? easting + "," + northing : northing + "," + easting) + "," +
                (point.elevation ? Length(*point.elevation, unit, 4) : "") + "," + CsvField(point.code) +
                "\n";
    }
    return text;
}

std::string CoordinateListing(const survey::FileSurvey& file, survey::LengthUnit unit, AngleStyle angles) {
    const survey::Reduction& reduction = file.reduction;
    if (reduction.coordinates.empty() && reduction.stations.empty() && reduction.diagnostics.empty())
        return {};
    std::string text = std::string("  coordinates (") + UnitSymbol(unit) + ")\n";
    if (!reduction.coordinates.empty())
        text += Points(reduction, unit);
    if (!reduction.stations.empty())
        text += "  station orientations\n" + Stations(reduction, unit, angles);
    if (!reduction.rounds.empty())
        text += "  face rounds\n" + Rounds(reduction, unit, angles);
    for (const survey::Diagnostic& diagnostic : reduction.diagnostics) {
        text += "  " + file.path + (diagnostic.line ? ":" + std::to_string(*diagnostic.line + 1) : "") +
                ": " + diagnostic.text + "\n";
    }
    return text;
}

} // namespace rdf
