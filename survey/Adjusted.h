// What a least-squares adjustment (or the compass rule) of a run adds to its surveys beyond each
// adjusted point's precision (in survey/Survey.h), in the survey's own terms, so that every output
// can show it without knowing the adjustment engine: the traverses' closures, the adjustment's test
// and the observations it flags. Lengths in metres, angles in radians.
#pragma once

#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace survey {

// The classical closure of one traverse before any adjustment.
struct TraverseClosure {
    std::vector<std::string> stations; // in order, first and last the known ends
    double angularMisclosure = 0;      // carried minus measured or known azimuth of the closing sight
    double northingMisclosure = 0;     // carried minus known position of the closing station
    double eastingMisclosure = 0;
    double linearMisclosure = 0;
    double length = 0;
    double precision = 0; // the N of 1:N; infinite when the traverse closes exactly
};

// An observation that data snooping flags, where the surveyor can find it.
struct FlaggedObservation {
    std::string file; // as the user named it, UTF-8
    Line line;
    std::string description; // "the distance from B to Q2"
    double standardizedResidual = 0;
    double criticalValue = 0;
};

struct AdjustmentSummary {
    std::string method;  // "least squares" or "compass rule"
    std::string weights; // the a priori standard deviations used, and where they came from
    int degreesOfFreedom = 0;
    double sigma0Apriori = 1;
    double sigma0Aposteriori = 0;
    bool testApplicable = false; // no test without degrees of freedom
    bool testPassed = false;
    std::vector<TraverseClosure> traverses;
    std::vector<FlaggedObservation> flagged;
};

} // namespace survey
