// Where --to writes the reduced survey of a run: the format of each file, chosen by --to-format or
// by the file's extension from the table of formats, and the writer that makes it.
#pragma once

#include "exchange/module/WriterModule.h"
#include "survey/Adjusted.h"
#include "survey/Survey.h"
#include "tools/rdf-import/OutputFormats.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rdf {

// The format a --to file is written in. Throws exchange::Error (Usage) for an unknown format or
// extension, naming the ones known.
const OutputFormat& ChooseFormat(const DestinationRequest& request);

// A file name's extension in lower case, with its dot: what chooses a --to file's format.
std::string LowerCaseExtension(const std::string& path);

// Throws exchange::Error (Usage) for an unknown format or extension and for what the writer's check
// finds, so that a mistake stops the run before the import.
void CheckDestination(const DestinationRequest& request, exchange::WriterModule& writers);

// Writes one destination. Throws exchange::Error.
void WriteDestination(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                      exchange::WriterModule& writers);

// An error of the writers, worded with this tool's options.
std::string Worded(const exchange::Error& error);

// The command line's --to (repeatable), --to-format and --crs.
struct DestinationOptions {
    std::vector<std::string> files;
    std::string format;
    std::string crs;
    std::optional<double> labelHeight = std::nullopt;
    std::optional<survey::LengthUnit> units = std::nullopt; // --units, set with the survey's options
};

void AddDestinationOptions(CLI::App& app, DestinationOptions& options);

// The first usage error of the options, found before the import runs; none when they are sound.
std::optional<std::string> DestinationUsageError(const DestinationOptions& options,
                                                 exchange::WriterModule& writers);

// Every file the --to destinations may write, companions and sidecars of the exchange formats
// included. Throws exchange::Error (Usage) as CheckDestination does.
std::vector<std::filesystem::path> DestinationFiles(const DestinationOptions& options);

struct DestinationFailure {
    std::string message;
    bool usage; // the user's to mend (exit status 2), else a write failure (1)
};

// Writes every --to file, each on its own: one failing leaves the others written.
// The adjustment's summary, when the run was adjusted, goes to the writers that show it.
std::vector<DestinationFailure> WriteDestinations(const std::vector<survey::FileSurvey>& surveys,
                                                  const DestinationOptions& options,
                                                  exchange::WriterModule& writers,
                                                  const survey::AdjustmentSummary* adjustment = nullptr);

} // namespace rdf
