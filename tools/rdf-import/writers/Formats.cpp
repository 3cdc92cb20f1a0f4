#include "tools/rdf-import/writers/Writers.h"

namespace rdf {

const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {"text", MakeTextWriter, false, true},
        {"json", MakeJsonWriter, false, false},
        {"csv", MakeCsvWriter, false, false},
        {"trace", nullptr, true, false},
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
