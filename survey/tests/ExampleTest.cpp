// The bundled closed traverse is what the test instrument records for its placed points: the
// example and its expected outputs stay consistent with the geometry. With NIKON_WRITE_EXAMPLES
// set, the test writes the file instead of comparing it.
#include "survey/Geometry.h"
#include "survey/tests/FieldBook.h"
#include "survey/tests/TraverseBook.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace survey::testing {
namespace {

constexpr double kSecond = kPi / 180 / 3600;

// A loop A-B-C-D-A on control A with the azimuth mark AZ, each leg in both faces, side shots of
// the fence corners, written by an instrument with a small collimation and index error.
std::string ClosedTraverse() {
    const Spot a{"A", 5000.000, 2000.000, 120.000}, az{"AZ", 5250.000, 2080.000, 121.300};
    const Spot b{"B", 5142.610, 2151.380, 118.420}, c{"C", 5011.270, 2298.640, 116.950};
    const Spot d{"D", 4872.330, 2140.150, 119.070};
    const Spot fences[] = {{"FN1", 5080.120, 2050.330, 119.610},
                           {"FN2", 5160.400, 2230.870, 117.930},
                           {"FN3", 4940.550, 2262.010, 117.200},
                           {"FN4", 4905.780, 2060.440, 119.880}};
    Conventions conventions;
    conventions.collimation = 8 * kSecond;
    conventions.index = -12 * kSecond;
    conventions.job = "LOOP-7";
    FieldBook book(conventions);
    book.Control(a);
    book.Control(az);
    const Spot legs[][4] = {
        {a, az, b, fences[0]}, {b, a, c, fences[1]}, {c, b, d, fences[2]}, {d, c, a, fences[3]}};
    for (const auto& leg : legs) {
        book.SetUp(leg[0], 1.550, leg[1],
                   Azimuth(leg[0].northing, leg[0].easting, leg[1].northing, leg[1].easting));
        book.Faces(leg[1], 1.600);
        book.Faces(leg[2], 1.600);
        book.SideShot(leg[3], 1.800, "FENCE");
    }
    return book.RawFile();
}

// The example a newcomer runs first: a loop traverse from control A and its mark R, side shots,
// one of them seen from three set-ups, read by a 2" instrument with errors of its size, so that
// it closes by a few seconds and millimetres.
std::string Traverse() {
    Conventions conventions;
    conventions.job = "LOOP-12";
    conventions.instrument = "Nikon Nivo 2.C";
    conventions.collimation = 2 * kSecond;
    conventions.index = 3 * kSecond;
    const ReadingErrors errors{2.8 * kSecond, 2.8 * kSecond, 0.002, 15};
    return SurveyTraverse(PlaceTraverse(TraverseShape::Loop), TraverseShape::Loop, errors, 0, conventions)
        .RawFile();
}

TEST(BundledExample, EachExampleIsWhatTheInstrumentRecords) {
    const struct {
        const char* path;
        std::string generated;
    } examples[] = {{CLOSED_TRAVERSE, ClosedTraverse()}, {TRAVERSE, Traverse()}};
    for (const auto& example : examples) {
        if (std::getenv("NIKON_WRITE_EXAMPLES") != nullptr) {
            std::ofstream(example.path, std::ios::binary) << example.generated;
            continue;
        }
        std::ifstream in(example.path, std::ios::binary);
        std::ostringstream bundled;
        bundled << in.rdbuf();
        EXPECT_EQ(bundled.str(), example.generated) << example.path;
    }
}

} // namespace
} // namespace survey::testing
