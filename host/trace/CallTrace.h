// A log of every call the module makes into the host, one JSON object per line:
// {"call":NAME,"on":OBJECT,"args":[...],"result":...,"value":...}.
#pragma once

#include "host/BufferedOutput.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

namespace host {

// The name a host object goes by in the log, such as "sink" or "angle#3".
struct ObjectName {
    std::string_view text;
};

struct NullResult {};

// Texts are viewed, not copied: a value lives only as long as the call it is logged for.
using TraceValue = std::variant<bool, std::int32_t, float, double, std::wstring_view, ObjectName, NullResult>;

// Spelled out so that a text never converts to bool by accident.
inline TraceValue TraceText(const wchar_t* text) {
    return TraceValue(std::in_place_type<std::wstring_view>, text != nullptr ? text : L"");
}

struct TraceCall {
    std::string_view on;
    std::string_view call;
    // Every host call takes at most one argument.
    std::optional<TraceValue> arg;
    std::optional<TraceValue> result;
    // Only for a conversion that succeeded.
    std::optional<double> value;
};

class CallTrace {
public:
    // `out` must outlive the trace.
    explicit CallTrace(std::ostream& out);
    ~CallTrace();
    CallTrace(const CallTrace&) = delete;
    CallTrace& operator=(const CallTrace&) = delete;

    void Record(const TraceCall& call);
    // Writes out what is buffered; also done when the trace ends.
    void Flush() { out.WriteOut(); }

    // "angle#3": the kind and its serial number, counted from 1 in this log.
    std::string NameNext(const std::string& kind) { return kind + "#" + std::to_string(++serials[kind]); }

private:
    struct LineWriter;

    BufferedOutput out;
    std::map<std::string, int> serials;
    std::unique_ptr<LineWriter> line; // kept, so that logging a call allocates nothing
};

// The JSON text of one value: texts as JSON strings, numbers in their shortest exact form.
std::string TraceJson(const TraceValue& value);

} // namespace host
