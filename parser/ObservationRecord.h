// One observation of a target point as collected for the open station.
#pragma once

#include <boost/variant.hpp>

#include <string>

// Absent (boost::blank) or one value; a value never set or that did not convert is absent.
using OptionalDouble = boost::variant<boost::blank, double>;

inline bool HasValue(const OptionalDouble& value) {
    return value.which() == 1;
}
inline double ValueOf(const OptionalDouble& value) {
    return boost::get<double>(value);
}

struct ObservationRecord {
    std::wstring name;
    OptionalDouble targetHeight;
    OptionalDouble slopeDistance;
    OptionalDouble horizontalAngle; // radians
    OptionalDouble verticalAngle;   // radians
    bool faceLeft = true;
};
