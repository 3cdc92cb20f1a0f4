// A small survey built from chosen coordinates: what a reduction would give for it and the readings
// an instrument would have recorded, so that the writers' output can be checked against geometry.
#pragma once

#include "exchange/Exchange.h"
#include "survey/Survey.h"

#include <filesystem>
#include <functional>
#include <string>

namespace exchange::test {

constexpr double kMillimetre = 0.001;

// Formats as a program's table of formats describes them to the writers.
const FormatInfo kGpkg{"GPKG", GdalLayout::Layers};
const FormatInfo kDxf{"DXF", GdalLayout::CadLayers};
const FormatInfo kGeoJson{"GeoJSON", GdalLayout::FilePerLayer, Positions::LongitudeLatitude};
const FormatInfo kLandXml{"LandXML"};

// Two stations on UTM zone 33 north coordinates: S1 sees the backsight K1, the points P1 (TREE),
// P2 (WALL), P3 (no code, no elevation) and an unlocated target X; S2 sees P1 and S1.
survey::FileSurvey SiteSurvey();

// The site as an adjustment leaves it: the computed points P1, P2, P3 (no elevation, so no height
// deviation) and S2 carry standard deviations and 95 % ellipses of a few millimetres.
survey::FileSurvey AdjustedSiteSurvey();

const survey::Coordinate& PointNamed(const survey::FileSurvey& file, const std::string& name);

// Runs `action`, which must throw an Error of `kind` whose message holds `words`.
void ExpectError(const std::function<void()>& action, Error::Kind kind, const std::string& words);

// A fresh folder under the system's temporary one, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace exchange::test
