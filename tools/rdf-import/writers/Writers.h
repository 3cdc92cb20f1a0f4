// The output formats of rdf-import: each a consumer of the import's events that writes as the
// files end, found by name in one table.
#pragma once

#include "output/Writers.h"

#include <string_view>
#include <vector>

namespace rdf {

struct Format {
    const char* name;
    // Null for a format that writes nothing of its own from the events.
    MakeWriter make;
    // The format is the log of the module's calls.
    bool traced;
    // Its messages are in the output itself, so failures need no lines on standard error.
    bool showsMessages;
    // It shows the files' coordinates, so the run is reduced.
    bool coordinates;
    // Its writer holds each file whole until it ends and hands it to the sections first.
    bool holdsFiles;
};

const std::vector<Format>& Formats();
const Format* FindFormat(std::string_view name);

} // namespace rdf
