// The host's measurement sink: turns the module's calls into events of one file at a time. An
// item (point, station, observation) is handed on when the next one begins or its file ends;
// value calls apply to the item begun last, as the module sends them.
#pragma once

#include "host/ConverterFactory.h"
#include "host/HostObjects.h"
#include "host/SinkOperations.h"
#include "host/pipeline/ImportEvents.h"
#include "interfaces/HostInterfaces.h"
#include "survey/JobComments.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host {

struct ProgressReport {
    std::size_t fileIndex; // 0-based, in the order of BeginFile
    int pass;              // 1 for the pre-scan pass, 2 for the import pass
    float percent;
};

using ProgressListener = std::function<void(const ProgressReport&)>;

// A text narrowed to UTF-8 in room that is kept for the next one, so that a file's texts come
// without allocations.
class Utf8Room {
public:
    void Assign(const wchar_t* text);
    std::string_view View() const { return {room.data(), length}; }

private:
    [[gnu::noinline]] void AssignBeyondAscii(std::wstring_view text);

    std::string room;
    std::size_t length = 0;
};

class EventSink final : public IMeasurementSink {
public:
    // Both references must outlive the sink; `progress` may be empty.
    EventSink(HostObjects& objects, ImportEvents& events, ProgressListener progress = {},
              Feet feet = Feet::AsTheFileSays);

    // Ends the last file and the import; the module makes no more calls.
    void Finish();

    HOST_SINK_OPERATIONS

private:
    enum class Item { None, Point, Station, Observation };

    void StartFile(const wchar_t* path);
    bool UsSurveyFeetHere();
    void EnsureFile();
    void EndFile();
    void HandOnItem();
    void HandOnOtherItem();
    void BeginItem(Item item);
    // Begins `item` as a fresh one on the current line, its name or target `text`. Its texts take
    // the room the texts of the one before took, so that a file's items come without allocations:
    // a code stays in its item, to be written over, and goes only if the item gets none.
    template <class Kind> void Begin(Item item, Kind& kind, std::wstring Kind::*name, const wchar_t* text);
    template <class Kind>
    void HandOn(Kind& kind, ImportEvents& consumer, void (ImportEvents::*ready)(const Kind&));
    void DropUnsetCode(Station&) {}
    template <class Kind> void DropUnsetCode(Kind& kind);
    void SetText(std::optional<std::wstring>& field, const wchar_t* text);
    void SetUtf8Code(const wchar_t* code);
    template <class Field, class Value> void SetOn(Item item, Field& field, Value value) {
        if (current == item)
            field = value;
    }
    // An observation's value goes where the observation is made: into the one handed on as UTF-8
    // when its reader takes that, so that it is not copied there at the end.
    template <class Value>
    void SetOnObservation(std::optional<Value> Observation::*wide,
                          std::optional<Value> Utf8Observation::*utf8, Value value) {
        if (current != Item::Observation)
            return;
        if (utf8Observations)
            utf8Observation.*utf8 = value;
        else
            observation.*wide = value;
    }

    HostObjects& objects;
    ImportEvents& events;
    ProgressListener progress;
    Feet feet;
    bool observationsRead = true;              // by some consumer; asked at each file's start
    ImportEvents* observationReader = &events; // asked with it
    bool utf8Observations = false;             // whether it takes them as UTF-8

    // State of the current file.
    std::optional<std::size_t> fileIndex;
    std::wstring path;
    FileOutcome outcome = FileOutcome::Imported;
    int pass = 0;
    bool linesStarted = false;
    std::optional<int> currentLine;
    // Read from the file when a feet converter is first asked for.
    std::optional<survey::JobComments> comments;
    // The item begun last, not yet handed on.
    Item current = Item::None;
    bool codeSet = false; // on the item begun last, unless it is handed on as UTF-8
    Point point;
    Station station;
    Observation observation;         // where observations are handed on as wide texts
    Utf8Observation utf8Observation; // where they are handed on as UTF-8, its texts in these rooms
    Utf8Room utf8Target, utf8Code;
    std::wstring codeRoom; // the room of the last code handed on, for the next one
};

} // namespace host
