#include "survey/Sightings.h"
#include "survey/Text.h"

#include "survey/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <utility>
#include <vector>

namespace survey {
namespace {

// One observation, or one meaned pair, in face-left terms.
struct FaceLeftView {
    double direction = 0;
    std::optional<double> zenith;
    std::optional<double> slopeDistance;
    std::optional<double> targetHeight;
    int faces = 1;
};

double FaceLeftZenith(double zenith) {
    return zenith > kPi ? kTwoPi - zenith : zenith;
}

std::optional<double> Zenith(const Observation& observation, ZeroVa zeroVa) {
    if (!observation.verticalAngle)
        return std::nullopt;
    return ZenithAngle(*observation.verticalAngle, zeroVa);
}

// An observation with its zenith angle, worked out once, and its face.
struct Faced {
    const Observation* observation;
    std::optional<double> zenith;
    bool right;
};

// A side shot has no face of its own: a zenith angle past 180° says the telescope was reversed.
Faced FacedOf(const Observation& observation, ZeroVa zeroVa) {
    const std::optional<double> zenith = Zenith(observation, zeroVa);
    const bool right = observation.faceRight ? *observation.faceRight : zenith && *zenith > kPi;
    return {&observation, zenith, right};
}

FaceLeftView Single(const Faced& faced) {
    const Observation& observation = *faced.observation;
    FaceLeftView view;
    view.direction = Normalised(*observation.horizontalAngle - (faced.right ? kPi : 0.0));
    if (faced.zenith)
        view.zenith = FaceLeftZenith(*faced.zenith);
    view.slopeDistance = observation.slopeDistance;
    view.targetHeight = observation.targetHeight;
    return view;
}

std::optional<double> MeanOfPresent(std::optional<double> a, std::optional<double> b) {
    if (a && b)
        return (*a + *b) / 2;
    return a ? a : b;
}

class TargetReducer {
public:
    TargetReducer(const Station& station, const Tolerances& tolerances, StationSightings& out)
        : station_(station), tolerances_(tolerances), zeroVa_(station.facts.zeroVa), out_(out) {}

    // `observations` are those of one target, in the order of the file.
    void Reduce(const std::string& target, const Observation* const* first, const Observation* const* last) {
        // The lists are the reducer's own, reused from target to target.
        views.clear();
        if (last - first == 1 && (*first)->horizontalAngle) {
            // A side shot: one reading, which nothing pairs with, seen as it is.
            views.push_back(Single(FacedOf(**first, zeroVa_)));
        } else {
            Views(target, first, last);
        }
        if (!views.empty())
            Meaned(out_.sightings.emplace_back(), target, first, last);
    }

private:
    // The views of a target's readings: face pairs first, in the order of their face-left readings,
    // then the readings left over.
    void Views(const std::string& target, const Observation* const* first, const Observation* const* last) {
        lefts.clear();
        rights.clear();
        for (const Observation* const* each = first; each != last; ++each) {
            const Observation& observation = **each;
            if (!observation.horizontalAngle) {
                Report(observation.line, target + " from " + station_.name +
                                             ": no horizontal angle, so the observation is not used");
                continue;
            }
            const Faced faced = FacedOf(observation, zeroVa_);
            (faced.right ? rights : lefts).push_back(faced);
        }
        const std::size_t pairs = std::min(lefts.size(), rights.size());
        for (std::size_t i = 0; i < pairs; ++i) {
            if (auto view = Round(lefts[i], rights[i]))
                views.push_back(*view);
        }
        for (const auto* rest : {&lefts, &rights}) {
            for (std::size_t i = pairs; i < rest->size(); ++i)
                views.push_back(Single((*rest)[i]));
        }
    }

    std::optional<FaceLeftView> Round(const Faced& leftFaced, const Faced& rightFaced) {
        const Observation& left = *leftFaced.observation;
        const Observation& right = *rightFaced.observation;
        FaceRound round;
        round.station = station_.name;
        round.target = left.target;
        round.line = left.line;
        const double rightDirection = *right.horizontalAngle - kPi;
        round.horizontalAngle = CircularMean({*left.horizontalAngle, rightDirection});
        round.collimationError = Signed(rightDirection - *left.horizontalAngle) / 2;
        const std::optional<double>& leftZenith = leftFaced.zenith;
        const std::optional<double>& rightZenith = rightFaced.zenith;
        if (leftZenith && rightZenith)
            round.indexError = (*leftZenith - FaceLeftZenith(*rightZenith)) / 2;
        const auto zenith =
            MeanOfPresent(leftZenith ? std::optional(FaceLeftZenith(*leftZenith)) : std::nullopt,
                          rightZenith ? std::optional(FaceLeftZenith(*rightZenith)) : std::nullopt);
        round.zenithAngle = zenith.value_or(0);
        round.slopeDistance = MeanOfPresent(left.slopeDistance, right.slopeDistance);
        if (left.slopeDistance && right.slopeDistance)
            round.distanceDifference = *right.slopeDistance - *left.slopeDistance;
        round.withinTolerance = std::abs(round.collimationError) <= tolerances_.collimation &&
                                std::abs(round.indexError) <= tolerances_.verticalIndex &&
                                std::abs(round.distanceDifference.value_or(0)) <= tolerances_.distance;
        out_.rounds.push_back(round);
        if (!round.withinTolerance) {
            Report(left.line,
                   left.target + " from " + station_.name + ": the face-left and face-right pair is " +
                       "outside the tolerances (collimation " + SecondsText(round.collimationError) +
                       ", index " + SecondsText(round.indexError) + ") and is not used");
            return std::nullopt;
        }
        FaceLeftView view;
        view.direction = round.horizontalAngle;
        view.zenith = zenith;
        view.slopeDistance = round.slopeDistance;
        view.targetHeight = MeanOfPresent(left.targetHeight, right.targetHeight);
        view.faces = 2;
        return view;
    }

    // Fills the station's new sighting in place from the views.
    void Meaned(Sighting& sighting, const std::string& target, const Observation* const* first,
                const Observation* const* last) {
        sighting.target = target;
        directions.clear();
        // Summed in order, as a mean of a list would be.
        double distances = 0;
        double rises = 0;
        int distanceViews = 0;
        for (const FaceLeftView& view : views) {
            directions.push_back(view.direction);
            sighting.directionReadings += view.faces;
            if (!view.slopeDistance || !view.zenith)
                continue;
            sighting.distanceReadings += view.faces;
            ++distanceViews;
            // Side by side, so that the compiler takes both from one call.
            const double sine = std::sin(*view.zenith);
            const double cosine = std::cos(*view.zenith);
            distances += *view.slopeDistance * sine;
            rises += *view.slopeDistance * cosine - view.targetHeight.value_or(0);
            sighting.targetHeightAssumed |= !view.targetHeight;
        }
        sighting.direction = CircularMean(directions);
        if (distanceViews > 0) {
            const double count = static_cast<double>(distanceViews);
            sighting.horizontalDistance = distances / count;
            sighting.rise = rises / count;
        }
        sighting.line = (*first)->line;
        const auto coded =
            std::find_if(first, last, [](const Observation* each) { return !each->code.empty(); });
        if (coded != last)
            sighting.code = (*coded)->code;
    }

    void Report(Line line, std::string text) { out_.diagnostics.push_back({line, std::move(text)}); }

    const Station& station_;
    const Tolerances& tolerances_;
    ZeroVa zeroVa_;
    StationSightings& out_;
    std::vector<Faced> lefts;
    std::vector<Faced> rights;
    std::vector<FaceLeftView> views;
    std::vector<double> directions;
};

// A station's observations of other points grouped by target, each group in file order and the
// groups in the order of their targets' first observations: each observation's group is looked up
// in an open-addressed table of the targets seen, then the observations are counted into place.
class TargetGroups {
public:
    explicit TargetGroups(const Station& station) {
        std::vector<const Observation*> taken;
        std::vector<std::uint32_t> groupOf;
        std::vector<const Observation*> firsts;
        taken.reserve(station.observations.size());
        groupOf.reserve(station.observations.size());
        firsts.reserve(station.observations.size());
        std::size_t capacity = 2;
        while (capacity < 2 * station.observations.size())
            capacity *= 2;
        // A station's targets are far fewer than 2^32: the table's slots hold 32-bit groups.
        std::vector<std::uint32_t> slots(capacity, kEmpty);
        for (const Observation& observation : station.observations) {
            if (observation.target == station.name)
                continue;
            std::size_t slot = NameHash{}(observation.target) & (capacity - 1);
            while (slots[slot] != kEmpty && firsts[slots[slot]]->target != observation.target)
                slot = (slot + 1) & (capacity - 1);
            if (slots[slot] == kEmpty) {
                slots[slot] = static_cast<std::uint32_t>(firsts.size());
                firsts.push_back(&observation);
            }
            taken.push_back(&observation);
            groupOf.push_back(slots[slot]);
        }
        starts_.assign(firsts.size() + 1, 0);
        for (const std::uint32_t group : groupOf)
            ++starts_[group + 1];
        std::partial_sum(starts_.begin(), starts_.end(), starts_.begin());
        std::vector<std::size_t> next(starts_.begin(), starts_.end() - 1);
        grouped_.resize(taken.size());
        for (std::size_t i = 0; i < taken.size(); ++i)
            grouped_[next[groupOf[i]]++] = taken[i];
    }

    std::size_t Count() const { return starts_.size() - 1; }
    std::pair<const Observation* const*, const Observation* const*> Group(std::size_t group) const {
        return {grouped_.data() + starts_[group], grouped_.data() + starts_[group + 1]};
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    std::vector<const Observation*> grouped_;
    std::vector<std::size_t> starts_; // of each group in grouped_, and the end of the last
};

} // namespace

double ZenithAngle(double verticalAngle, ZeroVa zeroVa) {
    return Normalised(zeroVa == ZeroVa::Zenith ? verticalAngle : kPi / 2 - verticalAngle);
}

StationSightings Sight(const Station& station, const Tolerances& tolerances) {
    const TargetGroups groups(station);
    StationSightings out;
    out.sightings.reserve(groups.Count());
    TargetReducer reducer(station, tolerances, out);
    for (std::size_t group = 0; group < groups.Count(); ++group) {
        const auto [first, last] = groups.Group(group);
        reducer.Reduce((*first)->target, first, last);
    }
    return out;
}

SightedStation Sighted(const Station& station, const Tolerances& tolerances) {
    return {{station.name,
             station.instrumentHeight,
             station.temperature,
             station.pressure,
             station.line,
             station.facts,
             {}},
            Sight(station, tolerances)};
}

} // namespace survey
