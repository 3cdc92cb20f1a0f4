// Splitting lines into tokens, recognising record codes, and the pre-scan pass.
#include "parser/Tokens.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace testing_host {
namespace {

struct SplitCase {
    std::wstring line;
    std::vector<std::wstring> tokens;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << Utf8(c.line);
}

std::vector<std::wstring> Texts(const TokenList& tokens) {
    return std::vector<std::wstring>(tokens.begin(), tokens.end());
}

class Splitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, KeepsEmptyFieldsTrimsEachOneAndGivesTheLineBack) {
    LineSplitter splitter;
    const std::wstring before = L"left, over ,from,before ,x";
    std::wstring previous = before;
    splitter.Split(previous); // left split: the next split must give it back first
    std::wstring line = GetParam().line;
    {
        const ScopedSplit split(splitter, line);
        EXPECT_EQ(previous, before);
        EXPECT_EQ(Texts(split.Tokens()), GetParam().tokens);
        // Each token is zero-terminated where it stands, ready for the host.
        for (const Token& token : split.Tokens())
            EXPECT_EQ(std::wcslen(token.c_str()), token.size());
    }
    EXPECT_EQ(line, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Splitting,
    ::testing::Values(SplitCase{L"", {L""}}, SplitCase{L"   \t ", {L""}}, SplitCase{L",", {L"", L""}},
                      SplitCase{L",ST", {L"", L"ST"}}, SplitCase{L"ST,", {L"ST", L""}},
                      SplitCase{L" ST , S1 ,, B1 ,", {L"ST", L"S1", L"", L"B1", L""}},
                      SplitCase{L"CO,\tStart of Resection\r", {L"CO", L"Start of Resection"}},
                      SplitCase{L"F1,\v\fP 1\n", {L"F1", L"P 1"}},
                      SplitCase{L"SS,\"a,b\"", {L"SS", L"\"a", L"b\""}}));

TEST(Splitting, LeadingFieldsLeaveTheRestUnread) {
    LineSplitter splitter;
    std::wstring line = L"F1 , P1 , 1.5,2";
    {
        const ScopedSplit split(splitter, line, 2);
        EXPECT_EQ(Texts(split.Tokens()), (std::vector<std::wstring>{L"F1", L"P1"}));
        EXPECT_EQ(line.substr(8), L", 1.5,2"); // past the second token nothing was touched
    }
    EXPECT_EQ(line, L"F1 , P1 , 1.5,2");
}

// Every code reaches its handler; the log tells which one ran. No units are set, so the
// handlers stop early with their own first calls.
struct CodeCase {
    std::wstring line;
    bool recognised;
    Log calls; // between the factory and its release
};

void PrintTo(const CodeCase& c, std::ostream* out) {
    *out << Utf8(c.line);
}

class Dispatch : public ::testing::TestWithParam<CodeCase> {};

TEST_P(Dispatch, RoutesByExactCode) {
    RecordingHost host;
    Log expected = AfterFactory(GetParam().calls);
    expected.push_back(GetParam().recognised ? "result=true" : "result=false");
    expected.push_back("factory#1.Release");
    EXPECT_LOG(expected, RunImportPass(host, GetParam().line));
    EXPECT_NO_REFERENCE_FAULTS(host);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Dispatch,
    ::testing::Values(
        CodeCase{L"CO", true, {}}, CodeCase{L"ST,S1", true, {"AddStation(S1)"}}, CodeCase{L"ST", true, {}},
        CodeCase{L"F1,P", true, {"ReportMessage(#103)"}}, CodeCase{L"F2", true, {"ReportMessage(#103)"}},
        CodeCase{L"SS,P,1", true, {"AddObservation(P)", "ReportMessage(#103)"}}, CodeCase{L"SO", true, {}},
        CodeCase{L"MC,P", true, {"AddPoint(P)"}},
        CodeCase{L"MP,P", true, {"AddPoint(P)", "SetResectionPoint(false)", "SetPointAttribute(false)"}},
        CodeCase{L"RE,P", true, {"AddPoint(P)", "SetResectionPoint(true)"}},
        CodeCase{L"UP,P", true, {"AddPoint(P)", "SetResectionPoint(false)", "SetPointAttribute(false)"}},
        CodeCase{L" MC ,P", true, {"AddPoint(P)"}}, CodeCase{L"SS,P", false, {}}, CodeCase{L"SS", false, {}},
        CodeCase{L"st,S1", false, {}}, CodeCase{L"STA,S1", false, {}}, CodeCase{L"S,S1", false, {}},
        CodeCase{L"", false, {}}, CodeCase{L"XX,1,2,3", false, {}},
        CodeCase{L"Co,Dist Units: Metres", false, {}}, CodeCase{L",ST,S1", false, {}}));

// Each record reads up to a last field of its own: that field still counts, and nothing after
// it ever does, however long the line.
struct LastFieldCase {
    std::wstring code;
    std::size_t lastField;
};

void PrintTo(const LastFieldCase& c, std::ostream* out) {
    *out << Utf8(c.code);
}

class LastField : public ::testing::TestWithParam<LastFieldCase> {};

TEST_P(LastField, CountsAndNothingAfterItDoes) {
    const auto logOf = [](std::wstring line, std::size_t fields) {
        for (std::size_t field = 1; field < fields; ++field)
            line += L"," + std::to_wstring(field) + L".2345";
        RecordingHost host;
        return RunImportPass(host, L"CO,Dist Units: Metres\nCO,Angle Units: Gons\n" + line);
    };
    const std::size_t last = GetParam().lastField;
    const Log upToLast = logOf(GetParam().code, last + 1);
    EXPECT_NE(upToLast, logOf(GetParam().code, last));
    for (std::size_t fields = last + 2; fields <= 14; ++fields)
        EXPECT_EQ(logOf(GetParam().code, fields), upToLast) << fields << " fields";
}

INSTANTIATE_TEST_SUITE_P(Codes, LastField,
                         ::testing::Values(LastFieldCase{L"ST", 7}, LastFieldCase{L"F1", 5},
                                           LastFieldCase{L"F2", 5}, LastFieldCase{L"SS", 7},
                                           LastFieldCase{L"SO", 8}, LastFieldCase{L"MC", 6},
                                           LastFieldCase{L"MP", 6}, LastFieldCase{L"RE", 6},
                                           LastFieldCase{L"UP", 6}));

TEST(DispatchResult, CommentsAloneCountAsRecords) {
    RecordingHost host;
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "result=true", "factory#1.Release"}),
               RunImportPass(host, L"CO\nCO,nothing of interest"));
}

TEST(DispatchResult, SideShotWithOneFieldGetsThePlaceholder) {
    RecordingHost host;
    const Log log = RunImportPass(host, L"CO,Dist Units: Metres\nSS,P,1.5");
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "factory#1.CreateDistanceConverter(0)=distance#1",
                    "AddObservation(P)", "distance#1.Convert(1.5)=1.5", "SetTargetHeight(1.5)", "result=true",
                    "distance#1.Release", "factory#1.Release"}),
               log);
}

TEST(PreScan, AnnouncesFaceTargetsOnly) {
    RecordingHost host;
    const Log log = RunPreScanPass(host, L"CO,Dist Units: Metres\nF1, A \n \tF1 ,C\nF1\nF2,\nST,S1,,B,,1,,0\n"
                                         L"SS,X,1,2\nMC,P,,1,2,3\nf1,lower\nF1X,long\nF2,B,1.5,10,0.5,1.5");
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "AddPoint(A)", "AddPoint(C)", "AddPoint()",
                    "AddPoint(B)", "result=false", "factory#1.Release"}),
               log);
    EXPECT_NO_REFERENCE_FAULTS(host);
}

TEST(PreScan, NeverFlushesOrRecognises) {
    RecordingHost host;
    const Log log = RunPreScanPass(host, L"CO,Start of Resection\nST,S1,,B,,1,,0\nF1,B,1,2,3,4");
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "AddPoint(B)", "result=false", "factory#1.Release"}),
               log);
}

} // namespace
} // namespace testing_host
