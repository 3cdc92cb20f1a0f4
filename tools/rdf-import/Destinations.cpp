#include "tools/rdf-import/Destinations.h"

#include "exchange/FormatChoice.h"
#include "exchange/Formats.h"
#include "exchange/Staging.h"
#include "report/HtmlReport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace rdf {
namespace {

void WriteExchange(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                   exchange::WriterModule& writers) {
    writers.Write(surveys, {request.path, request.format, request.crs, request.labelHeight});
}

void CheckExchange(const DestinationRequest& request, exchange::WriterModule& writers) {
    writers.Check({request.path, request.format, request.crs, request.labelHeight});
}

// The survey report: one HTML page with each file's plan and tables. Like the exchange formats,
// it appears under its name only once it is whole.
void WriteReport(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                 exchange::WriterModule&) {
    const std::filesystem::path target = std::filesystem::u8path(request.path);
    exchange::Staging staging(target);
    std::ofstream out(staging.PathFor(target.filename().string()), std::ios::binary | std::ios::trunc);
    report::WriteHtmlReport(out, surveys);
    out.close();
    if (!out)
        throw exchange::Error(exchange::Error::Kind::WriteFailure, "cannot write " + request.path);
    staging.Commit();
}

std::vector<DestinationFormat> BuildTable() {
    // This tool's own writers (reports) come first; the exchange formats, written by the exchange
    // module, follow.
    std::vector<DestinationFormat> table = {{"HTML", {".html", ".htm"}, WriteReport, nullptr}};
    for (const exchange::FormatInfo& format : exchange::Formats()) {
        table.push_back({std::string(format.name),
                         {format.extensions.begin(), format.extensions.end()},
                         WriteExchange,
                         CheckExchange});
    }
    return table;
}

const DestinationFormat& Find(const DestinationRequest& request) {
    return exchange::ChooseFormat(DestinationFormats(), request.path, request.format, "rdf-import");
}

std::vector<DestinationRequest> Requests(const DestinationOptions& options) {
    std::vector<DestinationRequest> requests;
    for (const std::string& file : options.files)
        requests.push_back({file, options.format, options.crs, options.labelHeight});
    return requests;
}

DestinationRequest Resolved(const DestinationRequest& request, const DestinationFormat& format) {
    DestinationRequest resolved = request;
    resolved.format = format.name;
    return resolved;
}

} // namespace

const std::vector<DestinationFormat>& DestinationFormats() {
    static const std::vector<DestinationFormat> table = BuildTable();
    return table;
}

void CheckDestination(const DestinationRequest& request, exchange::WriterModule& writers) {
    const DestinationFormat& format = Find(request);
    if (format.check != nullptr)
        format.check(Resolved(request, format), writers);
}

void WriteDestination(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                      exchange::WriterModule& writers) {
    const DestinationFormat& format = Find(request);
    format.write(surveys, Resolved(request, format), writers);
}

void AddDestinationOptions(CLI::App& app, DestinationOptions& options) {
    std::string formats;
    for (const DestinationFormat& format : DestinationFormats()) {
        formats += (formats.empty() ? "" : ", ") + format.name;
        for (const std::string& extension : format.extensions)
            formats += " " + extension;
    }
    // One file an occurrence: a list would swallow the raw data files that follow it.
    app.add_option("--to", options.files,
                   "write the reduced survey of all files to FILE (repeatable); the extension chooses the "
                   "format: " +
                       formats)
        ->allow_extra_args(false);
    app.add_option("--to-format", options.format, "the format of every --to file, overriding its extension");
    app.add_option(
        "--crs", options.crs,
        "the reference system of the coordinates for --to, as GDAL takes it (EPSG:32633, WKT, PROJ)");
    app.add_option(
           "--label-height", options.labelHeight,
           "DXF: the height of point labels in the drawing's unit (default: a hundredth of its extent)")
        ->check(CLI::PositiveNumber);
}

std::optional<std::string> DestinationUsageError(const DestinationOptions& options,
                                                 exchange::WriterModule& writers) {
    if (options.files.empty() && !options.format.empty())
        return std::string("--to-format applies to --to files only");
    if (options.files.empty() && !options.crs.empty())
        return std::string("--crs applies to --to files only");
    if (options.files.empty() && options.labelHeight)
        return std::string("--label-height applies to --to files only");
    try {
        for (const DestinationRequest& request : Requests(options))
            CheckDestination(request, writers);
    } catch (const exchange::Error& error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> DestinationFiles(const DestinationOptions& options) {
    std::vector<std::filesystem::path> files;
    for (const DestinationRequest& request : Requests(options)) {
        const std::filesystem::path target = std::filesystem::u8path(request.path);
        const std::string name = Find(request).name;
        const auto& formats = exchange::Formats();
        const auto exchangeFormat =
            std::find_if(formats.begin(), formats.end(),
                         [&](const exchange::FormatInfo& format) { return format.name == name; });
        if (exchangeFormat == formats.end()) {
            files.push_back(target);
            continue;
        }
        for (const std::string& file :
             exchange::FileNamesWritten(*exchangeFormat, target.filename().u8string()))
            files.push_back(target.parent_path() / std::filesystem::u8path(file));
    }
    return files;
}

std::vector<DestinationFailure> WriteDestinations(const std::vector<survey::FileSurvey>& surveys,
                                                  const DestinationOptions& options,
                                                  exchange::WriterModule& writers,
                                                  const survey::AdjustmentSummary* /*adjustment*/) {
    std::vector<DestinationFailure> failures;
    for (const DestinationRequest& request : Requests(options)) {
        try {
            WriteDestination(surveys, request, writers);
        } catch (const exchange::Error& error) {
            failures.push_back({error.what(), error.kind() == exchange::Error::Kind::Usage});
        } catch (const std::exception& error) {
            failures.push_back({"cannot write " + request.path + ": " + error.what(), false});
        }
    }
    return failures;
}

} // namespace rdf
