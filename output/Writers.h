// The output formats of an import: each a consumer of the import's events that writes as the
// files end. Which of them a run writes is the program's choice.
#pragma once

#include "host/AngleFormat.h"
#include "host/BufferedOutput.h"
#include "host/JsonOut.h"
#include "host/PluginModule.h"
#include "host/pipeline/ImportEvents.h"
#include "host/pipeline/PackedFile.h"

#include <memory>
#include <optional>
#include <vector>

namespace rdf {

// What belongs to the whole run rather than to one file, written after the files: a member of the
// JSON document, a part of the listing.
class RunSection {
public:
    virtual ~RunSection() = default;
    virtual void WriteJson(host::JsonOut&) const {}
    virtual void WriteText(host::BufferedOutput&) const {}
};

struct WriterSettings {
    std::optional<host::AngleStyle> angles; // the format's own default when none
    bool observations = false;              // csv: the observations instead of the points
    host::ModuleIdentity module;
    std::vector<host::FileSection*> sections;   // not owned; each must outlive the writer
    std::vector<const RunSection*> runSections; // not owned; each must outlive the writer
};

using MakeWriter = std::unique_ptr<host::ImportEvents> (*)(host::BufferedOutput&, const WriterSettings&);

// A readable listing per file, with messages as FILE:LINE: TEXT, lines counted from 1.
std::unique_ptr<host::ImportEvents> MakeTextWriter(host::BufferedOutput& out, const WriterSettings& settings);
// One JSON document with everything the host received, in the host's units.
std::unique_ptr<host::ImportEvents> MakeJsonWriter(host::BufferedOutput& out, const WriterSettings& settings);
// The points of every file, or the observations, under a header row.
std::unique_ptr<host::ImportEvents> MakeCsvWriter(host::BufferedOutput& out, const WriterSettings& settings);

} // namespace rdf
