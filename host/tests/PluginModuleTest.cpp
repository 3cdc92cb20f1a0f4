#include "host/PluginModule.h"
#include "survey/Geometry.h"
#include "tests/support/TempDir.h"

#include "host/Text.h"
#include "host/pipeline/EventFanOut.h"
#include "tests/support/FileCollector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace host {
namespace {

constexpr double kDegree = survey::kPi / 180.0;

using testsupport::TempDir;

const char kJob[] = "CO,Nikon RAW data format V2.00\n"
                    "CO,Dist Units: Metres\n"
                    "CO,Angle Units: DDDMMSS\n"
                    "CO,Temp: 20C Press: 1013hPa\n"
                    "ST,S1,,BS1,,1.550,,0.0000\n"
                    "F1,BS1,1.600,100.000,0.0000,90.0000\n"
                    "F1,P1,1.600,50.000,45.3000,89.3000\n"
                    "SS,P2,1.500,30.000,120.0000,91.0000,,TREE\n"
                    "MP,S1,,5000.000,1000.000,100.000,CP\n";

std::wstring Wide(const std::filesystem::path& path) {
    return path.wstring();
}

struct Imported {
    std::vector<FileResult> files;
    int unreleasedObjects = -1;
};

// Every file whole, and what the import's end reports.
Imported ImportAll(const PluginModule& module, const std::vector<std::wstring>& paths,
                   CallTrace* trace = nullptr, const ProgressListener& progress = {}) {
    struct EndOfImport final : ImportEvents {
        void ImportEnded(const ImportEnd& end) override { unreleasedObjects = end.unreleasedObjects; }
        int unreleasedObjects = -1;
    } end;
    Imported result;
    testsupport::FileCollector files(
        [&result](FileResult& file) { result.files.push_back(std::move(file)); });
    EventFanOut events;
    events.Add(files);
    events.Add(end);
    module.Import(paths, events, trace, progress);
    result.unreleasedObjects = end.unreleasedObjects;
    return result;
}

TEST(PluginModule, ReportsTheModulesIdentity) {
    const PluginModule module(NIKON_MODULE_PATH);
    const ModuleIdentity identity = module.Identity();
    EXPECT_EQ(identity.name, L"Nikon");
    EXPECT_EQ(identity.formatName, L"Nikon");
    EXPECT_EQ(identity.fileFilter, L"*.rdf;*.txt");
    EXPECT_EQ(identity.id, "{96B982EB-4CE1-44B4-99A3-6CC06DF365D6}");
    EXPECT_EQ(identity.kind, 2);
}

TEST(PluginModule, ALibraryThatCannotBeLoadedIsNamedInTheError) {
    try {
        const PluginModule module("/nonexistent/Nikon.so");
        FAIL() << "loaded a module that does not exist";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("/nonexistent/Nikon.so"), std::string::npos) << error.what();
    }
}

TEST(PluginModule, ImportsAJobAndGetsEveryObjectBack) {
    const TempDir directory;
    const auto job = directory.Write("job.rdf", kJob);
    const PluginModule module(NIKON_MODULE_PATH);
    const Imported model = ImportAll(module, {Wide(job)});

    EXPECT_EQ(model.unreleasedObjects, 0);
    ASSERT_EQ(model.files.size(), 1u);
    const FileResult& file = model.files[0];
    EXPECT_EQ(file.outcome, FileOutcome::Imported);
    EXPECT_TRUE(file.messages.empty());
    EXPECT_EQ(file.targets, (std::vector<std::wstring>{L"BS1", L"P1"}));
    ASSERT_EQ(file.stations.size(), 1u);
    const Station& station = file.stations[0];
    EXPECT_EQ(station.name, L"S1");
    EXPECT_EQ(station.temperature, 20.0);
    EXPECT_EQ(station.pressure, 1013.0);
    EXPECT_EQ(station.instrumentHeight, 1.55);
    ASSERT_EQ(station.observations.size(), 3u);
    EXPECT_EQ(station.observations[0].target, L"BS1");
    EXPECT_EQ(station.observations[0].faceRight, false);
    EXPECT_EQ(station.observations[1].target, L"P1");
    ASSERT_TRUE(station.observations[1].horizontalAngle);
    EXPECT_NEAR(*station.observations[1].horizontalAngle, 45.5 * kDegree, 1e-12);
    ASSERT_TRUE(station.observations[1].verticalAngle);
    EXPECT_NEAR(*station.observations[1].verticalAngle, 89.5 * kDegree, 1e-12);
    EXPECT_EQ(station.observations[2].target, L"P2");
    EXPECT_EQ(station.observations[2].code, L"TREE");
    EXPECT_EQ(station.observations[2].slopeDistance, 30.0);
    ASSERT_EQ(file.points.size(), 1u);
    EXPECT_EQ(file.points[0].name, L"S1");
    EXPECT_EQ(file.points[0].northing, 5000.0);
    EXPECT_EQ(file.points[0].easting, 1000.0);
    EXPECT_EQ(file.points[0].elevation, 100.0);
    EXPECT_EQ(file.points[0].code, L"CP");
}

TEST(PluginModule, AMissingFileDoesNotStopTheOthers) {
    const TempDir directory;
    const auto job = directory.Write("job.rdf", kJob);
    const auto empty = directory.Write("empty.rdf", "");
    const auto missing = directory.Path() / "missing.rdf";
    const PluginModule module(NIKON_MODULE_PATH);
    const Imported model = ImportAll(module, {Wide(missing), Wide(empty), Wide(job)});

    ASSERT_EQ(model.files.size(), 3u);
    EXPECT_EQ(model.files[0].outcome, FileOutcome::CannotOpen);
    ASSERT_EQ(model.files[0].messages.size(), 1u);
    EXPECT_EQ(model.files[0].messages[0].text, L"Не удается открыть файл");
    EXPECT_EQ(model.files[1].outcome, FileOutcome::NoRecords);
    ASSERT_EQ(model.files[1].messages.size(), 1u);
    EXPECT_EQ(model.files[1].messages[0].text, L"Файл содержит данные в неизвестном формате");
    EXPECT_EQ(model.files[2].outcome, FileOutcome::Imported);
    EXPECT_EQ(model.unreleasedObjects, 0);
}

// As files copied from old media are named: bytes that are not UTF-8.
TEST(PluginModule, ImportsAFileWhoseNameIsNotUtf8) {
    const TempDir directory;
    const auto job = directory.Write("\xFF\xFE.rdf", kJob);
    const PluginModule module(NIKON_MODULE_PATH);
    const Imported model = ImportAll(module, {FileNameFromBytes(job.string())});

    ASSERT_EQ(model.files.size(), 1u);
    EXPECT_EQ(model.files[0].outcome, FileOutcome::Imported);
    EXPECT_TRUE(model.files[0].messages.empty());
    EXPECT_EQ(model.files[0].stations.size(), 1u);
    EXPECT_EQ(ToUtf8(model.files[0].path), (directory.Path() / "\xEF\xBF\xBD\xEF\xBF\xBD.rdf").string());
}

TEST(PluginModule, TracesTheCallsOfAnImportInOrder) {
    const TempDir directory;
    const auto job = directory.Write("units.rdf", "CO,Dist Units: Feet\nMC,A,,10,20\n");
    const PluginModule module(NIKON_MODULE_PATH);
    std::ostringstream log;
    CallTrace trace(log);
    std::vector<float> progress;
    ImportAll(module, {Wide(job)}, &trace,
              [&](const ProgressReport& report) { progress.push_back(report.percent); });
    trace.Flush();

    const std::string path = "\"" + job.string() + "\""; // a temporary path needs no escapes
    EXPECT_EQ(log.str(),
              "{\"call\":\"Reset\",\"on\":\"files\",\"args\":[]}\n"
              "{\"call\":\"HasCurrent\",\"on\":\"files\",\"args\":[],\"result\":true}\n"
              "{\"call\":\"GetCurrent\",\"on\":\"files\",\"args\":[],\"result\":" +
                  path +
                  "}\n"
                  "{\"call\":\"BeginFile\",\"on\":\"sink\",\"args\":[" +
                  path +
                  "]}\n"
                  "{\"call\":\"GetConverterFactory\",\"on\":\"sink\",\"args\":[],\"result\":\"factory#1\"}\n"
                  "{\"call\":\"SetCurrentLine\",\"on\":\"sink\",\"args\":[0]}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[50]}\n"
                  "{\"call\":\"SetCurrentLine\",\"on\":\"sink\",\"args\":[1]}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[100]}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[100]}\n"
                  "{\"call\":\"Release\",\"on\":\"factory#1\",\"args\":[],\"result\":true}\n"
                  "{\"call\":\"GetConverterFactory\",\"on\":\"sink\",\"args\":[],\"result\":\"factory#2\"}\n"
                  "{\"call\":\"SetCurrentLine\",\"on\":\"sink\",\"args\":[0]}\n"
                  "{\"call\":\"CreateDistanceConverter\",\"on\":\"factory#2\",\"args\":[1],"
                  "\"result\":\"distance#1\"}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[50]}\n"
                  "{\"call\":\"SetCurrentLine\",\"on\":\"sink\",\"args\":[1]}\n"
                  "{\"call\":\"AddPoint\",\"on\":\"sink\",\"args\":[\"A\"]}\n"
                  "{\"call\":\"Convert\",\"on\":\"distance#1\",\"args\":[\"10\"],\"result\":true,"
                  "\"value\":3.048}\n"
                  "{\"call\":\"SetNorthing\",\"on\":\"sink\",\"args\":[3.048]}\n"
                  "{\"call\":\"Convert\",\"on\":\"distance#1\",\"args\":[\"20\"],\"result\":true,"
                  "\"value\":6.096}\n"
                  "{\"call\":\"SetEasting\",\"on\":\"sink\",\"args\":[6.096]}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[100]}\n"
                  "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[100]}\n"
                  "{\"call\":\"Release\",\"on\":\"distance#1\",\"args\":[],\"result\":true}\n"
                  "{\"call\":\"Release\",\"on\":\"factory#2\",\"args\":[],\"result\":true}\n"
                  "{\"call\":\"MoveNext\",\"on\":\"files\",\"args\":[]}\n"
                  "{\"call\":\"HasCurrent\",\"on\":\"files\",\"args\":[],\"result\":false}\n");
    EXPECT_EQ(progress, (std::vector<float>{50.0f, 100.0f, 100.0f, 50.0f, 100.0f, 100.0f}));
}

} // namespace
} // namespace host
