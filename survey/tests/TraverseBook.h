// Traverses surveyed by the test instrument: stations placed on a loop or between two pairs of
// control points, each set-up observing its neighbours in both faces, with a few side shots and
// one point seen from two set-ups, every reading disturbed by errors of a chosen size.
#pragma once

#include "survey/tests/FieldBook.h"

#include <cstdint>
#include <vector>

namespace survey::testing {

enum class TraverseShape { Loop, Connecting };

struct ReadingErrors {
    double direction = 0; // radians, one face reading
    double zenith = 0;
    double distance = 0; // metres
    std::uint32_t seed = 1;
};

struct PlacedTraverse {
    std::vector<Spot> stations; // in order; a loop's first is not repeated at its end
    std::vector<Spot> control;  // every known point, the stations' known ends among them
    std::vector<Spot> sideShots;
};

PlacedTraverse PlaceTraverse(TraverseShape shape);

// The field book of the traverse's survey; `longer` lengthens the distances to one side shot,
// as a blunder would, by that many metres.
FieldBook SurveyTraverse(const PlacedTraverse& placed, TraverseShape shape, const ReadingErrors& errors,
                         double longer = 0, const Conventions& conventions = {});

} // namespace survey::testing
