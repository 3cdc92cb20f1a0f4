// The cheapest host: converters that take every text as a number unread, and a sink that only
// counts the calls it receives.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

class CountingSink final : public IMeasurementSink {
public:
    CountingSink();
    ~CountingSink();
    CountingSink(const CountingSink&) = delete;
    CountingSink& operator=(const CountingSink&) = delete;

    std::uint64_t Calls() const { return calls; }

    IUnitConverterFactory* GetConverterFactory() override;
    void BeginFile(const wchar_t*) override { ++calls; }
    void SetCurrentLine(std::int32_t) override { ++calls; }
    void ReportMessage(const wchar_t*) override { ++calls; }
    void SetProgress(float) override { ++calls; }
    void AddPoint(const wchar_t*) override { ++calls; }
    void SetNorthing(double) override { ++calls; }
    void SetEasting(double) override { ++calls; }
    void SetElevation(double) override { ++calls; }
    void SetResectionPoint(bool) override { ++calls; }
    void SetPointAttribute(bool) override { ++calls; }
    void SetCode(const wchar_t*) override { ++calls; }
    void AddStation(const wchar_t*) override { ++calls; }
    void SetInstrumentHeight(double) override { ++calls; }
    void AddObservation(const wchar_t*) override { ++calls; }
    void SetPressure(double) override { ++calls; }
    void SetTemperature(double) override { ++calls; }
    void SetVerticalAngle(double) override { ++calls; }
    void SetHorizontalAngle(double) override { ++calls; }
    void SetTargetHeight(double) override { ++calls; }
    void SetSlopeDistance(double) override { ++calls; }
    void SetFaceRight(bool) override { ++calls; }

private:
    std::uint64_t calls = 0;
};

// One file for the plug-in's Import.
class SingleFile final : public IImportFileList {
public:
    explicit SingleFile(std::wstring path) : path(std::move(path)) {}
    bool HasCurrent() override { return !done; }
    void MoveNext() override { done = true; }
    const wchar_t* GetCurrent() override { return path.c_str(); }
    void Reset() override { done = false; }

private:
    std::wstring path;
    bool done = false;
};

} // namespace bench
