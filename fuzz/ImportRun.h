// Runs one Import through the module's exported factory against a checking host.
#pragma once

#include "fuzz/CheckingHost.h"

#include <string>
#include <vector>

namespace checking {

// Creates the plug-in with CreatePlugin, imports `paths` into `sink`, releases the plug-in and
// closes the host's checks. An exception leaving Import is a violation, not a crash.
void RunImport(const std::vector<std::wstring>& paths, CheckingSink& sink);

} // namespace checking
