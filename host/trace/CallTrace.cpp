#include "host/trace/CallTrace.h"

#include "host/JsonText.h"
#include "platform/Utf8.h"

#include <rapidjson/writer.h>

#include <charconv>
#include <sstream>

namespace host {
namespace {

// Writes the values of a log line; texts through RapidJSON's escaping where they need it.
class ValueWriter {
public:
    ValueWriter(BufferedOutput& out, rapidjson::Writer<BufferedOutput>& json, std::string& utf8)
        : out(out), json(json), utf8(utf8) {}

    void operator()(bool value) const { out.Write(value ? "true" : "false"); }
    void operator()(std::int32_t value) const { Number(value); }
    void operator()(float value) const { Number(value); }
    void operator()(double value) const { Number(value); }
    void operator()(std::wstring_view text) const {
        utf8.clear();
        platform::AppendUtf8(utf8, text);
        Text(utf8);
    }
    void operator()(ObjectName name) const { Text(name.text); }
    void operator()(NullResult) const { out.Write("null"); }

    // The shortest text that reads back as the same number.
    template <class T> void Number(T value) const {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        out.Write(std::string_view(text, static_cast<std::size_t>(end - text)));
    }

private:
    void Text(std::string_view text) const {
        json.Reset(out);
        WriteJsonText(json, out, text);
    }

    BufferedOutput& out;
    rapidjson::Writer<BufferedOutput>& json;
    std::string& utf8;
};

// The line's frame is fixed; the names of calls and objects are the host's own and need no
// escapes.
void WriteCall(const ValueWriter& value, BufferedOutput& out, const TraceCall& call) {
    out.Write("{\"call\":\"");
    out.Write(call.call);
    out.Write("\",\"on\":\"");
    out.Write(call.on);
    out.Write("\",\"args\":[");
    if (call.arg)
        std::visit(value, *call.arg);
    out.Put(']');
    if (call.result) {
        out.Write(",\"result\":");
        std::visit(value, *call.result);
    }
    if (call.value) {
        out.Write(",\"value\":");
        value.Number(*call.value);
    }
    out.Write("}\n");
}

} // namespace

struct CallTrace::LineWriter {
    explicit LineWriter(BufferedOutput& out) : json(out) {}

    rapidjson::Writer<BufferedOutput> json;
    std::string utf8;
};

CallTrace::CallTrace(std::ostream& stream) : out(stream), line(std::make_unique<LineWriter>(out)) {}

CallTrace::~CallTrace() = default;

void CallTrace::Record(const TraceCall& call) {
    WriteCall(ValueWriter(out, line->json, line->utf8), out, call);
}

std::string TraceJson(const TraceValue& value) {
    std::ostringstream text;
    {
        BufferedOutput out(text);
        rapidjson::Writer<BufferedOutput> json(out);
        std::string utf8;
        std::visit(ValueWriter(out, json, utf8), value);
    }
    return text.str();
}

} // namespace host
