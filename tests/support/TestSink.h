// The base of every test host's sink: each operation does nothing until a fake overrides it. The
// value and text operations also funnel into three hooks, so a fake that treats them alike
// (records, checks or counts them) overrides the hook instead of each operation.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The sink operations that carry a text, a number or a flag for the current file or item.
enum class SinkCall {
    BeginFile,
    ReportMessage,
    AddPoint,
    SetNorthing,
    SetEasting,
    SetElevation,
    SetResectionPoint,
    SetPointAttribute,
    SetCode,
    AddStation,
    SetInstrumentHeight,
    AddObservation,
    SetPressure,
    SetTemperature,
    SetVerticalAngle,
    SetHorizontalAngle,
    SetTargetHeight,
    SetSlopeDistance,
    SetFaceRight,
};

// The operation's name as the host interface spells it.
const char* NameOf(SinkCall call);

class TestSink : public IMeasurementSink {
public:
    IUnitConverterFactory* GetConverterFactory() override { return nullptr; }
    void SetCurrentLine(std::int32_t) override {}
    void SetProgress(float) override {}

    void BeginFile(const wchar_t* path) override { OnText(SinkCall::BeginFile, path); }
    void ReportMessage(const wchar_t* text) override { OnText(SinkCall::ReportMessage, text); }
    void AddPoint(const wchar_t* name) override { OnText(SinkCall::AddPoint, name); }
    void SetNorthing(double value) override { OnValue(SinkCall::SetNorthing, value); }
    void SetEasting(double value) override { OnValue(SinkCall::SetEasting, value); }
    void SetElevation(double value) override { OnValue(SinkCall::SetElevation, value); }
    void SetResectionPoint(bool on) override { OnFlag(SinkCall::SetResectionPoint, on); }
    void SetPointAttribute(bool on) override { OnFlag(SinkCall::SetPointAttribute, on); }
    void SetCode(const wchar_t* code) override { OnText(SinkCall::SetCode, code); }
    void AddStation(const wchar_t* name) override { OnText(SinkCall::AddStation, name); }
    void SetInstrumentHeight(double value) override { OnValue(SinkCall::SetInstrumentHeight, value); }
    void AddObservation(const wchar_t* target) override { OnText(SinkCall::AddObservation, target); }
    void SetPressure(double value) override { OnValue(SinkCall::SetPressure, value); }
    void SetTemperature(double value) override { OnValue(SinkCall::SetTemperature, value); }
    void SetVerticalAngle(double value) override { OnValue(SinkCall::SetVerticalAngle, value); }
    void SetHorizontalAngle(double value) override { OnValue(SinkCall::SetHorizontalAngle, value); }
    void SetTargetHeight(double value) override { OnValue(SinkCall::SetTargetHeight, value); }
    void SetSlopeDistance(double value) override { OnValue(SinkCall::SetSlopeDistance, value); }
    void SetFaceRight(bool on) override { OnFlag(SinkCall::SetFaceRight, on); }

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
