// Propagation of positions through a job: known points locate and orient stations, oriented
// stations locate their targets by polar reduction, and those targets locate and orient further
// stations, round after round, until a round locates nothing new. Each round reads the positions
// of the rounds before, so the result does not depend on the order of the records in the file.
#include "survey/Geometry.h"
#include "survey/Sightings.h"
#include "survey/Survey.h"
#include "survey/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <tuple>
#include <utility>

namespace survey {
namespace {

struct Position {
    double northing = 0;
    double easting = 0;
    std::optional<double> elevation;
};

struct Determination {
    Position position;
    const std::string* station;
};

struct StationWork;

constexpr std::uint32_t kNoItem = UINT32_MAX;

// The short lists of many points, their items kept in one vector and their links in another: a
// point holds the two ends of its list instead of a vector of its own.
template <class T> class Lists {
public:
    struct List {
        std::uint32_t first = kNoItem;
        std::uint32_t last = kNoItem;
        std::uint32_t size = 0;
    };

    void Reserve(std::size_t items) {
        values_.reserve(items);
        next_.reserve(items);
    }

    void Append(List& list, T value) {
        const auto at = static_cast<std::uint32_t>(values_.size());
        values_.push_back(std::move(value));
        next_.push_back(kNoItem);
        (list.last == kNoItem ? list.first : next_[list.last]) = at;
        list.last = at;
        ++list.size;
    }

    const T& Front(const List& list) const { return values_[list.first]; }

    template <class Visit> void ForEach(const List& list, Visit&& visit) const {
        for (std::uint32_t at = list.first; at != kNoItem; at = next_[at])
            visit(values_[at]);
    }

private:
    // The links apart from the values, so that no value is padded out to hold its link.
    std::vector<T> values_;
    std::vector<std::uint32_t> next_;
};

// A point any record names: located or not yet, and the stations that wait on it (its own
// station and those that sight it).
struct LocatedPoint {
    Position position;
    bool located = false;
    bool known = false;
    int round = 0;                             // the round that located it; 0 for known points
    std::string_view code;                     // where its first record holds it; empty for none
    Lists<Determination>::List determinations; // computed points only
    Lists<std::uint32_t>::List watchers;       // the stations' places in the reducer's list
};

using PointEntry = std::pair<const std::string_view, LocatedPoint>;

// The points by name. The entries are held in one list made at the size of every name the records
// give, so that they stay where they are (the stations and the orders point at them) and none is
// allocated on its own; their names view texts that the reducer holds as long as its points; an
// open-addressed table of their indices, each beside its name's hash, finds them. The table is never walked,
// so its hash decides no order.
class Points {
public:
    void Reserve(std::size_t names) {
        entries_.reserve(names);
        // Filled at most three quarters: short probes, and a table no larger than the list's.
        std::size_t capacity = 2;
        while (capacity / 4 * 3 < names + 1)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
    }

    std::size_t Size() const { return entries_.size(); }

    // The entry of `name`, added when there was none, and whether it was added.
    std::pair<PointEntry*, bool> Named(std::string_view name) {
        const std::size_t hash = NameHash{}(name);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            Slot& at = slots_[slot];
            if (at.entry == kNoItem)
                return {Add(at, name, hash), true};
            if (at.hash == static_cast<std::uint32_t>(hash) && entries_[at.entry].first == name)
                return {&entries_[at.entry], false};
        }
    }

private:
    struct Slot {
        std::uint32_t entry = kNoItem;
        std::uint32_t hash = 0; // the low bits of its name's hash
    };

    PointEntry* Add(Slot& slot, std::string_view name, std::size_t hash) {
        // Growing the list would move the entries that others point at.
        if (entries_.size() == entries_.capacity())
            throw std::length_error("the reducer's points exceed the names counted for them");
        slot = {static_cast<std::uint32_t>(entries_.size()), static_cast<std::uint32_t>(hash)};
        return &entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(name), std::tuple<>());
    }

    std::vector<PointEntry> entries_;
    std::vector<Slot> slots_; // more than the entries, so that every probe ends
};

struct StationWork {
    const Station* station = nullptr;
    // The station's own point and its sightings' targets, looked up once: a round then reads the
    // points without hashing a name.
    PointEntry* self = nullptr;
    std::vector<PointEntry*> targets; // beside sightings.sightings
    StationSightings sightings;
    StationResult result;
    bool done = false;
    int wokenInRound = -1;
};

// The sightings of a station to points located before it, with their grid azimuths and distances.
struct Reference {
    const Sighting* sighting;
    Position target;
};

constexpr double kSamePosition = 0.001;

// How a station may be oriented, in the order of preference: a station is resected, or its
// readings taken as azimuths, only when no round of the means before it has anything left to do.
enum class Means { Points, Resection, AzimuthReadings };

// Every digit of any double: a room for 309 digits, a sign, the point and the decimals.
std::string Text(double metres) {
    return FixedText(metres, 3);
}

bool WithinAnySurvey(const Position& position) {
    return survey::WithinAnySurvey(position.northing) && survey::WithinAnySurvey(position.easting) &&
           (!position.elevation || survey::WithinAnySurvey(*position.elevation));
}

class Reducer {
public:
    Reducer(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
            const Options& options)
        : knownPoints_(knownPoints), sighted_(std::move(stations)), options_(options) {}

    // The reduction without its coordinates, which stay with the located points until visited.
    Reduction Run() {
        // Every name a record gives is a point: the table is made at that size, not grown.
        std::size_t rounds = 0;
        std::size_t names = options_.userPoints.size() + knownPoints_.size() + sighted_.size();
        for (const SightedStation& station : sighted_) {
            rounds += station.sightings.rounds.size();
            names += station.sightings.sightings.size();
        }
        points_.Reserve(names);
        sightingNames_.reserve(sighted_.size());
        out_.rounds.reserve(rounds);
        stations_.reserve(sighted_.size());
        LocateKnownPoints();
        for (SightedStation& station : sighted_)
            PrepareStation(station);
        WatchPoints();
        while (Round(Means::Points) || Round(Means::Resection) || Round(Means::AzimuthReadings)) {
        }
        ReportUnfinishedStations();
        out_.stations.reserve(stations_.size());
        for (StationWork& work : stations_)
            out_.stations.push_back(std::move(work.result));
        // What only the rounds needed goes; the coordinates are made from the located points.
        std::vector<StationWork>().swap(stations_);
        watchers_ = {};
        return std::move(out_);
    }

    std::size_t CoordinateCount() const { return knownOrder_.size() + computedOrder_.size(); }

    // The coordinates in the order of the known points and then of the located ones.
    const PointEntry& CoordinateAt(std::size_t index) const {
        return index < knownOrder_.size() ? *knownOrder_[index] : *computedOrder_[index - knownOrder_.size()];
    }

    ReducedFile::Row RowAt(std::size_t index) const {
        const auto& [name, point] = CoordinateAt(index);
        return {name, point.position.northing, point.position.easting, point.position.elevation, point.code};
    }

    void FillAt(std::size_t index, ReducedFile::View& view) const {
        const auto& [name, point] = CoordinateAt(index);
        Fill(view, name, point);
    }

private:
    // The first code a point is given by any record of it, viewed where that record's text is
    // held as long as the points: a sighting's in its station's names, a known point's in a copy.
    void KeepCode(LocatedPoint& point, std::string_view code) {
        if (point.code.empty())
            point.code = code;
    }

    void KeepKnownCode(LocatedPoint& point, const std::string& code) {
        if (point.code.empty() && !code.empty())
            point.code = knownCodes_.emplace_back(code);
    }

    void LocateKnownPoints() {
        for (const auto* points : {&options_.userPoints, &knownPoints_}) {
            for (const KnownPoint& point : *points) {
                if (!WithinAnySurvey(Position{point.northing, point.easting, point.elevation})) {
                    Report(point.line, point.name + "'s coordinates are not finite or lie beyond any survey, "
                                                    "so they are set aside");
                    continue;
                }
                auto [at, added] = PointNamed(knownNames_.emplace_back(point.name));
                if (added) {
                    at->second.position = {point.northing, point.easting, point.elevation};
                    at->second.located = at->second.known = true;
                    KeepKnownCode(at->second, point.code);
                    knownOrder_.push_back(&*at);
                    continue;
                }
                KeepKnownCode(at->second, point.code);
                if (std::hypot(at->second.position.northing - point.northing,
                               at->second.position.easting - point.easting) > kSamePosition) {
                    Report(point.line, point.name + " is given again " +
                                           Text(std::hypot(at->second.position.northing - point.northing,
                                                           at->second.position.easting - point.easting)) +
                                           " m away from its first coordinates, which are kept");
                }
            }
        }
    }

    void PrepareStation(SightedStation& sighted) {
        const Station& station = sighted.station;
        StationWork work;
        work.station = &station;
        StationSightings taken = std::move(sighted.sightings);
        work.sightings.sightings = std::move(taken.sightings);
        sightingNames_.push_back(std::move(taken.names));
        work.result.name = station.name;
        work.result.line = station.line;
        work.result.instrumentHeight = station.instrumentHeight;
        work.result.temperature = station.temperature;
        work.result.pressure = station.pressure;
        std::move(taken.rounds.begin(), taken.rounds.end(), std::back_inserter(out_.rounds));
        std::move(taken.diagnostics.begin(), taken.diagnostics.end(), std::back_inserter(out_.diagnostics));
        stations_.push_back(std::move(work));
    }

    // Each station waits on its own point and on its targets: a round by points looks only at the
    // stations one of whose points the round before located, so a long traverse costs rounds times
    // the stations woken, not rounds times every station.
    void WatchPoints() {
        std::size_t sightings = 0;
        for (const StationWork& work : stations_)
            sightings += work.sightings.sightings.size();
        watchers_.Reserve(stations_.size() + sightings);
        determinations_.Reserve(stations_.size() + sightings);
        for (std::size_t index = 0; index < stations_.size(); ++index) {
            StationWork& work = stations_[index];
            // Half the room of a pointer, in a list of an item for every sighting.
            const auto watcher = static_cast<std::uint32_t>(index);
            work.self = &*PointNamed(work.station->name).first;
            watchers_.Append(work.self->second.watchers, watcher);
            work.targets.reserve(work.sightings.sightings.size());
            for (const Sighting& sighting : work.sightings.sightings) {
                PointEntry* target = &*PointNamed(sighting.target).first;
                work.targets.push_back(target);
                watchers_.Append(target->second.watchers, watcher);
            }
            awake_.push_back(&work);
        }
        computedOrder_.reserve(points_.Size());
    }

    // Wakes the stations that wait on the points located from `firstLocated` on in computedOrder_.
    void WakeWatchers(std::size_t firstLocated) {
        for (std::size_t index = firstLocated; index < computedOrder_.size(); ++index) {
            watchers_.ForEach(computedOrder_[index]->second.watchers, [this](std::uint32_t watcher) {
                StationWork* work = &stations_[watcher];
                if (!work->done && work->wokenInRound != round_) {
                    work->wokenInRound = round_;
                    awake_.push_back(work);
                }
            });
        }
    }

    // The stations a round looks at, in the order of the file so that the result does not
    // depend on the order they were woken in.
    std::vector<StationWork*> Candidates(Means means) {
        std::vector<StationWork*> candidates;
        if (means == Means::Points) {
            candidates.swap(awake_);
            std::sort(candidates.begin(), candidates.end());
        } else {
            for (StationWork& work : stations_)
                candidates.push_back(&work);
        }
        return candidates;
    }

    // Orients every station that the positions known at the round's start allow by the means
    // given, then reduces their targets.
    bool Round(Means means) {
        ++round_;
        const std::size_t firstLocated = computedOrder_.size();
        std::vector<StationWork*> oriented;
        for (StationWork* work : Candidates(means)) {
            if (!work->done && Orient(*work, means))
                oriented.push_back(work);
        }
        for (StationWork* work : oriented)
            LocateTargets(*work);
        WakeWatchers(firstLocated);
        return !oriented.empty();
    }

    // A point located in a round before this one; none for a point not located or located now.
    const LocatedPoint* Before(const PointEntry* entry) const {
        const LocatedPoint& point = entry->second;
        return point.located && point.round < round_ ? &point : nullptr;
    }

    std::pair<PointEntry*, bool> PointNamed(std::string_view name) { return points_.Named(name); }

    // Gives the point a determination, made a computed one when nothing located it yet, and
    // means its determinations at once: a point located in a round is read by none until the next.
    void Determine(PointEntry* at, const Determination& determination) {
        LocatedPoint& point = at->second;
        if (!point.located) {
            point.located = true;
            point.round = round_;
            computedOrder_.push_back(at);
        }
        determinations_.Append(point.determinations, determination);
        MeanDeterminations(point);
    }

    std::vector<Reference> References(const StationWork& work) const {
        std::vector<Reference> references;
        for (std::size_t i = 0; i < work.targets.size(); ++i) {
            if (const LocatedPoint* point = Before(work.targets[i]))
                references.push_back({&work.sightings.sightings[i], point->position});
        }
        return references;
    }

    bool Orient(StationWork& work, Means means) {
        const auto references = References(work);
        const LocatedPoint* located = Before(work.self);
        if (located == nullptr)
            return means == Means::Resection && Resect(work, references);
        const Position& station = located->position;
        if (references.empty()) {
            if (means != Means::AzimuthReadings || work.station->facts.readings != CircleReadings::Azimuth)
                return false;
            const bool fromSouth = work.station->facts.zeroAzimuth == ZeroAzimuth::South;
            Finish(work, station, fromSouth ? kPi : 0.0, references);
            return true;
        }
        std::vector<double> orientations;
        for (const Reference& reference : references) {
            orientations.push_back(Azimuth(station.northing, station.easting, reference.target.northing,
                                           reference.target.easting) -
                                   reference.sighting->direction);
        }
        Finish(work, station, CircularMean(orientations), references);
        return true;
    }

    // A station on an unknown point that measured distances to two or more located points: the
    // rotation and shift that fit its polar sightings to their coordinates best.
    bool Resect(StationWork& work, const std::vector<Reference>& references) {
        std::vector<std::pair<Position, Position>> pairs; // local, grid
        for (const Reference& reference : references) {
            const Sighting& sighting = *reference.sighting;
            if (!sighting.horizontalDistance)
                continue;
            const Position local{*sighting.horizontalDistance * std::cos(sighting.direction),
                                 *sighting.horizontalDistance * std::sin(sighting.direction),
                                 {}};
            pairs.emplace_back(local, reference.target);
        }
        if (pairs.size() < 2)
            return false;
        Position localMean;
        Position gridMean;
        for (const auto& [local, grid] : pairs) {
            localMean.northing += local.northing / pairs.size();
            localMean.easting += local.easting / pairs.size();
            gridMean.northing += grid.northing / pairs.size();
            gridMean.easting += grid.easting / pairs.size();
        }
        double sine = 0;
        double cosine = 0;
        for (const auto& [local, grid] : pairs) {
            const double n = local.northing - localMean.northing;
            const double e = local.easting - localMean.easting;
            const double gn = grid.northing - gridMean.northing;
            const double ge = grid.easting - gridMean.easting;
            sine += n * ge - e * gn;
            cosine += n * gn + e * ge;
        }
        if (std::hypot(sine, cosine) < kSamePosition * kSamePosition)
            return false;
        const double orientation = Normalised(std::atan2(sine, cosine));
        Position station;
        station.northing = gridMean.northing - (localMean.northing * std::cos(orientation) -
                                                localMean.easting * std::sin(orientation));
        station.easting = gridMean.easting - (localMean.northing * std::sin(orientation) +
                                              localMean.easting * std::cos(orientation));
        station.elevation = ResectedElevation(work, references);
        Determine(work.self, {station, &work.station->name});
        Finish(work, station, orientation, references);
        return true;
    }

    std::optional<double> ResectedElevation(const StationWork& work,
                                            const std::vector<Reference>& references) const {
        std::vector<double> elevations;
        for (const Reference& reference : references) {
            if (reference.target.elevation && reference.sighting->rise) {
                elevations.push_back(*reference.target.elevation - *reference.sighting->rise -
                                     InstrumentHeight(work) -
                                     Curvature(*reference.sighting->horizontalDistance));
            }
        }
        if (elevations.empty())
            return std::nullopt;
        return Mean(elevations);
    }

    void Finish(StationWork& work, const Position& station, double orientation,
                const std::vector<Reference>& references) {
        work.done = true;
        StationResult& result = work.result;
        result.status = StationStatus::Oriented;
        result.northing = station.northing;
        result.easting = station.easting;
        result.elevation = station.elevation;
        result.orientation = Normalised(orientation);
        for (const Reference& reference : references) {
            result.checks.push_back(CheckOf(work, station, reference));
            if (std::abs(result.checks.back().azimuthResidual) > options_.tolerances.orientation)
                Report(work.station->line, "station " + work.station->name + ": its orientation misses " +
                                               std::string(reference.sighting->target) + " by " +
                                               SecondsText(result.checks.back().azimuthResidual) +
                                               "; the point or the observation is wrong");
        }
        if (!HasRises(work))
            return;
        if (!station.elevation)
            Report(work.station->line,
                   "station " + work.station->name + " has no elevation, so the points it locates have none");
        else if (!work.station->instrumentHeight)
            Report(work.station->line, "station " + work.station->name +
                                           " has no instrument height: elevations from it take it as 0");
    }

    Check CheckOf(const StationWork& work, const Position& station, const Reference& reference) const {
        const Sighting& sighting = *reference.sighting;
        Check check;
        check.station = work.station->name;
        check.target = sighting.target;
        const Position& target = reference.target;
        check.azimuthResidual =
            Signed(*work.result.orientation + sighting.direction -
                   Azimuth(station.northing, station.easting, target.northing, target.easting));
        if (sighting.horizontalDistance) {
            check.horizontalDistanceResidual =
                *sighting.horizontalDistance -
                std::hypot(target.northing - station.northing, target.easting - station.easting);
        }
        if (auto observed = Polar(work, station, sighting).elevation; observed && target.elevation)
            check.elevationResidual = *observed - *target.elevation;
        return check;
    }

    void LocateTargets(StationWork& work) {
        const Position station{*work.result.northing, *work.result.easting, work.result.elevation};
        for (std::size_t i = 0; i < work.targets.size(); ++i) {
            const Sighting& sighting = work.sightings.sightings[i];
            // A point given without a code keeps the one its observation recorded.
            KeepCode(work.targets[i]->second, sighting.Code());
            if (Before(work.targets[i]) != nullptr)
                continue;
            if (!sighting.horizontalDistance) {
                Report(sighting.line, std::string(sighting.target) + " from " + work.station->name +
                                          ": no slope distance and vertical angle, so it is not located");
                continue;
            }
            const Position located = Polar(work, station, sighting);
            if (!WithinAnySurvey(located)) {
                Report(sighting.line, std::string(sighting.target) + " from " + work.station->name +
                                          ": the observation puts it where no survey reaches, so it is not "
                                          "located");
                continue;
            }
            if (sighting.targetHeightAssumed && station.elevation)
                Report(sighting.line, std::string(sighting.target) + " from " + work.station->name +
                                          ": no target height, taken as 0 for its elevation");
            Determine(work.targets[i], {located, &work.station->name});
        }
    }

    Position Polar(const StationWork& work, const Position& station, const Sighting& sighting) const {
        Position target;
        const double azimuth = *work.result.orientation + sighting.direction;
        const double distance = sighting.horizontalDistance.value_or(0);
        target.northing = station.northing + distance * std::cos(azimuth);
        target.easting = station.easting + distance * std::sin(azimuth);
        if (station.elevation && sighting.rise)
            target.elevation =
                *station.elevation + InstrumentHeight(work) + *sighting.rise + Curvature(distance);
        return target;
    }

    double InstrumentHeight(const StationWork& work) const {
        return work.station->instrumentHeight.value_or(0);
    }

    double Curvature(double horizontalDistance) const {
        if (!options_.curvatureAndRefraction)
            return 0;
        return CurvatureAndRefraction(horizontalDistance, options_.refractionCoefficient);
    }

    static bool HasRises(const StationWork& work) {
        return std::any_of(work.sightings.sightings.begin(), work.sightings.sightings.end(),
                           [](const Sighting& sighting) { return sighting.rise.has_value(); });
    }

    // Sums in the order of the determinations, as a mean of vectors would add them.
    void MeanDeterminations(LocatedPoint& point) const {
        if (point.known || point.determinations.size == 0)
            return;
        double northings = 0;
        double eastings = 0;
        double elevations = 0;
        int withElevation = 0;
        determinations_.ForEach(point.determinations, [&](const Determination& determination) {
            northings += determination.position.northing;
            eastings += determination.position.easting;
            if (determination.position.elevation) {
                elevations += *determination.position.elevation;
                ++withElevation;
            }
        });
        const double count = point.determinations.size;
        point.position = {northings / count, eastings / count, {}};
        if (withElevation > 0)
            point.position.elevation = elevations / withElevation;
    }

    void ReportUnfinishedStations() {
        for (StationWork& work : stations_) {
            if (work.done)
                continue;
            const std::string& name = work.station->name;
            const PointEntry* at = work.self;
            if (!at->second.located) {
                work.result.status = StationStatus::NotLocated;
                Report({work.station->line,
                        "station " + name + ": nothing gives its position, so nothing is computed from it",
                        DiagnosticKind::NotLocated, name});
                continue;
            }
            work.result.status = StationStatus::NotOriented;
            work.result.northing = at->second.position.northing;
            work.result.easting = at->second.position.easting;
            work.result.elevation = at->second.position.elevation;
            if (work.sightings.sightings.empty())
                continue;
            const std::string backsight(work.sightings.sightings.front().target);
            Report({work.station->line,
                    "station " + name +
                        ": no located point orients it and its readings are not azimuths, so " +
                        "nothing is computed from it",
                    DiagnosticKind::NotOriented, backsight});
        }
    }

    // Reuses the view's list of stations, so that visiting every point allocates little.
    void Fill(ReducedFile::View& view, std::string_view name, const LocatedPoint& point) const {
        view.name = name;
        view.northing = point.position.northing;
        view.easting = point.position.easting;
        view.elevation = point.position.elevation;
        view.code = point.code;
        view.source = point.known ? PointSource::Known : PointSource::Computed;
        view.stations.clear();
        view.horizontalSpread.reset();
        view.verticalSpread.reset();
        // Most points are located once: from one station, with no spread to give.
        if (point.determinations.size == 1)
            view.stations.push_back(*determinations_.Front(point.determinations).station);
        else if (point.determinations.size > 1)
            Gather(view, point);
    }

    // The stations of a point located more than once, each named once, and its spreads.
    void Gather(ReducedFile::View& view, const LocatedPoint& point) const {
        determinations_.ForEach(point.determinations, [&](const Determination& determination) {
            const std::string_view station = *determination.station;
            if (std::find(view.stations.begin(), view.stations.end(), station) == view.stations.end())
                view.stations.push_back(station);
        });
        Spread(view, point);
    }

    // The largest distances of the point's determinations from their mean.
    void Spread(ReducedFile::View& view, const LocatedPoint& point) const {
        double horizontal = 0;
        double vertical = 0;
        determinations_.ForEach(point.determinations, [&](const Determination& determination) {
            horizontal =
                std::max(horizontal, std::hypot(determination.position.northing - point.position.northing,
                                                determination.position.easting - point.position.easting));
            if (determination.position.elevation && point.position.elevation)
                vertical = std::max(vertical,
                                    std::abs(*determination.position.elevation - *point.position.elevation));
        });
        view.horizontalSpread = horizontal;
        if (point.position.elevation)
            view.verticalSpread = vertical;
    }

    void Report(Line line, std::string text) { out_.diagnostics.push_back({line, std::move(text)}); }
    void Report(Diagnostic diagnostic) {
        if (options_.advice != nullptr)
            diagnostic.text += options_.advice(diagnostic);
        out_.diagnostics.push_back(std::move(diagnostic));
    }

    // The known points and the options are read only while Run runs.
    const std::vector<KnownPoint>& knownPoints_;
    std::vector<SightedStation> sighted_; // the determinations name their stations
    const Options& options_;
    // The texts the points' names and codes view besides their stations' names: those of the known
    // points, where deques keep them, and those of the sightings, which outlive the sightings.
    std::deque<std::string> knownNames_;
    std::deque<std::string> knownCodes_;
    std::vector<std::shared_ptr<const char[]>> sightingNames_;
    Points points_;
    Lists<Determination> determinations_;
    Lists<std::uint32_t> watchers_;
    std::vector<PointEntry*> knownOrder_;
    std::vector<PointEntry*> computedOrder_; // in the order they were located
    std::vector<StationWork*> awake_;        // for the next round by points
    int round_ = 0;
    std::vector<StationWork> stations_;
    Reduction out_;
};

} // namespace

struct ReducedFile::State {
    State(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
          const Options& options)
        : reducer(knownPoints, std::move(stations), options), reduction(reducer.Run()) {}

    Reducer reducer;
    Reduction reduction;
};

ReducedFile::ReducedFile(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
                         const Options& options)
    : state_(std::make_unique<State>(knownPoints, std::move(stations), options)) {}

ReducedFile::~ReducedFile() = default;
ReducedFile::ReducedFile(ReducedFile&&) noexcept = default;
ReducedFile& ReducedFile::operator=(ReducedFile&&) noexcept = default;

Reduction ReducedFile::TakeReduction() {
    return std::move(state_->reduction);
}

std::size_t ReducedFile::CoordinateCount() const {
    return state_->reducer.CoordinateCount();
}

ReducedFile::Row ReducedFile::RowAt(std::size_t index) const {
    return state_->reducer.RowAt(index);
}

void ReducedFile::Fill(std::size_t index, View& view) const {
    state_->reducer.FillAt(index, view);
}

std::vector<Coordinate> ReducedFile::Coordinates() const {
    std::vector<Coordinate> coordinates;
    coordinates.reserve(CoordinateCount());
    ForEachCoordinate([&](const View& view) {
        Coordinate& coordinate = coordinates.emplace_back();
        coordinate.name = view.name;
        coordinate.northing = view.northing;
        coordinate.easting = view.easting;
        coordinate.elevation = view.elevation;
        coordinate.code = view.code;
        coordinate.source = view.source;
        coordinate.fromStations.assign(view.stations.begin(), view.stations.end());
        coordinate.horizontalSpread = view.horizontalSpread;
        coordinate.verticalSpread = view.verticalSpread;
    });
    return coordinates;
}

Reduction Reduce(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
                 const Options& options) {
    ReducedFile file(knownPoints, std::move(stations), options);
    Reduction reduction = file.TakeReduction();
    reduction.coordinates = file.Coordinates();
    return reduction;
}

Reduction Reduce(const Job& job, const Options& options) {
    std::vector<SightedStation> stations;
    stations.reserve(job.stations.size());
    for (const Station& station : job.stations)
        stations.push_back(Sighted(station, options.tolerances));
    return Reduce(job.knownPoints, std::move(stations), options);
}

const StationResult* FindStationResult(const Reduction& reduction, const Station& station) {
    const auto sameLine = [&](const StationResult& result) {
        return station.line && result.line == station.line;
    };
    auto found = std::find_if(reduction.stations.begin(), reduction.stations.end(), sameLine);
    if (found == reduction.stations.end()) {
        found = std::find_if(reduction.stations.begin(), reduction.stations.end(),
                             [&](const StationResult& result) { return result.name == station.name; });
    }
    return found == reduction.stations.end() ? nullptr : &*found;
}

} // namespace survey
