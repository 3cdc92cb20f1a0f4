// Decorators that log every call the module makes into the host before or after passing it on:
// around the file list, the sink, and the converter factories and converters the sink hands
// out. They exist only when a trace is asked for.
#pragma once

#include "host/SinkOperations.h"
#include "host/trace/CallTrace.h"
#include "interfaces/HostInterfaces.h"

namespace host {

class TracingFileList final : public IImportFileList {
public:
    // Both must outlive this list.
    TracingFileList(CallTrace& trace, IImportFileList& inner) : trace(trace), inner(inner) {}

    bool HasCurrent() override;
    void MoveNext() override;
    const wchar_t* GetCurrent() override;
    void Reset() override;

private:
    CallTrace& trace;
    IImportFileList& inner;
};

class TracingSink final : public IMeasurementSink {
public:
    // Both must outlive this sink.
    TracingSink(CallTrace& trace, IMeasurementSink& inner) : trace(trace), inner(inner) {}

    // The factory comes wrapped, and so does every converter it creates; every other call is
    // logged with its argument before it is passed on.
    HOST_SINK_OPERATIONS

private:
    void Record(const char* call, TraceValue arg) { trace.Record({"sink", call, arg, {}, {}}); }

    CallTrace& trace;
    IMeasurementSink& inner;
};

// Wraps a factory the caller holds one reference to (adopted here) in a logging one, named
// "factory#N"; hands the caller one reference to the wrapper. Null stays null.
IUnitConverterFactory* TraceFactory(CallTrace& trace, IUnitConverterFactory* factory);

} // namespace host
