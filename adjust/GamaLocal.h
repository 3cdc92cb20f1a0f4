// GNU Gama's "gama-local" XML network files (.gkf): points with fix/adj roles (capitals for the
// constrained ones), observation sets, height differences, standard deviations given per
// observation or as the network's defaults, any orientation of the x and y axes, angles counted
// either way, in gons or in degrees.
#pragma once

#include "adjust/Adjustment.h"
#include "adjust/Network.h"

#include <string>

namespace adjust {

struct GamaLocalFile {
    Network network;
    Settings settings; // the file's confidence probability and choice of sigma
};

// Reads a gama-local file. Throws Error with "FILE:LINE: message" for malformed XML, a point an
// observation names but the file does not define, a standard deviation that is not positive, and
// an element of a kind this reader does not adjust, named with its line.
GamaLocalFile ReadGamaLocal(const std::string& path);
// The same from text in memory, `name` standing for the file in messages.
GamaLocalFile ParseGamaLocal(const std::string& text, const std::string& name);

// Reads and adjusts a gama-local file, the settings' relative pairs added to its own; whatever
// stops it is an Error whose text starts "FILE:LINE: " (or "FILE: " where no line is the cause).
Adjustment AdjustGamaLocal(const std::string& path, const Settings& settings);

// Whether a file is a gama-local network: by its extension .gkf, or by its root element.
bool IsGamaLocalFile(const std::string& path);

} // namespace adjust
