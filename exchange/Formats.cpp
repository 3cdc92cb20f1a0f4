#include "exchange/Formats.h"

#include "exchange/FormatChoice.h"

namespace exchange {

// Every format this build writes, and the extensions that choose it, as ogr2ogr users know them.
const std::vector<FormatInfo>& Formats() {
    static const std::vector<FormatInfo> formats = {
#if NIKON_EXCHANGE_GDAL
        {"GPKG", {".gpkg"}, false, GdalLayout::Layers},
        {"GeoJSON", {".geojson", ".json"}, true, GdalLayout::FilePerLayer},
        {"DXF", {".dxf"}, false, GdalLayout::CadLayers},
        {"ESRI Shapefile", {".shp"}, false, GdalLayout::FilePerLayer},
        {"KML", {".kml"}, true, GdalLayout::Layers},
        {"FlatGeobuf", {".fgb"}, false, GdalLayout::FilePerLayer},
        {"CSV", {".csv"}, false, GdalLayout::FilePerLayer},
#endif
#if NIKON_EXCHANGE_LANDXML
        {"LandXML", {".xml", ".landxml"}, false, std::nullopt},
#endif
    };
    return formats;
}

const FormatInfo& FindFormat(const Destination& destination) {
    return ChooseFormat(Formats(), destination.path, destination.format, "this build");
}

std::string_view ResolveFormat(const Destination& destination) {
    return FindFormat(destination).name;
}

} // namespace exchange
