#include "adjust/SurveyNetwork.h"

#include "survey/Geometry.h"
#include "survey/Sightings.h"
#include "survey/Traverse.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

namespace adjust {
namespace {

using survey::kRadiansPerSecond;

// Published accuracies: the standard deviation of a direction observed in both faces (DIN 18723,
// ISO 17123-3) and of a distance to a prism. A model's name states its angle accuracy.
struct InstrumentAccuracy {
    const char* model;
    double bothFaces; // seconds
    double millimetres, ppm;
};
constexpr InstrumentAccuracy kInstruments[] = {
    {"Nivo 1", 1, 2, 2}, {"Nivo 2", 2, 2, 2}, {"Nivo 3", 3, 2, 2}, {"Nivo 5", 5, 2, 2}};

// What a user expects of a site instrument when its job does not name a model we know.
constexpr double kDefaultDirection = 5; // seconds, one face
constexpr double kDefaultMillimetres = 3, kDefaultPpm = 2;
constexpr double kDefaultCentring = 0.001;

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const InstrumentAccuracy* Known(const std::string& instrument) {
    const std::string words = Lower(instrument);
    for (const InstrumentAccuracy& each : kInstruments)
        if (words.find(Lower(each.model)) != std::string::npos)
            return &each;
    return nullptr;
}

std::string Fixed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The a priori standard deviations of one sighting's observations.
struct SightingSigmas {
    const Weights& weights;

    double Centring(double length) const { return std::sqrt(2.0) * weights.centring / std::max(length, 1.0); }
    double Direction(int readings, double length) const {
        return std::hypot(weights.direction / std::sqrt(std::max(readings, 1)), Centring(length));
    }
    double Zenith(int readings) const { return weights.zenith / std::sqrt(std::max(readings, 1)); }
    double Distance(int readings, double length) const {
        const double edm = weights.distanceConstant + weights.distancePpm * 1e-6 * length;
        return std::hypot(edm / std::sqrt(std::max(readings, 1)), std::sqrt(2.0) * weights.centring);
    }
    // Of a height difference from a slope distance and a zenith angle.
    double Height(int readings, double slope, double zenith) const {
        return std::hypot(Distance(readings, slope) * std::cos(zenith),
                          slope * std::sin(zenith) * Zenith(readings));
    }
};

bool HasControlHeight(const std::vector<survey::FileSurvey>& surveys) {
    for (const survey::FileSurvey& file : surveys)
        for (const survey::Coordinate& point : file.reduction.coordinates)
            if (point.source == survey::PointSource::Known && point.elevation)
                return true;
    return false;
}

class Builder {
public:
    Builder(const Weights& weights, const SurveyAdjustmentOptions& options)
        : sigmas{weights}, options(options), twoD(options.method == Method::LeastSquares2d) {}

    Network Build(const std::vector<survey::FileSurvey>& surveys) {
        heights = HasControlHeight(surveys);
        for (const survey::FileSurvey& file : surveys)
            AddPoints(file.reduction);
        for (const survey::FileSurvey& file : surveys)
            for (const survey::Station& station : file.job.stations)
                AddSetUp(file.path, station);
        return std::move(network);
    }

private:
    void AddPoint(const std::string& name, std::optional<double> northing, std::optional<double> easting,
                  std::optional<double> elevation, bool known) {
        if (index.count(name) || !northing || !easting)
            return;
        index.emplace(name, network.points.size());
        Point point;
        point.name = name;
        point.northing = northing;
        point.easting = easting;
        point.elevation = elevation;
        const Role held = options.free ? Role::Constrained : Role::Fixed;
        point.plane = known ? held : Role::Adjusted;
        if (heights)
            point.height = known && elevation ? held : Role::Adjusted;
        network.points.push_back(point);
    }

    void AddPoints(const survey::Reduction& reduction) {
        for (const survey::Coordinate& point : reduction.coordinates)
            AddPoint(point.name, point.northing, point.easting, point.elevation,
                     point.source == survey::PointSource::Known);
        for (const survey::StationResult& station : reduction.stations)
            AddPoint(station.name, station.northing, station.easting, station.elevation, false);
    }

    const Point* Find(std::string_view name) const {
        const auto at = index.find(name);
        return at == index.end() ? nullptr : &network.points[at->second];
    }

    void AddSetUp(const std::string& file, const survey::Station& station) {
        const Point* at = Find(station.name);
        if (at == nullptr)
            return;
        const survey::StationSightings sighted = survey::Sight(station, options.reduction.tolerances);
        std::vector<const survey::Sighting*> placed;
        for (const survey::Sighting& sighting : sighted.sightings)
            if (Find(sighting.target) != nullptr)
                placed.push_back(&sighting);
        Observation base;
        base.from = station.name;
        base.file = file;
        base.instrumentHeight = station.instrumentHeight.value_or(0);
        if (placed.size() >= 2) {
            base.set = static_cast<int>(network.sets.size());
            network.sets.push_back({station.name, station.line ? *station.line + 1 : 0});
        }
        for (const survey::Sighting* sighting : placed)
            AddSighting(base, *at, *sighting);
    }

    void AddSighting(Observation base, const Point& at, const survey::Sighting& sighting) {
        const Point& target = *Find(sighting.target);
        base.to = sighting.target;
        base.line = sighting.line ? *sighting.line + 1 : 0;
        const double length = sighting.horizontalDistance ? *sighting.horizontalDistance
                                                          : std::hypot(*target.northing - *at.northing,
                                                                       *target.easting - *at.easting);
        if (base.set >= 0)
            Add(base, Kind::Direction, sighting.direction,
                sigmas.Direction(sighting.directionReadings, length));
        base.set = -1;
        if (!sighting.horizontalDistance || !sighting.rise)
            return;
        // The rise is to the mark, the target height already taken off: the target height is nil.
        // Freed of the earth's curvature and refraction when the reduction is, as the model is plane.
        const survey::Options& reduction = options.reduction;
        const double rise =
            *sighting.rise + (reduction.curvatureAndRefraction
                                  ? survey::CurvatureAndRefraction(length, reduction.refractionCoefficient)
                                  : 0.0);
        const int readings = sighting.distanceReadings;
        const double slope = std::hypot(length, rise);
        const double zenith = std::atan2(length, rise);
        if (twoD) {
            Add(base, Kind::Distance, length, sigmas.Distance(readings, length));
            Add(base, Kind::HeightDifference, base.instrumentHeight + rise,
                sigmas.Height(readings, slope, zenith));
            return;
        }
        Add(base, Kind::SlopeDistance, slope, sigmas.Distance(readings, slope));
        Add(base, Kind::ZenithAngle, zenith, sigmas.Zenith(readings));
    }

    void Add(Observation observation, Kind kind, double value, double sd) {
        observation.kind = kind;
        observation.value = value;
        observation.sd = sd;
        if (kind == Kind::HeightDifference)
            observation.instrumentHeight = 0;
        network.observations.push_back(std::move(observation));
    }

    SightingSigmas sigmas;
    const SurveyAdjustmentOptions& options;
    const bool twoD;
    bool heights = false; // some control has an elevation: the heights take part
    Network network;
    std::map<std::string, std::size_t, std::less<>> index; // found by views of names too
};

std::string Where(const std::string& file, int line) {
    return file.empty() ? std::string() : file + (line > 0 ? ":" + std::to_string(line) : "") + ": ";
}

std::vector<survey::SightedStation> SightedStations(const std::vector<survey::FileSurvey>& surveys,
                                                    const survey::Tolerances& tolerances) {
    std::vector<survey::SightedStation> stations;
    for (const survey::FileSurvey& file : surveys)
        for (const survey::Station& station : file.job.stations)
            stations.push_back(survey::Sighted(station, tolerances));
    return stations;
}

std::vector<survey::KnownPoint> Control(const std::vector<survey::FileSurvey>& surveys) {
    std::vector<survey::KnownPoint> known;
    std::set<std::string> names;
    for (const survey::FileSurvey& file : surveys)
        for (const survey::Coordinate& point : file.reduction.coordinates)
            if (point.source == survey::PointSource::Known && names.insert(point.name).second)
                known.push_back({point.name, point.northing, point.easting, point.elevation, point.code,
                                 survey::PointOrigin::UserGiven, std::nullopt});
    return known;
}

survey::Precision PrecisionOf(const PointResult& point) {
    survey::Precision precision;
    precision.sdNorthing = point.sdNorthing.value_or(0);
    precision.sdEasting = point.sdEasting.value_or(0);
    precision.sdElevation = point.sdElevation;
    if (point.ellipse95)
        precision.ellipse95 = {point.ellipse95->a, point.ellipse95->b, point.ellipse95->azimuth};
    return precision;
}

void WriteBack(const Adjustment& adjustment, std::vector<survey::FileSurvey>& surveys) {
    std::map<std::string, const PointResult*> results;
    for (const PointResult& point : adjustment.points)
        if (point.role != Role::Fixed)
            results.emplace(point.name, &point);
    for (survey::FileSurvey& file : surveys) {
        for (survey::Coordinate& point : file.reduction.coordinates) {
            const auto found = results.find(point.name);
            if (found == results.end())
                continue;
            const PointResult& result = *found->second;
            point.northing = result.northing.value_or(point.northing);
            point.easting = result.easting.value_or(point.easting);
            if (result.elevation)
                point.elevation = result.elevation;
            point.precision = PrecisionOf(result);
        }
        for (survey::StationResult& station : file.reduction.stations) {
            const auto found = results.find(station.name);
            if (found == results.end())
                continue;
            station.northing = found->second->northing;
            station.easting = found->second->easting;
            if (found->second->elevation)
                station.elevation = found->second->elevation;
        }
    }
}

void Summarize(const Adjustment& adjustment, SurveyAdjustment& out) {
    survey::AdjustmentSummary& summary = out.summary;
    summary.degreesOfFreedom = adjustment.degreesOfFreedom;
    summary.sigma0Apriori = adjustment.sigma0Apriori;
    summary.sigma0Aposteriori = adjustment.sigma0Aposteriori;
    summary.testApplicable = adjustment.test.applicable;
    summary.testPassed = adjustment.test.passed;
    for (const ObservationResult& observation : adjustment.observations) {
        if (!observation.flagged || !observation.standardizedResidual)
            continue;
        survey::FlaggedObservation flagged;
        flagged.file = observation.file;
        if (observation.line > 0)
            flagged.line = observation.line - 1;
        flagged.description = std::string("the ") + KindName(observation.kind) + " from " + observation.from +
                              " to " + observation.to;
        flagged.standardizedResidual = *observation.standardizedResidual;
        flagged.criticalValue = adjustment.criticalValue;
        out.diagnostics.push_back(Where(observation.file, observation.line) + flagged.description +
                                  " is flagged: standardized residual " +
                                  Fixed("%.1f", std::abs(flagged.standardizedResidual)) + " > " +
                                  Fixed("%.2f", flagged.criticalValue));
        summary.flagged.push_back(std::move(flagged));
    }
}

// Each traverse balanced, then every file reduced again from its balanced stations.
void Compass(const std::vector<survey::Traverse>& traverses, std::vector<survey::FileSurvey>& surveys,
             const SurveyAdjustmentOptions& options) {
    std::vector<survey::KnownPoint> control = Control(surveys);
    std::set<std::string> balanced;
    for (const survey::Traverse& traverse : traverses)
        for (const survey::BalancedStation& station : survey::CompassRule(traverse))
            if (balanced.insert(station.name).second)
                control.push_back({station.name,
                                   station.northing,
                                   station.easting,
                                   std::nullopt,
                                   {},
                                   survey::PointOrigin::UserGiven,
                                   std::nullopt});
    for (survey::FileSurvey& file : surveys) {
        for (survey::KnownPoint& point : control)
            for (const survey::Coordinate& located : file.reduction.coordinates)
                if (!point.elevation && located.name == point.name)
                    point.elevation = located.elevation;
        survey::Options reduction = options.reduction;
        reduction.userPoints = control;
        file.reduction = survey::Reduce(file.job, reduction);
        for (survey::Coordinate& point : file.reduction.coordinates)
            if (balanced.count(point.name))
                point.source = survey::PointSource::Computed;
    }
}

std::string FirstInstrument(const std::vector<survey::FileSurvey>& surveys) {
    for (const survey::FileSurvey& file : surveys)
        if (!file.job.header.instrument.empty())
            return file.job.header.instrument;
    return {};
}

} // namespace

Weights ChooseWeights(const WeightOptions& given, const std::string& instrument) {
    const InstrumentAccuracy* model = Known(instrument);
    Weights weights;
    weights.direction =
        model ? model->bothFaces * std::sqrt(2.0) * kRadiansPerSecond : kDefaultDirection * kRadiansPerSecond;
    weights.distanceConstant = (model ? model->millimetres : kDefaultMillimetres) / 1000;
    weights.distancePpm = model ? model->ppm : kDefaultPpm;
    weights.zenith = weights.direction;
    weights.centring = kDefaultCentring;
    const std::string from = model ? "the published accuracy of the " + std::string(model->model)
                                   : std::string("defaults: no instrument of known accuracy named");
    std::vector<std::string> givenNames;
    const auto take = [&](const std::optional<double>& value, double& into, const char* name) {
        if (value) {
            into = *value;
            givenNames.emplace_back(name);
        }
    };
    take(given.direction, weights.direction, "direction");
    take(given.zenith, weights.zenith, "zenith");
    take(given.distanceConstant, weights.distanceConstant, "distance");
    take(given.distancePpm, weights.distancePpm, "distance ppm");
    take(given.centring, weights.centring, "centring");
    weights.source = from;
    if (!givenNames.empty()) {
        std::string names;
        for (const std::string& name : givenNames)
            names += (names.empty() ? "" : ", ") + name;
        weights.source = "given: " + names + "; others from " + from;
    }
    return weights;
}

Weights RunWeights(const std::vector<survey::FileSurvey>& surveys, const WeightOptions& given) {
    return ChooseWeights(given, FirstInstrument(surveys));
}

std::string WeightsText(const Weights& weights) {
    return "direction " + Fixed("%.1f\"", weights.direction / kRadiansPerSecond) + ", zenith angle " +
           Fixed("%.1f\"", weights.zenith / kRadiansPerSecond) + " a face reading; distance " +
           Fixed("%.1f mm", weights.distanceConstant * 1000) + " + " +
           Fixed("%.1f ppm", weights.distancePpm) + "; centring " +
           Fixed("%.1f mm", weights.centring * 1000) + " (" + weights.source + ")";
}

std::optional<std::pair<double, double>> ParseDistanceSigma(const std::string& text) {
    double millimetres = 0, ppm = 0;
    char rest = 0;
    const int read = std::sscanf(text.c_str(), "%lf+%lf%c", &millimetres, &ppm, &rest);
    const bool valid = (read == 2 || (read == 1 && text.find('+') == std::string::npos)) &&
                       std::isfinite(millimetres) && std::isfinite(ppm) && millimetres > 0 && ppm >= 0;
    if (!valid)
        return std::nullopt;
    return std::pair{millimetres / 1000, ppm};
}

Network SurveyNetwork(const std::vector<survey::FileSurvey>& surveys, const Weights& weights,
                      const SurveyAdjustmentOptions& options) {
    Network network = Builder(weights, options).Build(surveys);
    network.description = "the run's raw surveys";
    return network;
}

SurveyAdjustment AdjustSurveys(std::vector<survey::FileSurvey>& surveys,
                               const SurveyAdjustmentOptions& options) {
    SurveyAdjustment out;
    const std::vector<survey::Traverse> traverses =
        survey::FindTraverses(SightedStations(surveys, options.reduction.tolerances), Control(surveys));
    for (const survey::Traverse& traverse : traverses)
        out.summary.traverses.push_back(traverse.closure);
    if (options.method == Method::Compass) {
        out.summary.method = "compass rule";
        Compass(traverses, surveys, options);
        return out;
    }
    out.summary.method = "least squares";
    const Weights weights = RunWeights(surveys, options.weights);
    out.summary.weights = WeightsText(weights);
    if (options.method == Method::LeastSquares3d && !HasControlHeight(surveys)) {
        out.diagnostics.emplace_back(
            "the surveys cannot be adjusted in 3-D: no control point has an elevation "
            "(--adjust 2d adjusts the plane positions alone)");
        return out;
    }
    const Network network = SurveyNetwork(surveys, weights, options);
    if (network.observations.empty()) {
        out.diagnostics.emplace_back(
            "the surveys cannot be adjusted: no observation joins two located points");
        return out;
    }
    try {
        out.result = Adjust(network, options.settings);
    } catch (const Error& error) {
        out.diagnostics.push_back(Where(error.File(), error.Line()) +
                                  "the surveys cannot be adjusted: " + error.what());
        return out;
    }
    Summarize(*out.result, out);
    WriteBack(*out.result, surveys);
    return out;
}

} // namespace adjust
