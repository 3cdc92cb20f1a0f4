#include "exchange/Exchange.h"

#include "exchange/ReferenceSystem.h"
#include "exchange/Staging.h"
#include "exchange/SurveyRows.h"
#if NIKON_EXCHANGE_GDAL
#include "exchange/GdalWriter.h"
#endif
#if NIKON_EXCHANGE_LANDXML
#include "exchange/LandXmlWriter.h"
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>

namespace exchange {
namespace {

using Writer = std::function<void(const std::vector<survey::FileSurvey>&,
                                  const std::optional<ReferenceSystem>&, Staging&)>;

struct Format {
    std::string_view name; // a GDAL driver name, or LandXML
    std::vector<std::string_view> extensions;
    Writer write;
};

#if NIKON_EXCHANGE_GDAL
Writer Gdal(GdalFormat format) {
    return
        [format](const std::vector<survey::FileSurvey>& surveys, const std::optional<ReferenceSystem>& system,
                 Staging& staging) { WriteWithGdal(format, Flatten(surveys), system, staging); };
}
#endif

// Every format this build writes, and the extensions that choose it, as ogr2ogr users know them.
const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
#if NIKON_EXCHANGE_GDAL
        {"GPKG", {".gpkg"}, Gdal({"GPKG", GdalLayout::Layers, false})},
        {"GeoJSON", {".geojson", ".json"}, Gdal({"GeoJSON", GdalLayout::FilePerLayer, true})},
        {"DXF", {".dxf"}, Gdal({"DXF", GdalLayout::CadLayers, false})},
        {"ESRI Shapefile", {".shp"}, Gdal({"ESRI Shapefile", GdalLayout::FilePerLayer, false})},
        {"KML", {".kml"}, Gdal({"KML", GdalLayout::Layers, true})},
        {"FlatGeobuf", {".fgb"}, Gdal({"FlatGeobuf", GdalLayout::FilePerLayer, false})},
        {"CSV", {".csv"}, Gdal({"CSV", GdalLayout::FilePerLayer, false})},
#endif
#if NIKON_EXCHANGE_LANDXML
        {"LandXML", {".xml", ".landxml"}, WriteLandXml},
#endif
    };
    return formats;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string KnownNames() {
    std::string names;
    for (const Format& format : Formats())
        names += (names.empty() ? "" : ", ") + std::string(format.name);
    return names;
}

std::string KnownExtensions() {
    std::string extensions;
    for (const Format& format : Formats()) {
        for (std::string_view extension : format.extensions)
            extensions += (extensions.empty() ? "" : " ") + std::string(extension);
    }
    return extensions;
}

const Format& FindFormat(const Destination& destination) {
    const auto& formats = Formats();
    if (!destination.format.empty()) {
        const auto found = std::find_if(formats.begin(), formats.end(), [&](const Format& format) {
            return Lower(format.name) == Lower(destination.format);
        });
        if (found == formats.end()) {
            throw Error(Error::Kind::Usage, "--to-format " + destination.format +
                                                ": not a format this build writes (" + KnownNames() + ")");
        }
        return *found;
    }
    const std::string extension = Lower(std::filesystem::u8path(destination.path).extension().u8string());
    const auto found = std::find_if(formats.begin(), formats.end(), [&](const Format& format) {
        return std::find(format.extensions.begin(), format.extensions.end(), extension) !=
               format.extensions.end();
    });
    if (found == formats.end()) {
        throw Error(Error::Kind::Usage, destination.path +
                                            ": the extension does not name a format this build writes (" +
                                            KnownExtensions() + "); name one with --to-format");
    }
    return *found;
}

} // namespace

std::string_view ResolveFormat(const Destination& destination) {
    return FindFormat(destination).name;
}

std::vector<std::string> DescribeFormats() {
    std::vector<std::string> lines;
    for (const Format& format : Formats()) {
        std::string line = std::string(format.name) + ":";
        for (std::string_view extension : format.extensions)
            line += " " + std::string(extension);
        lines.push_back(line);
    }
    return lines;
}

void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination) {
    const Format& format = FindFormat(destination);
    const std::optional<ReferenceSystem> system = DescribeReferenceSystem(destination.crs);
    Staging staging(std::filesystem::u8path(destination.path));
    format.write(surveys, system, staging);
    staging.Commit();
}

} // namespace exchange
