#include "host/ModelSink.h"

#include "host/ConverterFactory.h"

namespace host {
namespace {

constexpr int kPreScanPass = 1;

std::wstring Copy(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

} // namespace

bool AllFilesImported(const ImportModel& model) {
    for (const FileResult& file : model.files) {
        if (file.outcome != FileOutcome::Imported)
            return false;
    }
    return true;
}

ModelSink::ModelSink(HostObjects& objects, ImportModel& model, ProgressListener progress)
    : objects(objects), model(model), progress(std::move(progress)) {}

void ModelSink::Record(const char* call, std::vector<TraceValue> args) const {
    objects.Record({"sink", call, std::move(args), {}, {}});
}

// Calls before the first BeginFile still land somewhere: in a file without a path.
FileResult& ModelSink::File() {
    if (model.files.empty())
        model.files.emplace_back();
    return model.files.back();
}

Point* ModelSink::CurrentPoint() {
    FileResult& file = File();
    return lastItem == Item::Point && !file.points.empty() ? &file.points.back() : nullptr;
}

Station* ModelSink::CurrentStation() {
    FileResult& file = File();
    return file.stations.empty() ? nullptr : &file.stations.back();
}

// The observation begun last, in the last station or ahead of every station.
Observation* ModelSink::CurrentObservation() {
    if (lastItem != Item::Observation)
        return nullptr;
    FileResult& file = File();
    std::vector<Observation>& list =
        file.stations.empty() ? file.observationsBeforeStation : file.stations.back().observations;
    return list.empty() ? nullptr : &list.back();
}

void ModelSink::SetPointValue(std::optional<double> Point::*field, double value) {
    if (Point* point = CurrentPoint())
        point->*field = value;
}

void ModelSink::SetStationValue(std::optional<double> Station::*field, double value) {
    if (Station* station = CurrentStation())
        station->*field = value;
}

void ModelSink::SetObservationValue(std::optional<double> Observation::*field, double value) {
    if (Observation* observation = CurrentObservation())
        observation->*field = value;
}

IUnitConverterFactory* ModelSink::GetConverterFactory() {
    // Each parser pass asks once, at its start.
    ++pass;
    std::string name = objects.NameNext("factory");
    IUnitConverterFactory* factory = CreateConverterFactory(objects, name);
    objects.Record({"sink", "GetConverterFactory", {}, TraceValue(ObjectName{std::move(name)}), {}});
    return factory;
}

void ModelSink::BeginFile(const wchar_t* path) {
    Record("BeginFile", {TraceText(path)});
    model.files.emplace_back();
    model.files.back().path = Copy(path);
    pass = 0;
    linesStarted = false;
    currentLine.reset();
    lastItem = Item::None;
}

void ModelSink::SetCurrentLine(std::int32_t index) {
    Record("SetCurrentLine", {TraceValue(index)});
    linesStarted = true;
    currentLine = index;
}

void ModelSink::ReportMessage(const wchar_t* text) {
    Record("ReportMessage", {TraceText(text)});
    FileResult& file = File();
    const bool aboutFile = !currentLine || *currentLine < 0;
    file.messages.push_back({aboutFile ? std::nullopt : currentLine, Copy(text)});
    if (pass == 0 && !linesStarted)
        file.outcome = FileOutcome::CannotOpen;
    else if (currentLine && *currentLine < 0)
        file.outcome = FileOutcome::NoRecords;
}

void ModelSink::SetProgress(float percent) {
    Record("SetProgress", {TraceValue(percent)});
    if (progress)
        progress({model.files.empty() ? 0 : model.files.size() - 1, pass, percent});
}

void ModelSink::AddPoint(const wchar_t* name) {
    Record("AddPoint", {TraceText(name)});
    FileResult& file = File();
    if (pass == kPreScanPass) {
        file.targets.push_back(Copy(name));
        lastItem = Item::None;
        return;
    }
    file.points.push_back({});
    file.points.back().name = Copy(name);
    file.points.back().line = currentLine;
    lastItem = Item::Point;
}

void ModelSink::SetNorthing(double value) {
    Record("SetNorthing", {TraceValue(value)});
    SetPointValue(&Point::northing, value);
}

void ModelSink::SetEasting(double value) {
    Record("SetEasting", {TraceValue(value)});
    SetPointValue(&Point::easting, value);
}

void ModelSink::SetElevation(double value) {
    Record("SetElevation", {TraceValue(value)});
    SetPointValue(&Point::elevation, value);
}

void ModelSink::SetResectionPoint(bool resection) {
    Record("SetResectionPoint", {TraceValue(resection)});
    if (Point* point = CurrentPoint())
        point->resectionPoint = resection;
}

void ModelSink::SetPointAttribute(bool attribute) {
    Record("SetPointAttribute", {TraceValue(attribute)});
    if (Point* point = CurrentPoint())
        point->attribute = attribute;
}

void ModelSink::SetCode(const wchar_t* code) {
    Record("SetCode", {TraceText(code)});
    if (Point* point = CurrentPoint())
        point->code = Copy(code);
    else if (Observation* observation = CurrentObservation())
        observation->code = Copy(code);
}

void ModelSink::AddStation(const wchar_t* name) {
    Record("AddStation", {TraceText(name)});
    File().stations.push_back({});
    File().stations.back().name = Copy(name);
    File().stations.back().line = currentLine;
    lastItem = Item::Station;
}

void ModelSink::SetInstrumentHeight(double value) {
    Record("SetInstrumentHeight", {TraceValue(value)});
    SetStationValue(&Station::instrumentHeight, value);
}

void ModelSink::AddObservation(const wchar_t* target) {
    Record("AddObservation", {TraceText(target)});
    FileResult& file = File();
    std::vector<Observation>& list =
        file.stations.empty() ? file.observationsBeforeStation : file.stations.back().observations;
    list.push_back({});
    list.back().target = Copy(target);
    list.back().line = currentLine;
    lastItem = Item::Observation;
}

void ModelSink::SetPressure(double value) {
    Record("SetPressure", {TraceValue(value)});
    SetStationValue(&Station::pressure, value);
}

void ModelSink::SetTemperature(double value) {
    Record("SetTemperature", {TraceValue(value)});
    SetStationValue(&Station::temperature, value);
}

void ModelSink::SetVerticalAngle(double value) {
    Record("SetVerticalAngle", {TraceValue(value)});
    SetObservationValue(&Observation::verticalAngle, value);
}

void ModelSink::SetHorizontalAngle(double value) {
    Record("SetHorizontalAngle", {TraceValue(value)});
    SetObservationValue(&Observation::horizontalAngle, value);
}

void ModelSink::SetTargetHeight(double value) {
    Record("SetTargetHeight", {TraceValue(value)});
    SetObservationValue(&Observation::targetHeight, value);
}

void ModelSink::SetSlopeDistance(double value) {
    Record("SetSlopeDistance", {TraceValue(value)});
    SetObservationValue(&Observation::slopeDistance, value);
}

void ModelSink::SetFaceRight(bool faceRight) {
    Record("SetFaceRight", {TraceValue(faceRight)});
    if (Observation* observation = CurrentObservation())
        observation->faceRight = faceRight;
}

} // namespace host
