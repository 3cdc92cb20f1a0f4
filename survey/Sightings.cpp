#include "survey/Sightings.h"
#include "survey/Text.h"

#include "survey/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

std::optional<double> Zenith(const ObservationView& observation, ZeroVa zeroVa) {
    if (!observation.verticalAngle)
        return std::nullopt;
    return ZenithAngle(*observation.verticalAngle, zeroVa);
}

// An observation with its zenith angle, worked out once, and its face.
struct Faced {
    const ObservationView* observation;
    std::optional<double> zenith;
    bool right;
};

// A side shot has no face of its own: a zenith angle past 180° says the telescope was reversed.
Faced FacedOf(const ObservationView& observation, ZeroVa zeroVa) {
    const std::optional<double> zenith = Zenith(observation, zeroVa);
    const bool right = observation.faceRight ? *observation.faceRight : zenith && *zenith > kPi;
    return {&observation, zenith, right};
}

FaceLeftView Single(const Faced& faced) {
    const ObservationView& observation = *faced.observation;
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

using ObservationPointer = const ObservationView*;

// The code of a target: the first that any of its observations recorded.
std::string_view FirstCode(const ObservationPointer* first, const ObservationPointer* last) {
    const auto coded = std::find_if(first, last, [](ObservationPointer each) { return !each->code.empty(); });
    return coded == last ? std::string_view() : (*coded)->code;
}

// Copies names one after another into one block made at their size, which never moves, so that
// the views of the names it keeps stay good as long as the block is held.
class NameBlock {
public:
    explicit NameBlock(std::size_t size) : text_(new char[size]), end_(text_.get()) {}

    std::string_view Keep(std::string_view name) {
        const std::string_view kept(end_, name.size());
        Copy(name, end_);
        end_ += name.size();
        return kept;
    }
    std::shared_ptr<const char[]> Text() const { return text_; }

private:
    // Most names and codes are a few characters, for which a call of the library's copy costs
    // more than the copy: up to sixteen are copied in words, the last overlapping the one before,
    // and up to three as their first, middle and last.
    static void Copy(std::string_view name, char* to) {
        constexpr std::size_t kWord = sizeof(std::uint32_t);
        const std::size_t size = name.size();
        if (size > 4 * kWord) {
            std::memcpy(to, name.data(), size);
        } else if (size >= kWord) {
            for (std::size_t at = 0;; at = std::min(at + kWord, size - kWord)) {
                std::memcpy(to + at, name.data() + at, kWord);
                if (at == size - kWord)
                    break;
            }
        } else if (size > 0) {
            for (const std::size_t at : {std::size_t{0}, size / 2, size - 1})
                to[at] = name[at];
        }
    }

    std::shared_ptr<char[]> text_;
    char* end_;
};

class TargetReducer {
public:
    TargetReducer(std::string_view station, ZeroVa zeroVa, const Tolerances& tolerances, NameBlock& names,
                  StationSightings& out)
        : station_(station), tolerances_(tolerances), zeroVa_(zeroVa), names_(names), out_(out) {}

    // `observations` are those of one target, in the order of the file.
    void Reduce(std::string_view target, const ObservationPointer* first, const ObservationPointer* last) {
        if (last - first == 1 && (*first)->horizontalAngle) {
            // A side shot: one reading, which nothing pairs with, seen as it is, without the lists.
            const FaceLeftView view = Single(FacedOf(**first, zeroVa_));
            Meaned(out_.sightings.emplace_back(), target, &view, &view + 1, first, last);
            return;
        }
        // The lists are the reducer's own, reused from target to target.
        views.clear();
        Views(target, first, last);
        if (!views.empty())
            Meaned(out_.sightings.emplace_back(), target, views.data(), views.data() + views.size(), first,
                   last);
    }

private:
    // The views of a target's readings: face pairs first, in the order of their face-left readings,
    // then the readings left over.
    void Views(std::string_view target, const ObservationPointer* first, const ObservationPointer* last) {
        lefts.clear();
        rights.clear();
        for (const ObservationPointer* each = first; each != last; ++each) {
            const ObservationView& observation = **each;
            if (!observation.horizontalAngle) {
                Report(observation.line, std::string(target) + " from " + std::string(station_) +
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
        const ObservationView& left = *leftFaced.observation;
        const ObservationView& right = *rightFaced.observation;
        FaceRound round;
        round.station = station_;
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
                   round.target + " from " + round.station + ": the face-left and face-right pair is " +
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
    void Meaned(Sighting& sighting, std::string_view target, const FaceLeftView* firstView,
                const FaceLeftView* lastView, const ObservationPointer* first,
                const ObservationPointer* last) {
        sighting.target = names_.Keep(target);
        // Its code right after it, where Code finds it.
        sighting.codeSize = static_cast<std::uint32_t>(names_.Keep(FirstCode(first, last)).size());
        // Summed in order, as a mean of a list would be.
        double distances = 0;
        double rises = 0;
        int distanceViews = 0;
        for (const FaceLeftView* view = firstView; view != lastView; ++view) {
            sighting.directionReadings += view->faces;
            if (!view->slopeDistance || !view->zenith)
                continue;
            sighting.distanceReadings += view->faces;
            ++distanceViews;
            // Side by side, so that the compiler takes both from one call.
            const double sine = std::sin(*view->zenith);
            const double cosine = std::cos(*view->zenith);
            distances += *view->slopeDistance * sine;
            rises += *view->slopeDistance * cosine - view->targetHeight.value_or(0);
            sighting.targetHeightAssumed |= !view->targetHeight;
        }
        sighting.direction = MeanDirection(firstView, lastView);
        if (distanceViews > 0) {
            const double count = static_cast<double>(distanceViews);
            sighting.horizontalDistance = distances / count;
            sighting.rise = rises / count;
        }
        sighting.line = (*first)->line;
    }

    // A single direction is meaned too: its sine and cosine bring it back a few bits apart.
    double MeanDirection(const FaceLeftView* first, const FaceLeftView* last) {
        if (last - first == 1)
            return CircularMean(&first->direction, &first->direction + 1);
        directions.clear();
        for (const FaceLeftView* view = first; view != last; ++view)
            directions.push_back(view->direction);
        return CircularMean(directions);
    }

    void Report(Line line, std::string text) { out_.diagnostics.push_back({line, std::move(text)}); }

    std::string_view station_;
    const Tolerances& tolerances_;
    ZeroVa zeroVa_;
    NameBlock& names_;
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
    TargetGroups(std::string_view station, const std::vector<ObservationView>& observations) {
        std::vector<ObservationPointer> taken;
        std::vector<std::uint32_t> groupOf;
        std::vector<ObservationPointer> firsts;
        taken.reserve(observations.size());
        groupOf.reserve(observations.size());
        firsts.reserve(observations.size());
        std::size_t capacity = 2;
        while (capacity < 2 * observations.size())
            capacity *= 2;
        // A station's targets are far fewer than 2^32: the table's slots hold 32-bit groups.
        std::vector<std::uint32_t> slots(capacity, kEmpty);
        for (const ObservationView& observation : observations) {
            if (observation.target == station)
                continue;
            std::size_t slot = NameHash{}(observation.target) & (capacity - 1);
            while (slots[slot] != kEmpty && firsts[slots[slot]]->target != observation.target)
                slot = (slot + 1) & (capacity - 1);
            if (slots[slot] == kEmpty) {
                slots[slot] = static_cast<std::uint32_t>(firsts.size());
                firsts.push_back(&observation);
                namesSize_ += observation.target.size();
            }
            namesSize_ += observation.code.size();
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
    std::pair<const ObservationPointer*, const ObservationPointer*> Group(std::size_t group) const {
        return {grouped_.data() + starts_[group], grouped_.data() + starts_[group + 1]};
    }

    // Room for every group's target and the codes of all its observations, of which it keeps one.
    std::size_t NamesSize() const { return namesSize_; }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    std::vector<ObservationPointer> grouped_;
    std::vector<std::size_t> starts_; // of each group in grouped_, and the end of the last
    std::size_t namesSize_ = 0;
};

std::vector<ObservationView> ViewsOf(const std::vector<Observation>& observations) {
    std::vector<ObservationView> views;
    views.reserve(observations.size());
    for (const Observation& each : observations)
        views.push_back({each.target, each.horizontalAngle, each.verticalAngle, each.slopeDistance,
                         each.targetHeight, each.faceRight, each.code, each.line});
    return views;
}

} // namespace

double ZenithAngle(double verticalAngle, ZeroVa zeroVa) {
    return Normalised(zeroVa == ZeroVa::Zenith ? verticalAngle : kPi / 2 - verticalAngle);
}

StationSightings Sight(std::string_view name, ZeroVa zeroVa, const std::vector<ObservationView>& observations,
                       const Tolerances& tolerances) {
    const TargetGroups groups(name, observations);
    StationSightings out;
    out.sightings.reserve(groups.Count());
    NameBlock names(groups.NamesSize());
    TargetReducer reducer(name, zeroVa, tolerances, names, out);
    for (std::size_t group = 0; group < groups.Count(); ++group) {
        const auto [first, last] = groups.Group(group);
        reducer.Reduce((*first)->target, first, last);
    }
    out.names = names.Text();
    return out;
}

StationSightings Sight(const Station& station, const Tolerances& tolerances) {
    return Sight(station.name, station.facts.zeroVa, ViewsOf(station.observations), tolerances);
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
