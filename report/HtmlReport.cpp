#include "report/HtmlReport.h"
#include "survey/Geometry.h"

#include "host/AngleFormat.h"
#include "host/Text.h"
#include "report/Assets.h"
#include "report/Markup.h"
#include "report/Plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <unordered_map>

namespace report {
namespace {

using survey::kPi;
constexpr int kCoordinateDecimals = 3;
constexpr int kSmallDistanceDecimals = 4;

// Lines are counted from 0 inside and from 1 for a reader.
std::string LineText(const survey::Line& line) {
    return line ? std::to_string(*line + 1) : std::string();
}

std::string Signed(double value, int decimals) {
    const std::string text = host::FixedDecimal(value, decimals);
    return value >= 0 && text.front() != '-' ? "+" + text : text;
}

// Lengths in the unit asked for or the job's own, and angles in the style of its angle unit; small angles
// (errors, residuals) in seconds or, for gon jobs, in centesimal seconds, and for mil jobs in mils.
class UnitWriter {
public:
    UnitWriter(const survey::JobFacts& facts, std::optional<survey::LengthUnit> unit)
        : style_(host::JobAngleStyle(facts.angleUnit)), unit_(unit.value_or(facts.distanceUnit)) {}

    std::string Direction(double radians) const { return host::FormatAngle(radians, style_); }

    std::string Small(double radians) const {
        switch (style_) {
        case host::AngleStyle::Gons:
            return Signed(radians * 2000000 / kPi, 1) + " cc";
        case host::AngleStyle::Mils:
            return Signed(radians * 3200 / kPi, 3) + " mil";
        default:
            return Signed(radians * 648000 / kPi, 1) + "\"";
        }
    }

    std::string Length(const std::optional<double>& metres, int decimals = kCoordinateDecimals) const {
        return metres ? host::FixedDecimal(*metres / survey::MetresPer(unit_), decimals) : std::string();
    }
    // A signed difference, to a tenth of a millimetre in metres.
    std::string Difference(double metres) const {
        return Signed(metres / survey::MetresPer(unit_), kSmallDistanceDecimals);
    }
    // A difference or spread, with the unit's symbol.
    std::string SmallLength(double metres, bool sign) const {
        const double value = metres / survey::MetresPer(unit_);
        return (sign ? Signed(value, kSmallDistanceDecimals)
                     : host::FixedDecimal(value, kSmallDistanceDecimals)) +
               " " + survey::UnitSymbol(unit_);
    }
    // A horizontal and a vertical difference or spread, each when known: "<lead>1.2 mm, height 0.4 mm".
    std::string HorizontalAndHeight(const char* lead, const std::optional<double>& horizontal,
                                    const std::optional<double>& height, bool sign) const {
        std::string text;
        if (horizontal)
            text += lead + SmallLength(*horizontal, sign);
        if (height)
            text += ", height " + SmallLength(*height, sign);
        return text;
    }
    survey::LengthUnit Unit() const { return unit_; }

private:
    host::AngleStyle style_;
    survey::LengthUnit unit_;
};

constexpr int kRowsShown = 500;    // rows laid out when the page opens
constexpr int kRowsMovedIn = 2000; // rows a template brings in as the reader scrolls

struct Column {
    const char* heading;
    bool numeric; // figures are aligned right, by the style sheet
};

// The tables of a file, each with its own class; the style sheet aligns their numeric columns.
struct TableKind {
    const char* cssClass;
    std::vector<Column> columns;
};

const std::vector<TableKind>& TableKinds() {
    static const std::vector<TableKind> kinds = {
        {"t-st",
         {{"Station", false},
          {"Line", true},
          {"Status", false},
          {"Northing", true},
          {"Easting", true},
          {"Elevation", true},
          {"Instr. height", true},
          {"Temp. \xC2\xB0"
           "C",
           true},
          {"Pressure hPa", true},
          {"Orientation", true},
          {"Residuals and checks", false}}},
        {"t-fr",
         {{"Station", false},
          {"Target", false},
          {"Line", true},
          {"Horizontal", true},
          {"Zenith", true},
          {"Slope dist.", true},
          {"c", true},
          {"i", true},
          {"\xCE\x94 dist.", true},
          {"Tolerance", false}}},
        {"t-co",
         {{"Point", false},
          {"Northing", true},
          {"Easting", true},
          {"Elevation", true},
          {"Code", false},
          {"Determined", false}}},
        {"t-ms", {{"Line", true}, {"From", false}, {"Message", false}}},
        {"t-tc",
         {{"Traverse", false},
          {"Angular misclosure", true},
          {"\xCE\x94N", true},
          {"\xCE\x94"
           "E",
           true},
          {"Linear misclosure", true},
          {"Length", true},
          {"Precision", true}}},
        {"t-fl",
         {{"File", false},
          {"Line", true},
          {"Observation", false},
          {"Standardized residual", true},
          {"Critical value", true}}},
        {"t-files",
         {{"File", false},
          {"Outcome", false},
          {"Stations", true},
          {"Points", true},
          {"Rounds beyond tolerance", true},
          {"Messages", true}}},
    };
    return kinds;
}

const TableKind& KindOf(const char* cssClass) {
    for (const TableKind& kind : TableKinds()) {
        if (std::string(kind.cssClass) == cssClass)
            return kind;
    }
    return TableKinds().front();
}

void WriteTableStyle(std::ostream& out) {
    for (const TableKind& kind : TableKinds()) {
        const char* separator = "";
        for (std::size_t i = 0; i < kind.columns.size(); ++i) {
            if (!kind.columns[i].numeric)
                continue;
            out << separator << '.' << kind.cssClass << " td:nth-child(" << i + 1 << ")," << '.'
                << kind.cssClass << " th:nth-child(" << i + 1 << ')';
            separator = ",";
        }
        out << "{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}\n";
    }
}

void WriteCell(std::ostream& out, const std::string& text) {
    out << "<td>";
    WriteEscaped(out, text);
    out << "</td>";
}

// A table whose rows past the first few hundred wait in templates: the page of a large job lays
// out only what the reader sees, and the script moves rows in as the reader scrolls to them.
class Table {
public:
    Table(std::ostream& out, const char* caption, const char* kind) : out_(out) {
        if (caption)
            out_ << "<h3>" << caption << "</h3>\n";
        out_ << "<div class=\"tablebox\"><table class=\"" << kind << "\"><thead><tr>";
        for (const Column& column : KindOf(kind).columns)
            out_ << "<th>" << column.heading << "</th>";
        out_ << "</tr></thead><tbody>\n";
    }

    ~Table() { out_ << (rows_ > kRowsShown ? "</template>" : "</tbody></table>") << "</div>\n"; }

    // Called before each row is written.
    std::ostream& Row() {
        if (rows_ == kRowsShown)
            out_ << "</tbody></table><template>";
        else if (rows_ > kRowsShown && (rows_ - kRowsShown) % kRowsMovedIn == 0)
            out_ << "</template><template>";
        ++rows_;
        return out_;
    }

private:
    std::ostream& out_;
    int rows_ = 0;
};

// The words for an enumeration's values, listed in the order the enumeration declares them.
template <typename Enum, std::size_t N> const char* TextOf(Enum value, const char* const (&texts)[N]) {
    const auto index = static_cast<std::size_t>(value);
    return index < N ? texts[index] : "";
}

constexpr const char* kZeroVaTexts[] = {"zenith", "horizontal", "horizontal, signed"};
constexpr const char* kReadingsTexts[] = {"azimuths", "directions"};
constexpr const char* kZeroAzimuthTexts[] = {"north", "south"};
static_assert(std::size(kZeroVaTexts) == static_cast<std::size_t>(survey::ZeroVa::Compass) + 1);
static_assert(std::size(kReadingsTexts) ==
              static_cast<std::size_t>(survey::CircleReadings::FromBacksight) + 1);
static_assert(std::size(kZeroAzimuthTexts) == static_cast<std::size_t>(survey::ZeroAzimuth::South) + 1);

std::string WithWords(const std::string& text, const std::string& words) {
    return words.empty() ? text : words + " (" + text + ")";
}

void WriteFacts(std::ostream& out, const survey::FileSurvey& file, const UnitWriter& units) {
    const survey::Job& job = file.job;
    std::size_t observations = 0;
    for (const survey::Station& station : job.stations)
        observations += station.observations.size();
    const std::pair<const char*, std::string> facts[] = {
        {"Job", job.header.job},
        {"Instrument", job.header.instrument},
        {"Created", job.header.created},
        {"Downloaded", job.header.downloaded},
        {"Distance unit", WithWords(survey::UnitName(job.facts.distanceUnit), job.facts.distanceUnitText)},
        {"Angle unit", job.facts.angleUnitText},
        {"Vertical angles", TextOf(job.facts.zeroVa, kZeroVaTexts)},
        {"Horizontal circle", TextOf(job.facts.readings, kReadingsTexts)},
        {"Zero azimuth", TextOf(job.facts.zeroAzimuth, kZeroAzimuthTexts)},
        {"Lengths in this report", survey::UnitPlural(units.Unit())},
        {"Stations", std::to_string(job.stations.size())},
        {"Observations", std::to_string(observations)},
        {"Points located", std::to_string(file.reduction.coordinates.size())},
    };
    out << "<h3>Job</h3>\n<table class=\"facts\"><tbody>\n";
    for (const auto& [name, value] : facts) {
        out << "<tr><th>" << name << "</th>";
        WriteCell(out, value);
        out << "</tr>\n";
    }
    out << "</tbody></table>\n";
}

std::string CheckText(const survey::Check& check, const UnitWriter& units) {
    return check.target + ": azimuth " + units.Small(check.azimuthResidual) +
           units.HorizontalAndHeight(", distance ", check.horizontalDistanceResidual, check.elevationResidual,
                                     true);
}

void WriteStations(std::ostream& out, const std::string& id, const survey::FileSurvey& file,
                   const UnitWriter& units) {
    const auto& stations = file.reduction.stations;
    if (stations.empty())
        return;
    Table table(out, "Stations", "t-st");
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const survey::StationResult& station = stations[i];
        table.Row() << "<tr id=\"" << id << "-s" << i << "\""
                    << (station.status == survey::StationStatus::Oriented ? "" : " class=\"warn\"") << '>';
        WriteCell(out, station.name);
        WriteCell(out, LineText(station.line));
        WriteCell(out, survey::StatusName(station.status));
        WriteCell(out, units.Length(station.northing));
        WriteCell(out, units.Length(station.easting));
        WriteCell(out, units.Length(station.elevation));
        WriteCell(out, units.Length(station.instrumentHeight));
        WriteCell(out, station.temperature ? host::FixedDecimal(*station.temperature, 1) : "");
        WriteCell(out, station.pressure ? host::FixedDecimal(*station.pressure, 1) : "");
        WriteCell(out, station.orientation ? units.Direction(*station.orientation) : "");
        out << "<td>";
        for (std::size_t c = 0; c < station.checks.size(); ++c) {
            if (c > 0)
                out << "<br>";
            WriteEscaped(out, CheckText(station.checks[c], units));
        }
        out << "</td></tr>\n";
    }
}

void WriteRounds(std::ostream& out, const survey::FileSurvey& file, const UnitWriter& units) {
    const auto& rounds = file.reduction.rounds;
    if (rounds.empty())
        return;
    Table table(out, "Face rounds", "t-fr");
    for (const survey::FaceRound& round : rounds) {
        table.Row() << "<tr" << (round.withinTolerance ? "" : " class=\"bad\"") << '>';
        WriteCell(out, round.station);
        WriteCell(out, round.target);
        WriteCell(out, LineText(round.line));
        WriteCell(out, units.Direction(round.horizontalAngle));
        WriteCell(out, units.Direction(round.zenithAngle));
        WriteCell(out, units.Length(round.slopeDistance));
        WriteCell(out, units.Small(round.collimationError));
        WriteCell(out, units.Small(round.indexError));
        WriteCell(out, round.distanceDifference ? units.Difference(*round.distanceDifference) : "");
        WriteCell(out, round.withinTolerance ? "within" : "BEYOND");
        out << "</tr>\n";
    }
}

// How a point came to be: the file's coordinate record or the user's, or the stations that
// located it and how far their determinations spread.
std::string HowDetermined(const survey::Coordinate& point, const UnitWriter& units,
                          const std::unordered_map<std::string, const survey::KnownPoint*>& known) {
    if (point.source == survey::PointSource::Known) {
        const auto found = known.find(point.name);
        if (found == known.end())
            return "known";
        const survey::KnownPoint& record = *found->second;
        if (record.origin == survey::PointOrigin::UserGiven)
            return "known, given by the user";
        return record.line ? "known, coordinate record at line " + LineText(record.line)
                           : "known, coordinate record";
    }
    std::string text = "computed from ";
    for (std::size_t i = 0; i < point.fromStations.size(); ++i)
        text += (i > 0 ? ", " : "") + point.fromStations[i];
    return text + units.HorizontalAndHeight("; spread ", point.horizontalSpread, point.verticalSpread, false);
}

void WriteCoordinates(std::ostream& out, const std::string& id, const survey::FileSurvey& file,
                      const UnitWriter& units) {
    const auto& coordinates = file.reduction.coordinates;
    if (coordinates.empty())
        return;
    std::unordered_map<std::string, const survey::KnownPoint*> known;
    for (const survey::KnownPoint& point : file.job.knownPoints)
        known[point.name] = &point; // the last record of a name is the one in force
    Table table(out, "Coordinates", "t-co");
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        const survey::Coordinate& point = coordinates[i];
        table.Row() << "<tr id=\"" << id << "-r" << i << "\">";
        WriteCell(out, point.name);
        WriteCell(out, units.Length(point.northing));
        WriteCell(out, units.Length(point.easting));
        WriteCell(out, units.Length(point.elevation));
        WriteCell(out, point.code);
        WriteCell(out, HowDetermined(point, units, known));
        out << "</tr>\n";
    }
}

struct Note {
    const survey::Diagnostic* diagnostic;
    const char* source;
};

// The module's messages and the reduction's diagnostics in file order; those without a line first.
void WriteMessages(std::ostream& out, const survey::FileSurvey& file) {
    std::vector<Note> notes;
    for (const survey::Diagnostic& message : file.messages)
        notes.push_back({&message, "import"});
    for (const survey::Diagnostic& diagnostic : file.reduction.diagnostics)
        notes.push_back({&diagnostic, "reduction"});
    if (notes.empty()) {
        out << "<h3>Messages</h3>\n<p class=\"none\">No messages.</p>\n";
        return;
    }
    std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
        return a.diagnostic->line.value_or(-1) < b.diagnostic->line.value_or(-1);
    });
    Table table(out, "Messages", "t-ms");
    for (const Note& note : notes) {
        table.Row() << "<tr>";
        WriteCell(out, LineText(note.diagnostic->line));
        WriteCell(out, note.source);
        WriteCell(out, note.diagnostic->text);
        out << "</tr>\n";
    }
}

bool IsImported(const survey::FileSurvey& file) {
    return file.outcome == "imported";
}

void WriteFile(std::ostream& out, const survey::FileSurvey& file, std::size_t index,
               std::optional<survey::LengthUnit> unit) {
    const std::string id = "f" + std::to_string(index);
    out << "<section class=\"file\" id=\"" << id << "\">\n<h2>";
    WriteEscaped(out, file.path);
    out << " <span class=\"outcome" << (IsImported(file) ? "" : " failed") << "\">";
    WriteEscaped(out, file.outcome);
    out << "</span></h2>\n";
    if (IsImported(file)) {
        const Plan plan = BuildPlan(file);
        if (plan.labels.empty()) {
            out << "<p class=\"none\">No point of this file is located, so there is no plan.</p>\n";
        } else {
            WritePlan(out, plan, id);
            WritePlanLegend(out, plan);
        }
        const UnitWriter units(file.job.facts, unit);
        WriteFacts(out, file, units);
        WriteStations(out, id, file, units);
        WriteRounds(out, file, units);
        WriteCoordinates(out, id, file, units);
    }
    WriteMessages(out, file);
    out << "</section>\n";
}

void WriteContents(std::ostream& out, const std::vector<survey::FileSurvey>& files) {
    Table table(out, nullptr, "t-files");
    for (std::size_t i = 0; i < files.size(); ++i) {
        const survey::FileSurvey& file = files[i];
        const auto beyond =
            std::count_if(file.reduction.rounds.begin(), file.reduction.rounds.end(),
                          [](const survey::FaceRound& round) { return !round.withinTolerance; });
        table.Row() << "<tr" << (IsImported(file) ? "" : " class=\"bad\"") << "><td><a href=\"#f" << i
                    << "\">";
        WriteEscaped(out, file.path);
        out << "</a></td>";
        WriteCell(out, file.outcome);
        WriteCell(out, std::to_string(file.job.stations.size()));
        WriteCell(out, std::to_string(file.reduction.coordinates.size()));
        WriteCell(out, std::to_string(beyond));
        WriteCell(out, std::to_string(file.messages.size() + file.reduction.diagnostics.size()));
        out << "</tr>\n";
    }
}

std::string Seconds(double radians) {
    return Signed(radians * 648000 / kPi, 1) + "\"";
}

// 1:N, rounded as surveyors quote it; a traverse that closes exactly has no N.
std::string ClosurePrecision(double n) {
    if (std::isinf(n))
        return "closes exactly";
    return std::isfinite(n) ? "1:" + host::FixedDecimal(n, 0) : std::string();
}

std::string TestText(const survey::AdjustmentSummary& adjustment) {
    if (!adjustment.testApplicable)
        return "not applicable: no degrees of freedom";
    return adjustment.testPassed ? "passed" : "FAILED";
}

void WriteAdjustmentFacts(std::ostream& out, const survey::AdjustmentSummary& adjustment) {
    const std::pair<const char*, std::string> facts[] = {
        {"Method", adjustment.method},
        {"Weights", adjustment.weights},
        {"Degrees of freedom", std::to_string(adjustment.degreesOfFreedom)},
        {"\xCF\x83\xE2\x82\x80 a priori", host::FixedDecimal(adjustment.sigma0Apriori, 3)},
        {"\xCF\x83\xE2\x82\x80 a posteriori", host::FixedDecimal(adjustment.sigma0Aposteriori, 3)},
        {"Test of \xCF\x83\xE2\x82\x80 (\xCF\x87\xC2\xB2, 95 %)", TestText(adjustment)},
    };
    out << "<table class=\"facts\"><tbody>\n";
    for (const auto& [name, value] : facts) {
        out << "<tr" << (value == "FAILED" ? " class=\"bad\"" : "") << "><th>" << name << "</th>";
        WriteCell(out, value);
        out << "</tr>\n";
    }
    out << "</tbody></table>\n";
}

void WriteClosures(std::ostream& out, const std::vector<survey::TraverseClosure>& closures) {
    if (closures.empty())
        return;
    Table table(out, "Traverse closures", "t-tc");
    for (const survey::TraverseClosure& closure : closures) {
        std::string stations;
        for (const std::string& station : closure.stations)
            stations += (stations.empty() ? "" : " \xE2\x80\x93 ") + station;
        table.Row() << "<tr>";
        WriteCell(out, stations);
        WriteCell(out, Seconds(closure.angularMisclosure));
        WriteCell(out, Signed(closure.northingMisclosure, kSmallDistanceDecimals));
        WriteCell(out, Signed(closure.eastingMisclosure, kSmallDistanceDecimals));
        WriteCell(out, host::FixedDecimal(closure.linearMisclosure, kSmallDistanceDecimals));
        WriteCell(out, host::FixedDecimal(closure.length, kCoordinateDecimals));
        WriteCell(out, ClosurePrecision(closure.precision));
        out << "</tr>\n";
    }
}

void WriteFlagged(std::ostream& out, const std::vector<survey::FlaggedObservation>& flagged) {
    if (flagged.empty()) {
        out << "<h3>Flagged observations</h3>\n<p class=\"none\">No observation is flagged.</p>\n";
        return;
    }
    Table table(out, "Flagged observations", "t-fl");
    for (const survey::FlaggedObservation& observation : flagged) {
        table.Row() << "<tr class=\"bad\">";
        WriteCell(out, observation.file);
        WriteCell(out, LineText(observation.line));
        WriteCell(out, observation.description);
        WriteCell(out, host::FixedDecimal(observation.standardizedResidual, 1));
        WriteCell(out, host::FixedDecimal(observation.criticalValue, 2));
        out << "</tr>\n";
    }
}

// The run's adjustment, before its files: the files' plans show the ellipses it gives.
void WriteAdjustment(std::ostream& out, const survey::AdjustmentSummary& adjustment) {
    out << "<section class=\"adjustment\" id=\"adjustment\">\n<h2>Adjustment</h2>\n";
    WriteAdjustmentFacts(out, adjustment);
    WriteClosures(out, adjustment.traverses);
    WriteFlagged(out, adjustment.flagged);
    out << "</section>\n";
}

// The report's files by name, so that a browser's tabs and history tell reports apart.
std::string Title(const std::vector<survey::FileSurvey>& files) {
    constexpr std::size_t kNamed = 3;
    std::string title = "Survey report";
    for (std::size_t i = 0; i < files.size() && i < kNamed; ++i)
        title += (i == 0 ? ": " : ", ") + std::filesystem::u8path(files[i].path).filename().u8string();
    if (files.size() > kNamed)
        title += " and " + std::to_string(files.size() - kNamed) + " more";
    return title;
}

} // namespace

void WriteHtmlReport(std::ostream& out, const std::vector<survey::FileSurvey>& files,
                     const survey::AdjustmentSummary* adjustment, std::optional<survey::LengthUnit> units) {
    // The policy forbids every load from elsewhere; only the page's own style and script run, the
    // script named by its hash, so that no script a name or message might smuggle in would.
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
           "'unsafe-inline'; script-src '"
        << kReportScriptHash
        << "'; img-src data:\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    WriteEscaped(out, Title(files));
    out << "</title>\n<style>\n" << kReportStyle;
    WritePlanStyle(out);
    WriteTableStyle(out);
    out << "</style>\n</head>\n<body>\n<header><h1>Survey report</h1></header>\n";
    WriteContents(out, files);
    if (adjustment != nullptr)
        WriteAdjustment(out, *adjustment);
    for (std::size_t i = 0; i < files.size(); ++i)
        WriteFile(out, files[i], i, units);
    out << "<script>\n" << kReportScript << "</script>\n</body>\n</html>\n";
}

} // namespace report
