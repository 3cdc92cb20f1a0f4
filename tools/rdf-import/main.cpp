// rdf-import: imports Nikon raw data files through the module and prints what a host receives.
#include "host/BufferedOutput.h"
#include "host/PluginModule.h"
#include "host/Text.h"
#include "host/ThreadEncoding.h"
#include "host/pipeline/EventFanOut.h"
#include "host/trace/CallTrace.h"
#include "output/Coordinates.h"
#include "resources/version.h"
#include "tools/rdf-import/Destinations.h"
#include "tools/rdf-import/OutputFiles.h"
#include "tools/rdf-import/OutputFormats.h"
#include "tools/rdf-import/Platform.h"
#include "tools/rdf-import/ProgressBar.h"
#include "tools/rdf-import/SurveyOptions.h"
#include "tools/rdf-import/TerminalText.h"
#ifdef NIKON_ADJUST
#include "tools/rdf-import/AdjustmentRun.h"
#include "tools/rdf-import/RawAdjustmentRun.h"
#endif

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

namespace {

constexpr int kAllImported = 0;
constexpr int kSomeFileFailed = 1;
constexpr int kUsageError = 2;

struct Options {
    std::vector<std::string> files;
    std::string format = "text";
    std::string angles;
    bool observations = false;
    std::string encoding;
    bool quiet = false;
    std::string output;
    std::string module;
    host::SurveySettings survey;
    rdf::DestinationOptions destinations;
    std::vector<std::string> relative; // "A,B" pairs
    std::vector<std::string> networks; // the files that are GNU Gama networks, not raw data
#ifdef NIKON_ADJUST
    std::optional<adjust::SurveyAdjustmentOptions> adjust; // --adjust
    std::vector<std::string> networkTargets;               // --to NAME.gkf
#endif
};

// Messages name files and points, which may hold control characters: they never reach the
// terminal as they are.
void Fail(const std::string& message) {
    std::cerr << "rdf-import: " << rdf::ForTerminal(message) << '\n';
}

// While it lives, a terminal on standard output gets no control character from the listing.
class TerminalOutput {
public:
    TerminalOutput() {
        if (!rdf::OutputStreamIsTerminal())
            return;
        filter_ = std::make_unique<rdf::TerminalFilter>(*std::cout.rdbuf());
        previous_ = std::cout.rdbuf(filter_.get());
    }
    ~TerminalOutput() {
        if (!filter_)
            return;
        std::cout.flush();
        std::cout.rdbuf(previous_);
    }
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

private:
    std::unique_ptr<rdf::TerminalFilter> filter_;
    std::streambuf* previous_ = nullptr;
};

std::optional<host::EncodingLocale> ChooseLocale(const std::string& encoding) {
    if (encoding.empty())
        return host::EncodingLocale::FromEnvironment();
    auto locale = host::EncodingLocale::Find(encoding);
    if (!locale)
        Fail(host::EncodingNotFoundMessage(encoding));
    return locale;
}

std::unique_ptr<rdf::ProgressBar> MakeProgressBar(const Options& options) {
    if (options.quiet || !rdf::ErrorStreamIsTerminal())
        return nullptr;
    std::vector<std::string> names;
    for (const std::string& file : options.files)
        names.push_back(rdf::ForTerminal(file));
    return std::make_unique<rdf::ProgressBar>(std::cerr, names);
}

// Whether every file was imported, and the module's unreleased objects. Formats whose output
// does not show the messages keep standard output clean, so the files that failed are named on
// standard error.
class RunStatus final : public host::ImportEvents {
public:
    explicit RunStatus(bool reportFailures) : reportFailures(reportFailures) {}

    void FileBegun(const host::FileBegin&) override { messages.clear(); }
    void MessageReported(const host::Message& message) override {
        if (reportFailures)
            messages.push_back(host::ToUtf8(message.text));
    }
    void FileEnded(const host::FileEnd& file) override {
        if (file.outcome == host::FileOutcome::Imported)
            return;
        allImported = false;
        for (const std::string& message : messages)
            Fail(host::ToUtf8(file.path) + ": " + message);
    }
    void ImportEnded(const host::ImportEnd& end) override { unreleasedObjects = end.unreleasedObjects; }
    bool ReadsObservations() const override { return false; }

    bool AllImported() const { return allImported; }
    int UnreleasedObjects() const { return unreleasedObjects; }

private:
    const bool reportFailures;
    std::vector<std::string> messages; // of the current file
    bool allImported = true;
    int unreleasedObjects = 0;
};

// The outputs that take the whole run at once, each given every file's survey when the run has
// ended: written to files named by their own options (for example --to FILE). A file that cannot be
// written is named on standard error, also with --quiet, and raises `status`.
// `adjustment` is the run's adjustment, complete once the run has ended; null without one.
std::vector<rdf::Coordinates::RunEnded> RunOutputs(const Options& options, exchange::WriterModule& writers,
                                                   const survey::AdjustmentSummary* adjustment, int& status) {
    std::vector<rdf::Coordinates::RunEnded> outputs;
    if (options.destinations.files.empty())
        return outputs;
    outputs.push_back(
        [&options, &writers, adjustment, &status](const std::vector<survey::FileSurvey>& surveys) {
            for (const rdf::DestinationFailure& failure :
                 rdf::WriteDestinations(surveys, options.destinations, writers, adjustment)) {
                Fail(failure.message);
                status = std::max(status, failure.usage ? kUsageError : kSomeFileFailed);
            }
        });
    return outputs;
}

int Run(const Options& options, exchange::WriterModule& writers) {
    const std::optional<host::EncodingLocale> locale = ChooseLocale(options.encoding);
    if (!locale)
        return kUsageError;
    std::optional<rdf::OutputFile> file;
    if (!options.output.empty()) {
        try {
            file.emplace(options.output);
        } catch (const exchange::Error& error) {
            Fail(rdf::Worded(error));
            return kUsageError;
        }
    }
    std::ostream& stream = file ? file->Stream() : std::cout;

    const host::PluginModule module(options.module.empty() ? rdf::DefaultModulePath(NIKON_BUILT_MODULE)
                                                           : std::filesystem::u8path(options.module));
    std::vector<std::wstring> paths;
    for (const std::string& path : options.files)
        if (std::find(options.networks.begin(), options.networks.end(), path) == options.networks.end())
            paths.push_back(host::FileNameFromBytes(path));

    const rdf::StreamWriter& format = rdf::FindFormat(options.format, rdf::Target::StandardOutput)->stream;
    const bool reduced = format.reduction == rdf::Reduction::Shown;
    rdf::WriterSettings settings;
    settings.angles = host::ParseAngleStyle(options.angles);
    settings.observations = options.observations;
    settings.module = module.Identity();
    int adjustmentStatus = kAllImported;
#ifdef NIKON_ADJUST
    std::optional<rdf::AdjustmentRun> adjustment;
    if (!options.networks.empty()) {
        adjustment.emplace(options.networks, options.relative);
        for (const std::string& error : adjustment->Errors())
            Fail(error);
        adjustmentStatus = adjustment->Errors().empty() ? kAllImported : kSomeFileFailed;
        settings.runSections.push_back(&*adjustment);
    }
    std::optional<rdf::RawAdjustmentRun> rawAdjustment;
    if (options.adjust) {
        rawAdjustment.emplace(*options.adjust, options.networkTargets);
        settings.runSections.push_back(&*rawAdjustment);
    }
    const survey::AdjustmentSummary* summary = rawAdjustment ? &rawAdjustment->Summary() : nullptr;
    const bool adjusting = rawAdjustment.has_value();
#else
    const survey::AdjustmentSummary* summary = nullptr;
    const bool adjusting = false;
#endif

    // Consumers see each event in this order: the reduction, the writer, which hands each whole file
    // to the reduction before it writes the reduction's sections into the file's output (a feeder
    // does this for a format whose writer does not hold files), then what decides the exit status.
    host::EventFanOut events;
    host::BufferedOutput out(stream);
    int outputStatus = kAllImported;
    std::vector<rdf::Coordinates::RunEnded> runOutputs = RunOutputs(options, writers, summary, outputStatus);
    std::optional<rdf::Coordinates> coordinates;
    if (reduced || !runOutputs.empty() || adjusting) {
        coordinates.emplace(options.survey, settings.angles.value_or(host::AngleStyle::Dms));
#ifdef NIKON_ADJUST
        if (rawAdjustment)
            coordinates->AdjustRun([&rawAdjustment, &options](std::vector<survey::FileSurvey>& surveys) {
                rawAdjustment->Adjust(surveys, options.quiet);
            });
#endif
        for (rdf::Coordinates::RunEnded& output : runOutputs)
            coordinates->OnRunEnded(std::move(output));
        if (format.make == nullptr && reduced)
            coordinates->WritePointList(out, options.quiet);
        settings.sections.push_back(&*coordinates);
        events.Add(*coordinates);
    }
    const std::unique_ptr<host::ImportEvents> writer = format.make ? format.make(out, settings) : nullptr;
    if (writer)
        events.Add(*writer);
    const std::unique_ptr<host::ImportEvents> feeder =
        coordinates && format.files == rdf::Files::Streamed ? host::MakeSectionFeeder(settings.sections) : nullptr;
    if (feeder)
        events.Add(*feeder);
    RunStatus status(format.messages == rdf::Messages::OnStandardError && !options.quiet);
    events.Add(status);
    std::optional<host::CallTrace> trace;
    if (format.trace == rdf::Trace::ModuleCalls)
        trace.emplace(stream);
    {
        const std::unique_ptr<rdf::ProgressBar> bar = MakeProgressBar(options);
        host::ProgressListener progress;
        if (bar)
            progress = [&bar](const host::ProgressReport& report) { bar->Update(report); };
        const host::ScopedThreadLocale threadLocale(*locale);
        module.Import(paths, events, trace ? &*trace : nullptr, progress, host::FeetOf(options.survey));
    }
#ifdef NIKON_ADJUST
    if (rawAdjustment && rawAdjustment->Failed())
        adjustmentStatus = kSomeFileFailed;
    if (rawAdjustment)
        for (const std::string& failure : rawAdjustment->WriteFailures()) {
            Fail(failure);
            adjustmentStatus = kSomeFileFailed;
        }
#endif
    if (trace)
        trace->Flush();
    out.WriteOut();
    if (!(file ? file->Finish() : stream.flush().good())) {
        Fail("cannot write " + (file ? options.output : std::string("the output")));
        return kSomeFileFailed;
    }
    if (status.UnreleasedObjects() != 0)
        Fail("the module kept " + std::to_string(status.UnreleasedObjects()) +
             " host objects it never released");
    return std::max({status.AllImported() ? kAllImported : kSomeFileFailed, outputStatus, adjustmentStatus});
}

std::vector<std::filesystem::path> Targets(const Options& options) {
    std::vector<std::filesystem::path> targets;
    if (!options.output.empty())
        targets.push_back(std::filesystem::u8path(options.output));
    for (const std::string& file : options.destinations.files)
        targets.push_back(std::filesystem::u8path(file));
#ifdef NIKON_ADJUST
    for (const std::string& file : options.networkTargets)
        targets.push_back(std::filesystem::u8path(file));
#endif
    return targets;
}

// Checked before any input is read, so that no output replaces one.
std::optional<std::string> OutputRefusal(const Options& options, const rdf::SurveyOptionTexts& surveyTexts) {
    std::vector<std::filesystem::path> inputs;
    for (const std::string& file : options.files)
        inputs.push_back(std::filesystem::u8path(file));
    if (!surveyTexts.knownPoints.empty())
        inputs.push_back(std::filesystem::u8path(surveyTexts.knownPoints));
    std::vector<std::filesystem::path> outputs = rdf::DestinationFiles(options.destinations);
    if (!options.output.empty())
        outputs.insert(outputs.begin(), std::filesystem::u8path(options.output));
#ifdef NIKON_ADJUST
    for (const std::string& file : options.networkTargets)
        outputs.push_back(std::filesystem::u8path(file));
#endif
    if (std::optional<std::string> refusal = rdf::OutputRefusal(outputs, inputs))
        return refusal;
    return rdf::RepeatedTarget(Targets(options));
}

// The exchange writers: the module where this system keeps it, loaded only if a --to file needs it.
std::filesystem::path ExchangeModulePath() {
#ifdef NIKON_BUILT_EXCHANGE_MODULE
    return rdf::DefaultModulePath(NIKON_BUILT_EXCHANGE_MODULE);
#else
    return {}; // this build writes no exchange formats, so none is ever loaded
#endif
}

} // namespace

int main(int argc, char** argv) {
    const rdf::ConsoleSession console;
    const TerminalOutput terminal;
    const rdf::CommandLine commandLine(argc, argv);
    Options options;
    CLI::App app("Imports Nikon raw data files through the Nikon module and prints every station, "
                 "observation, point and message a host receives.",
                 "rdf-import");
    // "/path/job.rdf" is a file on Windows too, not an option: only "-" and "--" start options.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("rdf-import ") + NIKON_VERSION_TEXT);
    app.add_option("FILE", options.files, "raw data files, imported in one call")->required();
    std::vector<std::string> formats;
    for (const rdf::OutputFormat& format : rdf::OutputFormats())
        if (format.target == rdf::Target::StandardOutput)
            formats.emplace_back(format.name);
    app.add_option("--format", options.format,
                   "the output: " + rdf::FormatList(rdf::Target::StandardOutput, false) +
                       " (text by default)")
        ->check(CLI::IsMember(formats));
    app.add_option("--angles", options.angles, "angles as dms (text default), deg, gon, mil or rad (csv default)")
        ->check(CLI::IsMember({"dms", "deg", "gon", "mil", "rad"}));
    app.add_flag("--observations", options.observations, "csv: the observations instead of the points");
    app.add_option("--encoding", options.encoding, "the files' character set, such as CP1251");
    app.add_flag("-q,--quiet", options.quiet, "no progress bar and no failure lines on standard error");
    app.add_option("-o,--output", options.output, "write the output to this file");
    app.add_option("--module", options.module,
                   std::string("the module to load (default: ") + rdf::kModuleFileName +
                       " next to rdf-import)");
    rdf::SurveyOptionTexts surveyTexts;
    rdf::AddSurveyOptions(app, surveyTexts);
    rdf::AddDestinationOptions(app, options.destinations);
#ifdef NIKON_ADJUST
    app.add_option(
        "--relative", options.relative,
        "A,B: the relative 95 % ellipse of two adjusted points and its 2 cm + 50 ppm test (repeatable)");
    rdf::RawAdjustmentTexts rawAdjustmentTexts;
    rdf::AddRawAdjustmentOptions(app, rawAdjustmentTexts);
    const std::vector<std::string> arguments = rdf::JoinAdjustMode(
        std::vector<std::string>(commandLine.Values(), commandLine.Values() + commandLine.Count()));
#else
    const std::vector<std::string> arguments(commandLine.Values(),
                                             commandLine.Values() + commandLine.Count());
#endif
    std::vector<const char*> argumentPointers;
    for (const std::string& argument : arguments)
        argumentPointers.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argumentPointers.size()), argumentPointers.data());
    } catch (const CLI::ParseError& error) {
        rdf::TerminalFilter filter(*std::cerr.rdbuf()); // the messages quote the arguments
        std::ostream errors(&filter);
        const int status = app.exit(error, std::cout, errors);
        return status == 0 ? kAllImported : kUsageError;
    }
    if (options.observations && options.format != "csv") {
        Fail("--observations applies to --format csv only");
        return kUsageError;
    }
#ifdef NIKON_ADJUST
    options.networkTargets = rdf::TakeNetworkTargets(options.destinations);
    if (!options.networkTargets.empty() && rawAdjustmentTexts.mode.empty()) {
        Fail("--to NAME.gkf writes the network of --adjust, which is not asked for");
        return kUsageError;
    }
#endif
    exchange::WriterModule writers(ExchangeModulePath());
    if (const std::optional<std::string> error = rdf::DestinationUsageError(options.destinations, writers)) {
        Fail(*error);
        return kUsageError;
    }
    if (const std::optional<std::string> refusal = OutputRefusal(options, surveyTexts)) {
        Fail(*refusal);
        return kUsageError;
    }
    const rdf::InterruptCleanup cleanup(Targets(options));
    auto survey = rdf::MakeSurveySettings(surveyTexts);
    if (auto* error = std::get_if<std::string>(&survey)) {
        Fail(*error);
        return kUsageError;
    }
    options.survey = std::get<host::SurveySettings>(std::move(survey));
    options.destinations.units = options.survey.units;
#ifdef NIKON_ADJUST
    options.networks = rdf::NetworkFiles(options.files);
    if (const std::optional<std::string> error =
            rdf::RelativeUsageError(options.relative, options.networks, !rawAdjustmentTexts.mode.empty())) {
        Fail(*error);
        return kUsageError;
    }
    auto adjustOptions =
        rdf::MakeRawAdjustmentOptions(rawAdjustmentTexts, options.survey, !options.networks.empty());
    if (auto* error = std::get_if<std::string>(&adjustOptions)) {
        Fail(*error);
        return kUsageError;
    }
    options.adjust = std::get<0>(std::move(adjustOptions));
    if (options.adjust)
        options.adjust->settings.relative = rdf::RelativePairs(options.relative);
#endif
    try {
        return Run(options, writers);
    } catch (const std::exception& error) {
        Fail(error.what());
        return kSomeFileFailed;
    }
}
