// A log of every call the module makes into the host, one JSON object per line:
// {"call":NAME,"on":OBJECT,"args":[...],"result":...,"value":...}.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace host {

// The name a host object goes by in the log, such as "sink" or "angle#3".
struct ObjectName {
    std::string text;
};

struct NullResult {};

using TraceValue = std::variant<bool, std::int32_t, float, double, std::wstring, ObjectName, NullResult>;

// Spelled out so that a text never converts to bool by accident.
inline TraceValue TraceText(const wchar_t* text) {
    return TraceValue(std::in_place_type<std::wstring>, text != nullptr ? text : L"");
}

struct TraceCall {
    std::string on;
    std::string call;
    std::vector<TraceValue> args;
    std::optional<TraceValue> result;
    // Only for a conversion that succeeded.
    std::optional<double> value;
};

class CallTrace {
public:
    // `out` must outlive the trace.
    explicit CallTrace(std::ostream& out) : out(out) {}

    void Record(const TraceCall& call);

private:
    std::ostream& out;
};

// The JSON text of one value: texts as JSON strings, numbers in their shortest exact form.
std::string TraceJson(const TraceValue& value);

} // namespace host
