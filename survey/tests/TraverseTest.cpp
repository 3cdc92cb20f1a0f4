// Traverse closures checked against the classical rule worked by hand from the printed readings,
// and the compass rule against a traverse whose balancing is known.
#include "survey/Traverse.h"
#include "survey/Geometry.h"
#include "survey/tests/TraverseBook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace survey::testing {
namespace {

constexpr double kSecond = kPi / 180 / 3600;

// Each set-up's face-meaned direction and horizontal distance to each target, straight from its
// readings (the field book's zenith angles count from the zenith).
struct Meaned {
    double direction = 0, distance = 0;
};

std::map<std::string, Meaned> MeanFaces(const Station& station) {
    std::map<std::string, std::vector<const Observation*>> byTarget;
    for (const Observation& observation : station.observations)
        if (observation.faceRight)
            byTarget[observation.target].push_back(&observation);
    std::map<std::string, Meaned> meaned;
    for (const auto& [target, faces] : byTarget) {
        const Observation& left = *faces.at(0);
        const Observation& right = *faces.at(1);
        const double leftDirection = *left.horizontalAngle;
        meaned[target].direction = leftDirection + Signed(*right.horizontalAngle - kPi - leftDirection) / 2;
        meaned[target].distance = (*left.slopeDistance * std::sin(*left.verticalAngle) +
                                   *right.slopeDistance * std::sin(kTwoPi - *right.verticalAngle)) /
                                  2;
    }
    return meaned;
}

// The closure worked along the placed stations: angles foresight minus backsight, legs meaned
// from both ends, azimuths carried from the first sight to control.
TraverseClosure ByHand(const PlacedTraverse& placed, TraverseShape shape, const Job& job) {
    std::map<std::string, std::map<std::string, Meaned>> setups;
    for (const Station& station : job.stations)
        setups[station.name] = MeanFaces(station);
    std::vector<Spot> chain = placed.stations;
    const Spot reference = placed.control[1];
    const Spot closing = shape == TraverseShape::Loop ? reference : placed.control.back();
    if (shape == TraverseShape::Loop)
        chain.push_back(chain.front());
    double azimuth = Azimuth(chain[0].northing, chain[0].easting, reference.northing, reference.easting);
    double northing = chain[0].northing, easting = chain[0].easting;
    TraverseClosure closure;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const std::string back = i == 0 ? reference.name : chain[i - 1].name;
        const std::string fore = i + 1 == chain.size() ? closing.name : chain[i + 1].name;
        auto& here = setups.at(chain[i].name);
        azimuth += (i == 0 ? 0 : kPi) + here.at(fore).direction - here.at(back).direction;
        closure.stations.push_back(chain[i].name);
        if (i + 1 == chain.size())
            break;
        const double leg = (here.at(fore).distance + setups.at(fore).at(chain[i].name).distance) / 2;
        northing += leg * std::cos(azimuth);
        easting += leg * std::sin(azimuth);
        closure.length += leg;
    }
    const Spot& end = chain.back();
    closure.angularMisclosure =
        Signed(azimuth - Azimuth(end.northing, end.easting, closing.northing, closing.easting));
    closure.northingMisclosure = northing - end.northing;
    closure.eastingMisclosure = easting - end.easting;
    return closure;
}

std::vector<SightedStation> Sighted(const Job& job) {
    std::vector<SightedStation> stations;
    for (const Station& station : job.stations)
        stations.push_back(survey::Sighted(station, Tolerances{}));
    return stations;
}

TEST(Traverse, ClosesByTheClassicalRule) {
    for (const TraverseShape shape : {TraverseShape::Loop, TraverseShape::Connecting}) {
        const PlacedTraverse placed = PlaceTraverse(shape);
        const FieldBook book = SurveyTraverse(placed, shape, {3 * kSecond, 3 * kSecond, 0.002, 7});
        const std::vector<Traverse> traverses =
            FindTraverses(Sighted(book.Reduced()), book.Reduced().knownPoints);
        ASSERT_EQ(traverses.size(), 1u) << "one traverse, found once from either end";
        const TraverseClosure& found = traverses[0].closure;
        const TraverseClosure expected = ByHand(placed, shape, book.Reduced());
        EXPECT_EQ(found.stations, expected.stations);
        EXPECT_NEAR(found.angularMisclosure, expected.angularMisclosure, 0.1 * kSecond);
        EXPECT_NEAR(found.northingMisclosure, expected.northingMisclosure, 1e-4);
        EXPECT_NEAR(found.eastingMisclosure, expected.eastingMisclosure, 1e-4);
        EXPECT_NEAR(found.length, expected.length, 1e-4);
        EXPECT_NEAR(found.precision, found.length / found.linearMisclosure, 1e-6 * found.precision);
        // Errors of a few seconds and millimetres close to a few of each.
        EXPECT_GT(std::abs(found.angularMisclosure), 0.0);
        EXPECT_LT(std::abs(found.angularMisclosure), 20 * kSecond);
        EXPECT_LT(found.linearMisclosure, 0.03);
    }
}

// Three legs of 100 m due east from A with the reference due west. The known end placed 30 mm
// short moves the inner stations back by 10 and 20 mm; an 8" error in the first angle is shared
// out 2" an angle before the lengths are balanced.
TEST(Traverse, CompassRuleSharesTheMisclosures) {
    Traverse straight;
    straight.closure.stations = {"A", "P1", "P2", "B"};
    straight.startAzimuth = 3 * kPi / 2;
    straight.angles = {kPi, kPi, kPi, kPi};
    straight.legs = {100, 100, 100};
    straight.closure.length = 300;
    straight.closure.eastingMisclosure = 0.030;
    std::vector<BalancedStation> balanced = CompassRule(straight);
    ASSERT_EQ(balanced.size(), 2u);
    EXPECT_EQ(balanced[1].name, "P2");
    EXPECT_NEAR(balanced[0].easting, 99.990, 1e-9);
    EXPECT_NEAR(balanced[1].easting, 199.980, 1e-9);
    EXPECT_NEAR(balanced[1].northing, 0, 1e-9);

    Traverse turned = straight;
    turned.angles[0] += 8 * kSecond;
    turned.closure.angularMisclosure = 8 * kSecond;
    turned.closure.eastingMisclosure = 300 * std::cos(8 * kSecond) - 300;
    turned.closure.northingMisclosure = -300 * std::sin(8 * kSecond);
    balanced = CompassRule(turned);
    const double s6 = 100 * std::sin(6 * kSecond), s4 = 100 * std::sin(4 * kSecond),
                 s2 = 100 * std::sin(2 * kSecond);
    const double miss = -(s6 + s4 + s2); // the balanced carry's miss of B, northward
    EXPECT_NEAR(balanced[0].northing, -s6 - miss / 3, 1e-9);
    EXPECT_NEAR(balanced[1].northing, -s6 - s4 - miss * 2 / 3, 1e-9);
}

} // namespace
} // namespace survey::testing
