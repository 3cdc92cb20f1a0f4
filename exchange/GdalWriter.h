// The GIS and CAD formats, written by GDAL's drivers.
#pragma once

#include "exchange/ReferenceSystem.h"
#include "exchange/Staging.h"
#include "exchange/SurveyRows.h"

#include <optional>
#include <string_view>

namespace exchange {

// How a driver takes the three layers.
enum class GdalLayout {
    Layers,       // one dataset holds points, stations and observations
    FilePerLayer, // one file per layer: the requested name holds the points, <stem>_stations and
                  // <stem>_observations the others
    CadLayers,    // DXF: one drawing, CAD layers per point code, STATIONS and OBSERVATIONS
};

struct GdalFormat {
    const char* driver;
    GdalLayout layout;
    bool longitudeLatitude; // the format is WGS 84 by definition: coordinates are reprojected
};

// A format of longitudes and latitudes needs the survey's system.
void WriteWithGdal(const GdalFormat& format, const SurveyRows& rows,
                   const std::optional<ReferenceSystem>& system, Staging& staging);

} // namespace exchange
