// The adjustment's working form of a network: points and observations by index, the numbering of
// the unknowns, and each observation linearised at the current coordinates.
#pragma once

#include "adjust/Network.h"

#include <array>
#include <vector>

namespace adjust {

struct Position {
    double n = 0, e = 0, z = 0;
    bool hasPlane = false, hasHeight = false;
};

struct IndexedObservation {
    const Observation* source = nullptr;
    int from = -1, to = -1, backsight = -1; // point indices
};

// Which unknown each coordinate and orientation is; -1 where it is held.
struct Unknowns {
    std::vector<int> north, east, up; // per point
    std::vector<int> orientation;     // per direction set
    std::vector<int> owner;           // per unknown: its point, or -1 - set for an orientation
    int count = 0;
};

struct Model {
    const Network* network = nullptr;
    std::vector<Position> positions;
    std::vector<double> orientations; // per set
    std::vector<IndexedObservation> observations;
    Unknowns unknowns;

    int PointIndex(const std::string& name) const;
};

// An observation's value computed from the current coordinates, and its derivatives by unknown.
struct Linearised {
    double computed = 0;
    int count = 0;
    std::array<int, 7> unknown{};
    std::array<double, 7> derivative{};
};

double Bearing(const Position& from, const Position& to);
double HorizontalDistance(const Position& from, const Position& to);
// Wraps an angle into (-pi, pi].
double Wrap(double angle);
// Wraps an angle into [0, 2 pi).
double Normalize(double angle);

// Names for a message: the first ten, then how many more.
std::string ListNames(const std::vector<std::string>& names);

// Points, observations and unknowns by index; throws Error for a name that is no point.
Model IndexNetwork(const Network& network);
Linearised Linearise(const Model& model, const IndexedObservation& observation);
// Observed minus computed, angles wrapped.
double Misclosure(const IndexedObservation& observation, double computed);

// Fills in the positions that the input left without coordinates, from the observations to and
// from points already placed; throws Error naming the points it cannot place.
void ApproximateCoordinates(Model& model);
// Each direction set's orientation from its sights to placed points; whether each set has one.
std::vector<bool> OrientSets(Model& model);

} // namespace adjust
