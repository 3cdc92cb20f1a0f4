// A host that checks, on every call, what a real host relies on the module for: value calls
// only for a current item of the right kind and at most once each, line indices and progress in
// order, message texts from the module's table only, and every reference released exactly once.
// Broken rules are collected as violations; the fuzz target aborts on the first one.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "tests/support/TestSink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace checking {

// How the fake factory and converters behave; varied by the fuzz target to reach every path.
struct HostOptions {
    // CreateDistanceConverter answers null, as a host without that unit may.
    bool nullDistanceConverter = false;
    // CreateAngleConverter answers null for gons and mils (never for degrees: excluded by contract).
    bool nullGonsAndMils = false;
    // Stop at the first violation, printing it (the fuzz target); tests collect them instead.
    bool abortOnViolation = false;
    // Record every call as a line of text, for tests that compare whole sequences.
    bool keepLog = false;
};

// Totals a test can assert without keeping the whole log.
struct CallCounts {
    std::uint64_t files = 0;
    std::uint64_t points = 0;
    std::uint64_t stations = 0;
    std::uint64_t observations = 0;
    std::uint64_t values = 0;
    std::uint64_t lines = 0; // SetCurrentLine calls with an index >= 0
    std::uint64_t progress = 0;
    std::uint64_t messages[4] = {}; // 101 to 104
    std::uint64_t factories = 0;
    std::uint64_t converters = 0;
};

class HostObjects;

class CheckingSink final : public testsupport::TestSink {
public:
    explicit CheckingSink(HostOptions options);
    ~CheckingSink();
    CheckingSink(const CheckingSink&) = delete;
    CheckingSink& operator=(const CheckingSink&) = delete;

    // Runs inside BeginFile, before the module opens the file: lets tests change the file then.
    void OnBeginFile(std::function<void(const std::wstring& path)> hook) { beginFileHook = std::move(hook); }

    // Closes the checks of an Import call: the last file complete, every host object released.
    void EndImport();

    const std::vector<std::string>& Violations() const { return violations; }
    const std::vector<std::string>& Log() const { return log; }
    const CallCounts& Counts() const { return counts; }
    // The last index given to SetCurrentLine per pass of the last file, -1 for a pass without lines.
    std::int64_t LastLineOfPass(int pass) const { return lastLineOfPass[pass & 1]; }

    IUnitConverterFactory* GetConverterFactory() override;
    void BeginFile(const wchar_t* path) override;
    void SetCurrentLine(std::int32_t index) override;
    void ReportMessage(const wchar_t* text) override;
    void SetProgress(float percent) override;

    void Violation(const std::string& what);

protected:
    void OnText(testsupport::SinkCall call, const wchar_t* text) override;
    void OnValue(testsupport::SinkCall call, double value) override;
    void OnFlag(testsupport::SinkCall call, bool value) override;

private:
    enum class Item { None, Point, Station, Observation };
    enum class Stage { Idle, Begun, Pass, PassEnded, UnknownFormatLine, Refused };

    void Record(const std::string& call);
    void BeginItem(Item kind, const char* call, const wchar_t* name);
    // One value or mark call, at most once for an item of a kind it applies to.
    void ValueCall(testsupport::SinkCall call, const std::string& shown);
    void RequireImportPass(const char* call);
    void EndPass();
    void EndFile();

    HostOptions options;
    std::unique_ptr<HostObjects> objects;
    std::function<void(const std::wstring&)> beginFileHook;
    std::vector<std::string> violations;
    std::vector<std::string> log;
    CallCounts counts;

    Stage stage = Stage::Idle;
    int passesBegun = 0;
    std::int64_t nextLine = 0;
    std::int64_t lastLineOfPass[2] = {-1, -1};
    float lastProgress = 0.0f;
    std::uint64_t progressInPass = 0;
    Item item = Item::None;
    std::uint32_t itemCalls = 0;
    bool faceRightSent = false;
};

// The texts the host expects for messages 101 to 104; index 0 for 101.
extern const wchar_t* const kMessageTexts[4];

} // namespace checking
