// A survey network for least-squares adjustment: points with their roles, and observations with
// their standard deviations. Lengths are metres, angles radians; horizontal angles count clockwise
// and bearings from grid north, whatever the input's own axes and sense of angles were.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace adjust {

// What the adjustment may do with a coordinate.
enum class Role {
    Fixed,       // held at its given value
    Adjusted,    // free to move
    Constrained, // free to move, and one of the points that carry a free network's datum
};

struct Point {
    std::string name;
    // Given or approximate values; an adjusted coordinate without one is found from the observations.
    std::optional<double> northing, easting, elevation;
    // Roles of the plane position and of the elevation; absent: the coordinate takes no part.
    std::optional<Role> plane, height;
    int line = 0; // where the input defined it, 0 when it has no file
};

enum class Kind {
    Direction,        // a reading in a direction set, with the set's orientation unknown
    Angle,            // from the backsight clockwise to the foresight (`to`)
    Distance,         // horizontal
    SlopeDistance,    // between instrument and target
    ZenithAngle,      // between instrument and target
    HeightDifference, // levelled, point to point
    Azimuth,          // a bearing from grid north
};

struct Observation {
    Kind kind = Kind::Distance;
    std::string from, to;
    std::string backsight; // angles only
    double value = 0;
    double sd = 0;               // standard deviation, in the value's unit
    double instrumentHeight = 0; // slope distances and zenith angles
    double targetHeight = 0;
    int set = -1;     // the direction set of a direction, an index into Network::sets
    int line = 0;     // where the input gave it, 0 when it has no file
    std::string file; // the input it came from, empty when none
};

// One set-up's directions share an orientation unknown.
struct DirectionSet {
    std::string station;
    int line = 0;
};

struct Network {
    std::string description;
    std::vector<Point> points;
    std::vector<Observation> observations;
    std::vector<DirectionSet> sets;
    // The a priori standard deviation of unit weight: the scale of the reported sigmas, in the
    // unit the input's standard deviations were written in (1 for networks built in SI units).
    double sigma0 = 1;
};

struct Settings {
    double probability = 0.95;          // of the model test and the confidence ellipses
    double snoopingProbability = 0.999; // of data snooping: 3.29 for the normal distribution
    bool aposteriori = true;            // which sigma scales the results
    double convergence = 1e-4;          // metres: iterations stop when every correction is below it
    int maxIterations = 20;
    // Pairs of points whose relative ellipse is wanted.
    std::vector<std::pair<std::string, std::string>> relative;
};

// A network that cannot be adjusted: its text names the cause (a point, an observation, a line).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, int line = 0, std::string file = {})
        : std::runtime_error(message), line(line), file(std::move(file)) {}
    // The input file and line the cause was read from: 0 and empty when it has none.
    int Line() const { return line; }
    const std::string& File() const { return file; }

private:
    int line;
    std::string file;
};

const char* KindName(Kind kind); // in words, for messages and listings
const char* KindKey(Kind kind);  // as JSON names it
const char* RoleName(Role role);
bool IsAngular(Kind kind);

} // namespace adjust
