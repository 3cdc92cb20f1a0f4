// Station setups, the flush of collected face observations and the backsight reduction.
#include "parser/RawDataParser.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace testing_host {
namespace {

// Plain-decimal converters, so every value reaches the sink as written (angles as radians).
const std::wstring kUnits = L"CO,Dist Units: Metres\nCO,Angle Units: Gons\n";

// The sink calls alone: factory and converter traffic is checked by the header suite.
Log SinkCalls(const std::wstring& text) {
    RecordingHost host;
    const Log log = RunImportPass(host, text);
    EXPECT_NO_REFERENCE_FAULTS(host);
    return Without(log, {"GetConverterFactory", "factory#", "distance#", "angle#", "temperature#",
                         "pressure#", "result="});
}

TEST(Station, NameOnlyAnnouncesTheStationWithAtmosphere) {
    EXPECT_LOG((Log{"AddStation(S1)", "SetTemperature(20)", "SetPressure(1013)"}),
               SinkCalls(L"CO,Temp: 20C\nCO,Press: 1013 hPa\nST,S1"));
}

TEST(Station, WithoutNameAnnouncesNothingButStillFlushes) {
    EXPECT_LOG(
        (Log{"AddStation(S1)", "AddObservation(B)", "SetHorizontalAngle(0.25)", "SetFaceRight(false)"}),
        SinkCalls(kUnits + L"ST,S1,,B,,1.5x,,0.25\nF1,B,,,0.5\nST\nST,,x"));
}

TEST(Station, SixTokensSendTheInstrumentHeightButOpenNoStation) {
    // Without an open station the F1 stays collected and the file's end sends nothing.
    EXPECT_LOG((Log{"AddStation(S1)", "SetInstrumentHeight(1.55)"}),
               SinkCalls(kUnits + L"ST,S1,,B1,,1.55\nF1,B1,1.6,10,0.5,1.5"));
}

TEST(Station, MissingUnitsAreReportedAndTheRestGoesOn) {
    EXPECT_LOG((Log{"AddStation(S1)", "ReportMessage(#103)", "ReportMessage(#104)", "AddStation(S2)",
                    "ReportMessage(#103)"}),
               SinkCalls(L"ST,S1,,B,,1.5,,0.1\nST,S2,,B,,1.5"));
    // No angle unit: the station does not open, so the file's end flushes nothing.
    EXPECT_LOG(
        (Log{"AddStation(S1)", "SetInstrumentHeight(1.5)", "ReportMessage(#104)", "ReportMessage(#104)"}),
        SinkCalls(L"CO,Dist Units: Metres\nST,S1,,B,,1.5,,0.1\nF1,B,1,2,3,4"));
}

TEST(Station, UnconvertibleHeightIsLeftOutAndBadBacksightAngleCountsAsZero) {
    EXPECT_LOG((Log{"AddStation(S1)", "AddObservation(B)", "SetHorizontalAngle(0)", "SetFaceRight(false)",
                    "AddObservation(P)"}),
               SinkCalls(kUnits + L"ST,S1,,B,,high,,north\nSO,P"));
}

// The station suite's worked example: backsight angle 0.2, F1 to the backsight at 0.5 and to
// another point at 1.0.
const std::wstring kTwoObservations = L"ST,S1,,B,,1.5,,0.2\nF1,B,,,0.5\nF1,P,,,1.0\n";

TEST(Flush, NegativeReductionWrapsIntoTheCircle) {
    const Log log = SinkCalls(kUnits + L"ST,S1,,B,,,,0\nF1,B,,,1.0\nF1,P,,,0.5");
    EXPECT_EQ(log.at(5), "SetHorizontalAngle(" + Shortest(0.0 + 0.5 - 1.0 + 6.283185307179586) + ")");
}

// Each case's records (after the units) and the sink calls they give. The flush reduces the
// collected face observations: H = backsight angle + observed - reference, in that order.
TEST(Flush, CollectedObservationsReachTheHostReducedToTheBacksight) {
    const struct {
        const char* name;
        std::wstring records;
        Log calls;
    } cases[] = {
        {"the next station uses the station's backsight angle",
         kTwoObservations + L"ST,S2",
         {"AddStation(S1)", "SetInstrumentHeight(1.5)", "AddObservation(B)",
          "SetHorizontalAngle(" + Shortest(0.2 + 0.5 - 0.5) + ")", "SetFaceRight(false)", "AddObservation(P)",
          "SetHorizontalAngle(" + Shortest(0.2 + 1.0 - 0.5) + ")", "SetFaceRight(false)", "AddStation(S2)"}},
        {"the end of the file orients to zero",
         kTwoObservations,
         {"AddStation(S1)", "SetInstrumentHeight(1.5)", "AddObservation(B)", "SetHorizontalAngle(0)",
          "SetFaceRight(false)", "AddObservation(P)", "SetHorizontalAngle(0.5)", "SetFaceRight(false)"}},
        // A backsight seen in face right only never serves as the reference.
        {"without a face-left backsight angles are offset by the backsight angle",
         L"ST,S1,,B,,,,0.25\nF2,B,,,3.25\nF1,P,,,1.0\nST,S2",
         {"AddStation(S1)", "AddObservation(B)", "SetHorizontalAngle(3.5)", "SetFaceRight(true)",
          "AddObservation(P)", "SetHorizontalAngle(1.25)", "SetFaceRight(false)", "AddStation(S2)"}},
        {"the first face-left backsight is the reference",
         L"ST,S1,,B,,,,0.5\nF1,B,,,2.0\nF1,B,,,2.5\nST,S2",
         {"AddStation(S1)", "AddObservation(B)", "SetHorizontalAngle(0.5)", "SetFaceRight(false)",
          "AddObservation(B)", "SetHorizontalAngle(1)", "SetFaceRight(false)", "AddStation(S2)"}},
        {"a reference without an angle counts as zero",
         L"ST,S1,,B,,,,0.5\nF1,B,,,x\nF1,B,,,2.5\nF1,P,,,1.0\nST,S2",
         {"AddStation(S1)", "AddObservation(B)", "SetFaceRight(false)", "AddObservation(B)",
          "SetHorizontalAngle(3)", "SetFaceRight(false)", "AddObservation(P)", "SetHorizontalAngle(1.5)",
          "SetFaceRight(false)", "AddStation(S2)"}},
        {"absent values make no calls and face right comes last",
         L"ST,S1,,B,,,,0\nF2,P,1.6,far,0.5,1.5\nF1,Q",
         {"AddStation(S1)", "AddObservation(P)", "SetTargetHeight(1.6)", "SetHorizontalAngle(0.5)",
          "SetVerticalAngle(1.5)", "SetFaceRight(true)", "AddObservation(Q)", "SetFaceRight(false)"}},
        {"observations before any station wait for the first flush",
         L"F1,P,,,1.0\nCO,Start of Resection\nST,S0\nST,S1,,B,,,,0",
         {"AddStation(S0)", "AddStation(S1)", "AddObservation(P)", "SetHorizontalAngle(1)",
          "SetFaceRight(false)"}},
        {"face observations without a station or resection never reach the host",
         L"F1,P,1,2,3,4\nF2,P,1,2,3,4",
         {}},
        // A resection collects until the next complete station and flushes after it; that flush
        // empties the backsight name, so the station's own observations come without a reference.
        {"a resection flushes after the next complete station",
         L"CO,Start of Resection\nF1,A,,,1.0\nF1,C,,,2.5\nST,R1,,A,,,,0.4\nF1,A,,,0.5\nF1,P,,,1.25",
         {"AddStation(R1)", "AddObservation(A)", "SetHorizontalAngle(0)", "SetFaceRight(false)",
          "AddObservation(C)", "SetHorizontalAngle(1.5)", "SetFaceRight(false)", "AddObservation(A)",
          "SetHorizontalAngle(0.5)", "SetFaceRight(false)", "AddObservation(P)", "SetHorizontalAngle(1.25)",
          "SetFaceRight(false)"}},
        {"a station named by the resection point keeps its orientation",
         L"CO,Start of Resection\nRE,R1\nF1,A,,,1.0\nF1,C,,,2.5\nST,R1,,A,,,,0.4\nSS",
         {"AddPoint(R1)", "SetResectionPoint(true)", "AddStation(R1)", "AddObservation(A)",
          "SetHorizontalAngle(" + Shortest(0.4 + 1.0 - 1.0) + ")", "SetFaceRight(false)", "AddObservation(C)",
          "SetHorizontalAngle(" + Shortest(0.4 + 2.5 - 1.0) + ")", "SetFaceRight(false)"}},
        {"an incomplete station does not end a resection",
         L"CO,Start of Resection\nF1,A,,,1.0\nST,X,,A\nST,R1,,A,,,,0.4\nSO",
         {"AddStation(X)", "AddStation(R1)", "AddObservation(A)", "SetHorizontalAngle(0)",
          "SetFaceRight(false)", "AddObservation(A)", "SetHorizontalAngle(0.4)", "SetFaceRight(false)"}},
    };
    for (const auto& [name, records, calls] : cases)
        EXPECT_LOG(calls, SinkCalls(kUnits + records)) << name;
}

// Range reduction: the exact result for ordinary angles, and an end for every double.
TEST(HorizontalAngle, OrdinaryAnglesComeOutInRange) {
    const double twoPi = 6.283185307179586;
    struct Case {
        double in;
        double out;
    };
    const Case cases[] = {
        {0.0, 0.0},
        {1.0, 1.0},
        {twoPi, 0.0},
        {std::nextafter(twoPi, 0.0), std::nextafter(twoPi, 0.0)},
        {-0.5, -0.5 + twoPi},
        {-twoPi, 0.0},
        {3 * twoPi + 1.0, 3 * twoPi + 1.0 - std::floor((3 * twoPi + 1.0) / twoPi) * twoPi},
        {-3 * twoPi - 1.0, (-3 * twoPi - 1.0 - std::ceil((-3 * twoPi - 1.0) / twoPi) * twoPi) + twoPi},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeHorizontalAngle(c.in), c.out) << c.in;
}

// Far out, the rounded quotient of the first reduction step can leave a remainder of many
// turns, too large for subtracting 2π to change it (about one magnitude in eight does).
TEST(HorizontalAngle, EveryDoubleEndsInRangeOrNaN) {
    const double twoPi = 6.283185307179586;
    for (double sign : {1.0, -1.0}) {
        for (double x = 1e15; std::isfinite(x); x *= 1.37) {
            const double h = NormalizeHorizontalAngle(sign * x);
            ASSERT_TRUE(h >= 0.0 && h < twoPi) << sign * x << " gave " << h;
        }
    }
    EXPECT_EQ(NormalizeHorizontalAngle(std::numeric_limits<double>::denorm_min()),
              std::numeric_limits<double>::denorm_min());
    EXPECT_TRUE(std::isnan(NormalizeHorizontalAngle(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(NormalizeHorizontalAngle(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(NormalizeHorizontalAngle(std::numeric_limits<double>::quiet_NaN())));
}

// A host converter may accept exponents; the flush must still end.
TEST(HorizontalAngle, HugeConvertedAngleDoesNotHangTheFlush) {
    RecordingHost host;
    host.Script(Kind::Angle, 4, [](const std::wstring& text) { return testsupport::ReadNumber(text); });
    const Log log =
        Without(RunImportPass(host, kUnits + L"ST,S1,,B,,,,0\nF1,P,,,1.0182454483840187e+18\nF1,Q,,,inf"),
                {"GetConverterFactory", "factory#", "distance#", "angle#", "result="});
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[2],
              "SetHorizontalAngle(" + Shortest(std::fmod(1.0182454483840187e+18, 6.283185307179586)) + ")");
    EXPECT_NE(log[5].find("nan"), std::string::npos) << log[5];
    EXPECT_NO_REFERENCE_FAULTS(host);
}

} // namespace
} // namespace testing_host
