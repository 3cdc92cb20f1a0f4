// One observation of a target point as collected for the open station.
#pragma once

#include "settings/OptionalDouble.h"

#include <string>

struct ObservationRecord {
    std::wstring name;
    OptionalDouble targetHeight;
    OptionalDouble slopeDistance;
    OptionalDouble horizontalAngle; // radians
    OptionalDouble verticalAngle;   // radians
    bool faceLeft = true;
};
