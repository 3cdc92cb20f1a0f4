// The module's messages. Their ids and texts are in resources/messages.h; the lookup is the
// platform's: the DLL's string-table resource on Windows, a table compiled in elsewhere.
#pragma once

#include "resources/messages.h"

#include <string>

enum MessageId : unsigned {
    kCannotOpenFile = NIKON_MSG_CANNOT_OPEN_FILE,
    kUnknownFormat = NIKON_MSG_UNKNOWN_FORMAT,
    kNoDistanceUnits = NIKON_MSG_NO_DISTANCE_UNITS,
    kNoAngleUnits = NIKON_MSG_NO_ANGLE_UNITS,
};

// The text of message `id`, empty when the table lacks it.
std::wstring LoadMessage(unsigned id);
