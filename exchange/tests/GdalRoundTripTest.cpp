// Every GDAL format written and read back with GDAL: positions within a millimetre of the survey's,
// the reference system carried, and the WGS 84 formats transformed back to it.
#include "exchange/Exchange.h"
#include "exchange/tests/SurveyFixture.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_feature.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <map>
#include <memory>

namespace exchange {
namespace {

using test::kDxf;
using test::kGeoJson;
using test::kGpkg;
using test::kMillimetre;

const FormatInfo kShapefile{"ESRI Shapefile", GdalLayout::FilePerLayer};
const FormatInfo kFlatGeobuf{"FlatGeobuf", GdalLayout::FilePerLayer};
const FormatInfo kCsv{"CSV", GdalLayout::FilePerLayer};
const FormatInfo kKml{"KML", GdalLayout::Layers, Positions::LongitudeLatitude};

struct Vertex {
    double x, y, z;
    bool spatial; // has a Z
};

struct ReadFeature {
    std::map<std::string, std::string> fields;
    std::vector<Vertex> vertices;
    std::string style;
};

struct ReadLayer {
    std::unique_ptr<OGRSpatialReference> system;
    std::vector<ReadFeature> features;
};

std::vector<Vertex> Vertices(const OGRGeometry* geometry) {
    if (geometry == nullptr)
        return {};
    if (const auto* point = dynamic_cast<const OGRPoint*>(geometry))
        return {{point->getX(), point->getY(), point->getZ(), point->Is3D() != FALSE}};
    std::vector<Vertex> vertices;
    if (const auto* line = dynamic_cast<const OGRLineString*>(geometry)) {
        for (int index = 0; index < line->getNumPoints(); ++index)
            vertices.push_back(
                {line->getX(index), line->getY(index), line->getZ(index), line->Is3D() != FALSE});
    }
    return vertices;
}

// Field names as keys in lower case: formats differ in the case they read back.
std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A layer by name, or the file's only layer for an empty name.
ReadLayer Read(const std::filesystem::path& file, const std::string& name = {}) {
    GDALAllRegister();
    // CSV files hold their points in X, Y and Z columns.
    const char* const csvColumns[] = {"X_POSSIBLE_NAMES=X", "Y_POSSIBLE_NAMES=Y", "Z_POSSIBLE_NAMES=Z",
                                      nullptr};
    const GDALDatasetUniquePtr dataset(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                                         nullptr,
                                                         file.extension() == ".csv" ? csvColumns : nullptr));
    if (!dataset)
        throw std::runtime_error("GDAL cannot open " + file.string());
    OGRLayer* layer = name.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(name.c_str());
    if (layer == nullptr)
        throw std::runtime_error(file.string() + " has no layer " + name);
    ReadLayer result;
    if (const OGRSpatialReference* system = layer->GetSpatialRef())
        result.system.reset(system->Clone());
    for (const auto& feature : *layer) {
        ReadFeature read;
        for (int index = 0; index < feature->GetFieldCount(); ++index)
            read.fields[Lower(feature->GetFieldDefnRef(index)->GetNameRef())] =
                feature->GetFieldAsString(index);
        read.vertices = Vertices(feature->GetGeometryRef());
        if (const char* style = feature->GetStyleString())
            read.style = style;
        result.features.push_back(std::move(read));
    }
    return result;
}

// Positions of a WGS 84 file back in the survey's system: the round trip the test checks.
void BackFromWgs84(ReadLayer& layer, const std::string& crs) {
    ASSERT_TRUE(layer.system);
    EXPECT_TRUE(layer.system->IsGeographic());
    OGRSpatialReference survey;
    survey.SetFromUserInput(crs.c_str());
    survey.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    layer.system->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> back(
        OGRCreateCoordinateTransformation(layer.system.get(), &survey));
    ASSERT_TRUE(back);
    for (ReadFeature& feature : layer.features) {
        for (Vertex& vertex : feature.vertices)
            ASSERT_TRUE(back->Transform(1, &vertex.x, &vertex.y));
    }
}

// Units per metre across and up: heights stay in metres beside longitudes and latitudes.
struct Scale {
    double horizontal = 1;
    double vertical = 1;
};

// A point without an elevation is two-dimensional; one with an elevation is three-dimensional where
// the layer may mix both kinds, else its elevation is in its field only.
void ExpectAt(const Vertex& vertex, double easting, double northing, std::optional<double> elevation,
              Scale scale, bool mixes, const std::string& what) {
    EXPECT_NEAR(vertex.x, easting * scale.horizontal, kMillimetre) << what;
    EXPECT_NEAR(vertex.y, northing * scale.horizontal, kMillimetre) << what;
    EXPECT_EQ(vertex.spatial, elevation && mixes) << what;
    if (vertex.spatial && elevation) {
        EXPECT_NEAR(vertex.z, *elevation * scale.vertical, kMillimetre) << what;
    }
}

struct Case {
    FormatInfo format;
    std::string fileName;
    std::string crs;
    std::string stations; // the file or layer of each: a layer name for one-file formats
    std::string observations;
    bool wgs84;
    bool mixesDimensions; // a layer holds 2D and 3D geometries
    double unitsPerMetre = 1;
};

// ctest lists a case by its file and system, not by a dump of its bytes.
void PrintTo(const Case& given, std::ostream* out) {
    *out << given.fileName << ' ' << given.crs;
}

class GdalRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(GdalRoundTrip, PointsStationsAndSightLinesComeBackWithinAMillimetre) {
    const Case& format = GetParam();
    const test::ScratchFolder folder;
    const survey::FileSurvey survey = test::SiteSurvey();
    Write({survey}, {(folder / format.fileName).string(), format.format, format.crs});

    const bool oneFile = format.stations.find('.') == std::string::npos;
    const auto layerOf = [&](const std::string& layerOrFile, const char* layer) {
        ReadLayer read = oneFile ? Read(folder / format.fileName, layer) : Read(folder / layerOrFile);
        if (format.wgs84)
            BackFromWgs84(read, format.crs);
        return read;
    };
    const ReadLayer points = layerOf(format.fileName, "points");
    const ReadLayer stations = layerOf(format.stations, "stations");
    const ReadLayer observations = layerOf(format.observations, "observations");

    if (format.crs.empty() && format.fileName == "site.gpkg") {
        ASSERT_TRUE(points.system); // the undefined Cartesian system, not an undefined geographic one
        EXPECT_TRUE(points.system->IsLocal());
    }
    if (!format.wgs84 && !format.crs.empty()) {
        OGRSpatialReference expected;
        expected.SetFromUserInput(format.crs.c_str());
        ASSERT_TRUE(points.system);
        EXPECT_TRUE(points.system->IsSame(&expected)) << format.fileName;
    }
    const Scale scale{format.unitsPerMetre, format.wgs84 ? 1 : format.unitsPerMetre};
    ASSERT_EQ(points.features.size(), survey.reduction.coordinates.size());
    for (const ReadFeature& feature : points.features) {
        const survey::Coordinate& point = test::PointNamed(survey, feature.fields.at("name"));
        ASSERT_EQ(feature.vertices.size(), 1u);
        ExpectAt(feature.vertices[0], point.easting, point.northing, point.elevation, scale,
                 format.mixesDimensions, point.name);
        if (point.elevation) {
            EXPECT_NEAR(std::stod(feature.fields.at("elevation")), *point.elevation * scale.vertical,
                        kMillimetre);
        } else {
            EXPECT_EQ(feature.fields.at("elevation"), "") << point.name;
        }
        EXPECT_EQ(feature.fields.at("code"), point.code);
        EXPECT_EQ(feature.fields.at("source"),
                  point.source == survey::PointSource::Known ? "known" : "computed");
    }
    // A run without an adjustment keeps the fields it always had.
    EXPECT_EQ(points.features.at(0).fields.count(format.fileName == "site.shp" ? "sd_north" : "sd_northing"),
              0u);
    ASSERT_EQ(stations.features.size(), survey.reduction.stations.size());
    for (const ReadFeature& feature : stations.features) {
        const survey::Coordinate& mark = test::PointNamed(survey, feature.fields.at("name"));
        ExpectAt(feature.vertices.at(0), mark.easting, mark.northing, mark.elevation, scale, true, mark.name);
    }
    // The sight lines of the located targets: eight of the nine observations.
    ASSERT_EQ(observations.features.size(), 8u);
    for (const ReadFeature& feature : observations.features) {
        ASSERT_EQ(feature.vertices.size(), 2u);
        const survey::Coordinate& from = test::PointNamed(survey, feature.fields.at("station"));
        const survey::Coordinate& to = test::PointNamed(survey, feature.fields.at("target"));
        EXPECT_NEAR(feature.vertices[0].x, from.easting * format.unitsPerMetre, kMillimetre);
        EXPECT_NEAR(feature.vertices[1].y, to.northing * format.unitsPerMetre, kMillimetre);
    }
}

// Adjusted points carry their standard deviations and 95 % ellipse in the file's length unit, the
// axis's azimuth in degrees from grid north within a half turn; the known points have the fields
// empty, and a point without an elevation has no height deviation.
TEST_P(GdalRoundTrip, AdjustedPointsCarryTheirDeviationsAndEllipse) {
    const Case& format = GetParam();
    const test::ScratchFolder folder;
    survey::FileSurvey survey = test::AdjustedSiteSurvey();
    // A deviation the adjustment could not give is an empty field, not "nan".
    survey.reduction.coordinates[3].precision->sdEasting = std::nan("");
    Write({survey}, {(folder / format.fileName).string(), format.format, format.crs});
    const bool oneFile = format.stations.find('.') == std::string::npos;
    const ReadLayer points = Read(folder / format.fileName, oneFile ? "points" : "");
    const bool shortNames = format.fileName == "site.shp";
    const double scale = format.wgs84 ? 1 : format.unitsPerMetre;
    ASSERT_EQ(points.features.size(), survey.reduction.coordinates.size());
    int adjusted = 0;
    for (const ReadFeature& feature : points.features) {
        const survey::Coordinate& point = test::PointNamed(survey, feature.fields.at("name"));
        const auto field = [&](const char* name, const char* shortName) {
            return feature.fields.at(shortNames ? shortName : name);
        };
        if (!point.precision) {
            EXPECT_EQ(field("ellipse95_semi_major", "e95_major"), "") << point.name;
            continue;
        }
        ++adjusted;
        const survey::Precision& precision = *point.precision;
        const std::pair<std::string, std::optional<double>> lengths[] = {
            {field("sd_northing", "sd_north"), precision.sdNorthing},
            {field("sd_easting", "sd_east"), precision.sdEasting},
            {field("sd_elevation", "sd_elev"), precision.sdElevation},
            {field("ellipse95_semi_major", "e95_major"), precision.ellipse95.semiMajor},
            {field("ellipse95_semi_minor", "e95_minor"), precision.ellipse95.semiMinor}};
        for (const auto& [read, metres] : lengths) {
            if (!metres || std::isnan(*metres)) {
                EXPECT_EQ(read, "") << point.name;
                continue;
            }
            ASSERT_FALSE(read.empty()) << point.name;
            EXPECT_NEAR(std::stod(read), *metres * scale, 1e-6) << point.name;
        }
        EXPECT_NEAR(std::stod(field("ellipse95_azimuth", "e95_azim")),
                    std::fmod(precision.ellipse95.azimuth * 180 / std::acos(-1.0), 180), 1e-6)
            << point.name;
    }
    EXPECT_EQ(adjusted, 4);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, GdalRoundTrip,
    ::testing::Values(Case{kGpkg, "site.gpkg", "EPSG:32633", "stations", "observations", false, true},
                      Case{kGpkg, "site.gpkg", "", "stations", "observations", false, true},
                      Case{kShapefile, "site.shp", "EPSG:32633", "site_stations.shp", "site_observations.shp",
                           false, false},
                      Case{kFlatGeobuf, "site.fgb", "EPSG:32633", "site_stations.fgb",
                           "site_observations.fgb", false, false},
                      Case{kCsv, "site.csv", "", "site_stations.csv", "site_observations.csv", false, false},
                      Case{kGeoJson, "site.geojson", "EPSG:32633", "site_stations.geojson",
                           "site_observations.geojson", true, true},
                      Case{kKml, "site.kml", "EPSG:32633", "stations", "observations", true, true},
                      // New York Long Island in US survey feet: coordinates go in the system's unit.
                      Case{kGpkg, "feet.gpkg", "EPSG:2263", "stations", "observations", false, true,
                           3937.0 / 1200.0}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = info.param.fileName + (info.param.crs.empty() ? "_local" : "");
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// The label height a style string gives ("LABEL(...,s:2.5g,...)").
double LabelHeight(const std::string& style) {
    const std::size_t at = style.find(",s:");
    return at == std::string::npos ? 0 : std::stod(style.substr(at + 3));
}

TEST(DxfDrawing, OneCadLayerPerCodeWithLabelsBesideTheirPointsAndStationsOnce) {
    const test::ScratchFolder folder;
    const survey::FileSurvey survey = test::SiteSurvey();
    // The fixture spans 229.875 m north to south, its larger side; a chosen height overrides that.
    const struct {
        std::optional<double> chosen;
        double height;
    } heights[] = {{std::nullopt, 2.29875}, {0.5, 0.5}};
    for (const auto& height : heights) {
        Write({survey}, {(folder / "site.dxf").string(), kDxf, "", height.chosen});
        const ReadLayer entities = Read(folder / "site.dxf", "entities");
        std::map<std::string, std::vector<std::string>> labelsByLayer;
        std::map<std::string, int> entitiesByLayer;
        for (const ReadFeature& feature : entities.features) {
            const std::string& layer = feature.fields.at("layer");
            ++entitiesByLayer[layer];
            if (feature.fields.at("text").empty())
                continue;
            labelsByLayer[layer].push_back(feature.fields.at("text"));
            // The label's lower left corner half its height up and right of its point.
            const survey::Coordinate& point = test::PointNamed(survey, feature.fields.at("text"));
            EXPECT_NEAR(LabelHeight(feature.style), height.height, height.height / 100) << feature.style;
            EXPECT_NEAR(feature.vertices.at(0).x, point.easting + height.height / 2, kMillimetre);
            EXPECT_NEAR(feature.vertices.at(0).y, point.northing + height.height / 2, kMillimetre);
        }
        const std::map<std::string, std::vector<std::string>> expectedLabels = {
            {"NO_CODE", {"K1", "P3"}}, {"TREE", {"P1"}}, {"WALL", {"P2"}}, {"STATIONS", {"S1", "S2"}}};
        EXPECT_EQ(labelsByLayer, expectedLabels);
        const std::map<std::string, int> expectedEntities = {
            {"NO_CODE", 4}, {"TREE", 2}, {"WALL", 2}, {"STATIONS", 4}, {"OBSERVATIONS", 8}};
        EXPECT_EQ(entitiesByLayer, expectedEntities);
        // POINT entities are three-dimensional where the point has an elevation.
        for (const ReadFeature& feature : entities.features) {
            if (feature.fields.at("layer") == "TREE" && feature.fields.at("text").empty()) {
                EXPECT_NEAR(feature.vertices.at(0).z, 301.234, kMillimetre);
            }
        }
    }
    test::ExpectError(
        [&] {
            Write({survey}, {(folder / "bad.dxf").string(), kDxf, "", 0.0});
        },
        Error::Kind::Usage, "a label height is a length above 0");
}

// Each adjusted point's 95 % ellipse is an ELLIPSE around it on a layer of its own, whose name
// gives the exaggeration; read back, its farthest and nearest vertices lie at the axes' ends.
TEST(DxfDrawing, AdjustedPointsHaveTheirEllipsesOnALayerThatStatesTheExaggeration) {
    const test::ScratchFolder folder;
    const survey::FileSurvey survey = test::AdjustedSiteSurvey();
    Write({survey}, {(folder / "site.dxf").string(), kDxf, ""});
    const ReadLayer entities = Read(folder / "site.dxf", "entities");
    const std::string prefix = "ERROR_ELLIPSES_95_X";
    int ellipses = 0;
    for (const ReadFeature& feature : entities.features) {
        const std::string& layer = feature.fields.at("layer");
        if (layer.rfind(prefix, 0) != 0)
            continue;
        ++ellipses;
        const double factor = std::stod(layer.substr(prefix.size()));
        // Of the default label height of 2.29875 m, the largest semi-major of 12.25 mm is drawn 100 times.
        EXPECT_EQ(factor, 100);
        const survey::Coordinate* centre = nullptr;
        double farthest = 0;
        double nearest = HUGE_VAL;
        for (const survey::Coordinate& point : survey.reduction.coordinates) {
            if (!point.precision)
                continue;
            const Vertex& first = feature.vertices.at(0);
            const double distance = std::hypot(first.x - point.easting, first.y - point.northing);
            if (distance < 2 * point.precision->ellipse95.semiMajor * factor)
                centre = &point;
        }
        ASSERT_NE(centre, nullptr);
        for (const Vertex& vertex : feature.vertices) {
            const double distance = std::hypot(vertex.x - centre->easting, vertex.y - centre->northing);
            farthest = std::max(farthest, distance);
            nearest = std::min(nearest, distance);
        }
        const survey::ErrorEllipse& ellipse = centre->precision->ellipse95;
        EXPECT_NEAR(farthest, ellipse.semiMajor * factor, ellipse.semiMajor * factor / 100) << centre->name;
        EXPECT_NEAR(nearest, ellipse.semiMinor * factor, ellipse.semiMajor * factor / 100) << centre->name;
    }
    EXPECT_EQ(ellipses, 4);
}

} // namespace
} // namespace exchange
