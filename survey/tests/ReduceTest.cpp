// The reduction checked against geometry: points placed at chosen coordinates, the readings an
// instrument would print for them, and the coordinates required back within the printing's
// rounding. Each convention's case names the mistake it catches.
#include "survey/Geometry.h"
#include "survey/Sightings.h"
#include "survey/Text.h"
#include "survey/tests/FieldBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

namespace survey::testing {
namespace {

constexpr double kMillimetres = 0.003;
constexpr double kSecond = kPi / 180 / 3600;

const Spot kA{"A", 1000.000, 2000.000, 50.000};
const Spot kB{"B", 1100.000, 2050.000, 52.000};
const Spot kP{"P", 1050.000, 2100.000, 51.000};
const Spot kQ{"Q", 950.000, 2080.000, 48.500};
const Spot kFar{"FAR", 2200.000, 3100.000, 80.000};
const Spot kTargets[] = {kB, kP, kQ, kFar};

const Coordinate* Find(const Reduction& reduction, const std::string& name) {
    const auto at = std::find_if(reduction.coordinates.begin(), reduction.coordinates.end(),
                                 [&](const Coordinate& coordinate) { return coordinate.name == name; });
    return at == reduction.coordinates.end() ? nullptr : &*at;
}

void ExpectAt(const Reduction& reduction, const Spot& spot, double tolerance = kMillimetres) {
    const Coordinate* coordinate = Find(reduction, spot.name);
    ASSERT_NE(coordinate, nullptr) << spot.name << " is not located";
    EXPECT_NEAR(coordinate->northing, spot.northing, tolerance) << spot.name;
    EXPECT_NEAR(coordinate->easting, spot.easting, tolerance) << spot.name;
    ASSERT_TRUE(coordinate->elevation) << spot.name;
    EXPECT_NEAR(*coordinate->elevation, spot.elevation, tolerance) << spot.name;
}

bool Mentions(const Reduction& reduction, const std::string& text, Line line) {
    return std::any_of(reduction.diagnostics.begin(), reduction.diagnostics.end(), [&](const Diagnostic& d) {
        return d.line == line && d.text.find(text) != std::string::npos;
    });
}

// A field book whose file gives A and B.
FieldBook OnControlAB() {
    FieldBook book({});
    book.Control(kA);
    book.Control(kB);
    return book;
}

// One set-up on A, B its backsight, every target observed in both faces.
Job ConventionJob(const Conventions& conventions, double circleZero, bool backsightKnown) {
    FieldBook book(conventions);
    book.Control(kA);
    if (backsightKnown)
        book.Control(kB);
    book.SetUp(kA, 1.550, kB, circleZero);
    book.Faces(kB, 1.600);
    book.Faces(kP, 1.600);
    book.Faces(kQ, 1.800);
    book.Faces(kFar, 2.000);
    return book.Reduced();
}

struct ConventionCase {
    const char* name;
    const char* mutationCaught;
    Conventions conventions;
    double circleZero;
    bool backsightKnown;
    bool curvatureAndRefraction;
};

// ctest lists a case by its name, not by a dump of its bytes.
void PrintTo(const ConventionCase& given, std::ostream* out) {
    *out << given.name;
}

Conventions With(ZeroVa zeroVa, CircleReadings readings = CircleReadings::FromBacksight,
                 ZeroAzimuth zeroAzimuth = ZeroAzimuth::North) {
    Conventions conventions;
    conventions.zeroVa = zeroVa;
    conventions.readings = readings;
    conventions.zeroAzimuth = zeroAzimuth;
    return conventions;
}

Conventions Faces(double collimation, double index) {
    Conventions conventions;
    conventions.collimation = collimation;
    conventions.index = index;
    return conventions;
}

Conventions Bent() {
    Conventions conventions;
    conventions.curvatureAndRefraction = true;
    return conventions;
}

const double kBacksightAzimuth = Azimuth(kA.northing, kA.easting, kB.northing, kB.easting);

const ConventionCase kConventionCases[] = {
    {"ZenithCircleOnBacksight", "readings taken as azimuths when a backsight orients them",
     With(ZeroVa::Zenith), kBacksightAzimuth, true, false},
    {"ZenithArbitraryCircle", "orientation not taken from the located backsight", With(ZeroVa::Zenith),
     1.2345, true, false},
    {"HorizontalZeroVa", "Horizontal vertical angles read as zenith angles", With(ZeroVa::Horizontal), 0.5,
     true, false},
    {"CompassZeroVa", "Compass vertical angles read as zenith angles", With(ZeroVa::Compass), 0.5, true,
     false},
    {"FaceRightWithErrors", "face-right readings meaned without the half circle; index error not cancelled",
     Faces(25 * kSecond, -40 * kSecond), 2.0, true, false},
    {"AzimuthReadings", "\"HA Raw data: Azimuth\" ignored: the station is never oriented",
     With(ZeroVa::Zenith, CircleReadings::Azimuth), 0.0, false, false},
    {"AzimuthFromSouth", "\"Zero azimuth: South\" ignored: every point turned by 180 degrees",
     With(ZeroVa::Zenith, CircleReadings::Azimuth, ZeroAzimuth::South), kPi, false, false},
    {"CurvatureAndRefraction", "the correction left out: FAR (1.5 km) 0.15 m low", Bent(), 0.7, true, true},
};

class ConventionTest : public ::testing::TestWithParam<ConventionCase> {};

TEST_P(ConventionTest, LocatesEveryTarget) {
    const ConventionCase& given = GetParam();
    Options options;
    options.curvatureAndRefraction = given.curvatureAndRefraction;
    const Reduction reduction =
        Reduce(ConventionJob(given.conventions, given.circleZero, given.backsightKnown), options);
    SCOPED_TRACE(given.mutationCaught);
    ExpectAt(reduction, kP);
    ExpectAt(reduction, kQ);
    ExpectAt(reduction, kFar, 0.005);
    if (given.backsightKnown)
        return;
    ExpectAt(reduction, kB);
}

INSTANTIATE_TEST_SUITE_P(Conventions, ConventionTest, ::testing::ValuesIn(kConventionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FaceRounds, ReportTheInstrumentErrorsAndSetAsideAPairOutsideTheTolerances) {
    const Reduction reduction =
        Reduce(ConventionJob(Faces(25 * kSecond, -40 * kSecond), 2.0, true), Options{});
    ASSERT_EQ(reduction.rounds.size(), 4u);
    for (const FaceRound& round : reduction.rounds) {
        const Spot& target = *std::find_if(std::begin(kTargets), std::end(kTargets),
                                           [&](const Spot& spot) { return spot.name == round.target; });
        const double circle = Azimuth(kA.northing, kA.easting, target.northing, target.easting) - 2.0;
        EXPECT_NEAR(Signed(round.horizontalAngle - circle), 0, 1.5 * kSecond) << round.target;
        EXPECT_NEAR(round.collimationError, 25 * kSecond, 1.5 * kSecond) << round.target;
        EXPECT_NEAR(round.indexError, -40 * kSecond, 1.5 * kSecond) << round.target;
        EXPECT_TRUE(round.withinTolerance);
    }

    Options strict;
    strict.tolerances.collimation = 10 * kSecond;
    const Reduction strictReduction = Reduce(ConventionJob(Faces(25 * kSecond, 0), 2.0, true), strict);
    ASSERT_EQ(strictReduction.rounds.size(), 4u);
    EXPECT_FALSE(strictReduction.rounds[1].withinTolerance);
    EXPECT_EQ(Find(strictReduction, "P"), nullptr) << "a pair outside the tolerances is not used";
    EXPECT_TRUE(
        Mentions(strictReduction, "P from A: the face-left and face-right pair is outside", std::nullopt));
    // The diagnostic writes the errors as the tables beside it do, to a tenth of a second.
    EXPECT_TRUE(Mentions(strictReduction,
                         "(collimation " + SecondsText(strictReduction.rounds[1].collimationError),
                         std::nullopt));
}

TEST(Checks, KnownPointsSeenFromAStationGiveItsResiduals) {
    const Reduction reduction = Reduce(ConventionJob(With(ZeroVa::Zenith), 0.3, true), Options{});
    ASSERT_EQ(reduction.stations.size(), 1u);
    const StationResult& station = reduction.stations[0];
    ASSERT_EQ(station.status, StationStatus::Oriented);
    EXPECT_NEAR(*station.orientation, 0.3, 2 * kSecond);
    ASSERT_EQ(station.checks.size(), 1u);
    ASSERT_TRUE(station.checks[0].horizontalDistanceResidual && station.checks[0].elevationResidual);
    EXPECT_EQ(station.checks[0].target, "B");
    EXPECT_NEAR(station.checks[0].azimuthResidual, 0, 2 * kSecond);
    EXPECT_NEAR(*station.checks[0].horizontalDistanceResidual, 0, kMillimetres);
    EXPECT_NEAR(*station.checks[0].elevationResidual, 0, kMillimetres);
}

TEST(Checks, AnOrientationResidualPastTheToleranceIsReported) {
    Job job = ConventionJob(With(ZeroVa::Zenith), 0.3, true);
    // P moved 0.065 m across the line of sight (120" at 112 m): of the mean over B, P and Q it
    // keeps two thirds as its residual, B and Q one third each.
    job.knownPoints.push_back({"P", kP.northing - 0.058, kP.easting + 0.029, kP.elevation, "", {}, 9});
    job.knownPoints.push_back({"Q", kQ.northing, kQ.easting, kQ.elevation, "", {}, 10});
    job.stations[0].line = 4;
    const Reduction reduction = Reduce(job, Options{});
    EXPECT_TRUE(Mentions(reduction, "station A: its orientation misses P by -", 4));
    EXPECT_FALSE(Mentions(reduction, "misses B", 4)) << "B's residual is within 60\"";
    EXPECT_FALSE(Mentions(reduction, "misses Q", 4));
}

// A traverse T1 (known, backsight T0 known) - T2 - T3 - T4, with the set-ups written last first:
// a single pass in file order would locate nothing past T2.
TEST(Propagation, CarriesATraverseThroughThreeStationsWhateverTheRecordOrder) {
    const Spot t0{"T0", 5000, 1000, 100}, t1{"T1", 5120.456, 1063.217, 101.235};
    const Spot t2{"T2", 5203.110, 1150.480, 99.870}, t3{"T3", 5190.020, 1260.900, 98.410};
    const Spot t4{"T4", 5101.500, 1333.330, 97.000};
    FieldBook book({});
    book.Control(t0);
    book.Control(t1);
    const Spot legs[][3] = {{t3, t2, t4}, {t2, t1, t3}, {t1, t0, t2}};
    for (const auto& leg : legs) {
        book.SetUp(leg[0], 1.5, leg[1], 0.4);
        book.Faces(leg[1], 1.6);
        book.Faces(leg[2], 1.6);
    }
    const Reduction reduction = Reduce(book.Reduced(), Options{});
    for (const Spot& spot : {t2, t3, t4})
        ExpectAt(reduction, spot);
    ASSERT_NE(Find(reduction, "T3"), nullptr);
    EXPECT_EQ(Find(reduction, "T3")->fromStations, std::vector<std::string>{"T2"});
}

TEST(Propagation, SetsUpOnASideShotPoint) {
    FieldBook book = OnControlAB();
    book.SetUp(kA, 1.5, kB, 0.1);
    book.SideShot(kP, 1.8, "PEG");
    book.SetUp(kP, 1.4, kA, 2.2);
    book.SideShot(kQ, 1.8);
    const Reduction reduction = Reduce(book.Reduced(), Options{});
    ExpectAt(reduction, kP);
    ExpectAt(reduction, kQ);
    ASSERT_NE(Find(reduction, "P"), nullptr);
    EXPECT_EQ(Find(reduction, "P")->code, "PEG");
    EXPECT_EQ(Find(reduction, "P")->source, PointSource::Computed);
}

// P seen from A and from B, B's distance to it 10 mm long; then Q, from B alone.
Job PSeenTwiceThenQ() {
    FieldBook book = OnControlAB();
    book.SetUp(kA, 1.5, kB, 0.1);
    book.FaceLeft(kB, 1.6);
    book.FaceLeft(kP, 1.6);
    book.SetUp(kB, 1.5, kA, 5.0);
    book.FaceLeft(kA, 1.6);
    book.FaceLeft(kP, 1.6);
    book.FaceLeft(kQ, 1.6);
    Job job = book.Reduced();
    job.stations[1].observations[1].slopeDistance.value() += 0.010;
    return job;
}

TEST(Propagation, MeansAPointLocatedTwiceAndGivesTheSpread) {
    const Reduction reduction = Reduce(PSeenTwiceThenQ(), Options{});
    const Coordinate* p = Find(reduction, "P");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->fromStations, (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(p->horizontalSpread);
    EXPECT_NEAR(*p->horizontalSpread, 0.005, 0.001);
    EXPECT_NEAR(p->northing, kP.northing, 0.006);
}

// A writer visits the coordinates one at a time in one reused view: each must show its own source,
// stations and spreads, none carried over from the point before, and the list must hold the same.
TEST(Propagation, VisitedViewsCarryNothingOver) {
    const Job job = PSeenTwiceThenQ();
    const Reduction listed = Reduce(job, Options{});
    std::vector<SightedStation> stations;
    for (const Station& station : job.stations)
        stations.push_back(Sighted(station, Options{}.tolerances));
    const ReducedFile visited(job.knownPoints, std::move(stations), Options{});
    const struct {
        std::string_view name;
        PointSource source;
        std::vector<std::string_view> stations;
        bool spread;
    } expected[] = {{"A", PointSource::Known, {}, false},
                    {"B", PointSource::Known, {}, false},
                    {"P", PointSource::Computed, {"A", "B"}, true},
                    {"Q", PointSource::Computed, {"B"}, false}};
    ASSERT_EQ(visited.CoordinateCount(), std::size(expected));
    ASSERT_EQ(listed.coordinates.size(), std::size(expected));
    std::size_t index = 0;
    visited.ForEachCoordinate([&](const ReducedFile::View& point) {
        const Coordinate& inList = listed.coordinates.at(index++);
        const auto wanted = std::find_if(std::begin(expected), std::end(expected),
                                         [&](const auto& want) { return want.name == point.name; });
        ASSERT_NE(wanted, std::end(expected)) << point.name;
        EXPECT_EQ(point.source, wanted->source) << point.name;
        EXPECT_EQ(point.stations, wanted->stations) << point.name;
        EXPECT_EQ(point.horizontalSpread.has_value(), wanted->spread) << point.name;
        EXPECT_EQ(point.verticalSpread.has_value(), wanted->spread) << point.name;
        EXPECT_EQ(inList.name, point.name);
        EXPECT_EQ(inList.northing, point.northing) << point.name;
        EXPECT_EQ(inList.elevation, point.elevation) << point.name;
        EXPECT_EQ(inList.horizontalSpread, point.horizontalSpread) << point.name;
        EXPECT_EQ(std::vector<std::string_view>(inList.fromStations.begin(), inList.fromStations.end()),
                  point.stations)
            << point.name;
    });
}

TEST(Propagation, ResectsAStationFromTwoLocatedPoints) {
    const Spot free{"FREE", 1020.000, 2090.000, 49.000};
    FieldBook book = OnControlAB();
    book.SetUp(free, 1.5, kA, 4.0);
    book.Faces(kA, 1.6);
    book.Faces(kB, 1.6);
    book.Faces(kQ, 1.6);
    const Reduction reduction = Reduce(book.Reduced(), Options{});
    ExpectAt(reduction, free);
    ExpectAt(reduction, kQ);
    EXPECT_EQ(reduction.stations[0].checks.size(), 2u);
}

TEST(Propagation, TakesControlGivenOnlyByTheUser) {
    FieldBook book({});
    book.SetUp(kA, 1.5, kB, 0.8);
    book.Faces(kB, 1.6);
    book.Faces(kP, 1.6);
    Options options;
    for (const Spot& spot : {kA, kB})
        options.userPoints.push_back(
            {spot.name, spot.northing, spot.easting, spot.elevation, "", PointOrigin::UserGiven, {}});
    const Reduction reduction = Reduce(book.Reduced(), options);
    ExpectAt(reduction, kP);
    ASSERT_NE(Find(reduction, "A"), nullptr);
    EXPECT_EQ(Find(reduction, "A")->source, PointSource::Known);
}

TEST(NothingInvented, AStationNothingLocatesComputesNothingAndNamesThePoint) {
    FieldBook book({});
    book.SetUp(kA, 1.5, kB, 0.8);
    book.Faces(kB, 1.6);
    book.Faces(kP, 1.6);
    Job job = book.Reduced();
    job.stations[0].line = 7;
    const Reduction reduction = Reduce(job, Options{});
    EXPECT_TRUE(reduction.coordinates.empty());
    EXPECT_EQ(reduction.stations[0].status, StationStatus::NotLocated);
    EXPECT_TRUE(Mentions(reduction, "station A: nothing gives its position", 7));
    EXPECT_EQ(reduction.diagnostics.back().kind, DiagnosticKind::NotLocated);
    EXPECT_EQ(reduction.diagnostics.back().point, "A");
}

TEST(NothingInvented, ALocatedStationThatNothingOrientsSaysWhichPointWould) {
    const Reduction reduction = Reduce(ConventionJob(With(ZeroVa::Zenith), 0.8, false), Options{});
    ASSERT_EQ(reduction.coordinates.size(), 1u);
    EXPECT_EQ(reduction.stations[0].status, StationStatus::NotOriented);
    ASSERT_FALSE(reduction.diagnostics.empty());
    EXPECT_EQ(reduction.diagnostics.back().kind, DiagnosticKind::NotOriented);
    EXPECT_EQ(reduction.diagnostics.back().point, "B");
    // The caller's advice ends the text; the library names no option of its own.
    Options advised;
    advised.advice = [](const Diagnostic& diagnostic) { return " [" + diagnostic.point + "]"; };
    const Reduction withAdvice = Reduce(ConventionJob(With(ZeroVa::Zenith), 0.8, false), advised);
    EXPECT_EQ(withAdvice.diagnostics.back().text, reduction.diagnostics.back().text + " [B]");
    EXPECT_EQ(reduction.diagnostics.back().text.find("--"), std::string::npos);
}

TEST(Sightings, ZenithAnglesFromEveryVerticalConvention) {
    const double degree = kPi / 180;
    const struct {
        ZeroVa zeroVa;
        double reading;
        double zenith;
    } cases[] = {
        {ZeroVa::Zenith, 87 * degree, 87 * degree},      {ZeroVa::Zenith, 273 * degree, 273 * degree},
        {ZeroVa::Horizontal, 3 * degree, 87 * degree},   // 3 degrees above the horizon
        {ZeroVa::Horizontal, 357 * degree, 93 * degree}, // 3 degrees below it
        {ZeroVa::Compass, -3 * degree, 93 * degree},     {ZeroVa::Compass, 10 * degree, 80 * degree},
    };
    for (const auto& entry : cases)
        EXPECT_NEAR(ZenithAngle(entry.reading, entry.zeroVa), entry.zenith, 1e-12) << entry.reading / degree;
}

// Targets observed in turn, and the station's own name among them: one sighting per target, in
// the order each was first seen, meaning only its own observations.
TEST(Sightings, OneForEachTargetInTheOrderFirstSeen) {
    Station station;
    station.name = "S";
    const struct {
        const char* target;
        double direction;
        std::optional<bool> faceRight;
        int line;
    } readings[] = {{"P", 0.5, false, 10},        {"B", 1.0, std::nullopt, 11},
                    {"S", 3.0, std::nullopt, 12}, {"P", 0.5 + kPi, true, 13},
                    {"A", 2.0, std::nullopt, 14}, {"B", 1.0 + 2 * kSecond, std::nullopt, 15}};
    for (const auto& reading : readings)
        station.observations.push_back({reading.target, reading.direction, std::nullopt, std::nullopt,
                                        std::nullopt, reading.faceRight, "", reading.line});
    const StationSightings sighted = Sight(station, Tolerances{});
    const struct {
        const char* target;
        double direction;
        int line;
        int readings;
    } expected[] = {{"P", 0.5, 10, 2}, {"B", 1.0 + kSecond, 11, 2}, {"A", 2.0, 14, 1}};
    ASSERT_EQ(sighted.sightings.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(sighted.sightings[i].target, expected[i].target);
        EXPECT_NEAR(sighted.sightings[i].direction, expected[i].direction, 1e-9) << expected[i].target;
        EXPECT_EQ(sighted.sightings[i].line, expected[i].line);
        EXPECT_EQ(sighted.sightings[i].directionReadings, expected[i].readings) << expected[i].target;
    }
    EXPECT_EQ(sighted.rounds.size(), 1u);
}

// The sightings' names and codes are held once for the station: a copy keeps them after the
// station and its sightings are gone, and a target's code is the first any of its readings gave.
TEST(Sightings, NamesAndCodesOutliveTheStationInACopy) {
    StationSightings copy;
    {
        Station station;
        station.name = "S";
        for (int i = 0; i < 40; ++i) {
            const std::string target = "point-" + std::to_string(i * 7919);
            const std::string code = i % 3 == 0 ? std::string() : "code" + std::to_string(i);
            // Every fourth target is a face pair whose right face alone has the code.
            const bool pair = i % 4 == 0;
            station.observations.push_back({target, 0.1 * i, 1.5, 10.0, 1.0,
                                            pair ? std::optional(false) : std::nullopt,
                                            pair ? std::string() : code, i});
            if (pair)
                station.observations.push_back(
                    {target, 0.1 * i + kPi, kTwoPi - 1.5, 10.0, 1.0, true, code, i});
        }
        station.observations.push_back({"S", 0.0, 1.5, 1.0, 1.0, std::nullopt, "own", 99});
        const StationSightings sighted = Sight(station, Tolerances{});
        copy = sighted;
    }
    ASSERT_EQ(copy.sightings.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(copy.sightings[i].target, "point-" + std::to_string(i * 7919));
        EXPECT_EQ(copy.sightings[i].Code(), i % 3 == 0 ? std::string() : "code" + std::to_string(i));
        EXPECT_EQ(copy.sightings[i].directionReadings, i % 4 == 0 ? 2 : 1);
    }
}

TEST(Units, MetresPerFoot) {
    EXPECT_DOUBLE_EQ(MetresPer(LengthUnit::Metre), 1.0);
    EXPECT_DOUBLE_EQ(MetresPer(LengthUnit::InternationalFoot), 0.3048);
    EXPECT_DOUBLE_EQ(MetresPer(LengthUnit::UsSurveyFoot), 1200.0 / 3937.0);
}

} // namespace
} // namespace survey::testing
