#include "output/CoordinateText.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace rdf {
namespace {

std::string PointListRows(const std::vector<survey::KnownPoint>& points, survey::LengthUnit unit,
                          bool eastingFirst) {
    const survey::ReducedFile reduced(points, {}, survey::Options{});
    std::ostringstream stream;
    {
        host::BufferedOutput out(stream);
        WritePointListRows(out, reduced, unit, eastingFirst);
    }
    return stream.str();
}

// Each row is written in one piece: names and codes that need quotes get them, an absent
// elevation leaves its field empty, and the numbers are in the unit and order asked.
TEST(PointList, RowsQuoteWhatNeedsItAndKeepEveryField) {
    const std::vector<survey::KnownPoint> points = {
        {"A", 1000.25, 2000.5, 10.0, "CP", survey::PointOrigin::CoordinateRecord, 1},
        {"P,1", -0.00001, 3.048, std::nullopt, "say \"hi\"", survey::PointOrigin::CoordinateRecord, 2},
        {"line\nbreak", 123456789.12345, -7.5, -0.3048, "", survey::PointOrigin::CoordinateRecord, 3},
        {"\xD0\x96", 1.0, 2.0, 3.0, "a\rb", survey::PointOrigin::CoordinateRecord, 4},
    };
    const struct {
        survey::LengthUnit unit;
        bool eastingFirst;
        const char* rows;
    } cases[] = {
        {survey::LengthUnit::Metre, false,
         "A,1000.2500,2000.5000,10.0000,CP\n"
         "\"P,1\",0.0000,3.0480,,\"say \"\"hi\"\"\"\n"
         "\"line\nbreak\",123456789.1234,-7.5000,-0.3048,\n"
         "\xD0\x96,1.0000,2.0000,3.0000,\"a\rb\"\n"},
        {survey::LengthUnit::InternationalFoot, true,
         "A,6563.3202,3281.6601,32.8084,CP\n"
         "\"P,1\",10.0000,0.0000,,\"say \"\"hi\"\"\"\n"
         "\"line\nbreak\",-24.6063,405041959.0664,-1.0000,\n"
         "\xD0\x96,6.5617,3.2808,9.8425,\"a\rb\"\n"},
    };
    for (const auto& [unit, eastingFirst, rows] : cases)
        EXPECT_EQ(PointListRows(points, unit, eastingFirst), rows) << survey::UnitSymbol(unit);
}

} // namespace
} // namespace rdf
