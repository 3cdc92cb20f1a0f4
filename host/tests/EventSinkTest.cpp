#include "host/pipeline/EventSink.h"

#include "host/Text.h"
#include "host/pipeline/EventFanOut.h"
#include "interfaces/RefPtr.h"
#include "tests/support/FileCollector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace host {
namespace {

// Each event as a short line, so that one assertion shows the order of a whole import.
class EventLog final : public ImportEvents {
public:
    void FileBegun(const FileBegin& file) override { Add("begin " + ToUtf8(file.path)); }
    void TargetAnnounced(std::wstring_view name) override { Add("target " + ToUtf8(name)); }
    void StationReady(const Station& station) override { Add("station " + ToUtf8(station.name)); }
    void ObservationReady(const Observation& o) override {
        Add("observation " + ToUtf8(o.target) + (o.code ? " " + ToUtf8(*o.code) : ""));
    }
    void PointReady(const Point& point) override { Add("point " + ToUtf8(point.name)); }
    void MessageReported(const Message& message) override { Add("message " + ToUtf8(message.text)); }
    void FileEnded(const FileEnd& file) override {
        Add("end " + ToUtf8(file.path) + " " + std::to_string(static_cast<int>(file.outcome)));
    }
    void ImportEnded(const ImportEnd& end) override {
        Add("unreleased " + std::to_string(end.unreleasedObjects));
    }
    bool ReadsObservations() const override { return readsObservations; }

    std::string text;
    bool readsObservations = true;

private:
    void Add(const std::string& line) { text += line + "\n"; }
};

// Drives the sink the way the module does: a factory per pass, released at the pass's end. The
// files come back whole through the collector, and every event into the log.
class EventSinkTest : public ::testing::Test {
protected:
    EventSinkTest() {
        events.Add(collector);
        events.Add(log);
    }
    void StartPass() { factory = Plugin::RefPtr<IUnitConverterFactory>::Adopt(sink.GetConverterFactory()); }
    void EndPass() {
        sink.SetProgress(100.0f);
        factory.Reset();
    }
    // Begins a file and the module's import pass, after its first pass over the file.
    void BeginImportPass(const wchar_t* path) {
        sink.BeginFile(path);
        StartPass();
        EndPass();
        StartPass();
    }
    // Ends the last pass and the import: the files the sink handed on, as many as expected.
    void EndImport(std::size_t expectedFiles) {
        EndPass();
        sink.Finish();
        ASSERT_EQ(files.size(), expectedFiles);
    }

    HostObjects objects;
    std::vector<FileResult> files;
    testsupport::FileCollector collector{[this](FileResult& file) { files.push_back(std::move(file)); }};
    EventLog log;
    EventFanOut events;
    std::vector<ProgressReport> reports;
    EventSink sink{objects, events, [this](const ProgressReport& report) { reports.push_back(report); }};
    Plugin::RefPtr<IUnitConverterFactory> factory;
};

TEST_F(EventSinkTest, KeepsStationsObservationsAndPointsOfEachFile) {
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
    ASSERT_NO_FATAL_FAILURE(EndImport(1));
    const FileResult& file = files[0];
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
    EXPECT_EQ(std::tie(station.name, station.temperature, station.pressure, station.instrumentHeight),
              std::make_tuple(std::wstring(L"ST1"), 20.0, 1013.0, 1.55));
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

TEST_F(EventSinkTest, ObservationsBeforeAnyStationAreKept) {
    BeginImportPass(L"a.rdf");
    sink.SetCurrentLine(3);
    sink.AddObservation(L"X");
    sink.SetHorizontalAngle(0.25);
    sink.AddStation(L"ST");
    sink.AddObservation(L"Y");
    ASSERT_NO_FATAL_FAILURE(EndImport(1));
    const FileResult& file = files[0];
    ASSERT_EQ(file.observationsBeforeStation.size(), 1u);
    EXPECT_EQ(file.observationsBeforeStation[0].target, L"X");
    EXPECT_EQ(file.observationsBeforeStation[0].horizontalAngle, 0.25);
    ASSERT_EQ(file.stations.size(), 1u);
    ASSERT_EQ(file.stations[0].observations.size(), 1u);
    EXPECT_EQ(file.stations[0].observations[0].target, L"Y");
}

// Observations in a row with values and codes present or not, texts short and long: each is
// handed on with its own values only, none left over from the one before.
TEST_F(EventSinkTest, EachItemCarriesOnlyItsOwnValues) {
    const std::wstring longText(40, L'x');
    // Names as long as the one before, shorter, longer and empty, each of its own letter.
    const auto target = [](int i) {
        constexpr std::size_t kLengths[] = {3, 3, 40, 1, 1, 0, 40, 2};
        return std::wstring(kLengths[i % 8], static_cast<wchar_t>(L'a' + i));
    };
    const auto code = [&](int i) {
        return i % 3 == 0 ? std::optional<std::wstring>(i % 2 == 1 ? L"C" : longText) : std::nullopt;
    };
    const auto distance = [](int i) { return i % 2 == 0 ? std::optional<double>(i) : std::nullopt; };
    constexpr int kObservations = 7;
    BeginImportPass(L"a.rdf");
    sink.AddStation(L"S");
    for (int i = 0; i < kObservations; ++i) {
        sink.AddObservation(target(i).c_str());
        if (code(i))
            sink.SetCode(code(i)->c_str());
        if (distance(i))
            sink.SetSlopeDistance(*distance(i));
        // Points between them, their codes out of step with the observations'.
        sink.AddPoint(target(i + 1).c_str());
        if (code(i + 1))
            sink.SetCode(code(i + 1)->c_str());
    }
    ASSERT_NO_FATAL_FAILURE(EndImport(1));
    const std::vector<Observation>& observations = files[0].stations.at(0).observations;
    ASSERT_EQ(observations.size(), static_cast<std::size_t>(kObservations));
    ASSERT_EQ(files[0].points.size(), static_cast<std::size_t>(kObservations));
    for (int i = 0; i < kObservations; ++i) {
        const Observation& o = observations[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::tie(o.target, o.code, o.slopeDistance),
                  std::make_tuple(target(i), code(i), distance(i)))
            << i;
        const Point& p = files[0].points[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::tie(p.name, p.code), std::make_tuple(target(i + 1), code(i + 1))) << i;
    }
}

TEST_F(EventSinkTest, MessagesCarryTheLineLastNamedAndDecideTheOutcome) {
    sink.BeginFile(L"missing.rdf");
    sink.ReportMessage(L"cannot open");
    BeginImportPass(L"empty.rdf");
    EndPass();
    sink.SetCurrentLine(-1);
    sink.ReportMessage(L"unknown format");
    BeginImportPass(L"good.rdf");
    sink.SetCurrentLine(4);
    sink.ReportMessage(L"no units");
    ASSERT_NO_FATAL_FAILURE(EndImport(3));
    EXPECT_EQ(files[0].outcome, FileOutcome::CannotOpen);
    EXPECT_EQ(files[0].messages[0].line, std::nullopt);
    EXPECT_EQ(files[0].messages[0].text, L"cannot open");
    EXPECT_EQ(files[1].outcome, FileOutcome::NoRecords);
    EXPECT_EQ(files[1].messages[0].line, std::nullopt);
    EXPECT_EQ(files[2].outcome, FileOutcome::Imported);
    EXPECT_EQ(files[2].messages[0].line, 4);
}

// An item is handed on once the next begins or its file ends, with every value set by then;
// values for an item no longer current are dropped, as for a point's after a station began.
TEST_F(EventSinkTest, HandsOnEachItemWhenTheNextBeginsAndEachFileAtItsEnd) {
    sink.AddPoint(L"EARLY"); // before any BeginFile: a file without a path
    sink.BeginFile(L"a.rdf");
    StartPass();
    sink.AddPoint(L"T1");
    EndPass();
    StartPass();
    sink.AddStation(L"S1");
    sink.AddObservation(L"T1");
    sink.SetCode(L"LATE");
    sink.AddPoint(L"P1");
    sink.AddStation(L"S2");
    sink.SetNorthing(1.0);
    sink.AddObservation(L"T2");
    EndPass();
    sink.BeginFile(L"b.rdf");
    sink.ReportMessage(L"cannot open");
    sink.Finish();

    EXPECT_EQ(log.text, "begin \npoint EARLY\nend  0\n"
                        "begin a.rdf\ntarget T1\nstation S1\nobservation T1 LATE\npoint P1\nstation S2\n"
                        "observation T2\nend a.rdf 0\n"
                        "begin b.rdf\nmessage cannot open\nend b.rdf 1\nunreleased 0\n");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].points[0].northing, std::nullopt);
    EXPECT_EQ(files[1].stations[1].observations[0].target, L"T2");
}

// Observations are built only when some consumer reads them, reach only the consumers that read
// them, alone or with another, and one skipped leaves the items around it as they were.
TEST(EventSinkObservations, BuiltOnlyWhenSomeConsumerReadsThem) {
    for (const bool logReads : {false, true}) {
        for (const bool collectorToo : {false, true}) {
            HostObjects objects;
            EventLog log;
            log.readsObservations = logReads;
            std::vector<FileResult> files;
            testsupport::FileCollector collector{[&](FileResult& file) { files.push_back(std::move(file)); }};
            EventFanOut events;
            events.Add(log);
            if (collectorToo)
                events.Add(collector);
            EventSink sink{objects, events};
            sink.BeginFile(L"a.rdf");
            sink.AddStation(L"S1");
            sink.AddObservation(L"T1");
            sink.SetCode(L"OBS");
            sink.SetSlopeDistance(12.5);
            sink.AddPoint(L"P1");
            sink.SetNorthing(3.0);
            sink.Finish();
            EXPECT_EQ(log.text, std::string("begin a.rdf\nstation S1\n") +
                                    (logReads ? "observation T1 OBS\n" : "") +
                                    "point P1\nend a.rdf 0\nunreleased 0\n");
            if (collectorToo) {
                EXPECT_EQ(files.at(0).stations.at(0).observations.at(0).slopeDistance, 12.5);
            }
        }
    }
}

// Takes observations as UTF-8, as the packed file's writer does, and lists them as EventLog does.
class Utf8ObservationLog final : public ImportEvents {
public:
    bool TakesUtf8Observations() const override { return true; }
    void Utf8ObservationReady(const Utf8Observation& o) override {
        text += "observation " + std::string(o.target) + (o.code ? " " + std::string(*o.code) : "") + "\n";
        distances.push_back(o.slopeDistance);
    }
    std::string text;
    std::vector<std::optional<double>> distances;
};

// An observation handed on as UTF-8 carries what the wide one does: texts beyond ASCII and long
// ones, a code only where it was set, no target or code given as empty, its values.
TEST(EventSinkObservations, HandedOnAsUtf8AsTheyWouldBeWide) {
    const std::wstring longName(300, L'x');
    const auto drive = [&](ImportEvents& events) {
        HostObjects objects;
        EventSink sink{objects, events};
        sink.BeginFile(L"a.rdf");
        sink.AddStation(L"S1");
        const struct {
            const wchar_t* target;
            const wchar_t* code;
            double distance;
        } observations[] = {{L"T1", L"KERB", 12.5},
                            {L"T2", nullptr, 3.0},
                            {L"Stra\u00dfe \u6e2c", L"\u0141", 4.0},
                            {longName.c_str(), longName.c_str(), 5.0},
                            {nullptr, L"", 6.0},
                            {L"T3", nullptr, 7.0}};
        for (const auto& o : observations) {
            sink.AddObservation(o.target);
            if (o.code != nullptr || o.target == nullptr)
                sink.SetCode(o.code);
            sink.SetSlopeDistance(o.distance);
        }
        sink.Finish();
    };
    EventLog wide;
    drive(wide);
    Utf8ObservationLog utf8;
    drive(utf8);
    std::string wideObservations;
    std::size_t lineStart = 0;
    for (std::size_t lineEnd; (lineEnd = wide.text.find('\n', lineStart)) != std::string::npos;
         lineStart = lineEnd + 1)
        if (wide.text.compare(lineStart, 12, "observation ") == 0)
            wideObservations += wide.text.substr(lineStart, lineEnd - lineStart) + "\n";
    EXPECT_EQ(utf8.text, wideObservations);
    EXPECT_EQ(utf8.distances, (std::vector<std::optional<double>>{12.5, 3.0, 4.0, 5.0, 6.0, 7.0}));
}

TEST_F(EventSinkTest, ProgressNamesTheFileAndThePass) {
    sink.BeginFile(L"a.rdf");
    StartPass();
    sink.SetProgress(50.0f);
    EndPass();
    StartPass();
    EndPass();
    sink.BeginFile(L"b.rdf");
    StartPass();
    EndPass();
    sink.Finish();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].fileIndex, 0u);
    EXPECT_EQ(reports[0].pass, 1);
    EXPECT_EQ(reports[0].percent, 50.0f);
    EXPECT_EQ(reports[2].pass, 2);
    EXPECT_EQ(reports[3].fileIndex, 1u);
    EXPECT_EQ(reports[3].pass, 1);
}

// The module asks for "feet" alone; the host reads the file's own comment to tell the US survey
// foot (1200/3937 m) from the international foot, as of the line the module is reading.
TEST(EventSinkFeet, FollowTheFilesDistUnitsCommentOrTheChoiceMade) {
    const std::filesystem::path job = std::filesystem::temp_directory_path() / "nikon-host-us-feet.rdf";
    std::ofstream(job, std::ios::binary)
        << "CO,Dist Units: Feet\nMP,A,,1,2,3\nCO,Dist Units: US Feet\nMP,B,,1,2,3\n";
    const struct {
        Feet feet;
        int line;
        double metresPerFoot;
    } cases[] = {
        {Feet::AsTheFileSays, 0, 0.3048},
        {Feet::AsTheFileSays, 2, 1200.0 / 3937},
        {Feet::International, 2, 0.3048},
        {Feet::UsSurvey, 0, 1200.0 / 3937},
    };
    for (const auto& given : cases) {
        HostObjects objects;
        ImportEvents ignored;
        EventSink sink(objects, ignored, {}, given.feet);
        sink.BeginFile(job.wstring().c_str());
        auto factory = Plugin::RefPtr<IUnitConverterFactory>::Adopt(sink.GetConverterFactory());
        sink.SetCurrentLine(given.line);
        auto feet = Plugin::RefPtr<IDistanceConverter>::Adopt(factory->CreateDistanceConverter(1));
        double metres = 0;
        ASSERT_TRUE(feet->Convert(L"1000", &metres));
        EXPECT_DOUBLE_EQ(metres, 1000 * given.metresPerFoot) << "line " << given.line;
        feet.Reset();
        factory.Reset();
        sink.Finish();
    }
    std::filesystem::remove(job);
}

} // namespace
} // namespace host
