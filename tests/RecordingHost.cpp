#include "tests/RecordingHost.h"

#include "resources/messages.h"

#include <charconv>
#include <cwctype>
#include <stdexcept>
#include <utility>

namespace testing_host {

template <class T> static std::string ShortestOf(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
std::string Shortest(double value) {
    return ShortestOf(value);
}
std::string Shortest(float value) {
    return ShortestOf(value);
}

std::optional<double> PlainDecimal(const std::wstring& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        ++i;
    bool digit = false;
    bool point = false;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (text[j] == L'.' && !point)
            point = true;
        else if (text[j] >= L'0' && text[j] <= L'9')
            digit = true;
        else
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    const std::string narrow = Utf8(text);
    double value = 0.0;
    const char* first = narrow.data() + (narrow[0] == '+' ? 1 : 0);
    std::from_chars(first, narrow.data() + narrow.size(), value);
    return value;
}

void RecordingHost::Record(std::string call) {
    log.push_back(std::move(call));
    if (!failAt.empty() && log.back() == failAt)
        throw std::runtime_error("host failure at " + failAt);
}

void Recorded::Record(const std::string& call) const {
    host.Record(name + "." + call);
}

void Recorded::DoAddRef() {
    ++references;
    Record("AddRef");
}

bool Recorded::DoRelease() {
    Record("Release");
    ++releases;
    if (references == 0) {
        overReleased = true;
        return false;
    }
    return --references == 0;
}

namespace {

const char* KindName(Kind kind) {
    static const char* const kNames[] = {"angle", "distance", "pressure", "temperature"};
    return kNames[static_cast<int>(kind)];
}

std::string MessageName(std::wstring_view text) {
    static const std::pair<const wchar_t*, const char*> kMessages[] = {
        {NIKON_MSG_TEXT_CANNOT_OPEN_FILE, "#101"},
        {NIKON_MSG_TEXT_UNKNOWN_FORMAT, "#102"},
        {NIKON_MSG_TEXT_NO_DISTANCE_UNITS, "#103"},
        {NIKON_MSG_TEXT_NO_ANGLE_UNITS, "#104"},
    };
    for (const auto& [message, name] : kMessages)
        if (text == message)
            return name;
    return "\"" + Utf8(text) + "\"";
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

} // namespace

RecordingHost::RecordingHost() = default;

Log RecordingHost::Take() {
    return std::exchange(log, {});
}

void RecordingHost::Script(Kind kind, int code, ConvertScript script) {
    scripts[{kind, code}] = std::move(script);
}
void RecordingHost::Refuse(Kind kind, int code) {
    refused[{kind, code}] = true;
}

template <class I> I* RecordingHost::MakeConverter(Kind kind, std::int32_t unit) {
    if (refused.count({kind, unit}) != 0)
        return nullptr;
    const std::string kindName = KindName(kind);
    const std::string name = kindName + "#" + std::to_string(++serials[kindName]);
    const auto script = scripts.find({kind, unit});
    auto converter = std::make_unique<RecordingConverter<I>>(
        *this, name, script != scripts.end() ? script->second : ConvertScript(PlainDecimal));
    I* result = converter.get();
    objects.push_back(std::move(converter));
    return result;
}

std::vector<std::string> RecordingHost::ReferenceFaults() const {
    std::vector<std::string> faults;
    for (const auto& object : objects) {
        if (object->OverReleased())
            faults.push_back(object->Name() + " released more often than referenced");
        else if (object->References() != 0)
            faults.push_back(object->Name() + " still holds " + std::to_string(object->References()) +
                             " reference(s)");
    }
    return faults;
}

#define RECORD_CREATE(Interface, Operation, kind)                                                            \
    Interface* RecordingFactory::Operation(std::int32_t unit) {                                              \
        Interface* result = host.MakeConverter<Interface>(kind, unit);                                       \
        Record(#Operation "(" + std::to_string(unit) +                                                       \
               ")=" + (result ? dynamic_cast<Recorded*>(result)->Name() : std::string("null")));             \
        return result;                                                                                       \
    }
RECORD_CREATE(Plugin::IAngleConverter, CreateAngleConverter, Kind::Angle)
RECORD_CREATE(IDistanceConverter, CreateDistanceConverter, Kind::Distance)
RECORD_CREATE(IPressureConverter, CreatePressureConverter, Kind::Pressure)
RECORD_CREATE(ITemperatureConverter, CreateTemperatureConverter, Kind::Temperature)
#undef RECORD_CREATE

bool RecordingFileList::HasCurrent() {
    const bool current = position < paths.size();
    host.Record(std::string("files.HasCurrent=") + Bool(current));
    return current;
}
void RecordingFileList::MoveNext() {
    host.Record("files.MoveNext");
    ++position;
}
const wchar_t* RecordingFileList::GetCurrent() {
    host.Record("files.GetCurrent");
    return paths.at(position).c_str();
}
void RecordingFileList::Reset() {
    host.Record("files.Reset");
    position = 0;
}

IUnitConverterFactory* RecordingSink::GetConverterFactory() {
    if (host.noFactory) {
        host.Record("GetConverterFactory=null");
        return nullptr;
    }
    const std::string name = "factory#" + std::to_string(++host.serials["factory"]);
    auto factory = std::make_unique<RecordingFactory>(host, name);
    IUnitConverterFactory* result = factory.get();
    host.objects.push_back(std::move(factory));
    host.Record("GetConverterFactory=" + name);
    return result;
}

void RecordingSink::SetCurrentLine(std::int32_t index) {
    host.Record("SetCurrentLine(" + std::to_string(index) + ")");
}
void RecordingSink::ReportMessage(const wchar_t* text) {
    host.Record("ReportMessage(" + MessageName(text) + ")");
}
void RecordingSink::SetProgress(float percent) {
    host.Record("SetProgress(" + Shortest(percent) + ")");
}
void RecordingSink::OnText(testsupport::SinkCall call, const wchar_t* text) {
    host.Record(std::string(NameOf(call)) + "(" + Utf8(text) + ")");
}
void RecordingSink::OnValue(testsupport::SinkCall call, double value) {
    host.Record(std::string(NameOf(call)) + "(" + Shortest(value) + ")");
}
void RecordingSink::OnFlag(testsupport::SinkCall call, bool value) {
    host.Record(std::string(NameOf(call)) + "(" + Bool(value) + ")");
}

} // namespace testing_host
