#include "host/trace/CallTrace.h"

#include "platform/Utf8.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>

namespace host {
namespace {

template <class Stream> class ValueWriter {
public:
    ValueWriter(rapidjson::Writer<Stream>& json, std::string& utf8) : json(json), utf8(utf8) {}

    void operator()(bool value) const { json.Bool(value); }
    void operator()(std::int32_t value) const { json.Int(value); }
    void operator()(float value) const { Number(value); }
    void operator()(double value) const { Number(value); }
    void operator()(std::wstring_view text) const {
        utf8.clear();
        platform::AppendUtf8(utf8, text);
        json.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
    }
    void operator()(ObjectName name) const {
        json.String(name.text.data(), static_cast<rapidjson::SizeType>(name.text.size()));
    }
    void operator()(NullResult) const { json.Null(); }

    // The shortest text that reads back as the same float or double.
    template <class T> void Number(T value) const {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        json.RawValue(text, static_cast<std::size_t>(end - text), rapidjson::kNumberType);
    }

private:
    rapidjson::Writer<Stream>& json;
    std::string& utf8;
};

template <class Stream>
void WriteCall(rapidjson::Writer<Stream>& json, Stream& stream, std::string& utf8, const TraceCall& call) {
    json.Reset(stream);
    const ValueWriter<Stream> value(json, utf8);
    json.StartObject();
    json.Key("call");
    json.String(call.call.data(), static_cast<rapidjson::SizeType>(call.call.size()));
    json.Key("on");
    json.String(call.on.data(), static_cast<rapidjson::SizeType>(call.on.size()));
    json.Key("args");
    json.StartArray();
    if (call.arg)
        std::visit(value, *call.arg);
    json.EndArray();
    if (call.result) {
        json.Key("result");
        std::visit(value, *call.result);
    }
    if (call.value) {
        json.Key("value");
        value.Number(*call.value);
    }
    json.EndObject();
    stream.Put('\n');
}

} // namespace

std::string TraceJson(const TraceValue& value) {
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> json(text);
    std::string utf8;
    std::visit(ValueWriter<rapidjson::StringBuffer>(json, utf8), value);
    return std::string(text.GetString(), text.GetSize());
}

struct CallTrace::LineWriter {
    explicit LineWriter(BufferedOutput& out) : json(out) {}

    rapidjson::Writer<BufferedOutput> json;
    std::string utf8;
};

CallTrace::CallTrace(std::ostream& stream) : out(stream), line(std::make_unique<LineWriter>(out)) {}

CallTrace::~CallTrace() = default;

void CallTrace::Record(const TraceCall& call) {
    WriteCall(line->json, out, line->utf8, call);
}

} // namespace host
