#include "host/ModelSink.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// Drives the sink the way the module does: a factory per pass, released at the pass's end.
class ModelSinkTest : public ::testing::Test {
protected:
    void StartPass() { factory = sink.GetConverterFactory(); }
    void EndPass() {
        sink.SetProgress(100.0f);
        factory->Release();
    }

    HostObjects objects{nullptr};
    ImportModel model;
    std::vector<ProgressReport> reports;
    ModelSink sink{objects, model, [this](const ProgressReport& report) { reports.push_back(report); }};
    IUnitConverterFactory* factory = nullptr;
};

TEST_F(ModelSinkTest, KeepsStationsObservationsAndPointsOfEachFile) {
    sink.BeginFile(L"job.rdf");
    StartPass();
    sink.SetCurrentLine(0);
    sink.AddPoint(L"BS"); // announced ahead of the import pass
    EndPass();
    StartPass();
    sink.SetCurrentLine(0);
    sink.AddPoint(L"P1");
    sink.SetResectionPoint(false);
    sink.SetPointAttribute(false);
    sink.SetNorthing(5000.0);
    sink.SetEasting(1000.0);
    sink.SetElevation(100.0);
    sink.SetCode(L"CP");
    sink.SetCurrentLine(1);
    sink.AddStation(L"ST1");
    sink.SetTemperature(20.0);
    sink.SetPressure(1013.0);
    sink.SetInstrumentHeight(1.55);
    sink.SetCurrentLine(2);
    sink.AddObservation(L"BS");
    sink.SetTargetHeight(1.6);
    sink.SetSlopeDistance(123.4);
    sink.SetHorizontalAngle(0.0);
    sink.SetVerticalAngle(1.5);
    sink.SetFaceRight(false);
    sink.AddObservation(L"SS1");
    sink.SetCode(L"TREE");
    EndPass();

    ASSERT_EQ(model.files.size(), 1u);
    const FileResult& file = model.files[0];
    EXPECT_EQ(file.path, L"job.rdf");
    EXPECT_EQ(file.outcome, FileOutcome::Imported);
    EXPECT_EQ(file.targets, std::vector<std::wstring>{L"BS"});
    ASSERT_EQ(file.points.size(), 1u);
    EXPECT_EQ(file.points[0].name, L"P1");
    EXPECT_EQ(file.points[0].northing, 5000.0);
    EXPECT_EQ(file.points[0].easting, 1000.0);
    EXPECT_EQ(file.points[0].elevation, 100.0);
    EXPECT_EQ(file.points[0].resectionPoint, false);
    EXPECT_EQ(file.points[0].attribute, false);
    EXPECT_EQ(file.points[0].code, L"CP");
    ASSERT_EQ(file.stations.size(), 1u);
    const Station& station = file.stations[0];
    EXPECT_EQ(station.name, L"ST1");
    EXPECT_EQ(station.temperature, 20.0);
    EXPECT_EQ(station.pressure, 1013.0);
    EXPECT_EQ(station.instrumentHeight, 1.55);
    ASSERT_EQ(station.observations.size(), 2u);
    EXPECT_EQ(station.observations[0].target, L"BS");
    EXPECT_EQ(station.observations[0].targetHeight, 1.6);
    EXPECT_EQ(station.observations[0].slopeDistance, 123.4);
    EXPECT_EQ(station.observations[0].horizontalAngle, 0.0);
    EXPECT_EQ(station.observations[0].verticalAngle, 1.5);
    EXPECT_EQ(station.observations[0].faceRight, false);
    EXPECT_EQ(station.observations[0].code, std::nullopt);
    EXPECT_EQ(station.observations[1].code, L"TREE");
    EXPECT_EQ(station.observations[1].faceRight, std::nullopt);
    EXPECT_TRUE(file.messages.empty());
    EXPECT_EQ(objects.Live(), 0);
}

TEST_F(ModelSinkTest, ObservationsBeforeAnyStationAreKept) {
    sink.BeginFile(L"a.rdf");
    StartPass();
    EndPass();
    StartPass();
    sink.SetCurrentLine(3);
    sink.AddObservation(L"X");
    sink.SetHorizontalAngle(0.25);
    sink.AddStation(L"ST");
    sink.AddObservation(L"Y");
    EndPass();
    const FileResult& file = model.files[0];
    ASSERT_EQ(file.observationsBeforeStation.size(), 1u);
    EXPECT_EQ(file.observationsBeforeStation[0].target, L"X");
    EXPECT_EQ(file.observationsBeforeStation[0].horizontalAngle, 0.25);
    ASSERT_EQ(file.stations.size(), 1u);
    ASSERT_EQ(file.stations[0].observations.size(), 1u);
    EXPECT_EQ(file.stations[0].observations[0].target, L"Y");
}

TEST_F(ModelSinkTest, MessagesCarryTheLineLastNamedAndDecideTheOutcome) {
    sink.BeginFile(L"missing.rdf");
    sink.ReportMessage(L"cannot open");
    sink.BeginFile(L"empty.rdf");
    StartPass();
    EndPass();
    StartPass();
    EndPass();
    sink.SetCurrentLine(-1);
    sink.ReportMessage(L"unknown format");
    sink.BeginFile(L"good.rdf");
    StartPass();
    EndPass();
    StartPass();
    sink.SetCurrentLine(4);
    sink.ReportMessage(L"no units");
    EndPass();

    ASSERT_EQ(model.files.size(), 3u);
    EXPECT_EQ(model.files[0].outcome, FileOutcome::CannotOpen);
    EXPECT_EQ(model.files[0].messages[0].line, std::nullopt);
    EXPECT_EQ(model.files[0].messages[0].text, L"cannot open");
    EXPECT_EQ(model.files[1].outcome, FileOutcome::NoRecords);
    EXPECT_EQ(model.files[1].messages[0].line, std::nullopt);
    EXPECT_EQ(model.files[2].outcome, FileOutcome::Imported);
    EXPECT_EQ(model.files[2].messages[0].line, 4);
    EXPECT_FALSE(AllFilesImported(model));
}

TEST_F(ModelSinkTest, ProgressNamesTheFileAndThePass) {
    sink.BeginFile(L"a.rdf");
    StartPass();
    sink.SetProgress(50.0f);
    EndPass();
    StartPass();
    EndPass();
    sink.BeginFile(L"b.rdf");
    StartPass();
    EndPass();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].fileIndex, 0u);
    EXPECT_EQ(reports[0].pass, 1);
    EXPECT_EQ(reports[0].percent, 50.0f);
    EXPECT_EQ(reports[2].pass, 2);
    EXPECT_EQ(reports[3].fileIndex, 1u);
    EXPECT_EQ(reports[3].pass, 1);
}

} // namespace
} // namespace host
