#include "host/CallTrace.h"

#include "host/Text.h"

#include <nlohmann/json.hpp>

namespace host {
namespace {

std::string JsonString(const std::string& utf8) {
    return nlohmann::json(utf8).dump();
}

struct ValueWriter {
    std::string operator()(bool value) const { return value ? "true" : "false"; }
    std::string operator()(std::int32_t value) const { return std::to_string(value); }
    std::string operator()(float value) const { return ShortestDecimal(value); }
    std::string operator()(double value) const { return ShortestDecimal(value); }
    std::string operator()(const std::wstring& text) const { return JsonString(ToUtf8(text)); }
    std::string operator()(const ObjectName& name) const { return JsonString(name.text); }
    std::string operator()(NullResult) const { return "null"; }
};

} // namespace

std::string TraceJson(const TraceValue& value) {
    return std::visit(ValueWriter{}, value);
}

void CallTrace::Record(const TraceCall& call) {
    std::string line =
        "{\"call\":" + JsonString(call.call) + ",\"on\":" + JsonString(call.on) + ",\"args\":[";
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (i > 0)
            line += ',';
        line += TraceJson(call.args[i]);
    }
    line += ']';
    if (call.result)
        line += ",\"result\":" + TraceJson(*call.result);
    if (call.value)
        line += ",\"value\":" + ShortestDecimal(*call.value);
    line += "}\n";
    out << line;
}

} // namespace host
