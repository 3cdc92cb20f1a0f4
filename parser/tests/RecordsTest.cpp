// Face observations, side shots and stake-out, coordinate records, and what a host that hands
// out no converters sees.
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_host {
namespace {

const std::wstring kUnits = L"CO,Dist Units: Metres\nCO,Angle Units: Gons\n";

Log SinkCalls(RecordingHost& host, const std::wstring& text) {
    const Log log = RunImportPass(host, text);
    EXPECT_NO_REFERENCE_FAULTS(host);
    return Without(log, {"GetConverterFactory", "factory#", "distance#", "angle#", "temperature#",
                         "pressure#", "result="});
}

Log SinkCalls(const std::wstring& text) {
    RecordingHost host;
    return SinkCalls(host, text);
}

// An open station whose backsight record is pending; its observations end the log.
const std::wstring kStation = kUnits + L"ST,S1,,B,,1.5,,0.25\n";
const Log kStationCalls{"AddStation(S1)", "SetInstrumentHeight(1.5)"};
const Log kPendingBacksight{"AddObservation(B)", "SetHorizontalAngle(0.25)", "SetFaceRight(false)"};

Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(FaceObservation, NameOnlyIsCollectedWithoutValues) {
    EXPECT_LOG(Concat({kStationCalls, {"AddObservation(P)", "SetFaceRight(false)"}}),
               SinkCalls(kStation + L"F1,P"));
}

// At the end of the file the station is oriented to zero: the angle arrives as observed.
TEST(FaceObservation, UnconvertibleSlopeDistanceIsLeftOut) {
    EXPECT_LOG(Concat({kStationCalls,
                       {"AddObservation(P)", "SetTargetHeight(1.6)", "SetHorizontalAngle(0.5)",
                        "SetVerticalAngle(1.5)", "SetFaceRight(true)"}}),
               SinkCalls(kStation + L"F2,P,1.6,--,0.5,1.5"));
}

TEST(FaceObservation, TokensAfterTheVerticalAngleAreIgnored) {
    EXPECT_EQ(SinkCalls(kStation + L"F1,P,1.6,25.5,0.5,1.5,9,9,9,9,9,9"),
              SinkCalls(kStation + L"F1,P,1.6,25.5,0.5,1.5"));
}

TEST(FaceObservation, WithoutNameNothingIsCollectedButThePendingBacksightIsGone) {
    EXPECT_LOG(Concat({kStationCalls, {"AddObservation(X)"}}), SinkCalls(kStation + L"F1\nF2,\nSO,X"));
}

TEST(FaceObservation, MissingUnitsAreReportedOncePerLine) {
    EXPECT_LOG((Log{"ReportMessage(#103)", "ReportMessage(#103)", "ReportMessage(#104)"}),
               SinkCalls(L"F1,P,1,2,3,4\nF2\nCO,Dist Units: Metres\nF1,P,1,2,3,4"));
}

TEST(SideShot, ThreeTokensSendTheTargetHeight) {
    EXPECT_LOG((Log{"AddObservation(P)", "SetTargetHeight(1.5)"}), SinkCalls(kUnits + L"SS,P,1.5"));
}

TEST(SideShot, EightTokensSendTheCodeAndSevenDoNot) {
    EXPECT_LOG((Log{"AddObservation(P)", "SetTargetHeight(1.5)", "SetSlopeDistance(25.25)",
                    "SetHorizontalAngle(7.5)", "SetVerticalAngle(1.5)", "SetCode(TREE)", "AddObservation(Q)",
                    "SetTargetHeight(1.5)", "SetSlopeDistance(25.25)", "SetHorizontalAngle(7.5)",
                    "SetVerticalAngle(1.5)"}),
               SinkCalls(kUnits + L"SS,P,1.5,25.25,7.5,1.5,x,TREE,ignored\nSS,Q,1.5,25.25,7.5,1.5,x"));
}

TEST(SideShot, StakeOutEqualsSideShotWithoutItsThirdField) {
    const std::wstring sideShot = L"SS,P,1.5,25.25,7.5,1.5,12:00,KERB";
    const std::wstring stakeOut = L"SO,P,DESIGN1,1.5,25.25,7.5,1.5,12:00,KERB";
    EXPECT_EQ(SinkCalls(kStation + stakeOut), SinkCalls(kStation + sideShot));
    EXPECT_LOG(Concat({kStationCalls,
                       kPendingBacksight,
                       {"AddObservation(P)", "SetTargetHeight(1.5)", "SetSlopeDistance(25.25)",
                        "SetHorizontalAngle(7.5)", "SetVerticalAngle(1.5)", "SetCode(KERB)"}}),
               SinkCalls(kStation + stakeOut));
}

TEST(SideShot, PendingBacksightIsSentOnceBeforeTheFirstShot) {
    EXPECT_LOG(Concat({kStationCalls, kPendingBacksight, {"AddObservation(P)", "AddObservation(Q)"}}),
               SinkCalls(kStation + L"SO,P\nSO,Q"));
}

TEST(SideShot, FaceRoundBeforeTheShotIsFlushedAndTheBacksightRecordNeverSent) {
    EXPECT_LOG(Concat({kStationCalls,
                       {"AddObservation(B)", "SetHorizontalAngle(0.25)", "SetFaceRight(false)",
                        "AddObservation(B)", "SetHorizontalAngle(" + Shortest(0.25 + 3.2 - 1.2) + ")",
                        "SetFaceRight(true)", "AddObservation(P)", "SetTargetHeight(1.5)",
                        "SetSlopeDistance(10)", "SetHorizontalAngle(9)"}}),
               SinkCalls(kStation + L"F1,B,,,1.2\nF2,B,,,3.2\nSS,P,1.5,10,9"));
}

TEST(SideShot, FaceObservationAfterAShotWaitsForTheNextFlush) {
    EXPECT_LOG(Concat({kStationCalls,
                       kPendingBacksight,
                       {"AddObservation(P)", "AddObservation(Q)", "AddStation(S2)", "AddObservation(R)",
                        "SetHorizontalAngle(1)", "SetFaceRight(false)", "AddObservation(B)",
                        "SetHorizontalAngle(0)", "SetFaceRight(false)"}}),
               SinkCalls(kStation + L"SO,P\nF1,R,,,1.0\nSO,Q\nST,S2,,B,,,,0\nSO"));
}

TEST(SideShot, OneTokenStakeOutStillEndsTheStationAndOneTokenSideShotDoesNot) {
    EXPECT_LOG(Concat({kStationCalls, kPendingBacksight}), SinkCalls(kStation + L"SO"));
    EXPECT_LOG(kStationCalls, SinkCalls(kStation + L"SS\nSS,P"));
}

TEST(SideShot, MissingUnitsStopTheLineAtTheirFirstUse) {
    EXPECT_LOG((Log{"AddObservation(P)", "AddObservation(P)", "ReportMessage(#103)"}),
               SinkCalls(L"SO,P,x\nSO,P,x,1.5,10,1,1"));
    EXPECT_LOG((Log{"AddObservation(P)", "SetTargetHeight(1.5)", "AddObservation(P)", "SetTargetHeight(1.5)",
                    "SetSlopeDistance(10)", "ReportMessage(#104)"}),
               SinkCalls(L"CO,Dist Units: Metres\nSS,P,1.5\nSS,P,1.5,10,1,1"));
}

TEST(SideShot, HorizontalAngleIsSentUnreduced) {
    EXPECT_LOG(Concat({kStationCalls, kPendingBacksight, {"AddObservation(P)", "SetHorizontalAngle(-12.5)"}}),
               SinkCalls(kStation + L"SO,P,,,,-12.5"));
}

TEST(Coordinate, NameOnlyAndMarks) {
    EXPECT_LOG((Log{"AddPoint(A)", "AddPoint(B)", "SetResectionPoint(true)", "AddPoint(C)",
                    "SetResectionPoint(false)", "SetPointAttribute(false)", "AddPoint(D)",
                    "SetResectionPoint(false)", "SetPointAttribute(false)"}),
               SinkCalls(L"MC,A\nRE,B\nMP,C\nUP,D\nMC\nRE,\nMP, "));
}

TEST(Coordinate, OrderFollowsTheHeaderFromTheNextLineOn) {
    const std::wstring line = L"MC,P,ignored,100.5,200.25,30.125,CODE\n";
    EXPECT_LOG((Log{"AddPoint(P)", "SetNorthing(100.5)", "SetEasting(200.25)", "SetElevation(30.125)",
                    "SetCode(CODE)", "AddPoint(P)", "SetEasting(100.5)", "SetNorthing(200.25)",
                    "SetElevation(30.125)", "SetCode(CODE)", "AddPoint(P)", "SetNorthing(100.5)",
                    "SetEasting(200.25)", "SetElevation(30.125)", "SetCode(CODE)"}),
               SinkCalls(kUnits + line + L"CO,Coord Order: ENZ\n" + line + L"CO,Coord Order: NEZ\n" + line));
}

TEST(Coordinate, ShortLinesStopAndEmptyCodeIsSent) {
    EXPECT_LOG((Log{"AddPoint(P)", "SetNorthing(1)", "AddPoint(Q)", "SetNorthing(1)", "SetEasting(2)",
                    "SetElevation(3)", "AddPoint(R)", "SetNorthing(1)", "SetEasting(2)", "SetElevation(3)",
                    "SetCode()"}),
               SinkCalls(kUnits + L"MC,P,,1\nMC,Q,,1,2,3\nMC,R,,1,2,3,"));
}

TEST(Coordinate, UnconvertibleCoordinateSkipsOnlyItsOwnCall) {
    EXPECT_LOG((Log{"AddPoint(P)", "SetEasting(2)", "SetCode(X)"}), SinkCalls(kUnits + L"MC,P,,n/a,2,,X"));
}

TEST(Coordinate, MissingDistanceUnitComesAfterTheMarks) {
    EXPECT_LOG((Log{"AddPoint(P)", "AddPoint(Q)", "SetResectionPoint(false)", "SetPointAttribute(false)",
                    "ReportMessage(#103)"}),
               SinkCalls(L"CO,Angle Units: Gons\nMC,P,\nUP,Q,,1,2,3,C"));
}

TEST(Coordinate, ResectionPointNamesTheStation) {
    // After "RE" the station name equals the next station, so its backsight angle is kept.
    EXPECT_LOG((Log{"AddPoint(S1)", "SetResectionPoint(true)", "AddStation(S1)", "AddObservation(A)",
                    "SetHorizontalAngle(" + Shortest(0.5 + 1.0 - 1.0) + ")", "SetFaceRight(false)",
                    "AddObservation(A)", "SetHorizontalAngle(0.5)", "SetFaceRight(false)"}),
               SinkCalls(kUnits + L"CO,Start of Resection\nF1,A,,,1.0\nRE,S1\nST,S1,,A,,,,0.5\nSO"));
}

// A host whose factory or converters are missing must not bring the module down.
TEST(MissingConverters, NoFactoryMeansNoUnits) {
    RecordingHost host;
    host.RefuseFactory();
    const Log log = RunImportPass(host, L"CO,Dist Units: Metres Angle Units: Gons Temp: 20 Press: 1000\n"
                                        L"ST,S1,,B,,1.5,,0\nF1,B,1,2,3,4\nSS,P,1,2,3\nMC,P,,1,2,3");
    EXPECT_LOG((Log{"GetConverterFactory=null", "AddStation(S1)", "ReportMessage(#103)",
                    "ReportMessage(#104)", "ReportMessage(#103)", "AddObservation(P)", "ReportMessage(#103)",
                    "AddPoint(P)", "ReportMessage(#103)", "result=true"}),
               log);
}

TEST(MissingConverters, NullTemperatureAndPressureConvertersAreSkipped) {
    RecordingHost host;
    host.Refuse(Kind::Temperature, 0);
    host.Refuse(Kind::Pressure, 0);
    host.Refuse(Kind::Pressure, 1);
    const Log log = RunImportPass(host, L"CO,Temp: 20 Press: 1000hPa\nCO,Temp: 68 F\nST,S1");
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "factory#1.CreateTemperatureConverter(0)=null",
                    "factory#1.CreatePressureConverter(0)=null", "factory#1.CreatePressureConverter(1)=null",
                    "factory#1.CreateTemperatureConverter(0)=null",
                    "factory#1.CreateTemperatureConverter(1)=temperature#1", "temperature#1.Convert(68)=68",
                    "temperature#1.Release", "AddStation(S1)", "SetTemperature(68)", "result=true",
                    "factory#1.Release"}),
               log);
    EXPECT_NO_REFERENCE_FAULTS(host);
}

TEST(MissingConverters, NullUnitConvertersAreStoredAndReportedLater) {
    RecordingHost host;
    host.Refuse(Kind::Distance, 1);
    host.Refuse(Kind::Angle, 5);
    host.Refuse(Kind::Angle, 1);
    EXPECT_LOG(
        (Log{"AddPoint(P)", "SetNorthing(1)", "AddPoint(P)", "ReportMessage(#103)", "ReportMessage(#103)",
             "AddStation(S1)", "ReportMessage(#104)"}),
        SinkCalls(host,
                  L"CO,Dist Units: Metres\nCO,Angle Units: Gons\nMC,P,,1\nCO,Dist Units: Feet\nMC,P,,1\n"
                  L"F1,P\nCO,Dist Units: Metres\nCO,Angle Units: MIL6400\nST,S1,,B,,,,0\n"
                  L"CO,Angle Units: Degrees\nF1,P,1,2,3.0000,4"));
}

TEST(Atmosphere, LaterCommentsReplaceAndOffKeepsTheValue) {
    EXPECT_LOG((Log{"AddStation(S1)", "SetTemperature(20)", "AddStation(S2)", "SetTemperature(20)",
                    "SetPressure(760)", "AddStation(S3)", "SetTemperature(-3)", "SetPressure(29.5)"}),
               SinkCalls(L"CO,Temp: 20C\nST,S1\nCO,Temp:OFF Press: 760mmHg\nST,S2\nCO,Temperature: -3\n"
                         L"CO,Pressure: 29.5 inHg\nST,S3"));
}

} // namespace
} // namespace testing_host
