// The built module as a host meets it: loaded by path, driven through its one export alone.
#include "interfaces/CreatePlugin.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>

namespace testing_host {
namespace {

class Module : public ::testing::Test {
protected:
    void SetUp() override {
        handle = ::dlopen(NIKON_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << ::dlerror();
        create = reinterpret_cast<CreatePluginFunction>(::dlsym(handle, kCreatePluginName));
        ASSERT_NE(create, nullptr) << ::dlerror();
    }
    void TearDown() override {
        if (handle != nullptr) {
            EXPECT_EQ(::dlclose(handle), 0);
        }
        EXPECT_NO_REFERENCE_FAULTS(host);
    }

    void* handle = nullptr;
    CreatePluginFunction create = nullptr;
    RecordingHost host;
    TempDir dir;
};

TEST_F(Module, ExportsNothingButTheFactory) {
    for (const char* hidden : {"_Z11LoadMessagej", "_Z11ImportFilesP15IImportFileListP16IMeasurementSink",
                               "_ZN14CRawDataParser9ParseLineEPwmPKc"})
        EXPECT_EQ(::dlsym(handle, hidden), nullptr) << hidden;
}

// Three files in one call: a job, a missing file and an empty one, each call in its place.
TEST_F(Module, ImportsAListOfFilesWithTheExactCallSequence) {
    const std::wstring job =
        dir.Write("job.rdf", "CO,Dist Units: Metres\r\nMC,P1,,1.5,2.5,3.5,PEG\r\n").wstring();
    const std::wstring missing = dir.PathOf("missing.rdf");
    const std::wstring empty = dir.Write("empty.rdf", "").wstring();
    host.files.paths = {job, missing, empty};
    Plugin::IGroundBasedMIP* plugin = create();
    plugin->Import(&host.files, &host.sink);
    EXPECT_TRUE(plugin->Release());
    EXPECT_LOG((Log{"files.Reset",
                    "files.HasCurrent=true",
                    "files.GetCurrent",
                    "BeginFile(" + Utf8(job) + ")",
                    "GetConverterFactory=factory#1",
                    "SetCurrentLine(0)",
                    "SetProgress(50)",
                    "SetCurrentLine(1)",
                    "SetProgress(100)",
                    "SetProgress(100)",
                    "factory#1.Release",
                    "GetConverterFactory=factory#2",
                    "SetCurrentLine(0)",
                    "factory#2.CreateDistanceConverter(0)=distance#1",
                    "SetProgress(50)",
                    "SetCurrentLine(1)",
                    "AddPoint(P1)",
                    "distance#1.Convert(1.5)=1.5",
                    "SetNorthing(1.5)",
                    "distance#1.Convert(2.5)=2.5",
                    "SetEasting(2.5)",
                    "distance#1.Convert(3.5)=3.5",
                    "SetElevation(3.5)",
                    "SetCode(PEG)",
                    "SetProgress(100)",
                    "SetProgress(100)",
                    "distance#1.Release",
                    "factory#2.Release",
                    "files.MoveNext",
                    "files.HasCurrent=true",
                    "files.GetCurrent",
                    "BeginFile(" + Utf8(missing) + ")",
                    "ReportMessage(#101)",
                    "files.MoveNext",
                    "files.HasCurrent=true",
                    "files.GetCurrent",
                    "BeginFile(" + Utf8(empty) + ")",
                    "GetConverterFactory=factory#3",
                    "SetProgress(100)",
                    "factory#3.Release",
                    "GetConverterFactory=factory#4",
                    "SetProgress(100)",
                    "factory#4.Release",
                    "SetCurrentLine(-1)",
                    "ReportMessage(#102)",
                    "files.MoveNext",
                    "files.HasCurrent=false"}),
               host.Take());
}

// A host failure leaves Import at once; everything the module held is still given back.
TEST_F(Module, HostExceptionLeavesImportAndReleasesWhatTheModuleHeld) {
    host.Script(Kind::Distance, 0, [](const std::wstring& text) -> std::optional<double> {
        if (text == L"boom")
            throw std::runtime_error("host failure");
        return PlainDecimal(text);
    });
    host.files.paths = {dir.Write("a.rdf", "CO,Dist Units: Metres\nMC,P,,boom\n").wstring(),
                        dir.Write("b.rdf", "CO\n").wstring()};
    Plugin::IGroundBasedMIP* plugin = create();
    EXPECT_THROW(plugin->Import(&host.files, &host.sink), std::runtime_error);
    EXPECT_TRUE(plugin->Release());
    const Log log = host.Take();
    EXPECT_LOG((Log{"AddPoint(P)", "distance#1.Release", "factory#2.Release"}),
               Log(log.end() - 3, log.end()));
}

// The host's sink or file list failing in the middle of the list: the failure reaches the caller
// of Import as it was thrown, nothing after it is called, and every reference comes back.
TEST_F(Module, SinkOrFileListFailureReachesTheCallerWithEverythingReleased) {
    struct Case {
        std::string failAt;
        Log last; // the log's end, from the failing call on
    };
    const Case cases[] = {
        {"AddObservation(T3)",
         {"AddObservation(T3)", "distance#1.Release", "angle#1.Release", "factory#2.Release"}},
        {"files.MoveNext", {"files.MoveNext"}},
    };
    const std::wstring job = dir.Write("job.rdf", "CO,Dist Units: Metres\nCO,Angle Units: DDDMMSS\n"
                                                  "ST,T1,,T2,,1.5,0.0000,0.0000\n"
                                                  "F1,T2,1.6,135.8,0.0000,90.0000\n"
                                                  "F1,T3,1.6,98.4,112.1530,90.1205\n"
                                                  "F1,T4,1.6,80.2,200.0000,90.0000\n")
                                 .wstring();
    for (const Case& c : cases) {
        RecordingHost failing;
        failing.FailAt(c.failAt);
        failing.files.paths = {job, job};
        Plugin::IGroundBasedMIP* plugin = create();
        EXPECT_THROW(plugin->Import(&failing.files, &failing.sink), std::runtime_error) << c.failAt;
        EXPECT_TRUE(plugin->Release());
        const Log log = failing.Take();
        ASSERT_GE(log.size(), c.last.size()) << c.failAt;
        EXPECT_LOG(c.last, Log(log.end() - static_cast<std::ptrdiff_t>(c.last.size()), log.end()));
        EXPECT_EQ(std::count(log.begin(), log.end(), "BeginFile(" + Utf8(job) + ")"), 1) << c.failAt;
        EXPECT_NO_REFERENCE_FAULTS(failing);
    }
}

} // namespace
} // namespace testing_host
