// rdf-import's coordinates checked against geometry: one job of placed points (a traverse
// through three stations, a set-up on a side-shot point, a resection and a station that nothing
// locates, its control given only by --known-points) is written as an instrument records it in
// each unit and convention, imported by the tool, and must come back within the printing's
// rounding. Each case names the mistake it catches.
#include "survey/Geometry.h"
#include "survey/tests/FieldBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using survey::testing::Conventions;
using survey::testing::FieldBook;
using survey::testing::Spot;

struct ToolRun {
    int status = 0;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

ToolRun RunTool(const std::string& arguments) {
    const std::string base = ::testing::TempDir() + "coordinates-run";
    const std::string command =
        std::string(RDF_IMPORT) + " " + arguments + " >" + base + ".out 2>" + base + ".err";
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), Slurp(base + ".out"), Slurp(base + ".err")};
}

// name -> northing, easting, elevation from the rows of a point list.
std::map<std::string, std::vector<double>> Points(const std::string& csv) {
    std::map<std::string, std::vector<double>> points;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream row(line);
        std::string name, field;
        std::getline(row, name, ',');
        for (int i = 0; i < 3 && std::getline(row, field, ','); ++i)
            points[name].push_back(field.empty() ? std::nan("") : std::stod(field));
    }
    return points;
}

const Spot kK1{"K1", 5000.000, 1000.000, 100.000};
const Spot kK2{"K2", 5110.000, 1040.000, 101.500};
const Spot kT2{"T2", 5060.000, 1120.000, 99.000};
const Spot kT3{"T3", 4990.000, 1190.000, 98.000};
const Spot kT4{"T4", 4900.000, 1150.000, 97.500};
const Spot kP1{"P1", 4950.000, 1060.000, 99.800};
const Spot kP2{"P2", 4920.000, 1010.000, 99.200};
const Spot kR{"R", 5080.000, 1230.000, 98.700};
const Spot kP3{"P3", 5130.000, 1200.000, 99.900};
const Spot kX{"X", 0, 0, 0}, kY{"Y", 50, 50, 0};

struct JobCase {
    const char* name;
    const char* mutationCaught;
    Conventions conventions;
    double offset; // every point moved by this much, in metres, north and east
    double tolerance;
    bool controlInFile = false; // K1 and K2 as coordinate records, else only by --known-points
};

std::string WriteJob(const JobCase& given, const std::string& dir) {
    auto at = [&](Spot spot) {
        spot.northing += given.offset;
        spot.easting += given.offset;
        return spot;
    };
    FieldBook book(given.conventions);
    if (given.controlInFile) {
        book.Control(at(kK1));
        book.Control(at(kK2));
    }
    const bool azimuths = given.conventions.readings == survey::CircleReadings::Azimuth;
    const double south = given.conventions.zeroAzimuth == survey::ZeroAzimuth::South ? survey::kPi : 0;
    auto zero = [&](double other) { return azimuths ? south : other; };
    book.SetUp(at(kT2), 1.52, at(kK1), zero(0.3)); // written before the station that locates T2
    book.Faces(at(kK1), 1.6);
    book.Faces(at(kT3), 1.6);
    book.SetUp(at(kK1), 1.55, at(kK2), zero(1.1));
    book.Faces(at(kK2), 1.6);
    book.Faces(at(kT2), 1.6);
    book.SideShot(at(kP1), 1.8, "PEG");
    book.SetUp(at(kT3), 1.49, at(kT2), zero(4.0));
    book.Faces(at(kT2), 1.6);
    book.Faces(at(kT4), 1.6);
    book.SetUp(at(kP1), 1.45, at(kK1), zero(2.5));
    book.SideShot(at(kP2), 1.8, "FENCE");
    book.SetUp(at(kR), 1.50, at(kK2), 5.5);
    book.Faces(at(kK2), 1.6);
    book.Faces(at(kT3), 1.6);
    book.Faces(at(kP3), 1.6);
    book.SetUp(at(kX), 1.5, at(kY), 0.0);
    book.Faces(at(kY), 1.6);
    const std::string path = dir + given.name + ".rdf";
    Write(path, book.RawFile());
    std::ostringstream control;
    control << std::fixed << "name,northing,easting,elevation\n";
    // With azimuth readings K1 alone is given: nothing but its readings orients the station on it.
    const std::vector<Spot> control_points =
        azimuths ? std::vector<Spot>{at(kK1)} : std::vector<Spot>{at(kK1), at(kK2)};
    for (const Spot& spot : control_points)
        control << spot.name << ',' << spot.northing << ',' << spot.easting << ',' << spot.elevation << '\n';
    Write(dir + given.name + ".control.csv", control.str());
    return path;
}

Conventions Units(survey::testing::AngleUnit angles, survey::LengthUnit distances,
                  survey::ZeroVa zeroVa = survey::ZeroVa::Zenith) {
    Conventions conventions;
    conventions.angles = angles;
    conventions.distances = distances;
    conventions.zeroVa = zeroVa;
    return conventions;
}

Conventions AzimuthsFromSouth() {
    Conventions conventions;
    conventions.readings = survey::CircleReadings::Azimuth;
    conventions.zeroAzimuth = survey::ZeroAzimuth::South;
    return conventions;
}

using survey::LengthUnit;
using survey::testing::AngleUnit;

const JobCase kJobCases[] = {
    {"dms-metres", "sexagesimal angles read as decimal degrees", Units(AngleUnit::Dms, LengthUnit::Metre), 0,
     0.003},
    {"gons-horizontal", "gons or a Horizontal Zero VA taken for degrees or zenith angles",
     Units(AngleUnit::Gons, LengthUnit::Metre, survey::ZeroVa::Horizontal), 0, 0.003},
    {"mils-compass", "mils, or a Compass Zero VA taken for zenith angles",
     Units(AngleUnit::Mils, LengthUnit::Metre, survey::ZeroVa::Compass), 0, 0.006},
    {"feet", "feet taken for metres", Units(AngleUnit::Dms, LengthUnit::InternationalFoot), 0, 0.003, true},
    {"us-feet-state-plane", "\"US Feet\" converted with the international foot: 1.2 m off at 600 km",
     Units(AngleUnit::Dms, LengthUnit::UsSurveyFoot), 600000, 0.003, true},
    {"azimuths-from-south", "\"HA Raw data: Azimuth\" or \"Zero azimuth: South\" ignored",
     AzimuthsFromSouth(), 0, 0.003},
};

class ToolCoordinates : public ::testing::TestWithParam<JobCase> {};

TEST_P(ToolCoordinates, LocateEveryPointThatTheControlReaches) {
    const JobCase& given = GetParam();
    SCOPED_TRACE(given.mutationCaught);
    const std::string dir = ::testing::TempDir();
    const std::string job = WriteJob(given, dir);
    const std::string control =
        given.controlInFile ? "" : "--known-points " + dir + given.name + ".control.csv ";
    const ToolRun run = RunTool("--format points --units m " + control + job);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "name,northing_m,easting_m,elevation_m,code");
    const auto points = Points(run.out);
    for (const Spot& spot : {kK1, kK2, kT2, kT3, kT4, kP1, kP2, kR, kP3}) {
        const auto at = points.find(spot.name);
        ASSERT_NE(at, points.end()) << spot.name << " is missing from\n" << run.out << run.err;
        EXPECT_NEAR(at->second[0], spot.northing + given.offset, given.tolerance) << spot.name;
        EXPECT_NEAR(at->second[1], spot.easting + given.offset, given.tolerance) << spot.name;
        EXPECT_NEAR(at->second[2], spot.elevation, given.tolerance) << spot.name;
    }
    EXPECT_EQ(points.count("X") + points.count("Y"), 0u) << "nothing locates X";
    EXPECT_NE(run.err.find("station X: nothing gives its position, so nothing is computed from it; "
                           "--known X=N,E,Z would locate it"),
              std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Jobs, ToolCoordinates, ::testing::ValuesIn(kJobCases), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// The list in the job's own unit unless --units says otherwise, easting first on request; the
// control points are read in the same unit.
TEST(ToolPointList, WritesTheUnitAndOrderAsked) {
    const JobCase job{"order", "", Units(AngleUnit::Dms, LengthUnit::UsSurveyFoot), 0, 0};
    const std::string path = WriteJob(job, ::testing::TempDir());
    const ToolRun metres = RunTool(
        "--format points --known K1=5000,1000,100 --known K2=5110,1040,101.5 --units m --order penzd " +
        path);
    EXPECT_EQ(metres.out.substr(0, metres.out.find('\n')), "name,easting_m,northing_m,elevation_m,code");
    EXPECT_NE(metres.out.find("\nK1,1000.0000,5000.0000,100.0000,\n"), std::string::npos) << metres.out;
    const double usft = 3937.0 / 1200;
    std::ostringstream known;
    known << std::fixed << "--known K1=" << 5000 * usft << ',' << 1000 * usft << ',' << 100 * usft
          << " --known K2=" << 5110 * usft << ',' << 1040 * usft << ',' << 101.5 * usft << ' ';
    const ToolRun feet = RunTool("--format points " + known.str() + path);
    EXPECT_EQ(feet.out.substr(0, feet.out.find('\n')), "name,northing_usft,easting_usft,elevation_usft,code");
    const auto inFeet = Points(feet.out);
    ASSERT_EQ(inFeet.count("T4"), 1u) << feet.out << feet.err;
    EXPECT_NEAR(inFeet.at("T4")[0], kT4.northing * usft, 0.01);
    EXPECT_NEAR(inFeet.at("T4")[1], kT4.easting * usft, 0.01);
}

// The reduction reads each file from the writer that holds it, or from a feeder where the format's
// writer holds none: what the run's outputs get must not depend on the format written beside them.
TEST(ToolRunOutputs, AreTheSameWhicheverFormatTheRunWrites) {
    const JobCase job{"outputs", "", Units(AngleUnit::Dms, LengthUnit::Metre), 0, 0};
    const std::string dir = ::testing::TempDir();
    const std::string path = WriteJob(job, dir);
    const std::string known = " --known K1=5000,1000,100 --known K2=5110,1040,101.5 ";
    for (const char* format : {"csv", "json", "trace"}) {
        const ToolRun run = RunTool(std::string("--format ") + format + " -q -o " + dir + "outputs." +
                                    format + " --to " + dir + "outputs-" + format + ".html" + known + path);
        ASSERT_EQ(run.status, 0) << format << ": " << run.err;
    }
    const std::string report = Slurp(dir + "outputs-json.html");
    EXPECT_NE(report.find(">T4<"), std::string::npos);
    EXPECT_EQ(Slurp(dir + "outputs-csv.html"), report);
    EXPECT_EQ(Slurp(dir + "outputs-trace.html"), report);
}

// A computed point's stations are written from views of the reducer's names: a station whose
// name needs escapes must come out escaped, there and as a point of its own.
TEST(ToolJsonCoordinates, EscapeTheNamesOfTheStationsThatLocatedAPoint) {
    const Spot odd{"T\"2\\", kT2.northing, kT2.easting, kT2.elevation};
    FieldBook book(Conventions{});
    book.Control(kK1);
    book.Control(kK2);
    book.SetUp(kK1, 1.55, kK2, 1.1);
    book.Faces(kK2, 1.6);
    book.Faces(odd, 1.6);
    book.SetUp(odd, 1.52, kK1, 0.3);
    book.SideShot(kP1, 1.8, "PEG");
    const std::string path = ::testing::TempDir() + "escaped-station.rdf";
    Write(path, book.RawFile());
    const ToolRun run = RunTool("--format json -q " + path);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string escaped = "\"T\\\"2\\\\\"";
    EXPECT_NE(run.out.find("\"name\": " + escaped), std::string::npos) << run.out;
    const std::size_t p1 = run.out.find("\"name\": \"P1\"");
    ASSERT_NE(p1, std::string::npos) << run.out;
    const std::size_t stations = run.out.find("\"stations\": [", p1);
    ASSERT_NE(stations, std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('"', stations + 14), run.out.find(escaped, stations)) << run.out.substr(p1, 400);
}

} // namespace
