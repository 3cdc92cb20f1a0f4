// The driver's conversation with the host: file list walk, both passes, progress, outcome.
#include "interfaces/CreatePlugin.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>

namespace testing_host {
namespace {

class ImportDriver : public ::testing::Test {
protected:
    Log Import(const std::vector<std::wstring>& paths) {
        host.files.paths = paths;
        Plugin::IGroundBasedMIP* plugin = CreatePlugin();
        plugin->Import(&host.files, &host.sink);
        EXPECT_TRUE(plugin->Release());
        return host.Take();
    }

    // What one pass over `lines` lines that hold no record looks like.
    static Log IdlePass(int factory, int lines, std::vector<std::string> progress) {
        const std::string name = "factory#" + std::to_string(factory);
        Log log{"GetConverterFactory=" + name};
        for (int i = 0; i < lines; ++i) {
            log.push_back("SetCurrentLine(" + std::to_string(i) + ")");
            log.push_back("SetProgress(" + progress.at(static_cast<std::size_t>(i)) + ")");
        }
        log.push_back("SetProgress(100)");
        log.push_back(name + ".Release");
        return log;
    }

    static Log Concat(std::initializer_list<Log> parts) {
        Log all;
        for (const Log& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    void TearDown() override { EXPECT_NO_REFERENCE_FAULTS(host); }

    RecordingHost host;
    TempDir dir;
};

TEST_F(ImportDriver, EmptyListOnlyAsksOnce) {
    EXPECT_LOG((Log{"files.Reset", "files.HasCurrent=false"}), Import({}));
}

// A missing file among others is the module test's case; here a folder, which cannot be read as a file.
TEST_F(ImportDriver, FolderGetsOpenMessageAndTheNextFileStillImports) {
    const std::wstring folder = dir.Path().wstring();
    const std::wstring good = dir.Write("good.rdf", "CO,nothing set\n").wstring();
    EXPECT_LOG(Concat({{"files.Reset", "files.HasCurrent=true", "files.GetCurrent",
                        "BeginFile(" + Utf8(folder) + ")", "ReportMessage(#101)", "files.MoveNext",
                        "files.HasCurrent=true", "files.GetCurrent", "BeginFile(" + Utf8(good) + ")"},
                       IdlePass(1, 1, {"100"}),
                       IdlePass(2, 1, {"100"}),
                       {"files.MoveNext", "files.HasCurrent=false"}}),
               Import({folder, good}));
}

TEST_F(ImportDriver, ThreeLinesGiveLineIndicesAndProgressInBothPasses) {
    const std::wstring path = dir.Write("three.rdf", "XX\nYY\nZZ\n").wstring();
    const std::vector<std::string> progress{"33.333332", "66.666664", "100"};
    EXPECT_LOG(
        Concat({{"files.Reset", "files.HasCurrent=true", "files.GetCurrent", "BeginFile(" + Utf8(path) + ")"},
                IdlePass(1, 3, progress),
                IdlePass(2, 3, progress),
                {"SetCurrentLine(-1)", "ReportMessage(#102)", "files.MoveNext", "files.HasCurrent=false"}}),
        Import({path}));
}

TEST_F(ImportDriver, RecognisedFileEndsWithoutMessageAndLeavesTheLastLineCurrent) {
    const std::wstring path = dir.Write("one.rdf", "CO,Job 12").wstring();
    const Log log = Import({path});
    ASSERT_GE(log.size(), 4u);
    EXPECT_LOG((Log{"SetCurrentLine(0)", "SetProgress(100)", "SetProgress(100)", "factory#2.Release",
                    "files.MoveNext", "files.HasCurrent=false"}),
               Log(log.end() - 6, log.end()));
}

TEST_F(ImportDriver, ProgressOfManyLinesRisesToExactlyOneHundred) {
    std::string text;
    for (int i = 0; i < 7; ++i)
        text += "XX\n";
    const Log progress =
        Without(Import({dir.Write("seven.rdf", text).wstring()}),
                {"files.", "BeginFile", "GetConverterFactory", "factory", "SetCurrentLine", "ReportMessage"});
    Log expected;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 7; ++i)
            expected.push_back("SetProgress(" + Shortest(float(100 * (i + 1)) / 7.0f) + ")");
        expected.push_back("SetProgress(100)");
    }
    EXPECT_LOG(expected, progress);
    EXPECT_EQ(progress[6], "SetProgress(100)");
}

TEST_F(ImportDriver, PreScanAnnouncesFaceTargetsBeforeTheImportPass) {
    const std::wstring path = dir.Write("targets.rdf", "F1,A\r\nF2,,x\r\nF1\r\nST,S1\r\n").wstring();
    const Log log = Without(Import({path}), {"files.", "BeginFile", "SetProgress", "factory#1.Release"});
    EXPECT_LOG((Log{"GetConverterFactory=factory#1", "SetCurrentLine(0)", "AddPoint(A)", "SetCurrentLine(1)",
                    "AddPoint()", "SetCurrentLine(2)", "SetCurrentLine(3)", "GetConverterFactory=factory#2",
                    "SetCurrentLine(0)", "ReportMessage(#103)", "SetCurrentLine(1)", "ReportMessage(#103)",
                    "SetCurrentLine(2)", "ReportMessage(#103)", "SetCurrentLine(3)", "AddStation(S1)",
                    "factory#2.Release"}),
               log);
}

// Serial numbers aside, a second import on the same object sees exactly what the first saw.
TEST_F(ImportDriver, ImportCanRunAgainWithNothingLeftOver) {
    const std::wstring path =
        dir.Write("job.rdf", "CO,Dist Units: Metres\nMC,P1,,1,2,3\nST,S1,,B,,1.5\n").wstring();
    auto withoutSerials = [](Log log) {
        for (std::string& call : log)
            for (auto at = call.find('#'); at != std::string::npos; at = call.find('#', at + 1))
                while (at + 1 < call.size() && std::isdigit(static_cast<unsigned char>(call[at + 1])))
                    call.erase(at + 1, 1);
        return log;
    };
    host.files.paths = {path};
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    plugin->Import(&host.files, &host.sink);
    const Log first = host.Take();
    plugin->Import(&host.files, &host.sink);
    const Log second = host.Take();
    EXPECT_TRUE(plugin->Release());
    EXPECT_LOG(withoutSerials(first), withoutSerials(second));
    EXPECT_NE(first, second);
}

} // namespace
} // namespace testing_host
