#include "output/Writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace rdf {
namespace {

// Sends a file's contents as the host's sink would: targets, then the items in the order of
// the file (observations before any station first), then the messages, then its end.
void Send(host::ImportEvents& events, const host::FileResult& file, std::size_t index) {
    events.FileBegun({file.path, index});
    for (const std::wstring& target : file.targets)
        events.TargetAnnounced(target);
    for (const host::Observation& o : file.observationsBeforeStation)
        events.ObservationReady(o);
    for (const host::Station& station : file.stations) {
        events.StationReady(station);
        for (const host::Observation& o : station.observations)
            events.ObservationReady(o);
    }
    for (const host::Point& point : file.points)
        events.PointReady(point);
    for (const host::Message& message : file.messages)
        events.MessageReported(message);
    events.FileEnded({file.path, index, file.outcome});
}

std::string Write(MakeWriter make, const std::vector<host::FileResult>& files, WriterSettings settings = {}) {
    std::ostringstream stream;
    {
        host::BufferedOutput out(stream);
        const std::unique_ptr<host::ImportEvents> writer = make(out, settings);
        for (std::size_t i = 0; i < files.size(); ++i)
            Send(*writer, files[i], i);
        writer->ImportEnded({0});
    }
    return stream.str();
}

host::FileResult FileWithAwkwardTexts() {
    host::FileResult file;
    file.path = L"job.rdf";
    host::Point point;
    point.name = L"P,1";
    point.northing = 1.5;
    point.code = L"say \"hi\"";
    file.points.push_back(point);
    host::Observation loose;
    loose.target = L"X";
    loose.horizontalAngle = 0.25;
    file.observationsBeforeStation.push_back(loose);
    file.messages.push_back({2, L"no units"});
    file.messages.push_back({std::nullopt, L"about the file"});
    return file;
}

// A good file, one that could not be opened, and another good one.
std::vector<host::FileResult> ThreeFiles() {
    host::FileResult first;
    first.path = L"a.rdf";
    first.targets = {L"B1"};
    host::Station station;
    station.name = L"S1";
    station.temperature = 20.0;
    host::Observation o;
    o.target = L"B1";
    o.slopeDistance = 100.0;
    o.faceRight = true;
    station.observations = {o, o};
    first.stations = {station};
    first.points.push_back({});
    first.points.back().name = L"S1";
    first.points.back().northing = 5000.0;
    host::FileResult missing;
    missing.path = L"missing.rdf";
    missing.outcome = host::FileOutcome::CannotOpen;
    missing.messages.push_back({std::nullopt, L"cannot open"});
    host::FileResult last;
    last.path = L"c.rdf";
    last.points.push_back({});
    last.points.back().name = L"Q";
    last.points.back().easting = 1e-5;
    return {first, missing, last};
}

TEST(CsvWriter, QuotesFieldsThatHoldSeparatorsOrQuotesAndLeavesAbsentValuesEmpty) {
    EXPECT_EQ(Write(MakeCsvWriter, {FileWithAwkwardTexts()}), "name,northing,easting,elevation,code\n"
                                                              "\"P,1\",1.5,,,\"say \"\"hi\"\"\"\n");
}

TEST(CsvWriter, ObservationsBeforeAnyStationHaveAnEmptyStation) {
    WriterSettings settings;
    settings.observations = true;
    EXPECT_EQ(Write(MakeCsvWriter, {FileWithAwkwardTexts()}, settings),
              "station,target,face,target_height,slope_distance,horizontal_angle,vertical_angle,code\n"
              ",X,,,,0.25,,\n");
}

TEST(CsvWriter, RowsOfEveryFileFollowEachOther) {
    EXPECT_EQ(Write(MakeCsvWriter, ThreeFiles()),
              "name,northing,easting,elevation,code\nS1,5000,,,\nQ,,1e-05,,\n");
    WriterSettings settings;
    settings.observations = true;
    EXPECT_EQ(Write(MakeCsvWriter, ThreeFiles(), settings),
              "station,target,face,target_height,slope_distance,horizontal_angle,vertical_angle,code\n"
              "S1,B1,right,,100,,,\nS1,B1,right,,100,,,\n");
}

TEST(TextWriter, MessagesReadLikeDiagnosticsWithLinesCountedFromOne) {
    const std::string listing = Write(MakeTextWriter, {FileWithAwkwardTexts()});
    EXPECT_NE(listing.find("job.rdf:3: no units\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("job.rdf: about the file\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("observations before any station"), std::string::npos) << listing;
}

TEST(TextWriter, ListsEachFileWhereItEndsWithAFailedOneBetween) {
    EXPECT_EQ(Write(MakeTextWriter, ThreeFiles()),
              "a.rdf: imported, 1 station, 2 observations, 1 point, 0 messages\n"
              "  station S1  temperature 20.0 \u00b0C\n"
              "    target  face   horizontal  vertical  slope dist.  target ht.  code\n"
              "    B1      right           -         -      100.000           -\n"
              "    B1      right           -         -      100.000           -\n"
              "  points\n"
              "    name  northing  easting  elevation  code  mark\n"
              "    S1    5000.000        -          -\n"
              "  targets announced before the import: B1\n"
              "\n"
              "missing.rdf: cannot-open\n"
              "missing.rdf: cannot open\n"
              "\n"
              "c.rdf: imported, 0 stations, 0 observations, 1 point, 0 messages\n"
              "  points\n"
              "    name  northing  easting  elevation  code  mark\n"
              "    Q            -    0.000          -\n");
}

// What another component adds at each file's end lands inside the file's object or after its
// listing.
class CountingSection final : public host::FileSection {
public:
    void WriteJson(host::JsonOut& json, const host::FileEnd& file) override {
        json.Member("extra", static_cast<int>(file.index));
    }
    void WriteText(host::BufferedOutput& out, const host::FileEnd& file) override {
        out.Write("  extra " + std::to_string(file.index) + "\n");
    }
};

TEST(JsonWriter, WritesEveryFileWithTheAddedSectionsAndClosesTheDocument) {
    CountingSection section;
    WriterSettings settings;
    settings.sections = {&section};
    const std::string json = Write(MakeJsonWriter, ThreeFiles(), settings);
    EXPECT_NE(
        json.find(
            "\"stations\": [\n        {\n          \"name\": \"S1\",\n          \"temperature\": 20.0,\n"
            "          \"observations\": [\n            {\n              \"target\": \"B1\",\n"
            "              \"slopeDistance\": 100.0,\n              \"faceRight\": true\n"),
        std::string::npos)
        << json;
    EXPECT_NE(
        json.find("\"outcome\": \"cannot-open\",\n      \"messages\": [\n        {\n"
                  "          \"line\": null,\n          \"text\": \"cannot open\"\n        }\n      ],\n"
                  "      \"targets\": [],\n      \"points\": [],\n      \"observationsBeforeStation\": [],\n"
                  "      \"stations\": [],\n      \"extra\": 1\n    },"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"easting\": 1e-05"), std::string::npos) << json;
    EXPECT_NE(json.find("\"extra\": 2\n    }\n  ],\n  \"unreleasedObjects\": 0\n}\n"), std::string::npos)
        << json;
    EXPECT_NE(Write(MakeTextWriter, ThreeFiles(), settings)
                  .find("    Q            -    0.000          -\n  extra 2\n"),
              std::string::npos);
}

// Shortest digits from the library, laid out as the tool has always written them.
TEST(JsonNumber, FixedPointFromTenToTheMinusFiveToTenToTheFifteenElseAnExponent) {
    const std::pair<double, const char*> rows[] = {
        {5000.0, "5000.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1.5, "1.5"},
        {0.0001, "0.0001"},
        {1e-05, "1e-05"},
        {123456789012345.0, "123456789012345.0"},
        {999999999999999.9, "999999999999999.9"},
        {1e15, "1e+15"},
        {1234567890123456.0, "1.234567890123456e+15"},
        {1e16, "1e+16"},
        {1.25e100, "1.25e+100"},
        {0.1 + 0.2, "0.30000000000000004"},
        {-2.5e-7, "-2.5e-07"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {-std::numeric_limits<double>::denorm_min(), "-5e-324"},
        {std::numeric_limits<double>::infinity(), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
        {std::nan(""), "null"},
        {-std::nan(""), "null"}};
    for (const auto& [value, text] : rows) {
        char buffer[host::kJsonNumberRoom];
        EXPECT_EQ(host::JsonNumberText(value, buffer), text);
    }
}

// Whole numbers of up to eight digits and of nine: the last eight are written as one run,
// checked here against the standard library at a stride that reaches every digit in every place.
TEST(JsonNumber, EightDigitRunsOfWholeNumbers) {
    for (std::uint32_t run = 0; run < 100000000; run += 9973) {
        for (std::uint32_t last : {run, 99999999 - run}) {
            for (const std::uint32_t whole : {last, 100000000 + last}) {
                char buffer[host::kJsonNumberRoom];
                ASSERT_EQ(host::JsonNumberText(whole, buffer), std::to_string(whole) + ".0");
            }
        }
    }
}

// The tool's layout of a number made by string operations on the library's shortest scientific
// text: fixed point for a decimal point from 10^-5 up to 10^15, else that text as it is.
std::string LibraryLayout(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    const std::string scientific(text, end);
    const std::string sign = std::signbit(value) ? "-" : "";
    const std::size_t e = scientific.find('e');
    std::string digits = scientific.substr(sign.size(), e - sign.size());
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int point = std::stoi(scientific.substr(e + 1)) + 1;
    const int count = static_cast<int>(digits.size());
    if (value == 0)
        return sign + "0.0";
    if (point <= -4 || point > 15)
        return scientific;
    if (point <= 0)
        return sign + "0." + std::string(-point, '0') + digits;
    if (point >= count)
        return sign + digits + std::string(point - count, '0') + ".0";
    return sign + digits.substr(0, point) + "." + digits.substr(point);
}

// Readings of every length and size and their neighbours, whole numbers ending in runs of zeros,
// the values beside each power of ten where the fixed point starts, random bit patterns, angles and
// coordinates as the reduction computes them, of both signs: each is laid out as from the
// library's shortest text, whether said to be a reading or computed, and reads back exactly.
TEST(JsonNumber, ShortestDigitsThatReadBackForEveryKindOfValue) {
    std::vector<double> values;
    for (double decade = 1e-7; decade < 1e17; decade *= 10)
        for (double value : {decade, std::nextafter(decade, 0.0), std::nextafter(decade, 1e300)})
            values.push_back(value);
    std::mt19937_64 random(25);
    for (int digits = 1; digits <= 17; ++digits) {
        for (int places = -20; places <= 20; ++places) {
            for (int sample = 0; sample < 10; ++sample) {
                std::string text = std::to_string(random() % 100000000000000000ULL).substr(0, digits);
                text += "e" + std::to_string(-places);
                values.push_back(std::strtod(text.c_str(), nullptr));
            }
        }
    }
    // Readings of whole ten-thousandths and their neighbours, which are not readings.
    for (std::uint64_t limit = 10; limit <= 10000000000000000; limit *= 10) {
        for (int sample = 0; sample < 200; ++sample) {
            const double reading = static_cast<double>(random() % limit) / 1e4;
            for (double value : {reading, std::nextafter(reading, 0.0), std::nextafter(reading, 1e300)})
                values.push_back(value);
        }
    }
    std::uniform_real_distribution<double> radians(-7.0, 7.0);
    std::uniform_real_distribution<double> coordinates(-1e7, 1e7);
    for (int sample = 0; sample < 20000; ++sample) {
        const std::uint64_t bits = random();
        values.push_back(std::sin(radians(random)) * 1e-3);
        values.push_back(radians(random));
        values.push_back(coordinates(random));
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }
    for (double value : values) {
        for (const double number : {value, -value}) {
            char buffer[host::kJsonNumberRoom];
            const std::string_view text = host::JsonNumberText(number, buffer);
            ASSERT_EQ(text, LibraryLayout(number));
            ASSERT_EQ(std::strtod(std::string(text).c_str(), nullptr), number) << text;
            char computed[host::kJsonNumberRoom];
            const char* const end = host::PutJsonNumber<host::NumberOrigin::Computed>(computed, number);
            ASSERT_EQ(std::string_view(computed, static_cast<std::size_t>(end - computed)), text);
        }
    }
}

} // namespace
} // namespace rdf
