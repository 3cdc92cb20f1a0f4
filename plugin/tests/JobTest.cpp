// Whole jobs, imported from files through the plug-in object as a host would.
#include "interfaces/CreatePlugin.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_host {
namespace {

class Job : public ::testing::Test {
protected:
    // The import pass's sink calls of one file, with the line each call came from.
    Log Import(const std::string& bytes) {
        host.files.paths = {dir.Write("job.rdf", bytes).wstring()};
        Plugin::IGroundBasedMIP* plugin = CreatePlugin();
        plugin->Import(&host.files, &host.sink);
        EXPECT_TRUE(plugin->Release());
        EXPECT_NO_REFERENCE_FAULTS(host);
        Log log = host.Take();
        // Keep the import pass only: it begins with the second factory.
        const auto importPass = std::find(log.begin(), log.end(), "GetConverterFactory=factory#2");
        EXPECT_NE(importPass, log.end());
        Log calls;
        std::string line;
        for (auto call = importPass; call != log.end(); ++call) {
            if (call->rfind("SetCurrentLine(", 0) == 0) {
                line = call->substr(15, call->size() - 16);
                continue;
            }
            if (call->find('#') != std::string::npos && call->rfind("ReportMessage", 0) != 0)
                continue;
            if (call->rfind("SetProgress", 0) == 0 || call->rfind("files.", 0) == 0)
                continue;
            calls.push_back(line + ": " + *call);
        }
        return calls;
    }

    RecordingHost host;
    TempDir dir;
};

// Two stations of a traverse, each with a face-left and face-right round to the backsight and
// a foresight, then side shots and a stake-out. Angles are exact binary fractions so the
// reduced values can be written down.
TEST_F(Job, TraverseWithFaceRoundsSideShotsAndStakeOut) {
    const std::string job = "CO,Nikon RAW data format V2.00\r\n"
                            "CO,Job: TRAVERSE-7  Instrument: NPL-322\r\n"
                            "CO,Dist Units: Metres\r\n"
                            "CO,Angle Units: Gons\r\n"
                            "CO,Temp: 18.5C Press: 1008 hPa\r\n"
                            "MP,T1,,5000.000,1000.000,100.000,CTRL\r\n"
                            "ST,T1,,T0,,1.550,,0.5000\r\n"
                            "F1,T0,1.800,120.250,0.2500,1.5000\r\n"
                            "F1,T2,1.800,85.125,2.0000,1.5625\r\n"
                            "F2,T2,1.800,85.125,5.1250,4.7500\r\n"
                            "F2,T0,1.800,120.250,3.3750,4.7500\r\n"
                            "ST,T2,,T1,,1.600,,1.0000\r\n"
                            "F1,T1,1.700,85.125,0.0000,1.5000\r\n"
                            "F1,T3,1.700,60.500,3.0000,1.5000\r\n"
                            "SS,H1,1.500,12.250,0.7500,1.5000,10:15:00,HYDRANT\r\n"
                            "SO,K1,DESIGN-K1,0.000,8.500,1.2500,1.5625,10:16:00,KERB\r\n";
    EXPECT_LOG((Log{"5: AddPoint(T1)", "5: SetResectionPoint(false)", "5: SetPointAttribute(false)",
                    "5: SetNorthing(5000)", "5: SetEasting(1000)", "5: SetElevation(100)", "5: SetCode(CTRL)",
                    "6: AddStation(T1)", "6: SetTemperature(18.5)", "6: SetPressure(1008)",
                    "6: SetInstrumentHeight(1.55)",
                    // T2 ends T1's round: reduced to the backsight T0 read at 0.25.
                    "11: AddObservation(T0)", "11: SetTargetHeight(1.8)", "11: SetSlopeDistance(120.25)",
                    "11: SetHorizontalAngle(0.5)", "11: SetVerticalAngle(1.5)", "11: SetFaceRight(false)",
                    "11: AddObservation(T2)", "11: SetTargetHeight(1.8)", "11: SetSlopeDistance(85.125)",
                    "11: SetHorizontalAngle(2.25)", "11: SetVerticalAngle(1.5625)", "11: SetFaceRight(false)",
                    "11: AddObservation(T2)", "11: SetTargetHeight(1.8)", "11: SetSlopeDistance(85.125)",
                    "11: SetHorizontalAngle(5.375)", "11: SetVerticalAngle(4.75)", "11: SetFaceRight(true)",
                    "11: AddObservation(T0)", "11: SetTargetHeight(1.8)", "11: SetSlopeDistance(120.25)",
                    "11: SetHorizontalAngle(3.625)", "11: SetVerticalAngle(4.75)", "11: SetFaceRight(true)",
                    "11: AddStation(T2)", "11: SetTemperature(18.5)", "11: SetPressure(1008)",
                    "11: SetInstrumentHeight(1.6)",
                    // The side shot ends T2's round, oriented to 1.0 on T1.
                    "14: AddObservation(T1)", "14: SetTargetHeight(1.7)", "14: SetSlopeDistance(85.125)",
                    "14: SetHorizontalAngle(1)", "14: SetVerticalAngle(1.5)", "14: SetFaceRight(false)",
                    "14: AddObservation(T3)", "14: SetTargetHeight(1.7)", "14: SetSlopeDistance(60.5)",
                    "14: SetHorizontalAngle(4)", "14: SetVerticalAngle(1.5)", "14: SetFaceRight(false)",
                    "14: AddObservation(H1)", "14: SetTargetHeight(1.5)", "14: SetSlopeDistance(12.25)",
                    "14: SetHorizontalAngle(0.75)", "14: SetVerticalAngle(1.5)", "14: SetCode(HYDRANT)",
                    "15: AddObservation(K1)", "15: SetTargetHeight(0)", "15: SetSlopeDistance(8.5)",
                    "15: SetHorizontalAngle(1.25)", "15: SetVerticalAngle(1.5625)", "15: SetCode(KERB)"}),
               Import(job));
}

// A free-station resection: observations to known points are collected from the resection
// comment on, and sent after the station that the resection fixes.
TEST_F(Job, ResectionFromTwoKnownPoints) {
    const std::string job = "CO,Dist Units: Metres\n"
                            "CO,Angle Units: Gons\n"
                            "UP,A,,1000,2000,50,CTRL\n"
                            "UP,C,,1100,2050,51,CTRL\n"
                            "CO,Start of Resection\n"
                            "F1,A,1.5,80.5,0.5,1.5\n"
                            "F1,C,1.5,95.25,1.75,1.5\n"
                            "ST,R1,,A,,1.45,,0.0\n"
                            "SS,D1,1.5,30,2.5,1.5,,DITCH\n";
    EXPECT_LOG((Log{"2: AddPoint(A)",
                    "2: SetResectionPoint(false)",
                    "2: SetPointAttribute(false)",
                    "2: SetNorthing(1000)",
                    "2: SetEasting(2000)",
                    "2: SetElevation(50)",
                    "2: SetCode(CTRL)",
                    "3: AddPoint(C)",
                    "3: SetResectionPoint(false)",
                    "3: SetPointAttribute(false)",
                    "3: SetNorthing(1100)",
                    "3: SetEasting(2050)",
                    "3: SetElevation(51)",
                    "3: SetCode(CTRL)",
                    "7: AddStation(R1)",
                    "7: SetInstrumentHeight(1.45)",
                    "7: AddObservation(A)",
                    "7: SetTargetHeight(1.5)",
                    "7: SetSlopeDistance(80.5)",
                    "7: SetHorizontalAngle(0)",
                    "7: SetVerticalAngle(1.5)",
                    "7: SetFaceRight(false)",
                    "7: AddObservation(C)",
                    "7: SetTargetHeight(1.5)",
                    "7: SetSlopeDistance(95.25)",
                    "7: SetHorizontalAngle(1.25)",
                    "7: SetVerticalAngle(1.5)",
                    "7: SetFaceRight(false)",
                    "8: AddObservation(A)",
                    "8: SetHorizontalAngle(0)",
                    "8: SetFaceRight(false)",
                    "8: AddObservation(D1)",
                    "8: SetTargetHeight(1.5)",
                    "8: SetSlopeDistance(30)",
                    "8: SetHorizontalAngle(2.5)",
                    "8: SetVerticalAngle(1.5)",
                    "8: SetCode(DITCH)"}),
               Import(job));
}

// Feet, mils and easting-first coordinates: the factory codes, and the routing of tokens.
TEST_F(Job, FeetMilsAndEastingFirst) {
    host.Script(Kind::Distance, 1, [](const std::wstring& text) -> std::optional<double> {
        const auto feet = PlainDecimal(text);
        return feet ? std::optional<double>(*feet * 0.25) : std::nullopt;
    });
    const std::string job = "CO,Dist Units: US Feet\nCO,Angle Units: MIL6400\nCO,Coord Order: ENZ\n"
                            "MC,P1,,400,800,40,BM\nST,P1,,P2,,4,,0\nSO,P3,,4,100,1600,1600\n";
    const Log log = Import(job);
    const Log expected{"3: AddPoint(P1)",
                       "3: SetEasting(100)",
                       "3: SetNorthing(200)",
                       "3: SetElevation(10)",
                       "3: SetCode(BM)",
                       "4: AddStation(P1)",
                       "4: SetInstrumentHeight(1)",
                       "5: AddObservation(P2)",
                       "5: SetHorizontalAngle(0)",
                       "5: SetFaceRight(false)",
                       "5: AddObservation(P3)",
                       "5: SetTargetHeight(1)",
                       "5: SetSlopeDistance(25)",
                       "5: SetHorizontalAngle(1600)",
                       "5: SetVerticalAngle(1600)"};
    EXPECT_LOG(expected, log);
}

TEST_F(Job, Cp1251NamesAndCodes) {
    ScopedThreadLocale cp1251("ru_RU.CP1251");
    ASSERT_TRUE(cp1251.Active()) << "locale ru_RU.CP1251 missing: run scripts/install-deps.sh as root";
    // "Репер1" and "Столб" / "Угол" in CP1251.
    const std::string job = "CO,Dist Units: Metres\nCO,Angle Units: Gons\n"
                            "MC,\xD0\xE5\xEF\xE5\xF0"
                            "1,,10,20,30,\xD1\xF2\xEE\xEB\xE1\n"
                            "ST,\xD0\xE5\xEF\xE5\xF0"
                            "1,,\xD3\xE3\xEE\xEB,,1.5,,0\n"
                            "F1,\xD3\xE3\xEE\xEB,1.5,10,0.5,1.5\n";
    EXPECT_LOG((Log{"2: AddPoint(\u0420\u0435\u043f\u0435\u04401)", "2: SetNorthing(10)", "2: SetEasting(20)",
                    "2: SetElevation(30)", "2: SetCode(\u0421\u0442\u043e\u043b\u0431)",
                    "3: AddStation(\u0420\u0435\u043f\u0435\u04401)", "3: SetInstrumentHeight(1.5)",
                    "4: AddObservation(\u0423\u0433\u043e\u043b)", "4: SetTargetHeight(1.5)",
                    "4: SetSlopeDistance(10)", "4: SetHorizontalAngle(0)", "4: SetVerticalAngle(1.5)",
                    "4: SetFaceRight(false)"}),
               Import(job));
}

// DDDMMSS files: the degrees converter receives the minutes and seconds set off by points.
TEST_F(Job, DegreesMinutesSecondsReachTheDegreesConverterSplit) {
    std::vector<std::wstring> received;
    host.Script(Kind::Angle, 1, [&received](const std::wstring& text) -> std::optional<double> {
        received.push_back(text);
        return static_cast<double>(received.size()) / 8;
    });
    const std::string job = "CO,Dist Units: Metres\nCO,Angle Units: DDDMMSS\nST,S1,,B,,1.5,,0.0000\n"
                            "SS,P,1.5,10.0,123.4530,90.00005,,X\nSS,Q,1.5,10.0,90,359.59595\n";
    const Log log = Import(job);
    EXPECT_EQ(received, (std::vector<std::wstring>{L"0.00.00", L"123.45.30", L"90.00.00.5", L"359.59.59.5"}));
    EXPECT_LOG((Log{"2: AddStation(S1)", "2: SetInstrumentHeight(1.5)", "3: AddObservation(B)",
                    "3: SetHorizontalAngle(0.125)", "3: SetFaceRight(false)", "3: AddObservation(P)",
                    "3: SetTargetHeight(1.5)", "3: SetSlopeDistance(10)", "3: SetHorizontalAngle(0.25)",
                    "3: SetVerticalAngle(0.375)", "3: SetCode(X)", "4: AddObservation(Q)",
                    "4: SetTargetHeight(1.5)", "4: SetSlopeDistance(10)", "4: SetVerticalAngle(0.5)"}),
               log);
}

} // namespace
} // namespace testing_host
