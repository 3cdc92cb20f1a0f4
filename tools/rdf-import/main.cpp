// rdf-import: imports Nikon raw data files through the module and prints what a host receives.
#include "host/CallTrace.h"
#include "host/PluginModule.h"
#include "host/Text.h"
#include "host/ThreadEncoding.h"
#include "resources/version.h"
#include "tools/rdf-import/Platform.h"
#include "tools/rdf-import/ProgressBar.h"
#include "tools/rdf-import/Reports.h"

#include <CLI/CLI.hpp>

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
};

void Fail(const std::string& message) {
    std::cerr << "rdf-import: " << message << '\n';
}

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
    return std::make_unique<rdf::ProgressBar>(std::cerr, options.files);
}

void WriteReport(std::ostream& out, const Options& options, const host::ImportModel& model,
                 const host::PluginModule& module) {
    const auto angles = rdf::ParseAngleStyle(options.angles);
    if (options.format == "text")
        rdf::WriteTextListing(out, model, angles.value_or(rdf::AngleStyle::Dms));
    else if (options.format == "json")
        rdf::WriteJsonReport(out, model, module.Identity());
    else if (options.format == "csv")
        rdf::WriteCsvReport(out, model, options.observations, angles.value_or(rdf::AngleStyle::Radians));
}

// The listing shows every message itself; the machine formats keep standard output clean, so
// the files that failed are named on standard error.
void ReportFailures(const Options& options, const host::ImportModel& model) {
    if (options.format == "text" || options.quiet)
        return;
    for (const host::FileResult& file : model.files) {
        if (file.outcome == host::FileOutcome::Imported)
            continue;
        for (const host::Message& message : file.messages)
            Fail(host::ToUtf8(file.path) + ": " + host::ToUtf8(message.text));
    }
}

int Run(const Options& options) {
    const std::optional<host::EncodingLocale> locale = ChooseLocale(options.encoding);
    if (!locale)
        return kUsageError;
    std::ofstream file;
    if (!options.output.empty()) {
        file.open(std::filesystem::u8path(options.output), std::ios::binary | std::ios::trunc);
        if (!file) {
            Fail("cannot write " + options.output);
            return kUsageError;
        }
    }
    std::ostream& out = options.output.empty() ? std::cout : file;

    const host::PluginModule module(options.module.empty() ? rdf::DefaultModulePath(NIKON_BUILT_MODULE)
                                                           : std::filesystem::u8path(options.module));
    std::vector<std::wstring> paths;
    for (const std::string& path : options.files)
        paths.push_back(host::FromUtf8(path));
    std::optional<host::CallTrace> trace;
    if (options.format == "trace")
        trace.emplace(out);

    host::ImportModel model;
    {
        const std::unique_ptr<rdf::ProgressBar> bar = MakeProgressBar(options);
        host::ProgressListener progress;
        if (bar)
            progress = [&bar](const host::ProgressReport& report) { bar->Update(report); };
        const host::ScopedThreadLocale threadLocale(*locale);
        model = module.Import(paths, trace ? &*trace : nullptr, progress);
    }
    WriteReport(out, options, model, module);
    out.flush();
    if (!out) {
        Fail("cannot write the output");
        return kSomeFileFailed;
    }
    ReportFailures(options, model);
    if (model.unreleasedObjects != 0)
        Fail("the module kept " + std::to_string(model.unreleasedObjects) +
             " host objects it never released");
    return host::AllFilesImported(model) ? kAllImported : kSomeFileFailed;
}

} // namespace

int main(int argc, char** argv) {
    const rdf::ConsoleSession console;
    const rdf::CommandLine commandLine(argc, argv);
    Options options;
    CLI::App app("Imports Nikon raw data files through the Nikon module and prints every station, "
                 "observation, point and message a host receives.",
                 "rdf-import");
    // "/path/job.rdf" is a file on Windows too, not an option: only "-" and "--" start options.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("rdf-import ") + NIKON_VERSION_TEXT);
    app.add_option("FILE", options.files, "raw data files, imported in one call")->required();
    app.add_option("--format", options.format, "text (default), json, csv or trace")
        ->check(CLI::IsMember({"text", "json", "csv", "trace"}));
    app.add_option("--angles", options.angles, "angles as dms (text default), deg, gon or rad (csv default)")
        ->check(CLI::IsMember({"dms", "deg", "gon", "rad"}));
    app.add_flag("--observations", options.observations, "csv: the observations instead of the points");
    app.add_option("--encoding", options.encoding, "the files' character set, such as CP1251");
    app.add_flag("-q,--quiet", options.quiet, "no progress bar and no failure lines on standard error");
    app.add_option("-o,--output", options.output, "write the output to this file");
    app.add_option("--module", options.module,
                   std::string("the module to load (default: ") + rdf::kModuleFileName +
                       " next to rdf-import)");
    try {
        app.parse(commandLine.Count(), commandLine.Values());
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kAllImported : kUsageError;
    }
    if (options.observations && options.format != "csv") {
        Fail("--observations applies to --format csv only");
        return kUsageError;
    }
    try {
        return Run(options);
    } catch (const std::exception& error) {
        Fail(error.what());
        return kSomeFileFailed;
    }
}
