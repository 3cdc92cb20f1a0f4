#include "exchange/ReferenceSystem.h"

#include "exchange/Exchange.h"
#include "exchange/GdalErrors.h"

#include <ogr_spatialref.h>

namespace exchange {
namespace {

std::string Wkt(const OGRSpatialReference& srs, const char* format) {
    char* text = nullptr;
    const std::string option = std::string("FORMAT=") + format;
    const char* const options[] = {option.c_str(), nullptr};
    srs.exportToWkt(&text, options);
    const std::string wkt = text != nullptr ? text : "";
    CPLFree(text);
    return wkt;
}

} // namespace

std::optional<ReferenceSystem> DescribeReferenceSystem(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    OGRSpatialReference srs;
    const GdalErrors errors;
    // A code or a definition only: the text is never taken as a file to read or a URL to fetch.
    if (srs.SetFromUserInput(text.c_str(), OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS) !=
        OGRERR_NONE) {
        const std::string reason = errors.failed() ? " (" + errors.last() + ")" : "";
        throw Error(Error::Kind::Usage, Problem::UnknownReferenceSystem,
                    {text, errors.failed() ? errors.last() : ""},
                    text + ": not a reference system GDAL knows" + reason);
    }
    if (srs.IsGeographic() || srs.IsGeocentric()) {
        throw Error(Error::Kind::Usage, Problem::GeographicReferenceSystem, {text},
                    text + ": a geographic reference system cannot hold plane survey coordinates");
    }
    if (srs.IsVertical() && !srs.IsProjected() && !srs.IsLocal()) {
        throw Error(Error::Kind::Usage, Problem::VerticalReferenceSystem, {text},
                    text + ": a vertical reference system holds heights only");
    }
    ReferenceSystem system;
    system.name = srs.GetName() != nullptr ? srs.GetName() : text;
    system.wkt = Wkt(srs, "WKT2_2019");
    system.ogcWkt = Wkt(srs, "WKT1_GDAL");
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr && std::string(authority) == "EPSG")
        system.epsgCode = code;
    system.metresPerUnit = srs.GetLinearUnits(nullptr);
    return system;
}

} // namespace exchange
