#include "tools/rdf-import/Destinations.h"

#include "exchange/Exchange.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace rdf {
namespace {

void WriteExchange(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request) {
    exchange::Write(surveys, {request.path, request.format, request.crs});
}

void CheckExchange(const DestinationRequest& request) {
    exchange::Check({request.path, request.format, request.crs});
}

std::vector<DestinationFormat> BuildTable() {
    // This tool's own writers (reports) come first; the exchange library's formats follow.
    std::vector<DestinationFormat> table = {};
    for (const exchange::FormatInfo& format : exchange::Formats()) {
        table.push_back({std::string(format.name),
                         {format.extensions.begin(), format.extensions.end()},
                         WriteExchange,
                         CheckExchange});
    }
    return table;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Known(bool names) {
    std::string known;
    for (const DestinationFormat& format : DestinationFormats()) {
        if (names) {
            known += (known.empty() ? "" : ", ") + format.name;
            continue;
        }
        for (const std::string& extension : format.extensions)
            known += (known.empty() ? "" : " ") + extension;
    }
    return known;
}

const DestinationFormat& Find(const DestinationRequest& request) {
    const auto& formats = DestinationFormats();
    if (!request.format.empty()) {
        const auto found = std::find_if(formats.begin(), formats.end(), [&](const DestinationFormat& format) {
            return Lower(format.name) == Lower(request.format);
        });
        if (found == formats.end()) {
            throw exchange::Error(exchange::Error::Kind::Usage, "--to-format " + request.format +
                                                                    ": not a format rdf-import writes (" +
                                                                    Known(true) + ")");
        }
        return *found;
    }
    const std::string extension = Lower(std::filesystem::u8path(request.path).extension().u8string());
    const auto found = std::find_if(formats.begin(), formats.end(), [&](const DestinationFormat& format) {
        return std::find(format.extensions.begin(), format.extensions.end(), extension) !=
               format.extensions.end();
    });
    if (found == formats.end()) {
        throw exchange::Error(exchange::Error::Kind::Usage,
                              "--to " + request.path + ": the extension names no format rdf-import writes (" +
                                  Known(false) + "); name one with --to-format");
    }
    return *found;
}

std::vector<DestinationRequest> Requests(const DestinationOptions& options) {
    std::vector<DestinationRequest> requests;
    for (const std::string& file : options.files)
        requests.push_back({file, options.format, options.crs});
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

void CheckDestination(const DestinationRequest& request) {
    const DestinationFormat& format = Find(request);
    if (format.check != nullptr)
        format.check(Resolved(request, format));
}

void WriteDestination(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request) {
    const DestinationFormat& format = Find(request);
    format.write(surveys, Resolved(request, format));
}

void AddDestinationOptions(CLI::App& app, DestinationOptions& options) {
    std::string formats;
    for (const DestinationFormat& format : DestinationFormats()) {
        formats += (formats.empty() ? "" : ", ") + format.name;
        for (const std::string& extension : format.extensions)
            formats += " " + extension;
    }
    app.add_option("--to", options.files,
                   "write the reduced survey of all files to FILE (repeatable); the extension chooses the "
                   "format: " +
                       formats);
    app.add_option("--to-format", options.format, "the format of every --to file, overriding its extension");
    app.add_option(
        "--crs", options.crs,
        "the reference system of the coordinates for --to, as GDAL takes it (EPSG:32633, WKT, PROJ)");
}

std::optional<std::string> DestinationUsageError(const DestinationOptions& options) {
    if (options.files.empty() && !options.format.empty())
        return std::string("--to-format applies to --to files only");
    if (options.files.empty() && !options.crs.empty())
        return std::string("--crs applies to --to files only");
    try {
        for (const DestinationRequest& request : Requests(options))
            CheckDestination(request);
    } catch (const exchange::Error& error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

std::vector<DestinationFailure> WriteDestinations(const std::vector<survey::FileSurvey>& surveys,
                                                  const DestinationOptions& options) {
    std::vector<DestinationFailure> failures;
    for (const DestinationRequest& request : Requests(options)) {
        try {
            WriteDestination(surveys, request);
        } catch (const exchange::Error& error) {
            failures.push_back({error.what(), error.kind() == exchange::Error::Kind::Usage});
        } catch (const std::exception& error) {
            failures.push_back({"cannot write " + request.path + ": " + error.what(), false});
        }
    }
    return failures;
}

} // namespace rdf
