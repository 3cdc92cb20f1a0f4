// Every output of rdf-import, one row a format: its name, the extensions that choose it, whether it
// goes to standard output (--format) or to a file (--to), and its writer. Adding a format is a row
// here and a writer file.
#pragma once

#include "exchange/Formats.h"
#include "exchange/module/WriterModule.h"
#include "output/Writers.h"
#include "survey/Adjusted.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdf {

enum class Target { StandardOutput, File };

// What a writer of standard output needs of the run.
enum class Messages { OnStandardError, InOutput }; // in the output: failures need no lines on standard error
enum class Reduction { Unused, Shown };            // shown: the run is reduced for the files' coordinates
enum class Files { Streamed, HeldWhole };          // held: the writer hands each whole file to the sections
enum class Trace { None, ModuleCalls };            // the output is the log of the module's calls

struct StreamWriter {
    MakeWriter make = nullptr; // none: the output is the reduction's point list or the trace
    Messages messages = Messages::OnStandardError;
    Reduction reduction = Reduction::Unused;
    Files files = Files::Streamed;
    Trace trace = Trace::None;
};

// A --to file: its name, the format it was chosen as (--to-format or the extension), and the
// settings of the run's exchange files.
struct DestinationRequest {
    std::string path;
    std::string format;                                     // --to-format; empty: chosen by the extension
    std::string crs;                                        // --crs; empty: local coordinates
    std::optional<double> labelHeight = std::nullopt;       // --label-height
    const survey::AdjustmentSummary* adjustment = nullptr;  // the run's, when it was adjusted
    std::optional<survey::LengthUnit> units = std::nullopt; // --units; none: each file's own
};

struct OutputFormat;

// Writes the run's surveys into one file. Throws exchange::Error: Usage for what the user must mend,
// WriteFailure otherwise. The exchange writers, loaded when first needed, are the run's.
using FileWriter = void (*)(const std::vector<survey::FileSurvey>& surveys, const OutputFormat& format,
                            const DestinationRequest& request, exchange::WriterModule& writers);

struct OutputFormat {
    std::string_view name;
    std::vector<std::string_view> extensions; // lower case, with the dot
    Target target;
    StreamWriter stream = {};                                    // standard output
    FileWriter file = nullptr;                                   // a file
    std::optional<exchange::FormatInfo> exchange = std::nullopt; // a file of the exchange module
};

const std::vector<OutputFormat>& OutputFormats();

// The format of that name and target; none when there is no such row.
const OutputFormat* FindFormat(std::string_view name, Target target);

// The names of a target's formats, each followed by its extensions when `extensions` is set.
std::string FormatList(Target target, bool extensions);

} // namespace rdf
