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

#include <cmath>
#include <filesystem>
#include <optional>

namespace exchange {
namespace {

// Whether this build has the library that writes the format.
bool Writable(const FormatInfo& format) {
    return format.gdalLayout ? NIKON_EXCHANGE_GDAL : NIKON_EXCHANGE_LANDXML;
}

void WriteFormat(const std::vector<survey::FileSurvey>& surveys, const std::optional<ReferenceSystem>& system,
                 const Destination& destination, Staging& staging) {
#if NIKON_EXCHANGE_GDAL
    const FormatInfo& format = destination.format;
    if (format.gdalLayout) {
        const GdalFormat gdal{std::string(format.name), *format.gdalLayout,
                              format.positions == Positions::LongitudeLatitude, destination.labelHeight};
        WriteWithGdal(gdal, Flatten(surveys), system, staging);
        return;
    }
#endif
#if NIKON_EXCHANGE_LANDXML
    WriteLandXml(surveys, system, staging);
#endif
    static_cast<void>(destination); // a build without GDAL has no drawings
}

// Everything the user can get wrong, found before anything is written.
std::optional<ReferenceSystem> Prepare(const Destination& destination) {
    const FormatInfo& format = destination.format;
    if (!Writable(format)) {
        throw Error(Error::Kind::WriteFailure, "cannot write " + destination.path +
                                                   ": this build has no writer of " +
                                                   std::string(format.name));
    }
    std::optional<ReferenceSystem> system = DescribeReferenceSystem(destination.crs);
    if (format.positions == Positions::LongitudeLatitude && !system) {
        throw Error(Error::Kind::Usage, Problem::NeedsReferenceSystem,
                    {destination.path, std::string(format.name)},
                    destination.path + ": " + std::string(format.name) +
                        " holds WGS 84 longitudes and latitudes, which need the survey's reference system");
    }
#if NIKON_EXCHANGE_LANDXML
    if (!format.gdalLayout)
        CheckLandXmlSystem(system);
#endif
    if (destination.labelHeight && !(std::isfinite(*destination.labelHeight) && *destination.labelHeight > 0))
        throw Error(Error::Kind::Usage, Problem::LabelHeightNotPositive, {},
                    "a label height is a length above 0");
    return system;
}

} // namespace

void Check(const Destination& destination) {
    Prepare(destination);
}

void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination) {
    const std::optional<ReferenceSystem> system = Prepare(destination);
    Staging staging(std::filesystem::u8path(destination.path));
    WriteFormat(surveys, system, destination, staging);
    staging.Commit();
}

} // namespace exchange
