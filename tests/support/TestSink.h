// The base of every test host's sink: each operation does nothing until a fake overrides it. The
// value and text operations also funnel into three hooks, so a fake that treats them alike
// (records, checks or counts them) overrides the hook instead of each operation.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The sink operations that carry a text, a number or a flag for the current file or item, in
// the interface's order: one list for the enumeration, the names and the operations below.
// clang-format off
#define NIKON_TEST_SINK_CALLS(TEXT, VALUE, FLAG)                                                    \
    TEXT(BeginFile) TEXT(ReportMessage) TEXT(AddPoint) VALUE(SetNorthing) VALUE(SetEasting)         \
    VALUE(SetElevation) FLAG(SetResectionPoint) FLAG(SetPointAttribute) TEXT(SetCode)               \
    TEXT(AddStation) VALUE(SetInstrumentHeight) TEXT(AddObservation) VALUE(SetPressure)             \
    VALUE(SetTemperature) VALUE(SetVerticalAngle) VALUE(SetHorizontalAngle) VALUE(SetTargetHeight)  \
    VALUE(SetSlopeDistance) FLAG(SetFaceRight)
// clang-format on

#define NIKON_TEST_SINK_ENUMERATOR(name) name,
enum class SinkCall {
    NIKON_TEST_SINK_CALLS(NIKON_TEST_SINK_ENUMERATOR, NIKON_TEST_SINK_ENUMERATOR, NIKON_TEST_SINK_ENUMERATOR)
};
#undef NIKON_TEST_SINK_ENUMERATOR

// The operation's name as the host interface spells it.
const char* NameOf(SinkCall call);

class TestSink : public IMeasurementSink {
public:
    IUnitConverterFactory* GetConverterFactory() override { return nullptr; }
    void SetCurrentLine(std::int32_t) override {}
    void SetProgress(float) override {}

#define NIKON_TEST_SINK_OPERATION(name, Type, hook)                                                          \
    void name(Type argument) override {                                                                      \
        hook(SinkCall::name, argument);                                                                      \
    }
#define NIKON_TEST_SINK_TEXT(name) NIKON_TEST_SINK_OPERATION(name, const wchar_t*, OnText)
#define NIKON_TEST_SINK_VALUE(name) NIKON_TEST_SINK_OPERATION(name, double, OnValue)
#define NIKON_TEST_SINK_FLAG(name) NIKON_TEST_SINK_OPERATION(name, bool, OnFlag)
    NIKON_TEST_SINK_CALLS(NIKON_TEST_SINK_TEXT, NIKON_TEST_SINK_VALUE, NIKON_TEST_SINK_FLAG)
#undef NIKON_TEST_SINK_FLAG
#undef NIKON_TEST_SINK_VALUE
#undef NIKON_TEST_SINK_TEXT
#undef NIKON_TEST_SINK_OPERATION

protected:
    virtual void OnText(SinkCall, const wchar_t*) {}
    virtual void OnValue(SinkCall, double) {}
    virtual void OnFlag(SinkCall, bool) {}
};

// The host's file list over fixed paths.
class PathList : public IImportFileList {
public:
    explicit PathList(std::vector<std::wstring> paths = {}) : paths(std::move(paths)) {}
    bool HasCurrent() override { return position < paths.size(); }
    void MoveNext() override { ++position; }
    const wchar_t* GetCurrent() override { return paths[position].c_str(); }
    void Reset() override { position = 0; }

    std::vector<std::wstring> paths;

private:
    std::size_t position = 0;
};

} // namespace testsupport
