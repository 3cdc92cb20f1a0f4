#include "exchange/Exchange.h"

#include "exchange/FormatChoice.h"
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
    bool longitudeLatitude; // WGS 84 by definition: needs the survey's system to transform from
    Writer write;
};

#if NIKON_EXCHANGE_GDAL
Format Gdal(const char* driver, std::vector<std::string_view> extensions, GdalLayout layout,
            bool longitudeLatitude = false) {
    const GdalFormat format{driver, layout, longitudeLatitude};
    return {driver, std::move(extensions), longitudeLatitude,
            [format](const std::vector<survey::FileSurvey>& surveys,
                     const std::optional<ReferenceSystem>& system,
                     Staging& staging) { WriteWithGdal(format, Flatten(surveys), system, staging); }};
}
#endif

// Every format this build writes, and the extensions that choose it, as ogr2ogr users know them.
const std::vector<Format>& Writers() {
    static const std::vector<Format> formats = {
#if NIKON_EXCHANGE_GDAL
        Gdal("GPKG", {".gpkg"}, GdalLayout::Layers),
        Gdal("GeoJSON", {".geojson", ".json"}, GdalLayout::FilePerLayer, true),
        Gdal("DXF", {".dxf"}, GdalLayout::CadLayers),
        Gdal("ESRI Shapefile", {".shp"}, GdalLayout::FilePerLayer),
        Gdal("KML", {".kml"}, GdalLayout::Layers, true),
        Gdal("FlatGeobuf", {".fgb"}, GdalLayout::FilePerLayer),
        Gdal("CSV", {".csv"}, GdalLayout::FilePerLayer),
#endif
#if NIKON_EXCHANGE_LANDXML
        {"LandXML", {".xml", ".landxml"}, false, WriteLandXml},
#endif
    };
    return formats;
}

const Format& FindFormat(const Destination& destination) {
    return ChooseFormat(Writers(), destination.path, destination.format, "this build");
}

struct Prepared {
    const Format& format;
    std::optional<ReferenceSystem> system;
};

// Everything the user can get wrong, found before anything is written.
Prepared Prepare(const Destination& destination) {
    const Format& format = FindFormat(destination);
    std::optional<ReferenceSystem> system = DescribeReferenceSystem(destination.crs);
    if (format.longitudeLatitude && !system) {
        throw Error(Error::Kind::Usage, "--to " + destination.path + ": " + std::string(format.name) +
                                            " holds WGS 84 longitudes and latitudes; give the survey's "
                                            "reference system with --crs so that its coordinates can be "
                                            "transformed");
    }
    return {format, std::move(system)};
}

} // namespace

std::string_view ResolveFormat(const Destination& destination) {
    return FindFormat(destination).name;
}

std::vector<FormatInfo> Formats() {
    std::vector<FormatInfo> formats;
    for (const Format& format : Writers())
        formats.push_back({format.name, format.extensions});
    return formats;
}

void Check(const Destination& destination) {
    Prepare(destination);
}

void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination) {
    const auto [format, system] = Prepare(destination);
    Staging staging(std::filesystem::u8path(destination.path));
    format.write(surveys, system, staging);
    staging.Commit();
}

} // namespace exchange
