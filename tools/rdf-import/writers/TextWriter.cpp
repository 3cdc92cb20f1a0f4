#include "host/Text.h"
#include "tools/rdf-import/writers/PackedFile.h"
#include "tools/rdf-import/writers/Writers.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace rdf {
namespace {

using host::FileOutcome;
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

    bool Empty() const { return rows.empty(); }

    void AddRow(std::vector<std::string> cells) { rows.push_back(std::move(cells)); }

    void Write(host::BufferedOutput& out, const std::string& indent) const {
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
        std::string line; // reused for every row
        WriteRow(out, line, indent, titles, widths);
        for (const auto& row : rows)
            WriteRow(out, line, indent, row, widths);
    }

private:
    static std::size_t Width(const std::string& utf8) {
        return static_cast<std::size_t>(std::count_if(
            utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    }

    void WriteRow(host::BufferedOutput& out, std::string& line, const std::string& indent,
                  const std::vector<std::string>& cells, const std::vector<std::size_t>& widths) const {
        line = indent;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::size_t padding = widths[i] - Width(cells[i]);
            if (columns[i].rightAligned)
                line.append(padding, ' ');
            line += cells[i];
            if (!columns[i].rightAligned)
                line.append(padding, ' ');
            line += "  ";
        }
        line.erase(line.find_last_not_of(' ') + 1);
        line += '\n';
        out.Write(line);
    }

    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

std::string Metres(const std::optional<double>& value) {
    return value ? host::FixedDecimal(*value, 3) : kNone;
}

std::string Text(const std::optional<std::string_view>& text) {
    return text ? std::string(*text) : "";
}

std::string Face(const std::optional<bool>& faceRight) {
    if (!faceRight)
        return kNone;
    return *faceRight ? "right" : "left";
}

std::string Plural(std::size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

Table ObservationTable() {
    return Table({{"target", false},
                  {"face", false},
                  {"horizontal", true},
                  {"vertical", true},
                  {"slope dist.", true},
                  {"target ht.", true},
                  {"code", false}});
}

std::string StationLine(const PackedStation& station) {
    std::string line = "  station " + std::string(station.name);
    if (station.temperature)
        line += "  temperature " + host::FixedDecimal(*station.temperature, 1) + " \u00b0C";
    if (station.pressure)
        line += "  pressure " + host::FixedDecimal(*station.pressure, 1) + " hPa";
    if (station.instrumentHeight)
        line += "  instrument height " + host::FixedDecimal(*station.instrumentHeight, 3) + " m";
    return line + '\n';
}

// Observations are listed under their station, those before any station under a heading of
// their own; a table is written once its last row is known.
class StationsListing final : public PackedFileReader {
public:
    StationsListing(host::BufferedOutput& out, AngleStyle angles) : out(out), angles(angles) {}

    void Station(const PackedStation& station) override {
        WriteTable();
        stationSeen = true;
        out.Write(StationLine(station));
    }
    void Observation(const PackedObservation& o) override {
        if (!stationSeen && table.Empty())
            out.Write("  observations before any station\n");
        table.AddRow({std::string(o.target), Face(o.faceRight), Angle(o.horizontalAngle),
                      Angle(o.verticalAngle), Metres(o.slopeDistance), Metres(o.targetHeight), Text(o.code)});
    }
    void End() override { WriteTable(); }

private:
    std::string Angle(const std::optional<double>& value) const {
        return value ? FormatAngle(*value, angles) : kNone;
    }
    void WriteTable() {
        if (!table.Empty())
            table.Write(out, "    ");
        table = ObservationTable();
    }

    host::BufferedOutput& out;
    AngleStyle angles;
    bool stationSeen = false;
    Table table = ObservationTable();
};

class PointsListing final : public PackedFileReader {
public:
    explicit PointsListing(host::BufferedOutput& out) : out(out) {}

    void Point(const PackedPoint& p) override {
        const std::string mark = p.resectionPoint.value_or(false) ? "resection" : "";
        table.AddRow({std::string(p.name), Metres(p.northing), Metres(p.easting), Metres(p.elevation),
                      Text(p.code), mark});
    }
    void End() override {
        if (table.Empty())
            return;
        out.Write("  points\n");
        table.Write(out, "    ");
    }

private:
    host::BufferedOutput& out;
    Table table{{{"name", false},
                 {"northing", true},
                 {"easting", true},
                 {"elevation", true},
                 {"code", false},
                 {"mark", false}}};
};

class TargetsListing final : public PackedFileReader {
public:
    explicit TargetsListing(host::BufferedOutput& out) : out(out) {}

    void Target(std::string_view name) override {
        line += ' ';
        line += name.empty() ? std::string_view("\"\"") : name;
    }
    void End() override {
        if (!line.empty())
            out.Write("  targets announced before the import:" + line + '\n');
    }

private:
    host::BufferedOutput& out;
    std::string line;
};

class TextWriter final : public PackedFileWriter {
public:
    TextWriter(host::BufferedOutput& out, const WriterSettings& settings)
        : PackedFileWriter(settings.sections), out(out), angles(settings.angles.value_or(AngleStyle::Dms)) {}

private:
    void WriteFile(const host::FileEnd& end) override {
        if (end.index > 0)
            out.Put('\n');
        const std::string path = ToUtf8(end.path);
        out.Write(path + ": " + Summary(end.outcome) + '\n');
        StationsListing stations(out, angles);
        file.Read(stations);
        PointsListing points(out);
        file.Read(points);
        TargetsListing targets(out);
        file.Read(targets);
        file.Clear();
        for (const host::Message& message : messages) {
            const std::string where = message.line ? path + ":" + std::to_string(*message.line + 1) : path;
            out.Write(where + ": " + ToUtf8(message.text) + '\n');
        }
        for (FileSection* section : sections)
            section->WriteText(out, end);
    }

    std::string Summary(FileOutcome outcome) const {
        if (outcome != FileOutcome::Imported)
            return OutcomeName(outcome);
        return std::string(OutcomeName(outcome)) + ", " + Plural(file.Stations(), "station", "stations") +
               ", " + Plural(file.Observations(), "observation", "observations") + ", " +
               Plural(file.Points(), "point", "points") + ", " +
               Plural(messages.size(), "message", "messages");
    }

    host::BufferedOutput& out;
    AngleStyle angles;
};

} // namespace

std::unique_ptr<host::ImportEvents> MakeTextWriter(host::BufferedOutput& out,
                                                   const WriterSettings& settings) {
    return std::make_unique<TextWriter>(out, settings);
}

} // namespace rdf
