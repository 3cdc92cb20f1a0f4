// Networks built from placed points: exact observations must give the points back, observations
// with errors of known size must leave the truth within a few standard deviations, and a planted
// blunder must be the flagged observation.
#include "adjust/Adjustment.h"
#include "adjust/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

namespace {

using adjust::Kind;
using adjust::Role;

constexpr double kPi = 3.14159265358979323846;
constexpr double kSecond = kPi / 180 / 3600;

struct Truth {
    double n, e, z;
};

// Places points and writes the observations an instrument would make between them.
class Field {
public:
    explicit Field(std::map<std::string, Truth> truth) : truth(std::move(truth)) {}

    void Point(const std::string& name, std::optional<Role> plane, std::optional<Role> height = std::nullopt,
               bool given = true) {
        adjust::Point p;
        p.name = name;
        p.plane = plane;
        p.height = height;
        const Truth& t = truth.at(name);
        if (given || plane == Role::Fixed) {
            p.northing = t.n;
            p.easting = t.e;
        }
        if (given || height == Role::Fixed)
            p.elevation = t.z;
        network.points.push_back(p);
    }
    // A set of directions at `station`, with an arbitrary zero.
    void Set(const std::string& station, const std::vector<std::string>& targets, double sd = 1 * kSecond) {
        network.sets.push_back({station, 0});
        for (const std::string& to : targets)
            Add(Kind::Direction, station, to, Bearing(station, to) - 0.7, sd,
                static_cast<int>(network.sets.size()) - 1);
    }
    void Distance(const std::string& from, const std::string& to, double sd = 0.002) {
        Add(Kind::Distance, from, to, std::hypot(Dn(from, to), De(from, to)), sd);
    }
    void Slope(const std::string& from, const std::string& to, double sd = 0.002) {
        Add(Kind::SlopeDistance, from, to, std::hypot(std::hypot(Dn(from, to), De(from, to)), Dz(from, to)),
            sd);
        Add(Kind::ZenithAngle, from, to, std::atan2(std::hypot(Dn(from, to), De(from, to)), Dz(from, to)),
            2 * kSecond);
    }
    void Level(const std::string& from, const std::string& to, double sd = 0.001) {
        Add(Kind::HeightDifference, from, to, Dz(from, to), sd);
    }
    // Adds normal errors of each observation's own size.
    void Perturb(unsigned seed) {
        std::mt19937 random(seed);
        std::normal_distribution<double> normal;
        for (adjust::Observation& o : network.observations)
            o.value += o.sd * normal(random);
    }

    adjust::Network network;
    std::map<std::string, Truth> truth;

private:
    double Dn(const std::string& a, const std::string& b) const { return truth.at(b).n - truth.at(a).n; }
    double De(const std::string& a, const std::string& b) const { return truth.at(b).e - truth.at(a).e; }
    double Dz(const std::string& a, const std::string& b) const { return truth.at(b).z - truth.at(a).z; }
    double Bearing(const std::string& a, const std::string& b) const {
        return std::atan2(De(a, b), Dn(a, b));
    }
    void Add(Kind kind, const std::string& from, const std::string& to, double value, double sd,
             int set = -1) {
        const int line = static_cast<int>(network.observations.size()) + 1;
        network.observations.push_back({kind, from, to, {}, value, sd, 0, 0, set, line, {}});
    }
};

const std::map<std::string, Truth> kPlaced = {
    {"A", {1000, 1000, 100}}, {"B", {1000, 1400, 102}}, {"C", {1350, 1450, 105}},
    {"D", {1400, 1050, 101}}, {"E", {1200, 1230, 99}},
};

// A braced quadrilateral with a centre point: A and B fixed, C, D and E found from the
// observations (E without any coordinates given).
Field Quadrilateral() {
    Field f(kPlaced);
    f.Point("A", Role::Fixed);
    f.Point("B", Role::Fixed);
    f.Point("C", Role::Adjusted, std::nullopt, false);
    f.Point("D", Role::Adjusted, std::nullopt, false);
    f.Point("E", Role::Adjusted, std::nullopt, false);
    f.Set("A", {"B", "C", "D", "E"});
    f.Set("B", {"C", "D", "A", "E"});
    f.Set("C", {"D", "A", "B", "E"});
    f.Set("D", {"A", "B", "C", "E"});
    for (const auto& [from, to] : {std::pair{"A", "C"},
                                   {"A", "D"},
                                   {"B", "C"},
                                   {"B", "D"},
                                   {"C", "D"},
                                   {"A", "E"},
                                   {"B", "E"},
                                   {"C", "E"},
                                   {"D", "E"}})
        f.Distance(from, to);
    return f;
}

const adjust::PointResult& Find(const adjust::Adjustment& a, const std::string& name) {
    for (const adjust::PointResult& p : a.points)
        if (p.name == name)
            return p;
    throw std::runtime_error("no point " + name);
}

double RedundancySum(const adjust::Adjustment& a) {
    double sum = 0;
    for (const adjust::ObservationResult& o : a.observations)
        sum += o.redundancy;
    return sum;
}

TEST(Adjust, ExactObservationsGiveThePlacedPointsBack) {
    struct Case {
        const char* name;
        Field field;
        int dof, defect;
    };
    Field levelling(kPlaced);
    levelling.Point("A", std::nullopt, Role::Fixed);
    for (const char* p : {"B", "C", "D"})
        levelling.Point(p, std::nullopt, Role::Adjusted, false);
    levelling.Level("A", "B");
    levelling.Level("B", "C");
    levelling.Level("C", "D");
    levelling.Level("D", "A");
    levelling.Level("A", "C");
    Field spatial(kPlaced);
    spatial.Point("A", Role::Fixed, Role::Fixed);
    spatial.Point("B", Role::Fixed, Role::Fixed);
    spatial.Point("C", Role::Adjusted, Role::Adjusted, false);
    spatial.Point("D", Role::Adjusted, Role::Adjusted, false);
    spatial.Set("A", {"B", "C", "D"});
    spatial.Set("B", {"A", "C", "D"});
    for (const auto& [from, to] : {std::pair{"A", "C"}, {"B", "C"}, {"A", "D"}, {"B", "D"}, {"C", "D"}})
        spatial.Slope(from, to);
    Case cases[] = {
        {"plane", Quadrilateral(), 25 - 10, 0},
        {"levelling", levelling, 5 - 3, 0},
        {"spatial", spatial, 16 - 8, 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const adjust::Adjustment a = adjust::Adjust(c.field.network);
        EXPECT_EQ(a.degreesOfFreedom, c.dof);
        EXPECT_EQ(a.defect, c.defect);
        EXPECT_NEAR(RedundancySum(a), c.dof, 1e-6);
        EXPECT_LT(a.sigma0Aposteriori, 1e-5);
        for (const adjust::PointResult& p : a.points) {
            const Truth& t = kPlaced.at(p.name);
            if (p.northing) {
                EXPECT_NEAR(*p.northing, t.n, 1e-6) << p.name;
                EXPECT_NEAR(*p.easting, t.e, 1e-6) << p.name;
            }
            if (p.elevation) {
                EXPECT_NEAR(*p.elevation, t.z, 1e-6) << p.name;
            }
        }
    }
}

TEST(Adjust, RandomErrorsLeaveTheTruthWithinItsEllipses) {
    int passed = 0;
    const int seeds = 20;
    adjust::Settings apriori; // deviations from the errors' known size
    apriori.aposteriori = false;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        Field f = Quadrilateral();
        f.Perturb(seed);
        const adjust::Adjustment a = adjust::Adjust(f.network, apriori);
        passed += a.test.passed;
        for (const char* name : {"C", "D", "E"}) {
            const adjust::PointResult& p = Find(a, name);
            ASSERT_TRUE(p.sdNorthing && p.ellipse && p.ellipse95);
            EXPECT_LT(std::abs(*p.northing - kPlaced.at(name).n), 4 * *p.sdNorthing) << name << seed;
            EXPECT_LT(std::abs(*p.easting - kPlaced.at(name).e), 4 * *p.sdEasting) << name << seed;
            EXPECT_GE(p.ellipse->a, p.ellipse->b);
            EXPECT_NEAR(p.ellipse95->a / p.ellipse->a, a.ellipseScale, 1e-12);
        }
    }
    // The chi-square test at 0.95 fails about one run in twenty.
    EXPECT_GE(passed, seeds - 4);
}

TEST(Adjust, PlantedBlunderIsTheLargestFlaggedResidual) {
    Field f = Quadrilateral();
    f.Perturb(7);
    adjust::Observation& blunder = f.network.observations[f.network.observations.size() - 2]; // C to E
    ASSERT_EQ(blunder.to, "E");
    blunder.value += 0.10;
    const adjust::Adjustment a = adjust::Adjust(f.network);
    EXPECT_FALSE(a.test.passed);
    const adjust::ObservationResult* largest = nullptr;
    for (const adjust::ObservationResult& o : a.observations)
        if (o.standardizedResidual && (!largest || *o.standardizedResidual > *largest->standardizedResidual))
            largest = &o;
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->line, blunder.line);
    EXPECT_TRUE(largest->flagged);
}

TEST(Adjust, FreeNetworkKeepsTheCentroidOfItsConstrainedPoints) {
    Field f(kPlaced);
    for (const char* p : {"A", "B", "C", "D"})
        f.Point(p, Role::Constrained);
    f.Set("A", {"B", "C", "D"});
    f.Set("C", {"D", "A", "B"});
    for (const auto& [from, to] : {std::pair{"A", "B"}, {"B", "C"}, {"C", "D"}, {"D", "A"}, {"A", "C"}})
        f.Distance(from, to);
    f.Perturb(3);
    // Approximate coordinates a few centimetres off the truth.
    for (adjust::Point& p : f.network.points) {
        *p.northing += 0.03;
        *p.easting -= 0.02;
    }
    const adjust::Adjustment a = adjust::Adjust(f.network);
    EXPECT_EQ(a.defect, 3); // two shifts and a rotation: the distances fix the scale
    EXPECT_EQ(a.degreesOfFreedom, 11 - 10 + 3);
    double dn = 0, de = 0;
    for (const adjust::Point& given : f.network.points) {
        const adjust::PointResult& p = Find(a, given.name);
        EXPECT_EQ(p.role, Role::Constrained);
        dn += *p.northing - *given.northing;
        de += *p.easting - *given.easting;
    }
    EXPECT_NEAR(dn, 0, 1e-7);
    EXPECT_NEAR(de, 0, 1e-7);
}

TEST(Adjust, RelativeEllipseToAFixedPointIsThePointsOwn) {
    Field f = Quadrilateral();
    f.Perturb(11);
    adjust::Settings settings;
    settings.relative = {{"A", "E"}, {"C", "D"}};
    const adjust::Adjustment a = adjust::Adjust(f.network, settings);
    ASSERT_EQ(a.relative.size(), 2u);
    const adjust::PointResult& e = Find(a, "E");
    EXPECT_NEAR(a.relative[0].ellipse95.a, e.ellipse95->a, 1e-12);
    EXPECT_NEAR(a.relative[0].distance, std::hypot(200.0, 230.0), 0.01);
    EXPECT_NEAR(a.relative[0].allowed, 0.02 + 50e-6 * a.relative[0].distance, 1e-12);
    EXPECT_TRUE(a.relative[0].passed);
    EXPECT_GT(a.relative[1].ellipse95.a, 0);
}

TEST(Adjust, UndeterminedPointIsNamedNeverNaN) {
    Field f = Quadrilateral();
    f.truth["F"] = {1500, 1500, 0};
    f.Point("F", Role::Adjusted);
    f.Set("D", {"F", "A"}); // one direction alone cannot place F
    try {
        adjust::Adjust(f.network);
        FAIL() << "adjusted a network with an undetermined point";
    } catch (const adjust::Error& error) {
        EXPECT_NE(std::string(error.what()).find("F"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("do not determine"), std::string::npos) << error.what();
    }
}

TEST(Statistics, TextbookValues) {
    const adjust::ModelTest test = adjust::TestSigmaRatio(1.0, 5, 0.95);
    EXPECT_NEAR(test.lower, std::sqrt(0.8312 / 5), 1e-4); // chi-square 2.5 % and 97.5 % points
    EXPECT_NEAR(test.upper, std::sqrt(12.8325 / 5), 1e-4);
    EXPECT_TRUE(test.passed);
    EXPECT_FALSE(adjust::TestSigmaRatio(1.0, 0, 0.95).applicable);
    EXPECT_NEAR(adjust::ConfidenceScale2d(0.95, false, 10), 2.4477, 1e-4);
    EXPECT_NEAR(adjust::ConfidenceScale2d(0.95, true, 10), std::sqrt(2 * 4.1028), 1e-3);
    EXPECT_NEAR(adjust::NormalCriticalValue(0.999), 3.2905, 1e-4);
    const adjust::Ellipse e = adjust::StandardEllipse(4e-6, 0, 1e-6);
    EXPECT_NEAR(e.a, 2e-3, 1e-12);
    EXPECT_NEAR(e.b, 1e-3, 1e-12);
    EXPECT_NEAR(adjust::StandardEllipse(1e-6, 0, 4e-6).azimuth, kPi / 2, 1e-12);
}

} // namespace
