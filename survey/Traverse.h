// Traverses found among a run's set-ups, and their classical closures: angles are face-meaned
// foresight minus backsight directions, each leg the mean of its horizontal distances measured
// from both ends, azimuths carried from the first station's sight to control without balancing.
// The compass (Bowditch) rule then shares the misclosures out along each traverse.
#pragma once

#include "survey/Adjusted.h"
#include "survey/Sightings.h"

#include <string>
#include <vector>

namespace survey {

// One traverse: its closure, and what the compass rule needs to balance it.
struct Traverse {
    TraverseClosure closure;
    std::string reference;      // the first station's sight to control
    std::string closingSight;   // the last station's sight to control
    std::vector<double> angles; // at each station in order, foresight minus backsight
    std::vector<double> legs;   // horizontal lengths between successive stations
    double startAzimuth = 0;    // of the first station's sight to control
    double startNorthing = 0, startEasting = 0;
};

// Every chain of set-ups, each seeing the one before and the one after, from a known station
// with a sight to control to a known station with one (or back round to the first): each found
// once, whichever end it is met from.
std::vector<Traverse> FindTraverses(const std::vector<SightedStation>& stations,
                                    const std::vector<KnownPoint>& known);

struct BalancedStation {
    std::string name;
    double northing = 0, easting = 0;
};

// The traverse's inner stations after the angular misclosure is shared equally among its angles
// and the linear misclosure in proportion to the distance run.
std::vector<BalancedStation> CompassRule(const Traverse& traverse);

} // namespace survey
