#include "tools/rdf-import/writers/Writers.h"

namespace rdf {

const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {"text", MakeTextWriter, false, true, true},
        {"json", MakeJsonWriter, false, false, true},
        {"csv", MakeCsvWriter, false, false, false},
        // The point list is written by the reduction itself (coordinates/).
        {"points", nullptr, false, false, true},
        {"trace", nullptr, true, false, false},
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

const char* OutcomeName(host::FileOutcome outcome) {
    switch (outcome) {
    case host::FileOutcome::Imported:
        return "imported";
    case host::FileOutcome::CannotOpen:
        return "cannot-open";
    case host::FileOutcome::NoRecords:
        return "no-records";
    }
    return "unknown";
}

} // namespace rdf
