// Where --to writes the reduced survey of a run: the format of each file, chosen by --to-format or
// by the file's extension, and the writer that makes it.
#pragma once

#include "exchange/module/WriterModule.h"
#include "survey/Adjusted.h"
#include "survey/Survey.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rdf {

struct DestinationRequest {
    std::string path;
    std::string format;                               // --to-format; empty: chosen by the extension
    std::string crs;                                  // --crs; empty: local coordinates
    std::optional<double> labelHeight = std::nullopt; // --label-height
};

// Writers throw exchange::Error: Usage for what the user must mend, WriteFailure otherwise. A writer
// is called with the request's format set to its row's name. The exchange writers, loaded when
// first needed, are the run's, so every destination shares one loaded module.
using DestinationWriter = void (*)(const std::vector<survey::FileSurvey>& surveys,
                                   const DestinationRequest& request, exchange::WriterModule& writers);
using DestinationCheck = void (*)(const DestinationRequest& request, exchange::WriterModule& writers);

struct DestinationFormat {
    std::string name;
    std::vector<std::string> extensions; // lower case, with the dot
    DestinationWriter write;
    DestinationCheck check; // the usage errors the writer would find, before the import; may be null
};

// Every format --to writes: the one table the command line, its help and its checks read.
const std::vector<DestinationFormat>& DestinationFormats();

// Throws exchange::Error (Usage) for an unknown format or extension and for what the writer's check
// finds, so that a mistake stops the run before the import.
void CheckDestination(const DestinationRequest& request, exchange::WriterModule& writers);

// Writes one destination. Throws exchange::Error.
void WriteDestination(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                      exchange::WriterModule& writers);

// The command line's --to (repeatable), --to-format and --crs.
struct DestinationOptions {
    std::vector<std::string> files;
    std::string format;
    std::string crs;
    std::optional<double> labelHeight = std::nullopt;
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
std::vector<DestinationFailure> WriteDestinations(const std::vector<survey::FileSurvey>& surveys,
                                                  const DestinationOptions& options,
                                                  exchange::WriterModule& writers,
                                                  const survey::AdjustmentSummary* adjustment = nullptr);

} // namespace rdf
