#include "host/Text.h"
#include "host/pipeline/PackedFile.h"
#include "output/TextTable.h"
#include "output/Writers.h"

#include <string>
#include <vector>

namespace rdf {
namespace {

using host::FileOutcome;
using host::ToUtf8;

const char kNone[] = "-";

// Text of the cells of a row, on the stack: a listing has a row for every observation.
struct MetresRoom {
    char text[host::kFixedDecimalRoom];
};

std::string_view Metres(const std::optional<double>& value, MetresRoom& room) {
    return value ? host::FixedDecimal(*value, 3, room.text) : kNone;
}

std::string_view Face(const std::optional<bool>& faceRight) {
    if (!faceRight)
        return kNone;
    return *faceRight ? "right" : "left";
}

std::string Plural(std::size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

void WriteStationLine(host::BufferedOutput& out, const host::PackedStation& station) {
    char room[host::kFixedDecimalRoom];
    out.Write("  station ");
    out.Write(station.name);
    if (station.temperature) {
        out.Write("  temperature ");
        out.Write(host::FixedDecimal(*station.temperature, 1, room));
        out.Write(" \u00b0C");
    }
    if (station.pressure) {
        out.Write("  pressure ");
        out.Write(host::FixedDecimal(*station.pressure, 1, room));
        out.Write(" hPa");
    }
    if (station.instrumentHeight) {
        out.Write("  instrument height ");
        out.Write(host::FixedDecimal(*station.instrumentHeight, 3, room));
        out.Write(" m");
    }
    out.Put('\n');
}

// Observations are listed under their station, those before any station under a heading of
// their own; a table is written once its last row is known.
class StationsListing final : public host::PackedFileReader {
public:
    StationsListing(host::BufferedOutput& out, host::AngleStyle angles) : out(out), angles(angles) {}

    void Station(const host::PackedStation& station) override {
        WriteObservations();
        stationSeen = true;
        WriteStationLine(out, station);
    }
    void Observation(const host::PackedObservation& o) override {
        if (!stationSeen && table.Empty())
            out.Write("  observations before any station\n");
        char room[host::kAngleTextRoom];
        MetresRoom metres;
        table.Cell(o.target);
        table.Cell(Face(o.faceRight));
        table.Cell(Angle(o.horizontalAngle, room));
        table.Cell(Angle(o.verticalAngle, room));
        table.Cell(Metres(o.slopeDistance, metres));
        table.Cell(Metres(o.targetHeight, metres));
        table.Cell(o.code.value_or(""));
    }
    void End() override { WriteObservations(); }

private:
    std::string_view Angle(const std::optional<double>& value, char* room) const {
        return value ? host::FormatAngle(*value, angles, room) : kNone;
    }
    void WriteObservations() {
        if (!table.Empty())
            table.Write(out, "    ");
        table.Clear();
    }

    host::BufferedOutput& out;
    host::AngleStyle angles;
    bool stationSeen = false;
    TextTable table{{"target", TextTable::Left},       {"face", TextTable::Left},
                    {"horizontal", TextTable::Right},  {"vertical", TextTable::Right},
                    {"slope dist.", TextTable::Right}, {"target ht.", TextTable::Right},
                    {"code", TextTable::Left}};
};

// The cells of the points' rows, read from the packed file for each pass of their table.
template <class Cell> class PointCells final : public host::PackedFileReader {
public:
    explicit PointCells(Cell cell) : cell(cell) {}

    void Point(const host::PackedPoint& p) override {
        MetresRoom metres;
        cell(p.name);
        cell(Metres(p.northing, metres));
        cell(Metres(p.easting, metres));
        cell(Metres(p.elevation, metres));
        cell(p.code.value_or(""));
        cell(p.resectionPoint.value_or(false) ? "resection" : "");
    }

private:
    Cell cell;
};

void PointsListing(host::BufferedOutput& out, const host::PackedFile& file) {
    if (file.Points() == 0)
        return;
    out.Write("  points\n");
    TextTable table{{"name", TextTable::Left},     {"northing", TextTable::Right},
                    {"easting", TextTable::Right}, {"elevation", TextTable::Right},
                    {"code", TextTable::Left},     {"mark", TextTable::Left}};
    table.WriteRows(out, "    ", [&](auto cell) {
        PointCells<decltype(cell)> reader(cell);
        file.Read(reader);
    });
}

class TargetsListing final : public host::PackedFileReader {
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

class TextWriter final : public host::PackedFileWriter {
public:
    TextWriter(host::BufferedOutput& out, const WriterSettings& settings)
        : host::PackedFileWriter(settings.sections), out(out),
          angles(settings.angles.value_or(host::AngleStyle::Dms)), runSections(settings.runSections) {}

    void ImportEnded(const host::ImportEnd&) override {
        for (const RunSection* section : runSections) {
            if (filesWritten)
                out.Put('\n');
            section->WriteText(out);
        }
    }

private:
    void WriteFile(const host::FileEnd& end) override {
        filesWritten = true;
        if (end.index > 0)
            out.Put('\n');
        const std::string path = ToUtf8(end.path);
        out.Write(path + ": " + Summary(end.outcome) + '\n');
        StationsListing stations(out, angles);
        file.Read(stations);
        PointsListing(out, file);
        TargetsListing targets(out);
        file.Read(targets);
        file.Clear();
        for (const host::Message& message : messages) {
            const std::string where = message.line ? path + ":" + std::to_string(*message.line + 1) : path;
            out.Write(where + ": " + ToUtf8(message.text) + '\n');
        }
        for (host::FileSection* section : sections)
            section->WriteText(out, end);
    }

    std::string Summary(FileOutcome outcome) const {
        if (outcome != FileOutcome::Imported)
            return host::OutcomeName(outcome);
        return std::string(host::OutcomeName(outcome)) + ", " +
               Plural(file.Stations(), "station", "stations") + ", " +
               Plural(file.Observations(), "observation", "observations") + ", " +
               Plural(file.Points(), "point", "points") + ", " +
               Plural(messages.size(), "message", "messages");
    }

    host::BufferedOutput& out;
    host::AngleStyle angles;
    const std::vector<const RunSection*> runSections;
    bool filesWritten = false;
};

} // namespace

std::unique_ptr<host::ImportEvents> MakeTextWriter(host::BufferedOutput& out,
                                                   const WriterSettings& settings) {
    return std::make_unique<TextWriter>(out, settings);
}

} // namespace rdf
