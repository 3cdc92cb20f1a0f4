// The output formats of rdf-import: each a consumer of the import's events that writes as the
// files end, found by name in one table.
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
