#include "exchange/Formats.h"

#include "exchange/FormatChoice.h"

#include <filesystem>

namespace exchange {

// Every format this build writes, and the extensions that choose it, as ogr2ogr users know them.
const std::vector<FormatInfo>& Formats() {
    static const std::vector<FormatInfo> formats = {
#if NIKON_EXCHANGE_GDAL
        {"GPKG", {".gpkg"}, false, GdalLayout::Layers, {}},
        {"GeoJSON", {".geojson", ".json"}, true, GdalLayout::FilePerLayer, {}},
        {"DXF", {".dxf"}, false, GdalLayout::CadLayers, {}},
        {"ESRI Shapefile", {".shp"}, false, GdalLayout::FilePerLayer, {".shx", ".dbf", ".prj", ".cpg"}},
        {"KML", {".kml"}, true, GdalLayout::Layers, {}},
        {"FlatGeobuf", {".fgb"}, false, GdalLayout::FilePerLayer, {}},
        {"CSV", {".csv"}, false, GdalLayout::FilePerLayer, {".csvt", ".prj"}},
#endif
#if NIKON_EXCHANGE_LANDXML
        {"LandXML", {".xml", ".landxml"}, false, std::nullopt, {}},
#endif
    };
    return formats;
}

std::array<std::string, 3> FilePerLayerNames(const std::string& fileName) {
    const std::filesystem::path name = std::filesystem::u8path(fileName);
    const std::string stem = name.stem().u8string();
    const std::string extension = name.extension().u8string();
    return {fileName, stem + "_stations" + extension, stem + "_observations" + extension};
}

std::vector<std::string> FileNamesWritten(const FormatInfo& format, const std::string& fileName) {
    std::vector<std::string> names = {fileName};
    if (format.gdalLayout == GdalLayout::FilePerLayer) {
        const std::array<std::string, 3> layers = FilePerLayerNames(fileName);
        names.assign(layers.begin(), layers.end());
    }
    const std::size_t files = names.size();
    for (std::size_t i = 0; i < files; ++i) {
        const std::string stem = std::filesystem::u8path(names[i]).stem().u8string();
        for (const std::string_view sidecar : format.sidecars)
            names.push_back(stem + std::string(sidecar));
    }
    return names;
}

const FormatInfo& FindFormat(const Destination& destination) {
    return ChooseFormat(Formats(), destination.path, destination.format, "this build");
}

std::string_view ResolveFormat(const Destination& destination) {
    return FindFormat(destination).name;
}

} // namespace exchange
