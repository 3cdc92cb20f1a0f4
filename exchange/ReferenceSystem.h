// The reference system the user names for the survey's coordinates, as the writers need it.
#pragma once

#include <optional>
#include <string>

namespace exchange {

struct ReferenceSystem {
    std::string name;
    std::string wkt;          // WKT2, for libraries that read it back
    std::string ogcWkt;       // the older OGC WKT (WKT1) that LandXML's ogcWktCode holds
    std::string epsgCode;     // "32633", empty when the system has no EPSG code
    double metresPerUnit = 1; // of its linear unit, in which its coordinates are written
};

// None for an empty text: local coordinates in metres. Throws Error (Usage) for a text GDAL does
// not know, for a geographic system (a plane survey has no latitudes) and in a build without GDAL.
std::optional<ReferenceSystem> DescribeReferenceSystem(const std::string& text);

} // namespace exchange
