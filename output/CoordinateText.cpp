#include "output/CoordinateText.h"
#include "survey/Geometry.h"

#include <set>

#include "host/Text.h"
#include "output/TextTable.h"

#include <algorithm>
#include <cmath>

namespace rdf {
namespace {

constexpr double kSecondsPerRadian = 180 / survey::kPi * 3600;

// In the order of the enumerations.

// Each number's text is made in a room on the stack and copied once, to where it is written.
struct Room {
    char text[host::kAngleTextRoom + 2];
};

std::string_view Length(double metres, survey::LengthUnit unit, int decimals, Room& room) {
    return host::FixedDecimal(metres / survey::MetresPer(unit), decimals, room.text);
}

// The text of `write`, which leaves the first character of the room free, with a plus sign
// before it unless it has a minus sign.
template <class Write> std::string_view Signed(Room& room, Write write) {
    const std::string_view text = write(room.text + 1);
    if (text[0] == '-')
        return text;
    char* const sign = room.text + (text.data() - room.text) - 1;
    *sign = '+';
    return {sign, text.size() + 1};
}

std::string_view SignedLength(double metres, survey::LengthUnit unit, Room& room) {
    return Signed(room,
                  [&](char* at) { return host::FixedDecimal(metres / survey::MetresPer(unit), 3, at); });
}

// Residuals and instrument errors in seconds; a blunder past a degree in degrees, minutes and seconds.
std::string_view Seconds(double radians, Room& room) {
    const double seconds = radians * kSecondsPerRadian;
    if (std::abs(seconds) >= 3600) {
        room.text[0] = seconds < 0 ? '-' : '+';
        const std::string_view angle =
            host::FormatAngle(std::abs(radians), host::AngleStyle::Dms, room.text + 1);
        return {room.text, angle.size() + 1};
    }
    const std::string_view text = Signed(room, [&](char* at) { return host::FixedDecimal(seconds, 1, at); });
    char* const end = room.text + (text.data() - room.text) + text.size();
    *end = '"';
    return {text.data(), text.size() + 1};
}

void AppendJoined(std::string& text, const std::vector<std::string_view>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += names[i];
    }
}

void Source(std::string& text, const survey::ReducedFile::View& point, survey::LengthUnit unit) {
    text.clear();
    if (point.source == survey::PointSource::Known) {
        text += "known";
        return;
    }
    Room room;
    text += "from ";
    AppendJoined(text, point.stations);
    if (point.horizontalSpread) {
        text += "  spread ";
        text += Length(*point.horizontalSpread, unit, 3, room);
    }
    if (point.verticalSpread) {
        text += " / ";
        text += Length(*point.verticalSpread, unit, 3, room);
    }
}

void Points(host::BufferedOutput& out, const survey::ReducedFile& coordinates, survey::LengthUnit unit) {
    TextTable table{{"name", TextTable::Left},     {"northing", TextTable::Right},
                    {"easting", TextTable::Right}, {"elevation", TextTable::Right},
                    {"code", TextTable::Left},     {"source", TextTable::Left}};
    // A row for every located point: measured, then written, without holding them all.
    table.WriteRows(out, "    ", [&](auto cell) {
        Room room;
        std::string source;
        coordinates.ForEachCoordinate([&](const survey::ReducedFile::View& point) {
            cell(point.name);
            cell(Length(point.northing, unit, 3, room));
            cell(Length(point.easting, unit, 3, room));
            cell(point.elevation ? Length(*point.elevation, unit, 3, room) : "");
            cell(point.code);
            Source(source, point, unit);
            cell(source);
        });
    });
}

void Stations(host::BufferedOutput& out, const survey::Reduction& reduction, survey::LengthUnit unit,
              host::AngleStyle angles) {
    Room room;
    for (const survey::StationResult& station : reduction.stations) {
        out.Write("    ");
        out.Write(station.name);
        if (station.northing) {
            out.Write("  N ");
            out.Write(Length(*station.northing, unit, 3, room));
            out.Write("  E ");
            out.Write(Length(*station.easting, unit, 3, room));
        }
        if (station.elevation) {
            out.Write("  Z ");
            out.Write(Length(*station.elevation, unit, 3, room));
        }
        if (station.orientation) {
            out.Write("  orientation ");
            out.Write(host::FormatAngle(*station.orientation, angles, room.text));
        } else {
            out.Write("  ");
            out.Write(survey::StatusName(station.status));
        }
        out.Put('\n');
        if (station.checks.empty())
            continue;
        TextTable residuals{{"residuals", TextTable::Left},
                            {"azimuth", TextTable::Right},
                            {"distance", TextTable::Right},
                            {"elevation", TextTable::Right}};
        for (const survey::Check& check : station.checks) {
            residuals.Cell(check.target);
            residuals.Cell(Seconds(check.azimuthResidual, room));
            residuals.Cell(check.horizontalDistanceResidual
                               ? SignedLength(*check.horizontalDistanceResidual, unit, room)
                               : "");
            residuals.Cell(check.elevationResidual ? SignedLength(*check.elevationResidual, unit, room) : "");
        }
        residuals.Write(out, "      ");
    }
}

void Rounds(host::BufferedOutput& out, const survey::Reduction& reduction, survey::LengthUnit unit,
            host::AngleStyle angles) {
    TextTable table{{"station", TextTable::Left},      {"target", TextTable::Left},
                    {"horizontal", TextTable::Right},  {"zenith", TextTable::Right},
                    {"collimation", TextTable::Right}, {"index", TextTable::Right},
                    {"dist. diff.", TextTable::Right}, {"", TextTable::Left}};
    table.WriteRows(out, "    ", [&](auto cell) {
        Room room;
        for (const survey::FaceRound& round : reduction.rounds) {
            cell(round.station);
            cell(round.target);
            cell(host::FormatAngle(round.horizontalAngle, angles, room.text));
            cell(host::FormatAngle(round.zenithAngle, angles, room.text));
            cell(Seconds(round.collimationError, room));
            cell(Seconds(round.indexError, room));
            cell(round.distanceDifference ? SignedLength(*round.distanceDifference, unit, room) : "");
            cell(round.withinTolerance ? "" : "outside the tolerances");
        }
    });
}

} // namespace

std::string PointListHeader(survey::LengthUnit unit, bool eastingFirst) {
    const std::string suffix = std::string("_") + survey::UnitSymbol(unit);
    const std::string northing = "northing" + suffix;
    const std::string easting = "easting" + suffix;
    return "name," + (eastingFirst ? easting + "," + northing : northing + "," + easting) + ",elevation" +
           suffix + ",code\n";
}

void WritePointListRows(host::BufferedOutput& out, const survey::ReducedFile& coordinates,
                        survey::LengthUnit unit, bool eastingFirst) {
    const double metresPerUnit = survey::MetresPer(unit);
    // Each row is laid out in place after one check of the room: its fields, each number with the
    // room of any double, the commas and the line end.
    constexpr std::size_t kNumbersRoom = 3 * (host::kFixedDecimalRoom + 1) + 1;
    const auto put = [&](char* at, double metres) {
        *at++ = ',';
        return host::PutFixedDecimal(metres / metresPerUnit, 4, at);
    };
    const std::size_t count = coordinates.CoordinateCount();
    for (std::size_t index = 0; index < count; ++index) {
        const survey::ReducedFile::Row row = coordinates.RowAt(index);
        char* at = out.Room(host::CsvFieldRoom(row.name) + kNumbersRoom + host::CsvFieldRoom(row.code));
        at = host::PutCsvField(at, row.name);
        at = put(at, eastingFirst ? row.easting : row.northing);
        at = put(at, eastingFirst ? row.northing : row.easting);
        *at++ = ',';
        if (row.elevation)
            at = host::PutFixedDecimal(*row.elevation / metresPerUnit, 4, at);
        *at++ = ',';
        at = host::PutCsvField(at, row.code);
        *at++ = '\n';
        out.Commit(at);
    }
}

void WriteAdjustedPointList(host::BufferedOutput& out, const std::vector<survey::FileSurvey>& surveys,
                            survey::LengthUnit unit, bool eastingFirst, bool header) {
    if (header) {
        const std::string suffix = std::string("_") + UnitSymbol(unit);
        std::string text = PointListHeader(unit, eastingFirst);
        text.pop_back();
        const char* const sds[] = {eastingFirst ? "sdEasting" : "sdNorthing",
                                   eastingFirst ? "sdNorthing" : "sdEasting", "sdElevation"};
        for (const char* sd : sds)
            text += std::string(",") + sd + suffix;
        out.Write(text + '\n');
    }
    std::set<std::string> written;
    std::string text;
    Room room;
    const auto field = [&](std::optional<double> metres, int decimals) {
        text += ',';
        if (metres)
            text += Length(*metres, unit, decimals, room);
    };
    for (const survey::FileSurvey& file : surveys) {
        for (const survey::Coordinate& point : file.reduction.coordinates) {
            if (!written.insert(point.name).second)
                continue;
            text.clear();
            host::AppendCsvField(text, point.name);
            field(eastingFirst ? point.easting : point.northing, 4);
            field(eastingFirst ? point.northing : point.easting, 4);
            field(point.elevation, 4);
            text += ',';
            host::AppendCsvField(text, point.code);
            const std::optional<survey::Precision>& p = point.precision;
            field(p ? std::optional(eastingFirst ? p->sdEasting : p->sdNorthing) : std::nullopt, 4);
            field(p ? std::optional(eastingFirst ? p->sdNorthing : p->sdEasting) : std::nullopt, 4);
            field(p ? p->sdElevation : std::nullopt, 4);
            out.Write(text + '\n');
        }
    }
}

void WriteCoordinateListing(host::BufferedOutput& out, const survey::FileSurvey& file,
                            const survey::ReducedFile& coordinates, survey::LengthUnit unit,
                            host::AngleStyle angles) {
    const survey::Reduction& reduction = file.reduction;
    const bool located = coordinates.CoordinateCount() > 0;
    if (!located && reduction.stations.empty() && reduction.diagnostics.empty())
        return;
    out.Write("  coordinates (");
    out.Write(survey::UnitSymbol(unit));
    out.Write(")\n");
    if (located)
        Points(out, coordinates, unit);
    if (!reduction.stations.empty()) {
        out.Write("  station orientations\n");
        Stations(out, reduction, unit, angles);
    }
    if (!reduction.rounds.empty()) {
        out.Write("  face rounds\n");
        Rounds(out, reduction, unit, angles);
    }
    for (const survey::Diagnostic& diagnostic : reduction.diagnostics) {
        out.Write("  " + file.path + (diagnostic.line ? ":" + std::to_string(*diagnostic.line + 1) : "") +
                  ": " + diagnostic.text + "\n");
    }
}

} // namespace rdf
