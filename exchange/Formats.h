// The exchange formats as a program names them: which formats this build writes, the extensions
// that choose them, and the errors of a write. Needs neither GDAL nor libxml2, so that a program can
// list and check the formats without loading the writers (see exchange/module/).
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

struct Destination {
    std::string path;   // the file the user asked for, UTF-8
    std::string format; // a format name; empty: chosen by the path's extension
    std::string crs;    // the survey's reference system as GDAL takes it; empty: local coordinates
    std::optional<double> labelHeight =
        std::nullopt; // of a drawing's labels, in its unit; none: from its extent
};

// A usage error is the user's to mend (an unknown extension or format, a reference system GDAL does
// not know, a format that needs one); a write failure is the file system's or the library's.
class Error : public std::runtime_error {
public:
    enum class Kind { Usage, WriteFailure };
    Error(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// How a GDAL driver takes the three layers.
enum class GdalLayout {
    Layers,       // one dataset holds points, stations and observations
    FilePerLayer, // one file per layer: the requested name holds the points, <stem>_stations and
                  // <stem>_observations the others
    CadLayers,    // DXF: one drawing, CAD layers per point code, STATIONS and OBSERVATIONS
};

struct FormatInfo {
    std::string_view name; // a GDAL driver name, or LandXML
    std::vector<std::string_view> extensions;
    bool longitudeLatitude = false;         // WGS 84 by definition: needs the survey's system
    std::optional<GdalLayout> gdalLayout;   // written by GDAL's driver of that name; none: LandXML
    std::vector<std::string_view> sidecars; // extensions of the files the driver writes beside each
};

// The files of a FilePerLayer format, for the file name the user asked for: points, stations and
// observations.
std::array<std::string, 3> FilePerLayerNames(const std::string& fileName);

// Every file a format may write for the file name the user asked for: the name itself, the files
// of its other layers and each one's sidecars.
std::vector<std::string> FileNamesWritten(const FormatInfo& format, const std::string& fileName);

// The formats this build writes, with the extensions that choose them.
const std::vector<FormatInfo>& Formats();

// The format Write would choose for a destination; throws Error (Usage) naming what is known.
const FormatInfo& FindFormat(const Destination& destination);
std::string_view ResolveFormat(const Destination& destination);

} // namespace exchange
