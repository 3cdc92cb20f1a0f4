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

void WriteFormat(const FormatInfo& format, const std::vector<survey::FileSurvey>& surveys,
                 const std::optional<ReferenceSystem>& system, const Destination& destination,
                 Staging& staging) {
#if NIKON_EXCHANGE_GDAL
    if (format.gdalLayout) {
        const GdalFormat gdal{std::string(format.name), *format.gdalLayout, format.longitudeLatitude,
                              destination.labelHeight};
        WriteWithGdal(gdal, Flatten(surveys), system, staging);
        return;
    }
#endif
#if NIKON_EXCHANGE_LANDXML
    WriteLandXml(surveys, system, staging);
#endif
    static_cast<void>(destination); // a build without GDAL has no drawings
}

struct Prepared {
    const FormatInfo& format;
    std::optional<ReferenceSystem> system;
};

// Everything the user can get wrong, found before anything is written.
Prepared Prepare(const Destination& destination) {
    const FormatInfo& format = FindFormat(destination);
    std::optional<ReferenceSystem> system = DescribeReferenceSystem(destination.crs);
    if (format.longitudeLatitude && !system) {
        throw Error(Error::Kind::Usage, "--to " + destination.path + ": " + std::string(format.name) +
                                            " holds WGS 84 longitudes and latitudes; give the survey's "
                                            "reference system with --crs so that its coordinates can be "
                                            "transformed");
    }
#if NIKON_EXCHANGE_LANDXML
    if (!format.gdalLayout)
        CheckLandXmlSystem(system);
#endif
    if (destination.labelHeight && !(std::isfinite(*destination.labelHeight) && *destination.labelHeight > 0))
        throw Error(Error::Kind::Usage, "--label-height: a label height is a length above 0");
    return {format, std::move(system)};
}

} // namespace

void Check(const Destination& destination) {
    Prepare(destination);
}

void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination) {
    const auto [format, system] = Prepare(destination);
    Staging staging(std::filesystem::u8path(destination.path));
    WriteFormat(format, surveys, system, destination, staging);
    staging.Commit();
}

} // namespace exchange
