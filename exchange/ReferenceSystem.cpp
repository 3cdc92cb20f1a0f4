#include "exchange/ReferenceSystem.h"

#include "exchange/Exchange.h"
#include "exchange/GdalErrors.h"

#include <ogr_spatialref.h>

namespace exchange {

std::optional<ReferenceSystem> DescribeReferenceSystem(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    OGRSpatialReference srs;
    const GdalErrors errors;
    if (srs.SetFromUserInput(text.c_str()) != OGRERR_NONE) {
        const std::string reason = errors.failed() ? " (" + errors.last() + ")" : "";
        throw Error(Error::Kind::Usage, "--crs " + text + ": not a reference system GDAL knows" + reason +
                                            "; give for example EPSG:32633, a WKT or a PROJ string");
    }
    if (srs.IsGeographic() || srs.IsGeocentric()) {
        throw Error(Error::Kind::Usage, "--crs " + text +
                                            ": a geographic reference system cannot hold plane survey "
                                            "coordinates; name the projected or local system they are in");
    }
    ReferenceSystem system;
    system.name = srs.GetName() != nullptr ? srs.GetName() : text;
    char* wkt = nullptr;
    const char* const wktOptions[] = {"FORMAT=WKT2_2019", nullptr};
    srs.exportToWkt(&wkt, wktOptions);
    system.wkt = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr && std::string(authority) == "EPSG")
        system.epsgCode = code;
    system.metresPerUnit = srs.GetLinearUnits(nullptr);
    return system;
}

} // namespace exchange
