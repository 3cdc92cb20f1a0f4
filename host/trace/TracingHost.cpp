#include "host/trace/TracingHost.h"

#include "interfaces/RefPtr.h"

#include <string>
#include <utility>

namespace host {
namespace {

// Counts the references to the wrapper, logging each AddRef and Release; the wrapped object's
// one reference goes with the wrapper.
template <class Interface> class TracingObject : public Interface {
public:
    void AddRef() override {
        ++count;
        trace.Record({name, "AddRef", {}, {}, {}});
    }

    bool Release() override {
        const bool destroyed = --count == 0;
        trace.Record({name, "Release", {}, TraceValue(destroyed), {}});
        if (destroyed)
            delete this;
        return destroyed;
    }

    const std::string& Name() const { return name; }

protected:
    TracingObject(CallTrace& trace, std::string name, Interface* adopted)
        : trace(trace), name(std::move(name)), inner(Plugin::RefPtr<Interface>::Adopt(adopted)) {}
    virtual ~TracingObject() = default;

    CallTrace& trace;
    const std::string name;
    const Plugin::RefPtr<Interface> inner;

private:
    int count = 1; // the reference handed to whoever asked for the object
};

template <class Interface> class TracingConverter final : public TracingObject<Interface> {
public:
    TracingConverter(CallTrace& trace, std::string name, Interface* adopted)
        : TracingObject<Interface>(trace, std::move(name), adopted) {}

    bool Convert(const wchar_t* text, double* value) override {
        const bool written = this->inner->Convert(text, value);
        this->trace.Record({this->name, "Convert", TraceText(text), TraceValue(written),
                            written ? std::optional<double>(*value) : std::nullopt});
        return written;
    }
};

class TracingFactory final : public TracingObject<IUnitConverterFactory> {
public:
    TracingFactory(CallTrace& trace, std::string name, IUnitConverterFactory* adopted)
        : TracingObject(trace, std::move(name), adopted) {}

    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        return Wrap("CreateAngleConverter", "angle", unit, inner->CreateAngleConverter(unit));
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        return Wrap("CreateDistanceConverter", "distance", unit, inner->CreateDistanceConverter(unit));
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        return Wrap("CreatePressureConverter", "pressure", unit, inner->CreatePressureConverter(unit));
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        return Wrap("CreateTemperatureConverter", "temperature", unit,
                    inner->CreateTemperatureConverter(unit));
    }

private:
    template <class Interface>
    Interface* Wrap(const char* call, const char* kind, std::int32_t unit, Interface* converter) {
        if (converter == nullptr) {
            trace.Record({name, call, TraceValue(unit), TraceValue(NullResult{}), {}});
            return nullptr;
        }
        auto* wrapper = new TracingConverter<Interface>(trace, trace.NameNext(kind), converter);
        trace.Record({name, call, TraceValue(unit), TraceValue(ObjectName{wrapper->Name()}), {}});
        return wrapper;
    }
};

TraceValue Traced(const wchar_t* text) {
    return TraceText(text);
}

template <class Value> TraceValue Traced(Value value) {
    return TraceValue(value);
}

TracingFactory* Wrap(CallTrace& trace, IUnitConverterFactory* factory) {
    return factory != nullptr ? new TracingFactory(trace, trace.NameNext("factory"), factory) : nullptr;
}

} // namespace

IUnitConverterFactory* TraceFactory(CallTrace& trace, IUnitConverterFactory* factory) {
    return Wrap(trace, factory);
}

bool TracingFileList::HasCurrent() {
    const bool has = inner.HasCurrent();
    trace.Record({"files", "HasCurrent", {}, TraceValue(has), {}});
    return has;
}

void TracingFileList::MoveNext() {
    trace.Record({"files", "MoveNext", {}, {}, {}});
    inner.MoveNext();
}

const wchar_t* TracingFileList::GetCurrent() {
    const wchar_t* path = inner.GetCurrent();
    trace.Record({"files", "GetCurrent", {}, TraceText(path), {}});
    return path;
}

void TracingFileList::Reset() {
    trace.Record({"files", "Reset", {}, {}, {}});
    inner.Reset();
}

IUnitConverterFactory* TracingSink::GetConverterFactory() {
    TracingFactory* factory = Wrap(trace, inner.GetConverterFactory());
    const TraceValue result =
        factory != nullptr ? TraceValue(ObjectName{factory->Name()}) : TraceValue(NullResult{});
    trace.Record({"sink", "GetConverterFactory", {}, result, {}});
    return factory;
}

#define HOST_TRACE_SINK_CALL(name, Type)                                                                     \
    void TracingSink::name(Type argument) {                                                                  \
        Record(#name, Traced(argument));                                                                     \
        inner.name(argument);                                                                                \
    }
HOST_SINK_CALLS(HOST_TRACE_SINK_CALL)
#undef HOST_TRACE_SINK_CALL

} // namespace host
