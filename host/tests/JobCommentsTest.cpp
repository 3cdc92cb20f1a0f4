#include "host/JobComments.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace host {
namespace {

// The lines a file's bytes hold by the rules of the file layer, split the plain way: byte 26
// ends the input, a line feed ends a line, a CR before it is dropped, a last line without one
// is kept.
std::vector<std::string> PlainLines(std::string bytes) {
    bytes = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t feed; (feed = bytes.find('\n', start)) != std::string::npos; start = feed + 1) {
        std::string line = bytes.substr(start, feed - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

// Comments of every kind, with white space and CRs about them, among records, on lines long
// enough that some cross the file layer's buffers.
std::string GeneratedJob(std::mt19937& random) {
    static const char* const kPieces[] = {"CO,Dist Units: US Feet",
                                          "CO,Dist Units: Metres",
                                          " \tCO , Zero VA: Compass ,x",
                                          "CO,Angle Units: Gons",
                                          "CO,HA Raw data: Azimuth",
                                          "CO,Zero azimuth: South",
                                          "CO,Nikon RAW data format V2.00",
                                          "CO,JOB-7",
                                          "CO,Instrument: NPL",
                                          "\rCO,Zero VA: Horizontal",
                                          "C",
                                          "CO",
                                          "SS,P1,1.5,10.0,90.0000,90.0000",
                                          "ST,A,,B,,1.5,0.0000,0.0000",
                                          "",
                                          "\r",
                                          "  ",
                                          "XCO,Zero VA: Compass"};
    static const char* const kEnds[] = {"\n", "\r\n", "\r\r\n"};
    std::string bytes;
    const int lines = std::uniform_int_distribution<int>(0, 1500)(random);
    for (int i = 0; i < lines; ++i) {
        bytes += kPieces[random() % std::size(kPieces)];
        if (random() % 200 == 0)
            bytes += std::string(random() % 70000, 'x');
        bytes += kEnds[random() % std::size(kEnds)];
    }
    if (random() % 2)
        bytes += "CO,Zero azimuth: North"; // a last line without a line feed
    if (random() % 4 == 0)
        bytes += "\x1A"
                 "CO,Dist Units: US Feet\n";
    return bytes;
}

void ExpectSameFacts(const survey::JobFacts& read, const survey::JobFacts& plain, int line) {
    EXPECT_EQ(read.zeroVa, plain.zeroVa) << line;
    EXPECT_EQ(read.readings, plain.readings) << line;
    EXPECT_EQ(read.zeroAzimuth, plain.zeroAzimuth) << line;
    EXPECT_EQ(read.distanceUnit, plain.distanceUnit) << line;
    EXPECT_EQ(read.angleUnit, plain.angleUnit) << line;
    EXPECT_EQ(read.angleUnitText, plain.angleUnitText) << line;
    EXPECT_EQ(read.distanceUnitText, plain.distanceUnitText) << line;
}

// The comments read from a file are those of its lines split the plain way, at every line.
TEST(ReadJobComments, GivesTheCommentsOfTheFilesLines) {
    const testsupport::TempDir folder;
    std::mt19937 random(25);
    for (int job = 0; job < 12; ++job) {
        const std::string bytes = GeneratedJob(random);
        const std::vector<std::string> lines = PlainLines(bytes);
        const survey::JobComments read = ReadJobComments(folder.Write("job.rdf", bytes).wstring());
        const survey::JobComments plain = survey::JobComments::Read(lines);
        for (int line = 0; line <= static_cast<int>(lines.size()) + 1; ++line)
            ExpectSameFacts(read.FactsAt(line), plain.FactsAt(line), line);
        EXPECT_EQ(read.Header().job, plain.Header().job);
        EXPECT_EQ(read.Header().instrument, plain.Header().instrument);
    }
}

} // namespace
} // namespace host
