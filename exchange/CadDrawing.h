// What a drawing needs beyond GDAL's DXF driver: layer names CAD programs accept, label text that
// MTEXT shows as written, and the header's units and text encoding. Free of GDAL.
#pragma once

#include <map>
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
struct DrawingFinish {
    std::map<std::string, std::string> headerValues; // "$INSUNITS" -> "6"
    std::map<std::string, std::string> texts;        // placeholder -> MTEXT text, already escaped
};
std::string FinishedDrawing(std::string_view drawing, const DrawingFinish& finish);

// The header values of a drawing in UTF-8 whose unit is the linear unit given in metres, its points
// drawn as crosses of the size given in that unit.
std::map<std::string, std::string> DrawingHeader(double metresPerUnit, double markSize);

} // namespace exchange
