#include "tools/rdf-import/writers/Writers.h"

namespace rdf {

const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {"text", MakeTextWriter, false, true, true, true},
        {"json", MakeJsonWriter, false, false, true, true},
        {"csv", MakeCsvWriter, false, false, false, false},
        // The point list is written by the reduction itself (coordinates/).
        {"points", nullptr, false, false, true, false},
        {"trace", nullptr, true, false, false, false},
    };
    return formats;
}

const Format* FindFormat(std::string_view name) {
    for (const Format& format : Formats()) {
        if (name == format.name)
            return &format;
    }
    return nullptr;
}

} // namespace rdf
