// The sink operations that carry one argument, in the interface's order, with the argument's
// type: one list for every host sink that declares or forwards them alike.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <cstdint>

// clang-format off
#define HOST_SINK_CALLS(X)                                                                          \
    X(BeginFile, const wchar_t*) X(SetCurrentLine, std::int32_t) X(ReportMessage, const wchar_t*)   \
    X(SetProgress, float) X(AddPoint, const wchar_t*) X(SetNorthing, double) X(SetEasting, double)  \
    X(SetElevation, double) X(SetResectionPoint, bool) X(SetPointAttribute, bool)                   \
    X(SetCode, const wchar_t*) X(AddStation, const wchar_t*) X(SetInstrumentHeight, double)         \
    X(AddObservation, const wchar_t*) X(SetPressure, double) X(SetTemperature, double)              \
    X(SetVerticalAngle, double) X(SetHorizontalAngle, double) X(SetTargetHeight, double)            \
    X(SetSlopeDistance, double) X(SetFaceRight, bool)
// clang-format on

#define HOST_SINK_DECLARE_CALL(name, Type) void name(Type) override;

// Every operation of IMeasurementSink, declared in a class that implements them all.
#define HOST_SINK_OPERATIONS                                                                                 \
    IUnitConverterFactory* GetConverterFactory() override;                                                   \
    HOST_SINK_CALLS(HOST_SINK_DECLARE_CALL)
