#include "fuzz/CheckingHost.h"

#include "resources/messages.h"
#include "tests/support/Text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace checking {

using testsupport::ReadNumber;
using testsupport::SinkCall;
using testsupport::Utf8;

const wchar_t* const kMessageTexts[4] = {NIKON_MSG_TEXT_CANNOT_OPEN_FILE, NIKON_MSG_TEXT_UNKNOWN_FORMAT,
                                         NIKON_MSG_TEXT_NO_DISTANCE_UNITS, NIKON_MSG_TEXT_NO_ANGLE_UNITS};

namespace {

std::string Shown(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// Degrees, minutes, seconds and a fraction of a second set off by points: "D.MM.SS.f". Each
// part after the first is digits only; the result is in radians, as the host keeps angles.
bool ReadDegrees(const wchar_t* text, double& value) {
    std::wstring parts[4];
    std::size_t count = 1;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (*p != L'.') {
            parts[count - 1] += *p;
            continue;
        }
        if (++count > 4)
            return false;
    }
    double degrees = 0.0;
    if (!ReadNumber(parts[0].c_str(), degrees))
        return false;
    double weights[4] = {1.0, 1.0 / 60.0, 1.0 / 3600.0, 0.0};
    double total = std::fabs(degrees);
    for (std::size_t i = 1; i < count; ++i) {
        if (parts[i].find_first_not_of(L"0123456789") != std::wstring::npos)
            return false;
        if (parts[i].empty())
            continue;
        if (i == 3) {
            const std::wstring fraction = L"0." + parts[i];
            total += std::wcstod(fraction.c_str(), nullptr) / 3600.0;
            continue;
        }
        total += std::wcstod(parts[i].c_str(), nullptr) * weights[i];
    }
    const double sign = parts[0].find(L'-') != std::wstring::npos ? -1.0 : 1.0;
    value = sign * total * 3.141592653589793 / 180.0;
    return true;
}

} // namespace

// Every host object the module receives. They stay allocated until EndImport, so a call on one
// already released is caught as a violation instead of being a use after free.
struct Tracked {
    Tracked(CheckingSink& sink, std::string name) : sink(sink), name(std::move(name)) {}
    virtual ~Tracked() = default;

    void Add() {
        if (count <= 0)
            sink.Violation(name + ": AddRef after its last Release");
        ++count;
    }
    bool Drop() {
        if (count <= 0) {
            sink.Violation(name + ": released once more than it was referenced");
            return false;
        }
        return --count == 0;
    }
    void RequireAlive(const char* call) {
        if (count <= 0)
            sink.Violation(name + ": " + call + " after its last Release");
    }

    CheckingSink& sink;
    std::string name;
    std::int32_t count = 1; // handed out with one reference for the module
};

namespace {

enum class Reading { Number, Degrees, Angle };

template <class I> class FakeConverter final : public I, public Tracked {
public:
    FakeConverter(CheckingSink& sink, std::string name, Reading reading)
        : Tracked(sink, std::move(name)), reading(reading) {}
    void AddRef() override { Add(); }
    bool Release() override { return Drop(); }
    bool Convert(const wchar_t* text, double* value) override {
        RequireAlive("Convert");
        if (text == nullptr || value == nullptr) {
            sink.Violation(name + ": Convert with a null argument");
            return false;
        }
        double read = 0.0;
        const bool ok = reading == Reading::Degrees ? ReadDegrees(text, read) : ReadNumber(text, read);
        if (!ok)
            return false;
        // Gons and mils to radians; everything else is kept as read.
        *value = reading == Reading::Angle ? read * 0.015707963267948967 : read;
        return true;
    }

private:
    Reading reading;
};

} // namespace

class HostObjects {
public:
    explicit HostObjects(CheckingSink& sink) : sink(sink) {}

    template <class T, class... Args> T* Make(Args&&... args) {
        auto object = std::make_unique<T>(sink, std::forward<Args>(args)...);
        T* raw = object.get();
        owned.push_back(std::move(object));
        return raw;
    }

    // Every object must have been released exactly as often as it was referenced.
    void CheckAllReleased() {
        for (const auto& object : owned)
            if (object->count != 0)
                sink.Violation(object->name + ": still holds " + std::to_string(object->count) +
                               " reference(s) after Import");
        owned.clear();
    }

private:
    CheckingSink& sink;
    std::vector<std::unique_ptr<Tracked>> owned;
};

namespace {

class FakeFactory final : public IUnitConverterFactory, public Tracked {
public:
    FakeFactory(CheckingSink& sink, HostObjects& objects, const HostOptions& options, CallCounts& counts)
        : Tracked(sink, "converter factory"), objects(objects), options(options), counts(counts) {}
    void AddRef() override { Add(); }
    bool Release() override { return Drop(); }

    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        RequireAlive("CreateAngleConverter");
        if (unit != 1 && unit != 4 && unit != 5)
            sink.Violation("CreateAngleConverter with unit " + std::to_string(unit));
        if (unit != 1 && options.nullGonsAndMils)
            return nullptr;
        return Make<Plugin::IAngleConverter>("angle converter " + std::to_string(unit),
                                             unit == 1 ? Reading::Degrees : Reading::Angle);
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        RequireAlive("CreateDistanceConverter");
        if (unit != 0 && unit != 1)
            sink.Violation("CreateDistanceConverter with unit " + std::to_string(unit));
        if (options.nullDistanceConverter)
            return nullptr;
        return Make<IDistanceConverter>("distance converter " + std::to_string(unit), Reading::Number);
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        RequireAlive("CreatePressureConverter");
        if (unit < 0 || unit > 2)
            sink.Violation("CreatePressureConverter with unit " + std::to_string(unit));
        return Make<IPressureConverter>("pressure converter " + std::to_string(unit), Reading::Number);
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        RequireAlive("CreateTemperatureConverter");
        if (unit != 0 && unit != 1)
            sink.Violation("CreateTemperatureConverter with unit " + std::to_string(unit));
        return Make<ITemperatureConverter>("temperature converter " + std::to_string(unit), Reading::Number);
    }

private:
    template <class I> I* Make(std::string name, Reading reading) {
        ++counts.converters;
        return objects.Make<FakeConverter<I>>(std::move(name), reading);
    }

    HostObjects& objects;
    const HostOptions& options;
    CallCounts& counts;
};

// The items each value or mark call may apply to, one bit an item kind.
constexpr std::uint32_t kPoint = 1u << 1, kStation = 1u << 2, kObservation = 1u << 3;
constexpr std::pair<SinkCall, std::uint32_t> kValueItems[] = {
    {SinkCall::SetNorthing, kPoint},
    {SinkCall::SetEasting, kPoint},
    {SinkCall::SetElevation, kPoint},
    {SinkCall::SetResectionPoint, kPoint},
    {SinkCall::SetPointAttribute, kPoint},
    {SinkCall::SetCode, kPoint | kObservation},
    {SinkCall::SetInstrumentHeight, kStation},
    {SinkCall::SetPressure, kStation},
    {SinkCall::SetTemperature, kStation},
    {SinkCall::SetVerticalAngle, kObservation},
    {SinkCall::SetHorizontalAngle, kObservation},
    {SinkCall::SetTargetHeight, kObservation},
    {SinkCall::SetSlopeDistance, kObservation},
    {SinkCall::SetFaceRight, kObservation},
};

std::uint32_t ItemsOf(SinkCall call) {
    for (const auto& [valueCall, items] : kValueItems)
        if (valueCall == call)
            return items;
    return 0;
}

// Texts reach a Windows host as UTF-16, so every character must be one UTF-16 can carry.
std::wstring CopyText(CheckingSink& sink, const char* call, const wchar_t* text) {
    if (text == nullptr) {
        sink.Violation(std::string(call) + " with a null text");
        return {};
    }
    const std::wstring copied = text;
    for (wchar_t c : copied) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            sink.Violation(std::string(call) + " with a text holding U+" + std::to_string(code) +
                           ", no Unicode character");
            break;
        }
    }
    return copied;
}

} // namespace

CheckingSink::CheckingSink(HostOptions options)
    : options(options), objects(std::make_unique<HostObjects>(*this)) {}

CheckingSink::~CheckingSink() = default;

void CheckingSink::Violation(const std::string& what) {
    if (options.abortOnViolation) {
        std::fprintf(stderr, "host contract broken: %s\n", what.c_str());
        std::abort();
    }
    violations.push_back(what);
}

void CheckingSink::Record(const std::string& call) {
    if (options.keepLog)
        log.push_back(call);
}

IUnitConverterFactory* CheckingSink::GetConverterFactory() {
    Record("GetConverterFactory");
    ++counts.factories;
    if (stage == Stage::Pass)
        EndPass();
    if ((stage != Stage::Begun && stage != Stage::PassEnded) || passesBegun >= 2)
        Violation("GetConverterFactory outside the start of a pass");
    stage = Stage::Pass;
    ++passesBegun;
    nextLine = 0;
    progressInPass = 0;
    lastLineOfPass[(passesBegun - 1) & 1] = -1;
    lastProgress = 0.0f;
    item = Item::None;
    return objects->Make<FakeFactory>(*objects, options, counts);
}

void CheckingSink::EndPass() {
    // One progress call per line, then the closing 100.
    if (progressInPass != static_cast<std::uint64_t>(nextLine) + 1 || lastProgress != 100.0f)
        Violation("pass of " + std::to_string(nextLine) + " line(s) ended with " +
                  std::to_string(progressInPass) + " progress call(s), the last " + Shown(lastProgress));
    if (passesBegun == 2 && lastLineOfPass[0] != lastLineOfPass[1])
        Violation("the two passes saw different numbers of lines");
    stage = Stage::PassEnded;
}

void CheckingSink::EndFile() {
    if (stage == Stage::Pass)
        EndPass();
    if (stage == Stage::Begun)
        Violation("file begun but neither opened nor refused");
    if ((stage == Stage::PassEnded || stage == Stage::UnknownFormatLine) && passesBegun != 2)
        Violation("file ended after " + std::to_string(passesBegun) + " pass(es)");
    if (stage == Stage::UnknownFormatLine)
        Violation("SetCurrentLine(-1) without message 102 after it");
    stage = Stage::Idle;
}

void CheckingSink::BeginFile(const wchar_t* path) {
    const std::wstring copied = CopyText(*this, "BeginFile", path);
    Record("BeginFile(" + Utf8(copied) + ")");
    EndFile();
    ++counts.files;
    stage = Stage::Begun;
    passesBegun = 0;
    item = Item::None;
    if (beginFileHook)
        beginFileHook(copied);
}

void CheckingSink::EndImport() {
    EndFile();
    objects->CheckAllReleased();
}

void CheckingSink::SetCurrentLine(std::int32_t index) {
    Record("SetCurrentLine(" + std::to_string(index) + ")");
    if (index == -1) {
        if (stage == Stage::Pass && passesBegun == 2)
            EndPass();
        if (stage != Stage::PassEnded || passesBegun != 2)
            Violation("SetCurrentLine(-1) before the import pass ended");
        stage = Stage::UnknownFormatLine;
        return;
    }
    ++counts.lines;
    if (stage != Stage::Pass)
        Violation("SetCurrentLine outside a pass");
    if (index != nextLine)
        Violation("SetCurrentLine(" + std::to_string(index) + ") where " + std::to_string(nextLine) +
                  " was next");
    else if (progressInPass != static_cast<std::uint64_t>(nextLine))
        Violation("SetCurrentLine(" + std::to_string(index) + ") without progress for the line before");
    lastLineOfPass[(passesBegun - 1) & 1] = index;
    nextLine = std::int64_t{index} + 1;
}

void CheckingSink::ReportMessage(const wchar_t* text) {
    const std::wstring copied = CopyText(*this, "ReportMessage", text);
    int id = 0;
    for (int i = 0; i < 4; ++i)
        if (copied == kMessageTexts[i])
            id = 101 + i;
    Record("ReportMessage(" + std::to_string(id) + ")");
    if (id == 0) {
        Violation("ReportMessage with a text of no message: " + Utf8(copied));
        return;
    }
    ++counts.messages[id - 101];
    if (id == 101) {
        if (stage != Stage::Begun)
            Violation("message 101 after the file was opened");
        stage = Stage::Refused;
    } else if (id == 102) {
        if (stage != Stage::UnknownFormatLine)
            Violation("message 102 without SetCurrentLine(-1) right before it");
        stage = Stage::Idle;
    } else if (stage != Stage::Pass || passesBegun != 2 || nextLine == 0) {
        Violation("message " + std::to_string(id) + " outside a line of the import pass");
    }
}

void CheckingSink::SetProgress(float percent) {
    Record("SetProgress(" + Shown(percent) + ")");
    ++counts.progress;
    if (stage != Stage::Pass) {
        Violation("SetProgress outside a pass");
        return;
    }
    if (!(percent > 0.0f) || percent > 100.0f)
        Violation("SetProgress(" + Shown(percent) + ") out of (0, 100]");
    if (percent < lastProgress)
        Violation("SetProgress went back from " + Shown(lastProgress) + " to " + Shown(percent));
    lastProgress = percent;
    ++progressInPass;
}

void CheckingSink::BeginItem(Item kind, const char* call, const wchar_t* name) {
    const std::wstring copied = CopyText(*this, call, name);
    Record(std::string(call) + "(" + Utf8(copied) + ")");
    if (stage != Stage::Pass)
        Violation(std::string(call) + " outside a pass");
    else if (kind != Item::Point && passesBegun != 2)
        Violation(std::string(call) + " in the pre-scan pass");
    item = kind;
    itemCalls = 0;
    faceRightSent = false;
}

void CheckingSink::RequireImportPass(const char* call) {
    if (stage != Stage::Pass || passesBegun != 2)
        Violation(std::string(call) + " outside the import pass");
}

void CheckingSink::ValueCall(SinkCall call, const std::string& shown) {
    const std::string name = testsupport::NameOf(call);
    Record(name + "(" + shown + ")");
    ++counts.values;
    RequireImportPass(name.c_str());
    if ((ItemsOf(call) & (1u << static_cast<unsigned>(item))) == 0)
        Violation(name + " without a current item of its kind");
    // One flag a call, for the at-most-once rule.
    const std::uint32_t bit = 1u << static_cast<unsigned>(call);
    if ((itemCalls & bit) != 0)
        Violation(name + " twice for one item");
    if (faceRightSent)
        Violation(name + " after SetFaceRight");
    itemCalls |= bit;
}

void CheckingSink::OnText(SinkCall call, const wchar_t* text) {
    switch (call) {
    case SinkCall::AddPoint:
        ++counts.points;
        return BeginItem(Item::Point, "AddPoint", text);
    case SinkCall::AddStation:
        ++counts.stations;
        return BeginItem(Item::Station, "AddStation", text);
    case SinkCall::AddObservation:
        ++counts.observations;
        return BeginItem(Item::Observation, "AddObservation", text);
    default:
        return ValueCall(call, Utf8(CopyText(*this, testsupport::NameOf(call), text)));
    }
}

void CheckingSink::OnValue(SinkCall call, double value) {
    ValueCall(call, Shown(value));
}

void CheckingSink::OnFlag(SinkCall call, bool value) {
    ValueCall(call, value ? "true" : "false");
    if (call == SinkCall::SetFaceRight)
        faceRightSent = true;
}

} // namespace checking
