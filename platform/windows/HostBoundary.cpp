// The module's boundary with a host built by Microsoft's compiler.
//
// Failures the module raises are GCC exceptions, which such a host cannot catch: at the boundary
// they are raised again in Microsoft's form (MsvcExceptions.h).
//
// Exceptions a host operation throws are Microsoft's, and GCC's unwinder runs no cleanups for an
// exception that is not its own: passing through the module's frames they would leave the
// module's objects and its references on the host's objects behind. So every call into the host
// goes through a guard, a small assembler frame whose exception handler sees a Microsoft C++
// exception when the search for a catch reaches it. The handler copies the thrown object out of
// the host's frames (with the type's copy constructor, destroying the original as a catch
// would), unwinds the host's frames to the guard as a catch would, and the guard throws a GCC
// exception carrying the copy. GCC's unwinder takes that through the module's frames, running
// their cleanups, to the boundary, which throws the host's object again with the host's own type
// information: the host's catch takes it by its type, as if no module had been in between.
// A GCC exception from a host built by GCC passes through the module unchanged.
#include "platform/HostBoundary.h"

#include "platform/windows/MsvcExceptions.h"
#include "platform/windows/Win32Failure.h"

#include <memory>
#include <new>
#include <type_traits>

// void* nikon_guarded_call(void (*call)(void*), void* context): runs call(context) and returns
// null; when the handler has taken a host's exception, returns the captured copy instead.
// clang-format off
asm(R"(
    .section .text$nikon_guarded_call, "x"
    .p2align 4
    .def nikon_guarded_call; .scl 2; .type 32; .endef
nikon_guarded_call:
    .seh_proc nikon_guarded_call
    .seh_handler nikon_guard_handler, @except
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
nikon_guard_resume:
    addq $40, %rsp
    retq
    .seh_endproc
    .text
)");
// clang-format on

extern "C" void* nikon_guarded_call(void (*call)(void*), void* context);
extern "C" const unsigned char nikon_guard_resume[];
extern "C" EXCEPTION_DISPOSITION nikon_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                     DISPATCHER_CONTEXT* dispatch);

// Called while the system searches for a catch, with the guard's frame as `frame`. Anything but
// a Microsoft C++ exception with its object (GCC's own, faults) is left to the other handlers.
extern "C" EXCEPTION_DISPOSITION nikon_guard_handler(EXCEPTION_RECORD* record, void* frame,
                                                     CONTEXT* /*context*/, DISPATCHER_CONTEXT* dispatch) {
    using platform::msvc::ForeignException;
    if ((record->ExceptionFlags & EXCEPTION_UNWIND) != 0 || !ForeignException::IsThrownObject(*record))
        return ExceptionContinueSearch;
    // Without memory for the copy the exception goes on as it is, the host's failure kept.
    ForeignException captured = ForeignException::Capture(*record);
    if (!captured)
        return ExceptionContinueSearch;
    RtlUnwindEx(frame, const_cast<unsigned char*>(nikon_guard_resume), record, captured.Detach(),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch; // not reached: the unwind resumes in the guard
}

namespace platform {
namespace {

// What the guards of one Import share.
struct HostCalls {
    // A host built by GCC threw its own exception, which must leave as it is.
    bool hostThrew = false;
};

// The GCC exception that carries a host's exception through the module's frames.
struct CarriedHostException {
    void* captured;
};

// Notes a GCC exception leaving a host call, without catching it. GCC runs this cleanup for its
// own exceptions only: a Microsoft one is taken by the guard, and unwinding it runs none here.
struct HostCallWatch {
    HostCalls* calls;
    bool returned = false;

    ~HostCallWatch() {
        if (!returned)
            calls->hostThrew = true;
    }
};

template <class Call> auto Guarded(HostCalls& calls, const Call& call) -> decltype(call()) {
    using Result = decltype(call());
    if constexpr (std::is_void_v<Result>) {
        Guarded(calls, [&call] {
            call();
            return true;
        });
    } else {
        struct Frame {
            const Call* call;
            HostCalls* calls;
            Result result;
        } frame{&call, &calls, Result{}};
        void* captured = nikon_guarded_call(
            [](void* context) {
                auto* at = static_cast<Frame*>(context);
                HostCallWatch watch{at->calls};
                at->result = (*at->call)();
                watch.returned = true;
            },
            &frame);
        if (captured != nullptr)
            throw CarriedHostException{captured};
        return frame.result;
    }
}

// Reference counting mirrored one for one onto the host's object: the module's AddRef and
// Release calls reach the host exactly as without the guard, and the guard goes with the last
// reference. AddRef and Release are not guarded: they run in the module's destructors.
template <class Interface, class Self> class GuardedCounted : public Interface {
public:
    void AddRef() override {
        host->AddRef();
        ++count;
    }
    bool Release() override {
        std::unique_ptr<Self> last(--count == 0 ? static_cast<Self*>(this) : nullptr);
        return host->Release();
    }

    // `object` comes with one reference for the caller, which the guard takes over; null stays
    // null. When no guard can be made, that reference is dropped before the failure leaves.
    static Interface* Wrap(Interface* object, HostCalls& calls) {
        if (object == nullptr)
            return nullptr;
        Self* guard = new (std::nothrow) Self(object, calls);
        if (guard == nullptr) {
            object->Release();
            throw std::bad_alloc();
        }
        return guard;
    }

protected:
    GuardedCounted(Interface* object, HostCalls& hostCalls) : host(object), calls(hostCalls) {}
    ~GuardedCounted() = default;

    Interface* host;
    HostCalls& calls;

private:
    int count = 1;
};

template <class Converter>
class GuardedConverter final : public GuardedCounted<Converter, GuardedConverter<Converter>> {
public:
    GuardedConverter(Converter* object, HostCalls& hostCalls)
        : GuardedCounted<Converter, GuardedConverter<Converter>>(object, hostCalls) {}

    bool Convert(const wchar_t* text, double* value) override {
        return Guarded(this->calls, [&] { return this->host->Convert(text, value); });
    }
};

class GuardedFactory final : public GuardedCounted<IUnitConverterFactory, GuardedFactory> {
public:
    GuardedFactory(IUnitConverterFactory* object, HostCalls& hostCalls) : GuardedCounted(object, hostCalls) {}

private:
    template <class Converter, class Create> Converter* Make(Create create, std::int32_t unit) {
        Converter* made = Guarded(calls, [&] { return (host->*create)(unit); });
        return GuardedConverter<Converter>::Wrap(made, calls);
    }

public:
    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        return Make<Plugin::IAngleConverter>(&IUnitConverterFactory::CreateAngleConverter, unit);
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        return Make<IDistanceConverter>(&IUnitConverterFactory::CreateDistanceConverter, unit);
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        return Make<IPressureConverter>(&IUnitConverterFactory::CreatePressureConverter, unit);
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        return Make<ITemperatureConverter>(&IUnitConverterFactory::CreateTemperatureConverter, unit);
    }
};

class GuardedFileList final : public IImportFileList {
public:
    GuardedFileList(IImportFileList* object, HostCalls& hostCalls) : host(object), calls(hostCalls) {}

    bool HasCurrent() override {
        return Guarded(calls, [this] { return host->HasCurrent(); });
    }
    void MoveNext() override {
        Guarded(calls, [this] { host->MoveNext(); });
    }
    const wchar_t* GetCurrent() override {
        return Guarded(calls, [this] { return host->GetCurrent(); });
    }
    void Reset() override {
        Guarded(calls, [this] { host->Reset(); });
    }

private:
    IImportFileList* host;
    HostCalls& calls;
};

class GuardedSink final : public IMeasurementSink {
public:
    GuardedSink(IMeasurementSink* object, HostCalls& hostCalls) : host(object), calls(hostCalls) {}

    IUnitConverterFactory* GetConverterFactory() override {
        IUnitConverterFactory* factory = Guarded(calls, [this] { return host->GetConverterFactory(); });
        return GuardedFactory::Wrap(factory, calls);
    }
    void BeginFile(const wchar_t* path) override { Forward(&IMeasurementSink::BeginFile, path); }
    void SetCurrentLine(std::int32_t index) override { Forward(&IMeasurementSink::SetCurrentLine, index); }
    void ReportMessage(const wchar_t* text) override { Forward(&IMeasurementSink::ReportMessage, text); }
    void SetProgress(float percent) override { Forward(&IMeasurementSink::SetProgress, percent); }
    void AddPoint(const wchar_t* name) override { Forward(&IMeasurementSink::AddPoint, name); }
    void SetNorthing(double value) override { Forward(&IMeasurementSink::SetNorthing, value); }
    void SetEasting(double value) override { Forward(&IMeasurementSink::SetEasting, value); }
    void SetElevation(double value) override { Forward(&IMeasurementSink::SetElevation, value); }
    void SetResectionPoint(bool resection) override {
        Forward(&IMeasurementSink::SetResectionPoint, resection);
    }
    void SetPointAttribute(bool attribute) override {
        Forward(&IMeasurementSink::SetPointAttribute, attribute);
    }
    void SetCode(const wchar_t* code) override { Forward(&IMeasurementSink::SetCode, code); }
    void AddStation(const wchar_t* name) override { Forward(&IMeasurementSink::AddStation, name); }
    void SetInstrumentHeight(double value) override {
        Forward(&IMeasurementSink::SetInstrumentHeight, value);
    }
    void AddObservation(const wchar_t* target) override {
        Forward(&IMeasurementSink::AddObservation, target);
    }
    void SetPressure(double value) override { Forward(&IMeasurementSink::SetPressure, value); }
    void SetTemperature(double value) override { Forward(&IMeasurementSink::SetTemperature, value); }
    void SetVerticalAngle(double value) override { Forward(&IMeasurementSink::SetVerticalAngle, value); }
    void SetHorizontalAngle(double value) override { Forward(&IMeasurementSink::SetHorizontalAngle, value); }
    void SetTargetHeight(double value) override { Forward(&IMeasurementSink::SetTargetHeight, value); }
    void SetSlopeDistance(double value) override { Forward(&IMeasurementSink::SetSlopeDistance, value); }
    void SetFaceRight(bool faceRight) override { Forward(&IMeasurementSink::SetFaceRight, faceRight); }

private:
    template <class Argument> void Forward(void (IMeasurementSink::*operation)(Argument), Argument argument) {
        Guarded(calls, [&] { (host->*operation)(argument); });
    }

    IMeasurementSink* host;
    HostCalls& calls;
};

// How a failure leaves the boundary.
struct Failure {
    enum Kind { kOutOfMemory, kWin32, kHostException } kind = kOutOfMemory;
    HRESULT hresult = S_OK;
    msvc::ForeignException hostException;
};

// The failure being handled, when the module raised it; anything else leaves as it is.
Failure CurrentFailure(const HostCalls& calls) {
    if (calls.hostThrew)
        throw;
    try {
        throw;
    } catch (const CarriedHostException& carried) {
        return {Failure::kHostException, S_OK, msvc::ForeignException::Adopt(carried.captured)};
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const Win32Failure& failure) {
        return {Failure::kWin32, failure.hresult, {}};
    }
}

// Raised from a frame of its own once the GCC exception is finished with, so that nothing of
// GCC's stays in flight while the host's handlers run.
[[noreturn]] void Raise(Failure failure) {
    switch (failure.kind) {
    case Failure::kWin32:
        msvc::RaiseAtlException(failure.hresult);
    case Failure::kHostException:
        msvc::ForeignException::Rethrow(std::move(failure.hostException));
    case Failure::kOutOfMemory:
        break;
    }
    msvc::RaiseBadAlloc();
}

template <class Body> void RunAcrossBoundary(const HostCalls& calls, const Body& body) {
    Failure failure;
    try {
        body();
        return;
    } catch (...) {
        failure = CurrentFailure(calls);
    }
    Raise(std::move(failure));
}

} // namespace

void ImportAcrossBoundary(IImportFileList* files, IMeasurementSink* sink, ImportBody body) {
    HostCalls calls;
    GuardedFileList guardedFiles(files, calls);
    GuardedSink guardedSink(sink, calls);
    RunAcrossBoundary(calls, [&] { body(&guardedFiles, &guardedSink); });
}

Plugin::IGroundBasedMIP* CreateAcrossBoundary(Plugin::IGroundBasedMIP* (*create)()) {
    const HostCalls calls;
    Plugin::IGroundBasedMIP* created = nullptr;
    RunAcrossBoundary(calls, [&] { created = create(); });
    return created;
}

} // namespace platform
