// What an exchange writer is asked to write: the format, as the program's table of formats
// describes it, the file and the survey's reference system; and the errors of a write. Needs
// neither GDAL nor libxml2, so that a program can name and check its formats without loading the
// writers (see exchange/module/).
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// How a GDAL driver takes the three layers.
enum class GdalLayout {
    Layers,       // one dataset holds points, stations and observations
    FilePerLayer, // one file per layer: the requested name holds the points, <stem>_stations and
                  // <stem>_observations the others
    CadLayers,    // DXF: one drawing, CAD layers per point code, STATIONS and OBSERVATIONS
};

// Whether a format's coordinates are the survey's own or WGS 84 longitudes and latitudes.
enum class Positions { Survey, LongitudeLatitude };

// A format as the program's table describes it to the writers.
struct FormatInfo {
    std::string_view name; // a GDAL driver name, or LandXML
    // Written by GDAL's driver of that name; none: LandXML.
    std::optional<GdalLayout> gdalLayout = std::nullopt;
    // Longitudes and latitudes (WGS 84 by definition) need the survey's reference system.
    Positions positions = Positions::Survey;
    // The extensions of the files the driver writes beside each.
    std::vector<std::string_view> sidecars = {};
};

struct Destination {
    std::string path; // the file the user asked for, UTF-8
    FormatInfo format;
    std::string crs; // the survey's reference system as GDAL takes it; empty: local coordinates
    std::optional<double> labelHeight =
        std::nullopt; // of a drawing's labels, in its unit; none: from its extent
};

// What went wrong, as data: the program that asked words it in its own terms (its options).
enum class Problem {
    None,                      // a write failure, worded in the message
    UnknownReferenceSystem,    // names: the text given, GDAL's reason (may be empty)
    GeographicReferenceSystem, // names: the text given
    VerticalReferenceSystem,   // names: the text given
    NoReferenceSystems,        // a build without GDAL was given one
    NeedsReferenceSystem,      // names: the path, the format
    NoTransformToWgs84,        // names: the reference system's name
    PointOutsideTransform,     // names: the path, GDAL's reason (may be empty)
    NoLandXmlUnit,             // names: the reference system's name
    LabelHeightNotPositive,
};

// A usage error is the user's to mend (a reference system GDAL does not know, a format that needs
// one); a write failure is the file system's or the library's.
class Error : public std::runtime_error {
public:
    enum class Kind { Usage, WriteFailure };
    Error(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Error(Kind kind, Problem problem, std::vector<std::string> names, const std::string& message)
        : std::runtime_error(message), m_kind(kind), m_problem(problem), m_names(std::move(names)) {}
    Kind kind() const { return m_kind; }
    Problem problem() const { return m_problem; }
    const std::vector<std::string>& names() const { return m_names; }

private:
    Kind m_kind;
    Problem m_problem = Problem::None;
    std::vector<std::string> m_names;
};

// The files of a FilePerLayer format, for the file name the user asked for: points, stations and
// observations.
std::array<std::string, 3> FilePerLayerNames(const std::string& fileName);

// Every file a format may write for the file name the user asked for: the name itself, the files
// of its other layers and each one's sidecars.
std::vector<std::string> FileNamesWritten(const FormatInfo& format, const std::string& fileName);

} // namespace exchange
