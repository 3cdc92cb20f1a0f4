// Raw surveys adjusted: traverses written by the test instrument with errors of known size, the
// adjusted points required near the placed ones, the model test passing at its stated rate, and
// a blunder found where it was made.
#include "adjust/SurveyNetwork.h"
#include "adjust/GamaLocal.h"
#include "survey/Geometry.h"
#include "survey/tests/TraverseBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace adjust {
namespace {

using survey::testing::PlacedTraverse;
using survey::testing::ReadingErrors;
using survey::testing::TraverseShape;

constexpr double kSecond = survey::kPi / 180 / 3600;
const ReadingErrors kErrors{3 * kSecond, 3 * kSecond, 0.002, 1};

SurveyAdjustmentOptions OptionsFor(Method method) {
    SurveyAdjustmentOptions options;
    options.method = method;
    options.weights = {kErrors.direction, kErrors.zenith, kErrors.distance, 0.0, 0.0};
    return options;
}

std::vector<survey::FileSurvey> Surveyed(const PlacedTraverse& placed, TraverseShape shape,
                                         const ReadingErrors& errors, double longer = 0,
                                         bool curvature = false) {
    survey::testing::Conventions conventions;
    conventions.curvatureAndRefraction = curvature;
    survey::Options options;
    options.curvatureAndRefraction = curvature;
    survey::FileSurvey file;
    file.path = "traverse.rdf";
    file.job = survey::testing::SurveyTraverse(placed, shape, errors, longer, conventions).Reduced();
    int line = 0; // each record a line of its own, as in the file
    for (survey::Station& station : file.job.stations) {
        station.line = line++;
        for (survey::Observation& observation : station.observations)
            observation.line = line++;
    }
    file.reduction = survey::Reduce(file.job, options);
    return {file};
}

std::vector<survey::testing::Spot> Unknowns(const PlacedTraverse& placed) {
    std::vector<survey::testing::Spot> spots = placed.sideShots;
    for (const survey::testing::Spot& station : placed.stations)
        if (std::none_of(placed.control.begin(), placed.control.end(),
                         [&](const survey::testing::Spot& known) { return known.name == station.name; }))
            spots.push_back(station);
    return spots;
}

const survey::Coordinate& Find(const survey::FileSurvey& file, const std::string& name) {
    const auto& points = file.reduction.coordinates;
    return *std::find_if(points.begin(), points.end(),
                         [&](const survey::Coordinate& p) { return p.name == name; });
}

TEST(SurveyNetwork, AdjustedPointsLieWithinThreeSigmaOfThePlacedOnes) {
    const struct {
        TraverseShape shape;
        Method method;
    } cases[] = {{TraverseShape::Loop, Method::LeastSquares3d},
                 {TraverseShape::Connecting, Method::LeastSquares2d},
                 {TraverseShape::Connecting, Method::LeastSquares3d}};
    for (const auto& [shape, method] : cases) {
        const PlacedTraverse placed = survey::testing::PlaceTraverse(shape);
        std::vector<survey::FileSurvey> surveys = Surveyed(placed, shape, kErrors);
        const SurveyAdjustmentOptions options = OptionsFor(method);
        const SurveyAdjustment adjusted = AdjustSurveys(surveys, options);
        ASSERT_TRUE(adjusted.result) << (adjusted.diagnostics.empty() ? "" : adjusted.diagnostics[0]);
        EXPECT_EQ(adjusted.summary.traverses.size(), 1u);
        EXPECT_GT(adjusted.summary.degreesOfFreedom, 0);
        for (const survey::testing::Spot& spot : Unknowns(placed)) {
            const survey::Coordinate& point = Find(surveys[0], spot.name);
            ASSERT_TRUE(point.precision) << spot.name;
            const survey::Precision& precision = *point.precision;
            EXPECT_LT(std::abs(point.northing - spot.northing), 3 * precision.sdNorthing) << spot.name;
            EXPECT_LT(std::abs(point.easting - spot.easting), 3 * precision.sdEasting) << spot.name;
            ASSERT_TRUE(point.elevation && precision.sdElevation) << spot.name;
            EXPECT_LT(std::abs(*point.elevation - spot.elevation), 3 * *precision.sdElevation) << spot.name;
            EXPECT_GT(precision.ellipse95.semiMajor, 0.0005) << spot.name;
            EXPECT_LT(precision.ellipse95.semiMajor, 0.05) << spot.name;
        }
    }
}

// Errors drawn as the weights say: the two-sided 95 % test passes in about 95 of 100 seeds.
TEST(SurveyNetwork, ModelTestPassesAtItsStatedRate) {
    constexpr int kSeeds = 200;
    const PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Loop);
    int passed = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
        ReadingErrors errors = kErrors;
        errors.seed = static_cast<std::uint32_t>(seed);
        std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Loop, errors);
        const SurveyAdjustment adjusted = AdjustSurveys(surveys, OptionsFor(Method::LeastSquares3d));
        ASSERT_TRUE(adjusted.summary.testApplicable);
        passed += adjusted.summary.testPassed ? 1 : 0;
    }
    RecordProperty("passed", passed);
    // 190 expected; four binomial standard deviations either side.
    EXPECT_GE(passed, 178);
    EXPECT_LE(passed, 199);
}

TEST(SurveyNetwork, BlunderedDistanceIsTheMostFlaggedObservation) {
    const PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Loop);
    std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Loop, kErrors, 0.10);
    const SurveyAdjustment adjusted = AdjustSurveys(surveys, OptionsFor(Method::LeastSquares3d));
    ASSERT_TRUE(adjusted.result);
    const auto& flagged = adjusted.summary.flagged;
    ASSERT_FALSE(flagged.empty());
    const auto worst = std::max_element(flagged.begin(), flagged.end(), [](const auto& a, const auto& b) {
        return std::abs(a.standardizedResidual) < std::abs(b.standardizedResidual);
    });
    EXPECT_EQ(worst->description, "the slope distance from T3 to S1");
    ASSERT_TRUE(worst->line);
    const std::string message = "traverse.rdf:" + std::to_string(*worst->line + 1) + ": " +
                                worst->description + " is flagged: standardized residual ";
    EXPECT_TRUE(std::any_of(adjusted.diagnostics.begin(), adjusted.diagnostics.end(),
                            [&](const std::string& text) { return text.rfind(message, 0) == 0; }))
        << message;
}

// The compass rule leaves the traverse stations where their balancing puts them, close to the
// placed ones, and the side shots follow their stations.
TEST(SurveyNetwork, CompassRuleMovesTheStationsAndTheirSideShots) {
    const PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Connecting);
    std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Connecting, kErrors);
    const double before = Find(surveys[0], "T2").easting;
    const SurveyAdjustment adjusted = AdjustSurveys(surveys, OptionsFor(Method::Compass));
    EXPECT_FALSE(adjusted.result);
    EXPECT_EQ(adjusted.summary.method, "compass rule");
    ASSERT_EQ(adjusted.summary.traverses.size(), 1u);
    EXPECT_NE(Find(surveys[0], "T2").easting, before);
    for (const survey::testing::Spot& spot : Unknowns(placed)) {
        const survey::Coordinate& point = Find(surveys[0], spot.name);
        EXPECT_NEAR(point.northing, spot.northing, 0.02) << spot.name;
        EXPECT_NEAR(point.easting, spot.easting, 0.02) << spot.name;
    }
}

// Sights bent by the earth's curvature and refraction give the placed height differences once
// the network takes the bending off as the reduction does (3 mm on the 213 m sight from T3 to S1).
TEST(SurveyNetwork, HeightDifferencesAreFreedOfCurvature) {
    const PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Loop);
    const std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Loop, {}, 0, true);
    SurveyAdjustmentOptions options = OptionsFor(Method::LeastSquares2d);
    options.reduction.curvatureAndRefraction = true;
    std::map<std::string, double> elevations;
    for (const auto* spots : {&placed.stations, &placed.control, &placed.sideShots})
        for (const survey::testing::Spot& spot : *spots)
            elevations[spot.name] = spot.elevation;
    int checked = 0;
    for (const Observation& o :
         SurveyNetwork(surveys, ChooseWeights(options.weights, ""), options).observations)
        if (o.kind == Kind::HeightDifference) {
            EXPECT_NEAR(o.value, elevations.at(o.to) - elevations.at(o.from), 0.0012)
                << o.from << " to " << o.to;
            ++checked;
        }
    EXPECT_GT(checked, 10);
}

// Control without elevations: the heights cannot be adjusted, so 3-D says so and names 2-D, which
// adjusts the plane positions alone.
TEST(SurveyNetwork, ControlWithoutElevationsAdjustsIn2dOnly) {
    PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Loop);
    std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Loop, kErrors);
    for (survey::Coordinate& point : surveys[0].reduction.coordinates)
        if (point.source == survey::PointSource::Known)
            point.elevation.reset();
    std::vector<survey::FileSurvey> plane = surveys;
    const SurveyAdjustment threeD = AdjustSurveys(surveys, OptionsFor(Method::LeastSquares3d));
    EXPECT_FALSE(threeD.result);
    ASSERT_EQ(threeD.diagnostics.size(), 1u);
    EXPECT_NE(threeD.diagnostics[0].find("--adjust 2d"), std::string::npos);
    const SurveyAdjustment twoD = AdjustSurveys(plane, OptionsFor(Method::LeastSquares2d));
    ASSERT_TRUE(twoD.result) << (twoD.diagnostics.empty() ? "" : twoD.diagnostics[0]);
    EXPECT_TRUE(Find(plane[0], "T2").precision);
}

// Written as gama-local and read back, the network adjusts to the same coordinates and test, in
// 3-D with its direction sets and in 2-D with its height differences, held or free.
TEST(SurveyNetwork, GamaLocalCopyAdjustsToTheSameResult) {
    for (const auto& [method, free] :
         {std::pair{Method::LeastSquares3d, false}, std::pair{Method::LeastSquares2d, true}}) {
        const PlacedTraverse placed = survey::testing::PlaceTraverse(TraverseShape::Connecting);
        const std::vector<survey::FileSurvey> surveys = Surveyed(placed, TraverseShape::Connecting, kErrors);
        SurveyAdjustmentOptions options = OptionsFor(method);
        options.free = free;
        const Network network = SurveyNetwork(surveys, ChooseWeights(options.weights, ""), options);
        const GamaLocalFile copy = ParseGamaLocal(WriteGamaLocal(network, {}), "copy.gkf");
        const Adjustment original = Adjust(network), read = Adjust(copy.network, copy.settings);
        ASSERT_EQ(read.points.size(), original.points.size());
        EXPECT_EQ(read.degreesOfFreedom, original.degreesOfFreedom);
        EXPECT_NEAR(read.sigma0Aposteriori, original.sigma0Aposteriori, 1e-3 * original.sigma0Aposteriori);
        for (std::size_t i = 0; i < read.points.size(); ++i) {
            EXPECT_EQ(read.points[i].role, original.points[i].role) << read.points[i].name;
            EXPECT_NEAR(*read.points[i].northing, *original.points[i].northing, 1e-6) << read.points[i].name;
            EXPECT_NEAR(*read.points[i].easting, *original.points[i].easting, 1e-6) << read.points[i].name;
            EXPECT_NEAR(*read.points[i].elevation, *original.points[i].elevation, 1e-6)
                << read.points[i].name;
        }
    }
}

TEST(SurveyNetwork, WeightsComeFromTheGivenTheInstrumentOrTheDefaults) {
    const Weights nivo = ChooseWeights({}, "Nikon Nivo 2.C");
    EXPECT_NEAR(nivo.direction, 2 * std::sqrt(2.0) * kSecond, 1e-12);
    EXPECT_NE(WeightsText(nivo).find("Nivo 2"), std::string::npos);
    const Weights given = ChooseWeights({1 * kSecond, {}, {}, {}, {}}, "Nikon Nivo 5.M");
    EXPECT_NEAR(given.direction, kSecond, 1e-12);
    EXPECT_NEAR(given.zenith, 5 * std::sqrt(2.0) * kSecond, 1e-12);
    EXPECT_NE(given.source.find("given: direction"), std::string::npos);
    EXPECT_NE(ChooseWeights({}, "").source.find("defaults"), std::string::npos);

    const struct {
        const char* text;
        std::optional<std::pair<double, double>> parsed;
    } cases[] = {{"2+2", std::pair{0.002, 2.0}}, {"1.5", std::pair{0.0015, 0.0}}, {"3+", std::nullopt},
                 {"-1+2", std::nullopt},         {"2+2x", std::nullopt},          {"nan", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseDistanceSigma(c.text), c.parsed) << c.text;
}

} // namespace
} // namespace adjust
