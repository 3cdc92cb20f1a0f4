// The GIS and CAD formats, written by GDAL's drivers.
#pragma once

#include "exchange/Formats.h"
#include "exchange/ReferenceSystem.h"
#include "exchange/Staging.h"
#include "exchange/SurveyRows.h"

#include <optional>
#include <string>

namespace exchange {

struct GdalFormat {
    std::string driver;
    GdalLayout layout;
    bool longitudeLatitude;            // the format is WGS 84 by definition: coordinates are reprojected
    std::optional<double> labelHeight; // DXF, in the drawing's unit; none: from the drawing's extent
};

// A format of longitudes and latitudes needs the survey's system.
void WriteWithGdal(const GdalFormat& format, const SurveyRows& rows,
                   const std::optional<ReferenceSystem>& system, Staging& staging);

} // namespace exchange
