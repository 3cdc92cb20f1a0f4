#include "host/Text.h"
#include "tools/rdf-import/Reports.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace rdf {
namespace {

using host::FileOutcome;
using host::FileResult;
using host::ToUtf8;

const char kNone[] = "-";

// Columns padded to their widest cell, counted in characters rather than bytes.
class Table {
public:
    struct Column {
        const char* title;
        bool rightAligned;
    };

    explicit Table(std::vector<Column> columns) : columns(std::move(columns)) {}

    void AddRow(std::vector<std::string> cells) { rows.push_back(std::move(cells)); }

    void Write(std::ostream& out, const std::string& indent) const {
        std::vector<std::size_t> widths;
        for (const Column& column : columns)
            widths.push_back(Width(column.title));
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], Width(row[i]));
        }
        std::vector<std::string> titles;
        for (const Column& column : columns)
            titles.emplace_back(column.title);
        WriteRow(out, indent, titles, widths);
        for (const auto& row : rows)
            WriteRow(out, indent, row, widths);
    }

private:
    static std::size_t Width(const std::string& utf8) {
        return static_cast<std::size_t>(std::count_if(
            utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    }

    void WriteRow(std::ostream& out, const std::string& indent, const std::vector<std::string>& cells,
                  const std::vector<std::size_t>& widths) const {
        std::string line = indent;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string padding(widths[i] - Width(cells[i]), ' ');
            line += columns[i].rightAligned ? padding + cells[i] : cells[i] + padding;
            line += "  ";
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }

    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

std::string Metres(const std::optional<double>& value) {
    return value ? host::FixedDecimal(*value, 3) : kNone;
}

std::string Text(const std::optional<std::wstring>& text) {
    return text ? ToUtf8(*text) : "";
}

std::string Face(const std::optional<bool>& faceRight) {
    if (!faceRight)
        return kNone;
    return *faceRight ? "right" : "left";
}

std::string Plural(std::size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

void WriteObservations(std::ostream& out, const std::vector<host::Observation>& observations,
                       AngleStyle angles) {
    if (observations.empty())
        return;
    const auto angle = [angles](const std::optional<double>& value) {
        return value ? FormatAngle(*value, angles) : kNone;
    };
    Table table({{"target", false},
                 {"face", false},
                 {"horizontal", true},
                 {"vertical", true},
                 {"slope dist.", true},
                 {"target ht.", true},
                 {"code", false}});
    for (const host::Observation& o : observations) {
        table.AddRow({ToUtf8(o.target), Face(o.faceRight), angle(o.horizontalAngle), angle(o.verticalAngle),
                      Metres(o.slopeDistance), Metres(o.targetHeight), Text(o.code)});
    }
    table.Write(out, "    ");
}

void WriteStation(std::ostream& out, const host::Station& station, AngleStyle angles) {
    std::string line = "  station " + ToUtf8(station.name);
    if (station.temperature)
        line += "  temperature " + host::FixedDecimal(*station.temperature, 1) + " \u00b0C";
    if (station.pressure)
        line += "  pressure " + host::FixedDecimal(*station.pressure, 1) + " hPa";
    if (station.instrumentHeight)
        line += "  instrument height " + host::FixedDecimal(*station.instrumentHeight, 3) + " m";
    out << line << '\n';
    WriteObservations(out, station.observations, angles);
}

std::string Mark(const host::Point& point) {
    return point.resectionPoint.value_or(false) ? "resection" : "";
}

void WritePoints(std::ostream& out, const std::vector<host::Point>& points) {
    if (points.empty())
        return;
    out << "  points\n";
    Table table({{"name", false},
                 {"northing", true},
                 {"easting", true},
                 {"elevation", true},
                 {"code", false},
                 {"mark", false}});
    for (const host::Point& p : points)
        table.AddRow({ToUtf8(p.name), Metres(p.northing), Metres(p.easting), Metres(p.elevation),
                      Text(p.code), Mark(p)});
    table.Write(out, "    ");
}

void WriteTargets(std::ostream& out, const std::vector<std::wstring>& targets) {
    if (targets.empty())
        return;
    std::string line = "  targets announced before the import:";
    for (const std::wstring& target : targets)
        line += " " + (target.empty() ? std::string("\"\"") : ToUtf8(target));
    out << line << '\n';
}

void WriteMessages(std::ostream& out, const FileResult& file) {
    const std::string path = ToUtf8(file.path);
    for (const host::Message& message : file.messages) {
        const std::string where = message.line ? path + ":" + std::to_string(*message.line + 1) : path;
        out << where << ": " << ToUtf8(message.text) << '\n';
    }
}

std::size_t CountObservations(const FileResult& file) {
    std::size_t count = file.observationsBeforeStation.size();
    for (const host::Station& station : file.stations)
        count += station.observations.size();
    return count;
}

std::string Summary(const FileResult& file) {
    if (file.outcome != FileOutcome::Imported)
        return OutcomeName(file.outcome);
    return std::string(OutcomeName(file.outcome)) + ", " +
           Plural(file.stations.size(), "station", "stations") + ", " +
           Plural(CountObservations(file), "observation", "observations") + ", " +
           Plural(file.points.size(), "point", "points") + ", " +
           Plural(file.messages.size(), "message", "messages");
}

void WriteFile(std::ostream& out, const FileResult& file, AngleStyle angles) {
    out << ToUtf8(file.path) << ": " << Summary(file) << '\n';
    if (!file.observationsBeforeStation.empty()) {
        out << "  observations before any station\n";
        WriteObservations(out, file.observationsBeforeStation, angles);
    }
    for (const host::Station& station : file.stations)
        WriteStation(out, station, angles);
    WritePoints(out, file.points);
    WriteTargets(out, file.targets);
    WriteMessages(out, file);
}

} // namespace

const char* OutcomeName(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Imported:
        return "imported";
    case FileOutcome::CannotOpen:
        return "cannot-open";
    case FileOutcome::NoRecords:
        return "no-records";
    }
    return "unknown";
}

void WriteTextListing(std::ostream& out, const host::ImportModel& model, AngleStyle angles) {
    for (std::size_t i = 0; i < model.files.size(); ++i) {
        if (i > 0)
            out << '\n';
        WriteFile(out, model.files[i], angles);
    }
}

} // namespace rdf
