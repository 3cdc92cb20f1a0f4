// GNU Gama's "gama-local" XML network files (.gkf): points with fix/adj roles (capitals for the
// constrained ones), observation sets, height differences, standard deviations given per
// observation or as the network's defaults, any orientation of the x and y axes, angles counted
// either way, in gons or in degrees.
#pragma once

#include "adjust/Adjustment.h"
#include "adjust/Network.h"

#include <optional>
#include <string>
#include <vector>

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

// The adjustment of a run's gama-local files, taken together as one network (points shared by
// name), with the first file's parameters; a file that cannot be read is left out.
struct RunAdjustment {
    std::vector<std::string> files; // those read
    std::optional<Adjustment> result;
    // Why a file was left out, or why the network could not be adjusted: "FILE:LINE: message",
    // or "FILE: message" where no line is the cause.
    std::vector<std::string> errors;
};

RunAdjustment AdjustGamaLocalFiles(const std::vector<std::string>& paths, const Settings& settings);

// The network as a gama-local document, so that another program can check its adjustment: the
// x axis north, angles clockwise in gons with deviations in cc, lengths in metres with
// deviations in mm, consecutive observations from one standpoint in one <obs> set.
std::string WriteGamaLocal(const Network& network, const Settings& settings);

// Whether a file is a gama-local network: by its extension .gkf, or by its root element.
bool IsGamaLocalFile(const std::string& path);

} // namespace adjust
