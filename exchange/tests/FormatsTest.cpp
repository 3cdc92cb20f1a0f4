// Refusing what cannot be written, and the rows every format shares.
#include "exchange/Exchange.h"
#include "exchange/SurveyRows.h"
#include "exchange/tests/SurveyFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace exchange {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The user's mistakes come back as data, which the program words with its own options.
TEST(ExchangeFormats, ReferenceSystemMistakesAreUsageErrorsNamingWhatWasGiven) {
    const struct {
        Destination destination;
        Problem problem;
        std::string name;
    } cases[] = {
        {{"site.gpkg", test::kGpkg, "EPSG:99999999"}, Problem::UnknownReferenceSystem, "EPSG:99999999"},
        {{"site.gpkg", test::kGpkg, "EPSG:4326"}, Problem::GeographicReferenceSystem, "EPSG:4326"},
        {{"site.geojson", test::kGeoJson, ""}, Problem::NeedsReferenceSystem, "site.geojson"},
        {{"site.dxf", test::kDxf, "", 0.0}, Problem::LabelHeightNotPositive, ""},
        {{"site.dxf", test::kDxf, "", -std::numeric_limits<double>::infinity()},
         Problem::LabelHeightNotPositive,
         ""},
    };
    const test::ScratchFolder folder;
    for (const auto& entry : cases) {
        Destination destination = entry.destination;
        destination.path = (folder / destination.path).string();
        for (const auto& call : {std::function<void()>([&] { Check(destination); }),
                                 std::function<void()>([&] { Write({test::SiteSurvey()}, destination); })}) {
            try {
                call();
                ADD_FAILURE() << "no error for " << destination.path;
            } catch (const Error& error) {
                EXPECT_EQ(error.kind(), Error::Kind::Usage) << error.what();
                EXPECT_EQ(error.problem(), entry.problem) << error.what();
                const std::string first = error.names().empty() ? "" : error.names().front();
                EXPECT_NE(first.find(entry.name), std::string::npos) << error.what();
            }
        }
        EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << destination.path;
    }
}

TEST(ExchangeFormats, AFileThatCannotBeWrittenIsAWriteFailureAndLeavesNothing) {
    const test::ScratchFolder folder;
    const Destination missingFolder{(folder / "no/such/folder/site.gpkg").string(), test::kGpkg, ""};
    test::ExpectError([&] { Write({test::SiteSurvey()}, missingFolder); }, Error::Kind::WriteFailure,
                      "cannot write " + missingFolder.path);
    // A point that the reference system cannot carry to WGS 84 fails the write of longitudes.
    survey::FileSurvey faraway = test::SiteSurvey();
    faraway.reduction.coordinates[0].easting = 1e30;
    test::ExpectError(
        [&] {
            Write({faraway}, {(folder / "far.geojson").string(), test::kGeoJson, "EPSG:32633"});
        },
        Error::Kind::WriteFailure,
        "far.geojson: a point lies where its reference system cannot be transformed");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    // A folder in the way is found only when the written file is moved into place: nothing of the
    // write stays behind.
    const std::filesystem::path inTheWay = folder / "site.xml";
    std::filesystem::create_directories(inTheWay / "content");
    EXPECT_THROW(Write({test::SiteSurvey()}, {inTheWay.string(), test::kLandXml, ""}), Error);
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
