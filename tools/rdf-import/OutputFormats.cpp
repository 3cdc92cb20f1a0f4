#include "tools/rdf-import/OutputFormats.h"

#include "exchange/Staging.h"
#include "report/HtmlReport.h"

#include <filesystem>
#include <fstream>

namespace rdf {
namespace {

using exchange::GdalLayout;
using exchange::Positions;

OutputFormat Printed(std::string_view name, const StreamWriter& writer) {
    return {name, {}, Target::StandardOutput, writer};
}

OutputFormat Written(std::string_view name, std::vector<std::string_view> extensions, FileWriter writer) {
    return {name, std::move(extensions), Target::File, {}, writer};
}

// The survey report: one HTML page with each file's plan and tables. Like the exchange formats,
// it appears under its name only once it is whole.
void WriteReport(const std::vector<survey::FileSurvey>& surveys, const OutputFormat&,
                 const DestinationRequest& request, exchange::WriterModule&) {
    const std::filesystem::path target = std::filesystem::u8path(request.path);
    exchange::Staging staging(target);
    std::ofstream out(staging.PathFor(target.filename().string()), std::ios::binary | std::ios::trunc);
    report::WriteHtmlReport(out, surveys, request.adjustment, request.units);
    out.close();
    if (!out)
        throw exchange::Error(exchange::Error::Kind::WriteFailure, "cannot write " + request.path);
    staging.Commit();
}

[[maybe_unused]] void WriteExchange(const std::vector<survey::FileSurvey>& surveys,
                                    const OutputFormat& format, const DestinationRequest& request,
                                    exchange::WriterModule& writers) {
    writers.Write(surveys, {request.path, *format.exchange, request.crs, request.labelHeight});
}

// A file the exchange module writes, with what its writer needs to know of the format.
[[maybe_unused]] OutputFormat Exchanged(std::vector<std::string_view> extensions,
                                        exchange::FormatInfo format) {
    return {format.name, std::move(extensions), Target::File, {}, WriteExchange, std::move(format)};
}

std::vector<OutputFormat> Table() {
    std::vector<OutputFormat> table = {
        Printed("text", {MakeTextWriter, Messages::InOutput, Reduction::Shown, Files::HeldWhole}),
        Printed("json", {MakeJsonWriter, Messages::OnStandardError, Reduction::Shown, Files::HeldWhole}),
        Printed("csv", {MakeCsvWriter}),
        Printed("points", {nullptr, Messages::OnStandardError, Reduction::Shown}), // the reduction's own list
        Printed("trace",
                {nullptr, Messages::OnStandardError, Reduction::Unused, Files::Streamed, Trace::ModuleCalls}),
        Written("HTML", {".html", ".htm"}, WriteReport),
    };
    // The exchange formats, as ogr2ogr users know them, where this build has their libraries.
    const std::vector<OutputFormat> exchangeFormats = {
#if NIKON_EXCHANGE_GDAL
        Exchanged({".gpkg"}, {"GPKG", GdalLayout::Layers}),
        Exchanged({".geojson", ".json"}, {"GeoJSON", GdalLayout::FilePerLayer, Positions::LongitudeLatitude}),
        Exchanged({".dxf"}, {"DXF", GdalLayout::CadLayers}),
        Exchanged({".shp"}, {"ESRI Shapefile",
                             GdalLayout::FilePerLayer,
                             Positions::Survey,
                             {".shx", ".dbf", ".prj", ".cpg"}}),
        Exchanged({".kml"}, {"KML", GdalLayout::Layers, Positions::LongitudeLatitude}),
        Exchanged({".fgb"}, {"FlatGeobuf", GdalLayout::FilePerLayer}),
        Exchanged({".csv"}, {"CSV", GdalLayout::FilePerLayer, Positions::Survey, {".csvt", ".prj"}}),
#endif
#if NIKON_EXCHANGE_LANDXML
        Exchanged({".xml", ".landxml"}, {"LandXML"}),
#endif
    };
    table.insert(table.end(), exchangeFormats.begin(), exchangeFormats.end());
    return table;
}

} // namespace

const std::vector<OutputFormat>& OutputFormats() {
    static const std::vector<OutputFormat> table = Table();
    return table;
}

const OutputFormat* FindFormat(std::string_view name, Target target) {
    for (const OutputFormat& format : OutputFormats()) {
        if (format.target == target && format.name == name)
            return &format;
    }
    return nullptr;
}

std::string FormatList(Target target, bool extensions) {
    std::string list;
    for (const OutputFormat& format : OutputFormats()) {
        if (format.target != target)
            continue;
        list += (list.empty() ? "" : ", ") + std::string(format.name);
        for (const std::string_view extension :
             extensions ? format.extensions : std::vector<std::string_view>{})
            list += " " + std::string(extension);
    }
    return list;
}

} // namespace rdf
