// The least-squares adjustment of a network and what a surveyor reads from it: the test of the
// model, the adjusted coordinates with their precision, and each observation's residual.
#pragma once

#include "adjust/Network.h"

#include <optional>
#include <string>
#include <vector>

namespace adjust {

struct Ellipse {
    double a = 0, b = 0; // semi-axes, metres
    double azimuth = 0;  // of the semi-major axis, from grid north, 0 to pi
};

struct PointResult {
    std::string name;
    std::optional<double> northing, easting, elevation;
    Role role = Role::Fixed; // of the plane position where there is one, else of the elevation
    std::optional<double> sdNorthing, sdEasting, sdElevation;
    std::optional<Ellipse> ellipse, ellipse95;
};

struct ObservationResult {
    Kind kind = Kind::Distance;
    std::string from, to, backsight;
    double observed = 0, adjusted = 0, residual = 0;
    double sd = 0; // of the adjusted observation
    double redundancy = 0;
    std::optional<double> standardizedResidual; // absent where the redundancy is nil
    bool flagged = false;
    int line = 0;
    std::string file;
};

// Two-sided chi-square test of the a posteriori against the a priori sigma of unit weight.
struct ModelTest {
    double probability = 0.95;
    double ratio = 0, lower = 0, upper = 0; // sigma ratio and its bounds
    bool applicable = false;                // not without degrees of freedom
    bool passed = false;
};

// The relative ellipse between two points and the boundary-survey test of its 95 % semi-major
// axis: at most 2 cm + 50 ppm of the distance between them.
struct RelativeResult {
    std::string from, to;
    double distance = 0;
    Ellipse ellipse95;
    double allowed = 0;
    bool passed = false;
};

struct Adjustment {
    int observationCount = 0, unknowns = 0;
    int degreesOfFreedom = 0, defect = 0;
    int iterations = 0;
    double sumOfSquares = 0; // weighted, in the squared unit of the a priori sigma
    double sigma0Apriori = 1, sigma0Aposteriori = 0;
    bool aposterioriUsed = true;
    ModelTest test;
    // Multiplies a standard ellipse into the confidence ellipse: the 2-D scale, chi-square with
    // two degrees of freedom (a priori) or Fisher's F (a posteriori).
    double ellipseScale = 0;
    double snoopingProbability = 0.999, criticalValue = 0;
    std::vector<PointResult> points;
    std::vector<ObservationResult> observations;
    std::vector<RelativeResult> relative;
};

// Adjusts the network by Gauss-Newton iterations; throws Error for a network that cannot be
// adjusted (an unknown point, no approximate position, a part that the observations leave
// undetermined, named by its points).
Adjustment Adjust(const Network& network, const Settings& settings = {});

} // namespace adjust
