// What a drawing needs beyond GDAL's DXF driver: layer names CAD programs accept, label text that
// MTEXT shows as written, and the header's units and text encoding. Free of GDAL.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// One CAD layer name per point code. CAD limits a name to 255 characters, forbids some characters
// and compares names without case, so a code may need another name; two codes never share one.
class CadLayerNames {
public:
    // Names the drawing already uses for its own layers.
    explicit CadLayerNames(const std::vector<std::string>& taken);
    const std::string& For(const std::string& code);

private:
    std::map<std::string, std::string> m_byCode;
    std::set<std::string> m_taken; // in upper case
};

// The text as MTEXT shows it literally: its formatting codes and special characters escaped.
std::string MTextEscaped(std::string_view text);

// The drawing unit code of $INSUNITS for a linear unit in metres; 0 (unitless) for one CAD has not.
int CadUnitsCode(double metresPerUnit);

// A DXF that GDAL wrote, rewritten: the header variables given their values, and every MTEXT whose
// text is a placeholder given its real text. GDAL escapes what it writes for an older code page;
// the text written here is UTF-8, which the header declares by its version.
// GDAL draws no ELLIPSE: each is written as an MTEXT at its centre, whose text is a placeholder, and
// that entity becomes the ELLIPSE, keeping its handle, owner and layer.
struct CadEllipse {
    double majorX = 0; // the end of the semi-major axis from the centre, in the drawing's unit
    double majorY = 0;
    double ratio = 1; // minor to major axis
};

struct DrawingFinish {
    std::map<std::string, std::string> headerValues; // "$INSUNITS" -> "6"
    std::map<std::string, std::string> texts;        // placeholder -> MTEXT text, already escaped
    std::map<std::string, CadEllipse> ellipses;      // placeholder -> the ELLIPSE its MTEXT becomes
};
std::string FinishedDrawing(std::string_view drawing, const DrawingFinish& finish);

// The ELLIPSE of a 95 % error ellipse of axes in metres, its major axis's azimuth in radians from
// north, drawn `exaggeration` times its size in a drawing of `unitsPerMetre`; none when its axes are
// not finite or it has no size.
std::optional<CadEllipse> ErrorEllipse(double semiMajor, double semiMinor, double azimuth,
                                       double exaggeration, double unitsPerMetre);

// The header values of a drawing in UTF-8 whose unit is the linear unit given in metres, its points
// drawn as crosses of the size given in that unit.
std::map<std::string, std::string> DrawingHeader(double metresPerUnit, double markSize);

} // namespace exchange
