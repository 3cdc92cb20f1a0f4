#include "survey/Traverse.h"

#include "survey/Geometry.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>

namespace survey {
namespace {

// The positions of the stations after the first, and the azimuth of the closing sight, carried
// from the first station's sight to control with each angle corrected by `angleCorrection`.
struct Carried {
    std::vector<std::pair<double, double>> positions;
    double closingAzimuth = 0;
};

Carried Carry(const Traverse& traverse, double angleCorrection) {
    Carried carried;
    double azimuth = traverse.startAzimuth - kPi;
    double northing = traverse.startNorthing, easting = traverse.startEasting;
    for (std::size_t i = 0; i < traverse.angles.size(); ++i) {
        azimuth = Normalised(azimuth + kPi + traverse.angles[i] + angleCorrection);
        if (i == traverse.legs.size())
            break;
        northing += traverse.legs[i] * std::cos(azimuth);
        easting += traverse.legs[i] * std::sin(azimuth);
        carried.positions.emplace_back(northing, easting);
    }
    carried.closingAzimuth = azimuth;
    return carried;
}

class Chains {
public:
    Chains(const std::vector<SightedStation>& stations, const std::vector<KnownPoint>& known)
        : stations(stations) {
        for (const KnownPoint& point : known)
            this->known.emplace(point.name, &point);
        for (const SightedStation& station : stations)
            setUp.insert(station.station.name);
    }

    std::vector<Traverse> Find() {
        std::vector<Traverse> found;
        std::set<std::vector<std::string>> seen;
        for (const SightedStation& first : stations) {
            if (!IsKnown(first.station.name))
                continue;
            for (const Sighting& reference : first.sightings.sightings) {
                if (!IsKnown(reference.target))
                    continue;
                for (const Sighting& next : first.sightings.sightings) {
                    std::optional<Traverse> traverse =
                        Walk(first.station.name, std::string(reference.target), std::string(next.target));
                    if (!traverse)
                        continue;
                    std::vector<std::string> key = traverse->closure.stations;
                    std::sort(key.begin(), key.end());
                    if (seen.insert(key).second)
                        found.push_back(std::move(*traverse));
                }
            }
        }
        return found;
    }

private:
    bool IsKnown(std::string_view name) const { return known.count(name) != 0; }

    const Sighting* Find(const SightedStation& station, const std::string& target) const {
        for (const Sighting& sighting : station.sightings.sightings)
            if (sighting.target == target)
                return &sighting;
        return nullptr;
    }

    // The clockwise angle at `at` from `back` to `fore`, from one set-up that saw both.
    std::optional<double> Angle(const std::string& at, const std::string& back,
                                const std::string& fore) const {
        for (const SightedStation& station : stations) {
            if (station.station.name != at)
                continue;
            const Sighting* b = Find(station, back);
            const Sighting* f = Find(station, fore);
            if (b && f)
                return Normalised(f->direction - b->direction);
        }
        return std::nullopt;
    }

    // The mean of the horizontal distances of a leg measured from either end, first set-up each.
    std::optional<double> Leg(const std::string& a, const std::string& b) const {
        std::vector<double> lengths;
        for (const auto& [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
            for (const SightedStation& station : stations) {
                const Sighting* sighting = station.station.name == from ? Find(station, to) : nullptr;
                if (sighting && sighting->horizontalDistance) {
                    lengths.push_back(*sighting->horizontalDistance);
                    break;
                }
            }
        }
        if (lengths.empty())
            return std::nullopt;
        return Mean(lengths);
    }

    // The set-up stations that `at` saw from the set-up that saw `previous`, but not `previous`.
    std::vector<std::string> Onward(const std::string& at, const std::string& previous) const {
        std::vector<std::string> onward;
        for (const SightedStation& station : stations) {
            if (station.station.name != at || !Find(station, previous))
                continue;
            for (const Sighting& sighting : station.sightings.sightings)
                if (sighting.target != previous && (setUp.count(sighting.target) || IsKnown(sighting.target)))
                    onward.emplace_back(sighting.target);
            break;
        }
        return onward;
    }

    // A known end: the station itself when it was set up on and saw its predecessor and control.
    std::optional<std::string> ClosingSight(const std::string& end, const std::string& previous,
                                            const std::string& firstReference, bool loop) const {
        if (loop)
            return Angle(end, previous, firstReference) ? std::optional(firstReference) : std::nullopt;
        for (const SightedStation& station : stations) {
            if (station.station.name != end || !Find(station, previous))
                continue;
            for (const Sighting& sighting : station.sightings.sightings)
                if (sighting.target != previous && sighting.target != end && IsKnown(sighting.target))
                    return std::string(sighting.target);
        }
        return std::nullopt;
    }

    std::optional<Traverse> Walk(const std::string& first, const std::string& reference,
                                 const std::string& second) const {
        if (IsKnown(second) || !setUp.count(second))
            return std::nullopt;
        std::vector<std::string> chain{first, second};
        for (;;) {
            const std::string& at = chain.back();
            const std::vector<std::string> onward = Onward(at, chain[chain.size() - 2]);
            const auto knownEnd = std::find_if(onward.begin(), onward.end(), [&](const std::string& name) {
                return IsKnown(name) && name != reference;
            });
            if (knownEnd != onward.end()) {
                chain.push_back(*knownEnd);
                break;
            }
            std::vector<std::string> next;
            for (const std::string& name : onward)
                if (!IsKnown(name) && std::find(chain.begin(), chain.end(), name) == chain.end())
                    next.push_back(name);
            if (next.size() != 1)
                return std::nullopt;
            chain.push_back(next.front());
        }
        const bool loop = chain.back() == first;
        const std::optional<std::string> closing =
            ClosingSight(chain.back(), chain[chain.size() - 2], reference, loop);
        if (!closing)
            return std::nullopt;
        return Measure(chain, reference, *closing);
    }

    std::optional<Traverse> Measure(const std::vector<std::string>& chain, const std::string& reference,
                                    const std::string& closing) const {
        Traverse traverse;
        traverse.reference = reference;
        traverse.closingSight = closing;
        traverse.closure.stations = chain;
        for (std::size_t i = 0; i < chain.size(); ++i) {
            const std::string& back = i == 0 ? reference : chain[i - 1];
            const std::string& fore = i + 1 == chain.size() ? closing : chain[i + 1];
            const std::optional<double> angle = Angle(chain[i], back, fore);
            if (!angle)
                return std::nullopt;
            traverse.angles.push_back(*angle);
            if (i + 1 == chain.size())
                break;
            const std::optional<double> leg = Leg(chain[i], chain[i + 1]);
            if (!leg)
                return std::nullopt;
            traverse.legs.push_back(*leg);
        }
        const KnownPoint& start = *known.at(chain.front());
        const KnownPoint& ref = *known.at(reference);
        traverse.startNorthing = start.northing;
        traverse.startEasting = start.easting;
        traverse.startAzimuth = Azimuth(start.northing, start.easting, ref.northing, ref.easting);
        const KnownPoint& end = *known.at(chain.back());
        const KnownPoint& closingPoint = *known.at(closing);
        Close(traverse, Azimuth(end.northing, end.easting, closingPoint.northing, closingPoint.easting),
              end.northing, end.easting);
        return traverse;
    }

    static void Close(Traverse& traverse, double closingAzimuth, double endNorthing, double endEasting) {
        const Carried carried = Carry(traverse, 0);
        TraverseClosure& closure = traverse.closure;
        closure.angularMisclosure = Signed(carried.closingAzimuth - closingAzimuth);
        closure.northingMisclosure = carried.positions.back().first - endNorthing;
        closure.eastingMisclosure = carried.positions.back().second - endEasting;
        closure.linearMisclosure = std::hypot(closure.northingMisclosure, closure.eastingMisclosure);
        for (double leg : traverse.legs)
            closure.length += leg;
        closure.precision = closure.linearMisclosure > 0 ? closure.length / closure.linearMisclosure
                                                         : std::numeric_limits<double>::infinity();
    }

    const std::vector<SightedStation>& stations;
    // Looked up by the sightings' views of names as well.
    std::map<std::string, const KnownPoint*, std::less<>> known;
    std::set<std::string, std::less<>> setUp;
};

} // namespace

std::vector<Traverse> FindTraverses(const std::vector<SightedStation>& stations,
                                    const std::vector<KnownPoint>& known) {
    return Chains(stations, known).Find();
}

std::vector<BalancedStation> CompassRule(const Traverse& traverse) {
    const TraverseClosure& closure = traverse.closure;
    const Carried balanced =
        Carry(traverse, -closure.angularMisclosure / static_cast<double>(traverse.angles.size()));
    // The known end lies where the unbalanced carry missed it by the linear misclosure.
    const Carried unbalanced = Carry(traverse, 0);
    const double missNorthing =
        balanced.positions.back().first - (unbalanced.positions.back().first - closure.northingMisclosure);
    const double missEasting =
        balanced.positions.back().second - (unbalanced.positions.back().second - closure.eastingMisclosure);
    std::vector<BalancedStation> stations;
    double run = 0;
    for (std::size_t i = 0; i + 1 < balanced.positions.size(); ++i) {
        run += traverse.legs[i];
        const auto [northing, easting] = balanced.positions[i];
        // Legs of no length leave nothing to share the misclosure by.
        const double share = closure.length > 0 ? run / closure.length : 0;
        stations.push_back(
            {closure.stations[i + 1], northing - missNorthing * share, easting - missEasting * share});
    }
    return stations;
}

} // namespace survey
