#include "tests/support/TestSink.h"

#include <iterator>

namespace testsupport {

const char* NameOf(SinkCall call) {
    static const char* const kNames[] = {
        "BeginFile",           "ReportMessage",     "AddPoint",          "SetNorthing",    "SetEasting",
        "SetElevation",        "SetResectionPoint", "SetPointAttribute", "SetCode",        "AddStation",
        "SetInstrumentHeight", "AddObservation",    "SetPressure",       "SetTemperature", "SetVerticalAngle",
        "SetHorizontalAngle",  "SetTargetHeight",   "SetSlopeDistance",  "SetFaceRight",
    };
    static_assert(std::size(kNames) == static_cast<std::size_t>(SinkCall::SetFaceRight) + 1);
    return kNames[static_cast<std::size_t>(call)];
}

} // namespace testsupport
