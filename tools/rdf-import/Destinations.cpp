#include "tools/rdf-import/Destinations.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace rdf {
namespace {

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// By its name when one is given (in any case), else by the file's extension, as ogr2ogr users
// expect.
bool Chooses(const OutputFormat& format, const DestinationRequest& request) {
    if (format.target != Target::File)
        return false;
    if (!request.format.empty())
        return LowerCase(format.name) == LowerCase(request.format);
    const std::string extension = LowerCaseExtension(request.path);
    return std::find(format.extensions.begin(), format.extensions.end(), extension) !=
           format.extensions.end();
}

std::vector<DestinationRequest> Requests(const DestinationOptions& options) {
    std::vector<DestinationRequest> requests;
    for (const std::string& file : options.files)
        requests.push_back({file, options.format, options.crs, options.labelHeight, nullptr, options.units});
    return requests;
}

exchange::Destination ExchangeDestination(const OutputFormat& format, const DestinationRequest& request) {
    return {request.path, *format.exchange, request.crs, request.labelHeight};
}

std::string WithReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + " (" + reason + ")";
}

} // namespace

std::string LowerCaseExtension(const std::string& path) {
    return LowerCase(std::filesystem::u8path(path).extension().u8string());
}

const OutputFormat& ChooseFormat(const DestinationRequest& request) {
    const auto& formats = OutputFormats();
    const auto found = std::find_if(formats.begin(), formats.end(),
                                    [&](const OutputFormat& format) { return Chooses(format, request); });
    if (found != formats.end())
        return *found;
    const auto usage = [](const std::string& message) {
        return exchange::Error(exchange::Error::Kind::Usage, message);
    };
    if (!request.format.empty())
        throw usage("--to-format " + request.format + ": not a format rdf-import writes (" +
                    FormatList(Target::File, false) + ")");
    std::string extensions;
    for (const OutputFormat& format : formats) {
        for (const std::string_view extension : format.extensions)
            extensions += (extensions.empty() ? "" : " ") + std::string(extension);
    }
    throw usage("--to " + request.path + ": the extension names no format rdf-import writes (" + extensions +
                "); name one with --to-format");
}

void CheckDestination(const DestinationRequest& request, exchange::WriterModule& writers) {
    const OutputFormat& format = ChooseFormat(request);
    if (format.exchange)
        writers.Check(ExchangeDestination(format, request));
}

void WriteDestination(const std::vector<survey::FileSurvey>& surveys, const DestinationRequest& request,
                      exchange::WriterModule& writers) {
    const OutputFormat& format = ChooseFormat(request);
    format.file(surveys, format, request, writers);
}

std::string Worded(const exchange::Error& error) {
    const std::vector<std::string>& names = error.names();
    const auto name = [&](std::size_t i) { return i < names.size() ? names[i] : std::string(); };
    switch (error.problem()) {
    case exchange::Problem::None:
        return error.what();
    case exchange::Problem::UnknownReferenceSystem:
        return WithReason("--crs " + name(0) + ": not a reference system GDAL knows", name(1)) +
               "; give for example EPSG:32633, a WKT or a PROJ string";
    case exchange::Problem::GeographicReferenceSystem:
        return "--crs " + name(0) +
               ": a geographic reference system cannot hold plane survey coordinates; name the projected or "
               "local system they are in";
    case exchange::Problem::VerticalReferenceSystem:
        return "--crs " + name(0) +
               ": a vertical reference system holds heights only; name the projected or local system the "
               "survey's coordinates are in";
    case exchange::Problem::NoReferenceSystems:
        return "--crs needs GDAL, and this build has none";
    case exchange::Problem::NeedsReferenceSystem:
        return "--to " + name(0) + ": " + name(1) +
               " holds WGS 84 longitudes and latitudes; give the survey's reference system with --crs so "
               "that "
               "its coordinates can be transformed";
    case exchange::Problem::NoTransformToWgs84:
        return "--crs " + name(0) + " cannot be transformed to WGS 84";
    case exchange::Problem::PointOutsideTransform:
        return WithReason("cannot write " + name(0) +
                              ": a point lies where --crs cannot be transformed to WGS 84",
                          name(1));
    case exchange::Problem::NoLandXmlUnit:
        return "LandXML has no unit for the linear unit of --crs " + name(0) +
               "; give a system in metres, feet or US survey feet";
    case exchange::Problem::LabelHeightNotPositive:
        return "--label-height: a label height is a length above 0";
    }
    return error.what();
}

void AddDestinationOptions(CLI::App& app, DestinationOptions& options) {
    const std::string formats = FormatList(Target::File, true);
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
        return Worded(error);
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> DestinationFiles(const DestinationOptions& options) {
    std::vector<std::filesystem::path> files;
    for (const DestinationRequest& request : Requests(options)) {
        const std::filesystem::path target = std::filesystem::u8path(request.path);
        const OutputFormat& format = ChooseFormat(request);
        if (!format.exchange) {
            files.push_back(target);
            continue;
        }
        for (const std::string& file :
             exchange::FileNamesWritten(*format.exchange, target.filename().u8string()))
            files.push_back(target.parent_path() / std::filesystem::u8path(file));
    }
    return files;
}

std::vector<DestinationFailure> WriteDestinations(const std::vector<survey::FileSurvey>& surveys,
                                                  const DestinationOptions& options,
                                                  exchange::WriterModule& writers,
                                                  const survey::AdjustmentSummary* adjustment) {
    std::vector<DestinationFailure> failures;
    for (DestinationRequest request : Requests(options)) {
        request.adjustment = adjustment;
        try {
            WriteDestination(surveys, request, writers);
        } catch (const exchange::Error& error) {
            failures.push_back({Worded(error), error.kind() == exchange::Error::Kind::Usage});
        } catch (const std::exception& error) {
            failures.push_back({"cannot write " + request.path + ": " + error.what(), false});
        }
    }
    return failures;
}

} // namespace rdf
