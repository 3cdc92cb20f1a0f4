// The gama-local reader: units, axes and roles as the format defines them, and a clear
// FILE:LINE: message for each kind of bad file.
#include "adjust/GamaLocal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Wrap(const std::string& network, const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<gama-local xmlns=\"http://www.gnu.org/software/gama/gama-local\">\n" +
           network + "\n" + body + "\n</network>\n</gama-local>\n";
}

TEST(GamaLocal, ReadsUnitsAxesAndRoles) {
    const std::string text =
        Wrap("<network axes-xy=\"en\" angles=\"right-handed\">",
             "<parameters sigma-apr=\"3\" conf-pr=\"0.99\" sigma-act=\"apriori\"/>\n"
             "<points-observations distance-stdev=\"2 3\" direction-stdev=\"10\">\n"
             "<point id=\"A\" x=\"10\" y=\"20\" z=\"5\" fix=\"xy\" adj=\"Z\"/>\n"
             "<point id=\"B\" adj=\"XYz\"/>\n"
             "<obs from=\"A\">\n"
             "<direction to=\"B\" val=\"100\"/>\n"
             "<direction to=\"B\" val=\"90-00-00\" stdev=\"3.24\"/>\n"
             "<distance to=\"B\" val=\"1000\"/>\n"
             "</obs>\n"
             "<height-differences><dh from=\"A\" to=\"B\" val=\"1.5\" dist=\"4\"/></height-differences>\n"
             "</points-observations>");
    const adjust::GamaLocalFile f = adjust::ParseGamaLocal(text, "t.gkf");
    EXPECT_EQ(f.network.sigma0, 3);
    EXPECT_EQ(f.settings.probability, 0.99);
    EXPECT_FALSE(f.settings.aposteriori);
    const adjust::Point& a = f.network.points[0];
    EXPECT_EQ(*a.northing, 20); // x is east, y north
    EXPECT_EQ(*a.easting, 10);
    EXPECT_EQ(a.plane, adjust::Role::Fixed);
    EXPECT_EQ(a.height, adjust::Role::Constrained);
    EXPECT_EQ(f.network.points[1].plane, adjust::Role::Constrained);
    EXPECT_EQ(f.network.points[1].height, adjust::Role::Adjusted);
    const auto& o = f.network.observations;
    ASSERT_EQ(o.size(), 4u);
    // Counterclockwise readings become clockwise; gons and degrees alike.
    EXPECT_NEAR(o[0].value, -kPi / 2, 1e-15);
    EXPECT_NEAR(o[1].value, -kPi / 2, 1e-15);
    EXPECT_NEAR(o[0].sd, 10e-4 * kPi / 200, 1e-18);         // 10 cc
    EXPECT_NEAR(o[1].sd, 3.24 / 3600 * kPi / 180, 1e-18);   // 3.24 arcseconds
    EXPECT_NEAR(o[2].sd, (2 + 3 * 1.0) * 1e-3, 1e-15);      // a + b D, D in km
    EXPECT_NEAR(o[3].sd, 3 * std::sqrt(4.0) * 1e-3, 1e-15); // sigma0 per root km
    EXPECT_EQ(o[3].line, 13);
}

TEST(GamaLocal, BadFilesAreNamedWithTheirLine) {
    const std::string points =
        "<points-observations direction-stdev=\"10\">\n<point id=\"A\" x=\"0\" y=\"0\" fix=\"xy\"/>\n"
        "<point id=\"B\" x=\"0\" y=\"1\" adj=\"xy\"/>\n";
    const std::string network = "<network>";
    struct Case {
        const char* name;
        std::string text;
        const char* expected;
    };
    const Case cases[] = {
        {"malformed", "<?xml version=\"1.0\"?>\n<gama-local>\n<network>\n</gama-local>\n", "t.gkf:5: "},
        {"unknown point",
         Wrap(network,
              points + "<obs from=\"A\">\n<direction to=\"Q\" val=\"1\"/>\n</obs>\n</points-observations>"),
         "t.gkf:8: the direction names point Q, which the file does not define"},
        {"negative sd",
         Wrap(network, points + "<obs from=\"A\">\n<distance to=\"B\" val=\"1\" "
                                "stdev=\"-2\"/>\n</obs>\n</points-observations>"),
         "t.gkf:8: stdev must be positive, not -2"},
        {"no sd",
         Wrap(network,
              points + "<obs from=\"A\">\n<distance to=\"B\" val=\"1\"/>\n</obs>\n</points-observations>"),
         "t.gkf:8: the distance from A to B has no standard deviation"},
        {"vectors", Wrap(network, points + "<vectors>\n</vectors>\n</points-observations>"),
         "t.gkf:7: <vectors> is not supported by this adjustment"},
        {"correlations",
         Wrap(network, points + "<obs from=\"A\">\n<direction to=\"B\" val=\"1\"/>\n<cov-mat dim=\"1\" "
                                "band=\"1\">1</cov-mat>\n</obs>\n</points-observations>"),
         "t.gkf:9: a <cov-mat> with correlations (band above 0) is not supported"},
        {"bad angle",
         Wrap(network,
              points +
                  "<obs from=\"A\">\n<direction to=\"B\" val=\"12-75-00\"/>\n</obs>\n</points-observations>"),
         "t.gkf:8: val=\"12-75-00\" is neither gons nor degrees-minutes-seconds"},
        {"wrong root", "<?xml version=\"1.0\"?>\n<gama-local-adjustment/>\n",
         "t.gkf:2: the root element is <gama-local-adjustment>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            adjust::ParseGamaLocal(c.text, "t.gkf");
            ADD_FAILURE() << "accepted";
        } catch (const adjust::Error& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << error.what();
        }
    }
}

// A raw file may come through a pipe: looking for a network's root element must not read it (its
// first bytes would be lost to the import) nor wait on it for a writer.
TEST(GamaLocal, APipeIsNotLookedInto) {
    const std::filesystem::path pipe =
        std::filesystem::temp_directory_path() / ("gama-pipe-" + std::to_string(getpid()));
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(adjust::IsGamaLocalFile(pipe.string()));
    std::filesystem::remove(pipe);
}

} // namespace
