// The writers of rdf-import's standard output: each a consumer of the import's events that writes as
// the files end (the table of formats names them: OutputFormats.h).
#pragma once

#include "host/BufferedOutput.h"
#include "host/PluginModule.h"
#include "host/pipeline/ImportEvents.h"
#include "tools/rdf-import/AngleFormat.h"
#include "tools/rdf-import/writers/JsonOut.h"
#include "tools/rdf-import/writers/PackedFile.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace rdf {

// What belongs to the whole run rather than to one file, written after the files: a member of the
// JSON document, a part of the listing.
class RunSection {
public:
    virtual ~RunSection() = default;
    virtual void WriteJson(JsonOut&) const {}
    virtual void WriteText(host::BufferedOutput&) const {}
};

struct WriterSettings {
    std::optional<AngleStyle> angles; // the format's own default when none
    bool observations = false;        // csv: the observations instead of the points
    host::ModuleIdentity module;
    std::vector<FileSection*> sections;         // not owned; each must outlive the writer
    std::vector<const RunSection*> runSections; // not owned; each must outlive the writer
};

using MakeWriter = std::unique_ptr<host::ImportEvents> (*)(host::BufferedOutput&, const WriterSettings&);

// A readable listing per file, with messages as FILE:LINE: TEXT, lines counted from 1.
std::unique_ptr<host::ImportEvents> MakeTextWriter(host::BufferedOutput& out, const WriterSettings& settings);
// One JSON document with everything the host received, in the host's units.
std::unique_ptr<host::ImportEvents> MakeJsonWriter(host::BufferedOutput& out, const WriterSettings& settings);
// The points of every file, or the observations, under a header row.
std::unique_ptr<host::ImportEvents> MakeCsvWriter(host::BufferedOutput& out, const WriterSettings& settings);
// Writes nothing: holds each file and hands it to the sections, for a format whose writer does not.
std::unique_ptr<host::ImportEvents> MakeSectionFeeder(const WriterSettings& settings);

const char* OutcomeName(host::FileOutcome outcome);

} // namespace rdf
