// Choosing the format, refusing what cannot be written, and the rows every format shares.
#include "exchange/Exchange.h"
#include "exchange/SurveyRows.h"
#include "exchange/tests/SurveyFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace exchange {
namespace {

TEST(ExchangeFormats, TheExtensionChoosesTheFormatAndToFormatOverridesIt) {
    const struct {
        Destination destination;
        std::string_view format;
    } cases[] = {
        {{"out/site.gpkg", "", ""}, "GPKG"},      {{"site.GeoJSON", "", ""}, "GeoJSON"},
        {{"site.json", "", ""}, "GeoJSON"},       {{"site.dxf", "", ""}, "DXF"},
        {{"site.shp", "", ""}, "ESRI Shapefile"}, {{"site.kml", "", ""}, "KML"},
        {{"site.fgb", "", ""}, "FlatGeobuf"},     {{"site.csv", "", ""}, "CSV"},
        {{"site.xml", "", ""}, "LandXML"},        {{"site.landxml", "", ""}, "LandXML"},
        {{"site.txt", "gpkg", ""}, "GPKG"},       {{"site.gpkg", "landxml", ""}, "LandXML"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(ResolveFormat(entry.destination), entry.format) << entry.destination.path;
}

TEST(ExchangeFormats, UnknownExtensionsFormatsAndReferenceSystemsAreUsageErrors) {
    const struct {
        Destination destination;
        std::string message;
    } cases[] = {
        {{"site.pdf", "", ""}, "site.pdf: the extension names no format this build writes (.gpkg .geojson"},
        {{"site", "", ""}, "site: the extension names no format"},
        {{"site.gpkg", "MapInfo File", ""}, "--to-format MapInfo File: not a format this build writes"},
        {{"site.gpkg", "", "EPSG:99999999"}, "--crs EPSG:99999999: not a reference system GDAL knows"},
        {{"site.gpkg", "", "EPSG:4326"},
         "a geographic reference system cannot hold plane survey coordinates"},
        {{"site.geojson", "", ""}, "give the survey's reference system with --crs"},
        {{"site.kml", "", ""}, "give the survey's reference system with --crs"},
    };
    const test::ScratchFolder folder;
    for (const auto& entry : cases) {
        Destination destination = entry.destination;
        destination.path = (folder / destination.path).string();
        test::ExpectError([&] { Check(destination); }, Error::Kind::Usage, entry.message);
        test::ExpectError([&] { Write({test::SiteSurvey()}, destination); }, Error::Kind::Usage,
                          entry.message);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << destination.path;
    }
}

TEST(ExchangeFormats, AFileThatCannotBeWrittenIsAWriteFailureAndLeavesNothing) {
    const test::ScratchFolder folder;
    const Destination missingFolder{(folder / "no/such/folder/site.gpkg").string(), "", ""};
    test::ExpectError([&] { Write({test::SiteSurvey()}, missingFolder); }, Error::Kind::WriteFailure,
                      "cannot write " + missingFolder.path);
    // A point that the reference system cannot carry to WGS 84 fails the write of longitudes.
    survey::FileSurvey faraway = test::SiteSurvey();
    faraway.reduction.coordinates[0].easting = 1e30;
    test::ExpectError(
        [&] {
            Write({faraway}, {(folder / "far.geojson").string(), "", "EPSG:32633"});
        },
        Error::Kind::WriteFailure, "far.geojson: a point lies where --crs cannot be transformed");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    // A folder in the way is found only when the written file is moved into place: nothing of the
    // write stays behind.
    const std::filesystem::path inTheWay = folder / "site.xml";
    std::filesystem::create_directories(inTheWay / "content");
    EXPECT_THROW(Write({test::SiteSurvey()}, {inTheWay.string(), "", ""}), Error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    EXPECT_TRUE(std::filesystem::exists(inTheWay / "content"));
}

TEST(ExchangeRows, SightLinesJoinTheStationToLocatedTargetsOnly) {
    survey::FileSurvey file = test::SiteSurvey();
    // A station set up twice under one name: each set-up keeps its own position by its line.
    file.reduction.stations[1].name = "S1";
    file.job.stations[1].name = "S1";
    const SurveyRows rows = Flatten({file});
    ASSERT_EQ(rows.observations.size(), 9u);
    EXPECT_EQ(rows.observations[6].target, "X");
    EXPECT_FALSE(rows.observations[6].to);
    EXPECT_EQ(rows.observations[0].face, "left");
    EXPECT_EQ(rows.observations[1].face, "right");
    EXPECT_EQ(rows.observations[2].face, "");
    ASSERT_TRUE(rows.observations[8].from);
    EXPECT_EQ(rows.observations[8].from->easting, 500160.000);
    ASSERT_EQ(rows.stations.size(), 2u);
    EXPECT_EQ(rows.stations[0].orientationResidual, 4.8e-5);
    EXPECT_EQ(rows.points.size(), 6u);
    EXPECT_EQ(rows.points[2].file, "site.rdf");
}

} // namespace
} // namespace exchange
