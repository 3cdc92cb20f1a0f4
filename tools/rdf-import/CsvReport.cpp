#include "host/Text.h"
#include "tools/rdf-import/Reports.h"

#include <string>
#include <vector>

namespace rdf {
namespace {

using host::ToUtf8;

// Quoted only when a field holds a separator, a quote or a line end, with quotes doubled.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void WriteRow(std::ostream& out, const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += Field(fields[i]);
    }
    out << line << '\n';
}

std::string Number(const std::optional<double>& value) {
    return value ? host::ShortestDecimal(*value) : "";
}
std::string Text(const std::optional<std::wstring>& text) {
    return text ? ToUtf8(*text) : "";
}

void WritePoints(std::ostream& out, const host::ImportModel& model) {
    WriteRow(out, {"name", "northing", "easting", "elevation", "code"});
    for (const host::FileResult& file : model.files) {
        for (const host::Point& p : file.points)
            WriteRow(out, {ToUtf8(p.name), Number(p.northing), Number(p.easting), Number(p.elevation),
                           Text(p.code)});
    }
}

void WriteObservationRows(std::ostream& out, const std::string& station,
                          const std::vector<host::Observation>& observations, AngleStyle angles) {
    const auto angle = [angles](const std::optional<double>& value) {
        return value ? AngleNumber(*value, angles) : "";
    };
    for (const host::Observation& o : observations) {
        const std::string face = o.faceRight ? (*o.faceRight ? "right" : "left") : "";
        WriteRow(out, {station, ToUtf8(o.target), face, Number(o.targetHeight), Number(o.slopeDistance),
                       angle(o.horizontalAngle), angle(o.verticalAngle), Text(o.code)});
    }
}

void WriteObservations(std::ostream& out, const host::ImportModel& model, AngleStyle angles) {
    WriteRow(out, {"station", "target", "face", "target_height", "slope_distance", "horizontal_angle",
                   "vertical_angle", "code"});
    for (const host::FileResult& file : model.files) {
        WriteObservationRows(out, "", file.observationsBeforeStation, angles);
        for (const host::Station& station : file.stations)
            WriteObservationRows(out, ToUtf8(station.name), station.observations, angles);
    }
}

} // namespace

void WriteCsvReport(std::ostream& out, const host::ImportModel& model, bool observations, AngleStyle angles) {
    if (observations)
        WriteObservations(out, model, angles);
    else
        WritePoints(out, model);
}

} // namespace rdf
