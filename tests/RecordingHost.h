// A host that records every call the module makes into it, in order, as short strings, and
// counts references so a test can assert that each one the module received went back once.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "tests/support/TestSink.h"
#include "tests/support/Text.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_host {

using Log = std::vector<std::string>;

using testsupport::Utf8;
// Shortest text that reads back to the same value.
std::string Shortest(double value);
std::string Shortest(float value);

// A converter's answer for one text: the value, or nothing when it does not convert.
using ConvertScript = std::function<std::optional<double>(const std::wstring&)>;
// An optional sign, digits with at most one point, at least one digit: the value as written.
std::optional<double> PlainDecimal(const std::wstring& text);

enum class Kind { Angle, Distance, Pressure, Temperature };

class RecordingHost;

// Shared by all recorded objects: a name for the log and a reference count that must never go
// below zero and must be back at zero when the test ends.
class Recorded {
public:
    Recorded(RecordingHost& host, std::string name) : host(host), name(std::move(name)) {}
    virtual ~Recorded() = default;
    const std::string& Name() const { return name; }
    int References() const { return references; }
    int Releases() const { return releases; }
    bool OverReleased() const { return overReleased; }

protected:
    void Record(const std::string& call) const;
    void DoAddRef();
    bool DoRelease();

    RecordingHost& host;

private:
    std::string name;
    int references = 1; // the one handed to the module
    int releases = 0;
    bool overReleased = false;
};

template <class I> class RecordingConverter : public I, public Recorded {
public:
    RecordingConverter(RecordingHost& host, std::string name, ConvertScript script)
        : Recorded(host, std::move(name)), script(std::move(script)) {}
    void AddRef() override { DoAddRef(); }
    bool Release() override { return DoRelease(); }
    bool Convert(const wchar_t* text, double* value) override {
        const std::optional<double> result = script(text);
        Record("Convert(" + Utf8(text) + ")=" + (result ? Shortest(*result) : std::string("false")));
        if (result)
            *value = *result;
        return result.has_value();
    }

private:
    ConvertScript script;
};

class RecordingFactory : public IUnitConverterFactory, public Recorded {
public:
    using Recorded::Recorded;
    void AddRef() override { DoAddRef(); }
    bool Release() override { return DoRelease(); }
    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override;
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override;
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override;
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override;
};

class RecordingFileList : public IImportFileList {
public:
    explicit RecordingFileList(RecordingHost& host) : host(host) {}
    bool HasCurrent() override;
    void MoveNext() override;
    const wchar_t* GetCurrent() override;
    void Reset() override;

    std::vector<std::wstring> paths;

private:
    RecordingHost& host;
    std::size_t position = 0;
};

class RecordingSink : public testsupport::TestSink {
public:
    explicit RecordingSink(RecordingHost& host) : host(host) {}
    IUnitConverterFactory* GetConverterFactory() override;
    void SetCurrentLine(std::int32_t index) override;
    void ReportMessage(const wchar_t* text) override;
    void SetProgress(float percent) override;

protected:
    void OnText(testsupport::SinkCall call, const wchar_t* text) override;
    void OnValue(testsupport::SinkCall call, double value) override;
    void OnFlag(testsupport::SinkCall call, bool value) override;

private:
    RecordingHost& host;
};

class RecordingHost {
public:
    RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The calls recorded since the last Take, which are then forgotten.
    Log Take();
    // Records the call; the one named by FailAt then throws std::runtime_error, as a host whose
    // own work fails.
    void Record(std::string call);
    void FailAt(std::string call) { failAt = std::move(call); }

    // What converters of a kind and unit code answer; by default PlainDecimal.
    void Script(Kind kind, int code, ConvertScript script);
    // Factory operations answer null for this kind and code.
    void Refuse(Kind kind, int code);
    // GetConverterFactory answers null.
    void RefuseFactory() { noFactory = true; }

    // Every object handed to the module has been given back: no reference left, none released
    // twice. Returns a description of each fault, empty when there is none.
    std::vector<std::string> ReferenceFaults() const;

    RecordingFileList files{*this};
    RecordingSink sink{*this};

private:
    friend class RecordingFactory;
    friend class RecordingSink;
    template <class I> I* MakeConverter(Kind kind, std::int32_t unit);

    Log log;
    std::map<std::pair<Kind, int>, ConvertScript> scripts;
    std::map<std::pair<Kind, int>, bool> refused;
    std::map<std::string, int> serials;
    std::vector<std::unique_ptr<Recorded>> objects;
    bool noFactory = false;
    std::string failAt;
};

} // namespace testing_host
