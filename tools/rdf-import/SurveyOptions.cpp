#include "tools/rdf-import/SurveyOptions.h"
#include "survey/Geometry.h"

#include "survey/KnownPoints.h"
#include "survey/Text.h"

#include <functional>

#include <filesystem>
#include <fstream>
#include <map>

namespace rdf {
namespace {

constexpr double kRadiansPerSecond = survey::kPi / 180 / 3600;

const std::map<std::string, survey::LengthUnit> kUnits = {{"m", survey::LengthUnit::Metre},
                                                          {"ft", survey::LengthUnit::InternationalFoot},
                                                          {"usft", survey::LengthUnit::UsSurveyFoot}};
const std::map<std::string, survey::ZeroVa> kZeroVa = {{"zenith", survey::ZeroVa::Zenith},
                                                       {"horizontal", survey::ZeroVa::Horizontal},
                                                       {"compass", survey::ZeroVa::Compass}};
const std::map<std::string, survey::CircleReadings> kReadings = {
    {"azimuth", survey::CircleReadings::Azimuth}, {"backsight", survey::CircleReadings::FromBacksight}};
const std::map<std::string, survey::LengthUnit> kFeet = {
    {"international", survey::LengthUnit::InternationalFoot}, {"us", survey::LengthUnit::UsSurveyFoot}};
const std::map<std::string, survey::ZeroAzimuth> kZeroAzimuth = {{"north", survey::ZeroAzimuth::North},
                                                                 {"south", survey::ZeroAzimuth::South}};

template <class T> std::optional<T> Chosen(const std::map<std::string, T>& table, const std::string& text) {
    if (text.empty())
        return std::nullopt;
    return table.at(text);
}

constexpr const char* kGroup = "Coordinates";

// The option that would mend a station the reduction could not use.
std::string KnownPointAdvice(const survey::Diagnostic& diagnostic) {
    switch (diagnostic.kind) {
    case survey::DiagnosticKind::NotLocated:
        return "; --known " + diagnostic.point + "=N,E,Z would locate it";
    case survey::DiagnosticKind::NotOriented:
        return "; --known " + diagnostic.point + "=N,E,Z would orient it";
    case survey::DiagnosticKind::Plain:
        break;
    }
    return {};
}

// A number option read by the survey library's reader, as the known points are, not by CLI11's.
void AddNumber(CLI::App& app, const std::string& name, const std::string& help,
               std::function<void(double)> set) {
    app.add_option_function<std::string>(
           name,
           [name, set = std::move(set)](const std::string& text) {
               const std::optional<double> number = survey::ReadNumber(text);
               if (!number)
                   throw CLI::ValidationError(name, "'" + text + "' is not a number");
               set(*number);
           },
           help)
        ->type_name("FLOAT")
        ->group(kGroup);
}

// An option whose text must name a row of `table`.
template <class T>
void AddChoice(CLI::App& app, const char* name, std::string& text, const std::map<std::string, T>& table,
               const std::string& help) {
    std::vector<std::string> names;
    for (const auto& entry : table)
        names.push_back(entry.first);
    app.add_option(name, text, help)->check(CLI::IsMember(names))->group(kGroup);
}

} // namespace

void AddSurveyOptions(CLI::App& app, SurveyOptionTexts& texts) {
    // One point an occurrence: a list would swallow the raw data files that follow it.
    app.add_option("--known", texts.known,
                   "a control point NAME=N,E[,Z] for every file, in the unit of the output (the first "
                   "file's unless --units; repeatable)")
        ->allow_extra_args(false)
        ->group(kGroup);
    app.add_option("--known-points", texts.knownPoints,
                   "control points from a CSV file: name,northing,easting,elevation")
        ->group(kGroup);
    AddChoice(
        app, "--units", texts.units, kUnits,
        "coordinates in m, ft or usft (default: each job's own unit; the points list: the first job's)");
    app.add_option("--order", texts.order, "points: pnezd (default) or penzd, easting first")
        ->check(CLI::IsMember({"pnezd", "penzd"}))
        ->group(kGroup);
    app.add_flag("--no-header", texts.noHeader, "points: no header row, as CAD point importers want")
        ->group(kGroup);
    AddChoice(app, "--zero-va", texts.zeroVa, kZeroVa,
              "vertical angles as zenith, horizontal or compass (default: the job's)");
    AddChoice(app, "--ha-raw", texts.haRaw, kReadings,
              "circle readings are azimuth or backsight directions (default: the job's)");
    AddChoice(app, "--zero-azimuth", texts.zeroAzimuth, kZeroAzimuth,
              "azimuths count from north or south (default: the job's)");
    AddChoice(app, "--feet", texts.feet, kFeet,
              "the jobs' feet are international or us survey feet (default: us where the job says US Feet)");
    app.add_flag("--curvature", texts.curvature,
                 "correct elevations for the earth's curvature and refraction")
        ->group(kGroup);
    const struct {
        const char* name;
        double* value;
        const char* help;
    } numbers[] = {
        {"--refraction", &texts.refraction, "the refraction coefficient k (default 0.13)"},
        {"--collimation-tolerance", &texts.collimation, "largest collimation error of a face pair, seconds"},
        {"--index-tolerance", &texts.index, "largest vertical index error of a face pair, seconds"},
        {"--orientation-tolerance", &texts.orientation,
         "largest residual of a station's orientation before it is reported, seconds"},
    };
    for (const auto& number : numbers)
        AddNumber(app, number.name, number.help, [value = number.value](double read) { *value = read; });
    AddNumber(app, "--distance-tolerance",
              "largest difference of a face pair's distances, in the unit of the output (default 0.010 m)",
              [&texts](double read) { texts.distance = read; });
}

std::variant<host::SurveySettings, std::string> MakeSurveySettings(const SurveyOptionTexts& texts) {
    host::SurveySettings settings;
    settings.units = Chosen(kUnits, texts.units);
    settings.eastingFirst = texts.order == "penzd";
    settings.pointListHeader = !texts.noHeader;
    settings.overrides.zeroVa = Chosen(kZeroVa, texts.zeroVa);
    settings.overrides.readings = Chosen(kReadings, texts.haRaw);
    settings.overrides.zeroAzimuth = Chosen(kZeroAzimuth, texts.zeroAzimuth);
    settings.overrides.feet = Chosen(kFeet, texts.feet);
    // Lengths are scaled to metres file by file, in the unit each file's coordinates are written in.
    const survey::LengthUnit given = survey::LengthUnit::Metre; // read unscaled
    settings.distanceTolerance = texts.distance;
    survey::Options& options = settings.options;
    options.advice = KnownPointAdvice;
    options.curvatureAndRefraction = texts.curvature;
    options.refractionCoefficient = texts.refraction;
    options.tolerances.collimation = texts.collimation * kRadiansPerSecond;
    options.tolerances.verticalIndex = texts.index * kRadiansPerSecond;
    options.tolerances.orientation = texts.orientation * kRadiansPerSecond;
    // A point named on the command line wins over the same name in the file of points.
    for (const std::string& text : texts.known) {
        auto point = survey::ParseKnownPoint(text, given);
        if (auto* error = std::get_if<std::string>(&point))
            return "--known: " + *error;
        options.userPoints.push_back(std::get<survey::KnownPoint>(point));
    }
    if (!texts.knownPoints.empty()) {
        const std::filesystem::path path = std::filesystem::u8path(texts.knownPoints);
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            return "--known-points " + texts.knownPoints + ": is a folder, not a file of points";
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return "cannot read " + texts.knownPoints;
        survey::KnownPointList list = survey::ReadKnownPoints(in, given);
        if (!list.errors.empty())
            return texts.knownPoints + ": " + list.errors.front();
        options.userPoints.insert(options.userPoints.end(), list.points.begin(), list.points.end());
    }
    return settings;
}

} // namespace rdf
