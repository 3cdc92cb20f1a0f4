#include "host/pipeline/EventSink.h"

#include "host/ConverterFactory.h"
#include "host/JobComments.h"
#include "host/pipeline/ItemFields.h"
#include "host/pipeline/Narrowing.h"
#include "platform/Utf8.h"

#include <string>

namespace host {
namespace {

constexpr int kPreScanPass = 1;

const wchar_t* OrEmpty(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

// Sets `to` to `text` in the room it has; assign would take the general replacing path.
void CopyInto(std::wstring& to, const wchar_t* text) {
    to.clear();
    to.append(text, std::char_traits<wchar_t>::length(text));
}

// Each kind's fields after its name.
template <class Field> void ForEachField(Station& s, Field field) {
    StationFields(s, field);
}
template <class Field> void ForEachField(Observation& o, Field field) {
    ObservationFields(o, field);
}
template <class Field> void ForEachField(Utf8Observation& o, Field field) {
    ObservationFields(o, field);
}
template <class Field> void ForEachField(Point& p, Field field) {
    PointFields(p, field);
}

// Clears a fresh item's values; its code is written over or dropped when it is handed on. A value
// is given an empty one whole, a plain store, where a reset would test it first.
struct FieldClearer {
    template <class Value> void operator()(std::optional<Value>& field) const {
        field = std::optional<Value>();
    }
    void operator()(std::optional<std::wstring>&) const {}
};

} // namespace

// Measured first, so that the narrowing writes into room already there.
void Utf8Room::Assign(const wchar_t* text) {
    const std::wstring_view wide(text);
    if (room.size() < wide.size())
        room.resize(wide.size());
    length = wide.size();
    if (!NarrowedAscii(wide, room.data()))
        AssignBeyondAscii(wide);
}

// Out of line, so that the usual text needs no room on the stack.
void Utf8Room::AssignBeyondAscii(std::wstring_view text) {
    room.clear();
    platform::AppendUtf8(room, text);
    length = room.size();
}

EventSink::EventSink(HostObjects& objects, ImportEvents& events, ProgressListener progress, Feet feet)
    : objects(objects), events(events), progress(std::move(progress)), feet(feet) {}

void EventSink::Finish() {
    EndFile();
    events.ImportEnded({objects.Live()});
}

void EventSink::StartFile(const wchar_t* name) {
    fileIndex = fileIndex ? *fileIndex + 1 : 0;
    path = OrEmpty(name);
    outcome = FileOutcome::Imported;
    observationsRead = events.ReadsObservations();
    observationReader = &events.ObservationReader();
    utf8Observations = observationReader->TakesUtf8Observations();
    events.FileBegun({path, *fileIndex});
}

// Calls before the first BeginFile still land somewhere: in a file without a path.
void EventSink::EnsureFile() {
    if (!fileIndex)
        StartFile(nullptr);
}

void EventSink::EndFile() {
    if (!fileIndex)
        return;
    HandOnItem();
    events.FileEnded({path, *fileIndex, outcome});
}

// The usual item, an observation handed on as UTF-8, is handed on inline where items begin.
inline void EventSink::HandOnItem() {
    if (current == Item::Observation && utf8Observations)
        observationReader->Utf8ObservationReady(utf8Observation);
    else
        HandOnOtherItem();
    current = Item::None;
}

void EventSink::HandOnOtherItem() {
    switch (current) {
    case Item::Point:
        HandOn(point, events, &ImportEvents::PointReady);
        break;
    case Item::Station:
        HandOn(station, events, &ImportEvents::StationReady);
        break;
    case Item::Observation: // as wide texts: HandOnItem hands on those as UTF-8
        HandOn(observation, *observationReader, &ImportEvents::ObservationReady);
        break;
    case Item::None:
        break;
    }
}

template <class Kind>
void EventSink::HandOn(Kind& kind, ImportEvents& consumer, void (ImportEvents::*ready)(const Kind&)) {
    DropUnsetCode(kind);
    (consumer.*ready)(kind);
}

// A code left from the item before is not this item's: its room goes back for the next code.
template <class Kind> void EventSink::DropUnsetCode(Kind& kind) {
    if (kind.code && !codeSet) {
        codeRoom = std::move(*kind.code);
        kind.code.reset();
    }
}

void EventSink::BeginItem(Item item) {
    EnsureFile();
    HandOnItem();
    current = item;
    codeSet = false;
}

IUnitConverterFactory* EventSink::GetConverterFactory() {
    // Each parser pass asks once, at its start.
    ++pass;
    return CreateConverterFactory(objects, [this] { return UsSurveyFeetHere(); });
}

// The comment the module reads now is the current line, so the facts after it apply.
bool EventSink::UsSurveyFeetHere() {
    if (feet != Feet::AsTheFileSays)
        return feet == Feet::UsSurvey;
    if (!comments)
        comments = ReadJobComments(path);
    return comments->FactsAt(currentLine.value_or(-1) + 1).distanceUnit == survey::LengthUnit::UsSurveyFoot;
}

void EventSink::BeginFile(const wchar_t* name) {
    EndFile();
    StartFile(name);
    pass = 0;
    linesStarted = false;
    currentLine.reset();
    comments.reset();
}

void EventSink::SetCurrentLine(std::int32_t index) {
    linesStarted = true;
    currentLine = index;
}

void EventSink::ReportMessage(const wchar_t* text) {
    EnsureFile();
    const bool aboutFile = !currentLine || *currentLine < 0;
    events.MessageReported({aboutFile ? std::nullopt : currentLine, OrEmpty(text)});
    if (pass == 0 && !linesStarted)
        outcome = FileOutcome::CannotOpen;
    else if (currentLine && *currentLine < 0)
        outcome = FileOutcome::NoRecords;
}

void EventSink::SetProgress(float percent) {
    if (progress)
        progress({fileIndex.value_or(0), pass, percent});
}

template <class Kind>
void EventSink::Begin(Item item, Kind& kind, std::wstring Kind::*name, const wchar_t* text) {
    BeginItem(item);
    ForEachField(kind, FieldClearer{});
    CopyInto(kind.*name, OrEmpty(text));
    kind.line = currentLine;
}

void EventSink::AddPoint(const wchar_t* name) {
    if (pass == kPreScanPass) {
        BeginItem(Item::None);
        events.TargetAnnounced(OrEmpty(name));
        return;
    }
    Begin(Item::Point, point, &Point::name, name);
}

void EventSink::AddStation(const wchar_t* name) {
    Begin(Item::Station, station, &Station::name, name);
}

// An observation no consumer reads is begun as no item, so its values land nowhere.
void EventSink::AddObservation(const wchar_t* target) {
    if (!observationsRead) {
        BeginItem(Item::None);
        return;
    }
    if (!utf8Observations) {
        Begin(Item::Observation, observation, &Observation::target, target);
        return;
    }
    BeginItem(Item::Observation);
    ForEachField(utf8Observation, FieldClearer{});
    utf8Target.Assign(OrEmpty(target));
    utf8Observation.target = utf8Target.View();
    utf8Observation.line = currentLine;
}

// A code set where none is left takes the room the last code dropped took. Out of line, so that
// the usual code, an observation's as UTF-8, is set with no registers to save.
[[gnu::noinline]] void EventSink::SetText(std::optional<std::wstring>& field, const wchar_t* text) {
    if (!field)
        field.emplace(std::move(codeRoom));
    CopyInto(*field, OrEmpty(text));
    codeSet = true;
}

void EventSink::SetUtf8Code(const wchar_t* code) {
    utf8Code.Assign(OrEmpty(code));
    utf8Observation.code = utf8Code.View();
}

// The usual code, an observation's handed on as UTF-8, is asked for first.
void EventSink::SetCode(const wchar_t* code) {
    if (current == Item::Observation && utf8Observations)
        SetUtf8Code(code);
    else if (current == Item::Point)
        SetText(point.code, code);
    else if (current == Item::Observation)
        SetText(observation.code, code);
}

// The value operations: each sets one field of the item begun last when it is of the kind named.
// clang-format off
#define HOST_EVENT_SINK_SETTERS(X)                                                                  \
    X(SetNorthing, double, Point, point.northing) X(SetEasting, double, Point, point.easting)       \
    X(SetElevation, double, Point, point.elevation)                                                 \
    X(SetResectionPoint, bool, Point, point.resectionPoint)                                         \
    X(SetPointAttribute, bool, Point, point.attribute)                                              \
    X(SetInstrumentHeight, double, Station, station.instrumentHeight)                               \
    X(SetPressure, double, Station, station.pressure)                                               \
    X(SetTemperature, double, Station, station.temperature)
#define HOST_EVENT_SINK_OBSERVATION_SETTERS(X)                                                      \
    X(SetVerticalAngle, double, verticalAngle) X(SetHorizontalAngle, double, horizontalAngle)       \
    X(SetTargetHeight, double, targetHeight) X(SetSlopeDistance, double, slopeDistance)             \
    X(SetFaceRight, bool, faceRight)
// clang-format on
#define HOST_EVENT_SINK_SETTER(name, Type, kind, field)                                                      \
    void EventSink::name(Type value) {                                                                       \
        SetOn(Item::kind, field, value);                                                                     \
    }
#define HOST_EVENT_SINK_OBSERVATION_SETTER(name, Type, field)                                                \
    void EventSink::name(Type value) {                                                                       \
        SetOnObservation(&Observation::field, &Utf8Observation::field, value);                               \
    }
HOST_EVENT_SINK_SETTERS(HOST_EVENT_SINK_SETTER)
HOST_EVENT_SINK_OBSERVATION_SETTERS(HOST_EVENT_SINK_OBSERVATION_SETTER)
#undef HOST_EVENT_SINK_OBSERVATION_SETTER
#undef HOST_EVENT_SINK_SETTER
#undef HOST_EVENT_SINK_OBSERVATION_SETTERS
#undef HOST_EVENT_SINK_SETTERS

} // namespace host
