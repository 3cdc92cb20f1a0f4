// Writing the reduced survey of an import run into the exchange formats of GIS and CAD programs
// (through GDAL) and into LandXML.
#pragma once

#include "survey/Survey.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

struct Destination {
    std::string path;   // the file the user asked for, UTF-8
    std::string format; // a format name; empty: chosen by the path's extension
    std::string crs;    // the survey's reference system as GDAL takes it; empty: local coordinates
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

// Writes every file's points, stations and observations into one destination. Nothing appears under
// the requested name unless the whole file was written. Throws Error.
void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination);

// Throws the usage errors Write would throw, before any work is done.
void Check(const Destination& destination);

// The format Write would choose for a destination, or Error::Kind::Usage naming what is known.
std::string_view ResolveFormat(const Destination& destination);

struct FormatInfo {
    std::string_view name; // a GDAL driver name, or LandXML
    std::vector<std::string_view> extensions;
};

// The formats this build writes, with the extensions that choose them.
std::vector<FormatInfo> Formats();

} // namespace exchange
