// Objects the host supplies. The module holds no implementation of them; these declarations are
// the contract, in the host's table order. Slots named NotCalledN stand where the host's tables
// hold operations this module never calls; they keep every called operation at its place.
#pragma once

#include "interfaces/RefCounted.h"

#include <cstdint>

struct IDistanceConverter : Plugin::IRefCounted {
    virtual bool Convert(const wchar_t* text, double* value) = 0;
};

struct IPressureConverter : Plugin::IRefCounted {
    virtual bool Convert(const wchar_t* text, double* value) = 0;
};

struct ITemperatureConverter : Plugin::IRefCounted {
    virtual bool Convert(const wchar_t* text, double* value) = 0;
};

// Every converter returned hands the caller one reference.
struct IUnitConverterFactory : Plugin::IRefCounted {
    // 1 degrees, 4 gons, 5 mils.
    virtual Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) = 0;
    // 0 metres, 1 feet.
    virtual IDistanceConverter* CreateDistanceConverter(std::int32_t unit) = 0;
    // 0 no unit named, 1 hPa, 2 inHg.
    virtual IPressureConverter* CreatePressureConverter(std::int32_t unit) = 0;
    // 0 no unit named, 1 Fahrenheit.
    virtual ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) = 0;
};

// Borrowed for one import; not reference-counted.
struct IImportFileList {
    virtual bool HasCurrent() = 0;
    virtual void MoveNext() = 0;
    // Valid until the next operation on the list.
    virtual const wchar_t* GetCurrent() = 0;
    virtual void Reset() = 0;
};

// Borrowed for one import; not reference-counted. Set... operations apply to the item begun by
// the last AddPoint, AddStation or AddObservation. Texts are valid only during the call.
struct IMeasurementSink {
    // One reference for the caller.
    virtual IUnitConverterFactory* GetConverterFactory() = 0;
    virtual void BeginFile(const wchar_t* path) = 0;
    // 0-based index of the line about to be parsed; -1 before the unknown-format message.
    virtual void SetCurrentLine(std::int32_t index) = 0;
    virtual void NotCalled1() {}
    virtual void ReportMessage(const wchar_t* text) = 0;
    virtual void SetProgress(float percent) = 0;
    virtual void NotCalled2() {}
    virtual void AddPoint(const wchar_t* name) = 0;
    virtual void SetNorthing(double value) = 0;
    virtual void SetEasting(double value) = 0;
    virtual void SetElevation(double value) = 0;
    virtual void SetResectionPoint(bool resection) = 0;
    virtual void SetPointAttribute(bool attribute) = 0;
    virtual void NotCalled3() {}
    virtual void SetCode(const wchar_t* code) = 0;
    virtual void AddStation(const wchar_t* name) = 0;
    virtual void NotCalled4() {}
    virtual void SetInstrumentHeight(double value) = 0;
    virtual void NotCalled5() {}
    virtual void AddObservation(const wchar_t* target) = 0;
    virtual void SetPressure(double value) = 0;
    virtual void SetTemperature(double value) = 0;
    virtual void NotCalled6() {}
    virtual void SetVerticalAngle(double value) = 0;
    virtual void SetHorizontalAngle(double value) = 0;
    virtual void SetTargetHeight(double value) = 0;
    virtual void SetSlopeDistance(double value) = 0;
    virtual void NotCalled7() {}
    virtual void SetFaceRight(bool faceRight) = 0;
};
