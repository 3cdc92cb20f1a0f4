// A host for Nikon.dll in C++ built for Microsoft's ABI (clang for x86_64-pc-windows-msvc): its
// objects implement the module's interfaces from the module's own headers, and it throws and
// catches exceptions as a host built by Microsoft's compiler does.
//
//   nikon_msvc_host MODULE --job FILE LOG     imports FILE, writes the host-call log (as the C host)
//   nikon_msvc_host MODULE --failures FILE    with the failing build of the module: the failures
//                                             the module raises and those the host throws
#include "Runtime.h"

#include "interfaces/PluginInterfaces.h"
#include "tests/windows/host_units.h"

#include <oleauto.h>
#include <stdarg.h>

extern "C" int _vsnprintf(char* buffer, size_t size, const char* format, va_list arguments);

namespace {

class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log() { free(text); }

    void Printf(const char* format, ...) {
        va_list arguments;
        va_start(arguments, format);
        char piece[512];
        const int length = _vsnprintf(piece, sizeof piece, format, arguments);
        va_end(arguments);
        if (length < 0 || static_cast<size_t>(length) >= sizeof piece)
            Fatal("log line too long");
        Append(piece, static_cast<size_t>(length));
    }

    // UTF-8, with control characters escaped so that a stray CR or zero shows.
    void Wide(const wchar_t* wide) {
        if (wide == nullptr) {
            Printf("<null>");
            return;
        }
        for (const wchar_t* p = wide; *p != 0; ++p) {
            unsigned c = static_cast<unsigned>(*p);
            if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned>(p[1]) - 0xDC00);
                ++p;
            }
            if (c < 0x20 || c == '\\')
                Printf("\\x%02x", c);
            else if (c < 0x80)
                Printf("%c", static_cast<char>(c));
            else if (c < 0x800)
                Printf("%c%c", 0xC0 | (c >> 6), 0x80 | (c & 0x3F));
            else if (c < 0x10000)
                Printf("%c%c%c", 0xE0 | (c >> 12), 0x80 | ((c >> 6) & 0x3F), 0x80 | (c & 0x3F));
            else
                Printf("%c%c%c%c", 0xF0 | (c >> 18), 0x80 | ((c >> 12) & 0x3F), 0x80 | ((c >> 6) & 0x3F),
                       0x80 | (c & 0x3F));
        }
    }

    void Clear() { size = 0; }
    const char* Text() const { return text != nullptr ? text : ""; }
    size_t Size() const { return size; }

    // How often `needle` starts a line.
    int Count(const char* needle) const {
        int found = 0;
        for (size_t at = 0; at < size;) {
            if (StartsWith(text + at, needle))
                ++found;
            while (at < size && text[at] != '\n')
                ++at;
            ++at;
        }
        return found;
    }

    [[noreturn]] static void Fatal(const char* why) {
        puts(why);
        exit(2);
    }

private:
    static bool StartsWith(const char* line, const char* prefix) {
        for (; *prefix != 0; ++line, ++prefix)
            if (*line != *prefix)
                return false;
        return true;
    }

    void Append(const char* piece, size_t length) {
        if (size + length + 1 > capacity) {
            size_t grown = capacity != 0 ? capacity : 4096;
            while (grown < size + length + 1)
                grown *= 2;
            char* larger = static_cast<char*>(realloc(text, grown));
            if (larger == nullptr)
                Fatal("out of memory");
            text = larger;
            capacity = grown;
        }
        memcpy(text + size, piece, length);
        size += length;
        text[size] = '\0';
    }

    char* text = nullptr;
    size_t size = 0;
    size_t capacity = 0;
};

// The host's own exception, with a copy constructor and destructor of its own that count the
// objects alive, so that each copy made on the way is seen destroyed.
class HostFailure {
public:
    HostFailure(int failureCode, int* liveCount) : code(failureCode), live(liveCount) { ++*live; }
    HostFailure(const HostFailure& other) : code(other.code), live(other.live) { ++*live; }
    HostFailure& operator=(const HostFailure&) = delete;
    ~HostFailure() { --*live; }

    int code;

private:
    int* live;
};

// Where the host throws its HostFailure, on the n-th call there.
enum class ThrowPoint { kNowhere, kAddObservation, kMoveNext, kConvert };

struct Host {
    Log log;
    int liveObjects = 0;
    int nextSerial = 0;
    int countFaults = 0; // Release on an object without references
    int liveFailures = 0;
    ThrowPoint throwPoint = ThrowPoint::kNowhere;
    int throwCountdown = 0;

    void MaybeThrow(ThrowPoint point) {
        if (point == throwPoint && --throwCountdown == 0) {
            log.Printf("throw HostFailure\n");
            throw HostFailure(42, &liveFailures);
        }
    }
};

// A reference-counted host object, created with one reference for its caller.
template <class Interface> class Counted : public Interface {
public:
    explicit Counted(Host& owner) : host(owner), serial(++owner.nextSerial) { ++owner.liveObjects; }
    virtual ~Counted() { --host.liveObjects; }

    void AddRef() override {
        ++count;
        host.log.Printf("AddRef[#%d]=%d\n", serial, count);
    }
    bool Release() override {
        if (count <= 0) {
            ++host.countFaults;
            host.log.Printf("Release[#%d] without reference\n", serial);
            return false;
        }
        --count;
        host.log.Printf("Release[#%d]=%d\n", serial, count);
        if (count > 0)
            return false;
        delete this;
        return true;
    }

    Host& host;
    const int serial;

private:
    int count = 1;
};

const char* const kQuantityNames[] = {"angle", "distance", "pressure", "temperature"};

template <class Interface> class Converter final : public Counted<Interface> {
public:
    Converter(Host& owner, Quantity what, int32_t unitCode)
        : Counted<Interface>(owner), quantity(what), unit(unitCode) {}

    bool Convert(const wchar_t* text, double* value) override {
        this->host.MaybeThrow(ThrowPoint::kConvert);
        Log& log = this->host.log;
        log.Printf("Convert[#%d](", this->serial);
        log.Wide(text);
        if (!ConvertQuantity(quantity, unit, text, value)) {
            log.Printf(")=false\n");
            return false;
        }
        log.Printf(")=%.17g\n", *value);
        return true;
    }

private:
    Quantity quantity;
    int32_t unit;
};

class Factory final : public Counted<IUnitConverterFactory> {
public:
    using Counted::Counted;

    Plugin::IAngleConverter* CreateAngleConverter(int32_t unit) override {
        return Create<Plugin::IAngleConverter>(kAngle, unit);
    }
    IDistanceConverter* CreateDistanceConverter(int32_t unit) override {
        return Create<IDistanceConverter>(kDistance, unit);
    }
    IPressureConverter* CreatePressureConverter(int32_t unit) override {
        return Create<IPressureConverter>(kPressure, unit);
    }
    ITemperatureConverter* CreateTemperatureConverter(int32_t unit) override {
        return Create<ITemperatureConverter>(kTemperature, unit);
    }

private:
    template <class Interface> Interface* Create(Quantity quantity, int32_t unit) {
        auto* converter = new Converter<Interface>(host, quantity, unit);
        host.log.Printf("Create[%s](%d)=#%d\n", kQuantityNames[quantity], unit, converter->serial);
        return converter;
    }
};

class Sink final : public IMeasurementSink {
public:
    explicit Sink(Host& owner) : host(owner) {}

    IUnitConverterFactory* GetConverterFactory() override {
        auto* factory = new Factory(host);
        host.log.Printf("GetConverterFactory=#%d\n", factory->serial);
        return factory;
    }
    void BeginFile(const wchar_t* path) override { Text("BeginFile", path); }
    void SetCurrentLine(int32_t index) override { host.log.Printf("SetCurrentLine(%d)\n", index); }
    void NotCalled1() override { host.log.Printf("NotCalled1\n"); }
    void ReportMessage(const wchar_t* text) override { Text("ReportMessage", text); }
    void SetProgress(float percent) override {
        host.log.Printf("SetProgress(%.9g)\n", static_cast<double>(percent));
    }
    void NotCalled2() override { host.log.Printf("NotCalled2\n"); }
    void AddPoint(const wchar_t* name) override { Text("AddPoint", name); }
    void SetNorthing(double value) override { Number("SetNorthing", value); }
    void SetEasting(double value) override { Number("SetEasting", value); }
    void SetElevation(double value) override { Number("SetElevation", value); }
    void SetResectionPoint(bool resection) override { Flag("SetResectionPoint", resection); }
    void SetPointAttribute(bool attribute) override { Flag("SetPointAttribute", attribute); }
    void NotCalled3() override { host.log.Printf("NotCalled3\n"); }
    void SetCode(const wchar_t* code) override { Text("SetCode", code); }
    void AddStation(const wchar_t* name) override { Text("AddStation", name); }
    void NotCalled4() override { host.log.Printf("NotCalled4\n"); }
    void SetInstrumentHeight(double value) override { Number("SetInstrumentHeight", value); }
    void NotCalled5() override { host.log.Printf("NotCalled5\n"); }
    void AddObservation(const wchar_t* target) override {
        Text("AddObservation", target);
        host.MaybeThrow(ThrowPoint::kAddObservation);
    }
    void SetPressure(double value) override { Number("SetPressure", value); }
    void SetTemperature(double value) override { Number("SetTemperature", value); }
    void NotCalled6() override { host.log.Printf("NotCalled6\n"); }
    void SetVerticalAngle(double value) override { Number("SetVerticalAngle", value); }
    void SetHorizontalAngle(double value) override { Number("SetHorizontalAngle", value); }
    void SetTargetHeight(double value) override { Number("SetTargetHeight", value); }
    void SetSlopeDistance(double value) override { Number("SetSlopeDistance", value); }
    void NotCalled7() override { host.log.Printf("NotCalled7\n"); }
    void SetFaceRight(bool faceRight) override { Flag("SetFaceRight", faceRight); }

private:
    void Text(const char* name, const wchar_t* text) {
        host.log.Printf("%s(", name);
        host.log.Wide(text);
        host.log.Printf(")\n");
    }
    void Number(const char* name, double value) { host.log.Printf("%s(%.17g)\n", name, value); }
    void Flag(const char* name, bool flag) { host.log.Printf("%s(%s)\n", name, flag ? "true" : "false"); }

    Host& host;
};

class FileList final : public IImportFileList {
public:
    FileList(Host& owner, const wchar_t* const* names, int count) : host(owner), paths(names), size(count) {}

    bool HasCurrent() override {
        const bool has = current < size;
        host.log.Printf("HasCurrent=%s\n", has ? "true" : "false");
        return has;
    }
    void MoveNext() override {
        host.log.Printf("MoveNext\n");
        host.MaybeThrow(ThrowPoint::kMoveNext);
        ++current;
    }
    const wchar_t* GetCurrent() override {
        host.log.Printf("GetCurrent\n");
        return current < size ? paths[current] : nullptr;
    }
    void Reset() override {
        host.log.Printf("Reset\n");
        current = 0;
    }

private:
    Host& host;
    const wchar_t* const* paths;
    int size;
    int current = 0;
};

using CreatePluginFunction = Plugin::IGroundBasedMIP* (*)();
// Returns how many calls the plan it replaces still had to go: 0 once that failure has happened.
using InjectFailureFunction = int (*)(int kind, int nth);

// Matches the failing build's export: which operation fails, and on which call from now.
enum FailureKind { kFailAllocation = 1, kFailConversion = 2 };

void Import(Host& host, Plugin::IGroundBasedMIP* plugin, const wchar_t* const* names, int count) {
    FileList files(host, names, count);
    Sink sink(host);
    host.log.Clear();
    plugin->Import(&files, &sink);
}

bool WriteLog(const Log& log, const wchar_t* path) {
    FILE* out = _wfopen(path, L"wb");
    if (out == nullptr)
        return false;
    const bool written = fwrite(log.Text(), 1, log.Size(), out) == log.Size();
    return fclose(out) == 0 && written;
}

int RunJob(CreatePluginFunction create, const wchar_t* file, const wchar_t* logPath) {
    Host host;
    Plugin::IGroundBasedMIP* plugin = create();
    Import(host, plugin, &file, 1);
    plugin->Release();
    const bool clean = host.liveObjects == 0 && host.countFaults == 0;
    if (!clean) {
        char line[128];
        _snprintf(line, sizeof line, "host objects left: %d, releases without reference: %d",
                  host.liveObjects, host.countFaults);
        puts(line);
    }
    return WriteLog(host.log, logPath) && clean ? 0 : 1;
}

class Checks {
public:
    void Check(bool ok, const char* what) {
        if (ok) {
            ++passed;
            return;
        }
        ++failed;
        char line[256];
        _snprintf(line, sizeof line, "FAILED: %s", what);
        puts(line);
    }
    // After a failure left Import: every reference the module held is back, and the import
    // stopped where it failed, with the list not walked to its end.
    void CheckStopped(const Host& host, const char* what) {
        Check(host.liveObjects == 0 && host.countFaults == 0, what);
        Check(host.log.Count("HasCurrent=false") == 0, what);
        Check(host.log.Count("BeginFile(") <= host.log.Count("MoveNext") + 1, what);
    }
    int Summary() const {
        char line[64];
        _snprintf(line, sizeof line, "%d passed, %d failed", passed, failed);
        puts(line);
        return failed == 0 ? 0 : 1;
    }

private:
    int passed = 0;
    int failed = 0;
};

// CreatePlugin without memory must throw a `Failure`, which `inspect` looks at.
template <class Failure, class Inspect>
void ExpectCreateFailure(Checks& checks, CreatePluginFunction create, InjectFailureFunction inject,
                         Inspect inspect) {
    inject(kFailAllocation, 1);
    try {
        create();
        checks.Check(false, "CreatePlugin without memory: no failure");
    } catch (const Failure& failure) {
        inspect(failure);
    }
}

// Out of memory in CreatePlugin reaches the host as std::bad_alloc, and as std::exception whose
// run-time type is std::bad_alloc.
void CheckCreateFailure(Checks& checks, CreatePluginFunction create, InjectFailureFunction inject) {
    ExpectCreateFailure<std::bad_alloc>(checks, create, inject, [&checks](const std::bad_alloc& failure) {
        checks.Check(strcmp(failure.what(), "bad allocation") == 0, "CreatePlugin: bad_alloc::what()");
    });
    ExpectCreateFailure<std::exception>(checks, create, inject, [&checks](const std::exception& failure) {
        checks.Check(strcmp(failure.what(), "bad allocation") == 0, "CreatePlugin: exception::what()");
        checks.Check(strcmp(typeid(failure).raw_name(), ".?AVbad_alloc@std@@") == 0, "CreatePlugin: typeid");
        checks.Check(dynamic_cast<const std::bad_alloc*>(&failure) == &failure, "CreatePlugin: dynamic_cast");
    });
}

// Every allocation of an import fails in turn, until the import needs no more: each failure
// reaches the host as std::bad_alloc with the host's objects all released, and the plug-in then
// imports as before.
void CheckImportAllocations(Checks& checks, Plugin::IGroundBasedMIP* plugin, InjectFailureFunction inject,
                            const wchar_t* file) {
    const wchar_t* const files[] = {file, file};
    Host reference;
    Import(reference, plugin, files, 2);
    int failures = 0;
    bool afterConverters = false;
    for (int nth = 1; nth < 100000; ++nth) {
        Host host;
        inject(kFailAllocation, nth);
        try {
            Import(host, plugin, files, 2);
            // An allocation the module can do without (a size hint) failed, or none was made.
            if (inject(kFailAllocation, 0) > 0)
                break;
        } catch (const std::bad_alloc&) {
            ++failures;
            afterConverters = afterConverters || host.log.Count("Create[") > 0;
            checks.CheckStopped(host, "Import without memory: stopped with the references released");
        }
    }
    checks.Check(failures > 10, "Import: allocations failed in turn");
    checks.Check(afterConverters, "Import: an allocation failed while converters were held");
    Host after;
    Import(after, plugin, files, 2);
    checks.Check(strcmp(after.log.Text(), reference.log.Text()) == 0, "Import after the failures: same log");
}

// A line that does not convert: ATL's exception with the HRESULT of the Win32 error.
void CheckConversionFailure(Checks& checks, Plugin::IGroundBasedMIP* plugin, InjectFailureFunction inject,
                            const wchar_t* file) {
    constexpr int32_t kNoUnicodeTranslation = static_cast<int32_t>(0x80070459);
    const wchar_t* const files[] = {file, file};
    Host host;
    inject(kFailConversion, 3);
    try {
        Import(host, plugin, files, 2);
        checks.Check(false, "Import with a failing conversion: no failure");
    } catch (const ATL::CAtlException& failure) {
        checks.Check(failure.m_hr == kNoUnicodeTranslation, "Import: CAtlException carries the HRESULT");
    }
    inject(kFailConversion, 0);
    checks.CheckStopped(host, "Import with a failing conversion: stopped with the references released");
    checks.Check(host.log.Count("BeginFile(") == 1, "Import with a failing conversion: one file begun");
}

// The host's own exception from its sink, file list or converter comes back to it from Import, the
// thrown value intact, after the module has released what it held of the host's.
void CheckHostFailures(Checks& checks, Plugin::IGroundBasedMIP* plugin, const wchar_t* file) {
    struct Case {
        ThrowPoint point;
        int nth;
        const char* what;
    };
    const Case cases[] = {
        {ThrowPoint::kAddObservation, 3, "throw from AddObservation"},
        {ThrowPoint::kMoveNext, 1, "throw from MoveNext"},
        {ThrowPoint::kConvert, 12, "throw from Convert"},
    };
    const wchar_t* const files[] = {file, file};
    for (const Case& c : cases) {
        Host host;
        host.throwPoint = c.point;
        host.throwCountdown = c.nth;
        try {
            Import(host, plugin, files, 2);
            checks.Check(false, c.what);
        } catch (const HostFailure& failure) {
            checks.Check(failure.code == 42 && host.liveFailures == 1, c.what);
        }
        checks.Check(host.liveFailures == 0, c.what);
        checks.Check(host.log.Count("throw HostFailure") == 1, c.what);
        checks.CheckStopped(host, c.what);
        checks.Check(host.log.Count("BeginFile(") == 1, c.what);
    }
}

int RunFailures(CreatePluginFunction create, InjectFailureFunction inject, const wchar_t* file) {
    Checks checks;
    CheckCreateFailure(checks, create, inject);
    Plugin::IGroundBasedMIP* plugin = create();
    CheckImportAllocations(checks, plugin, inject, file);
    CheckConversionFailure(checks, plugin, inject, file);
    CheckHostFailures(checks, plugin, file);
    checks.Check(plugin->Release(), "the plug-in object is destroyed at the end");
    return checks.Summary();
}

bool Same(const wchar_t* a, const wchar_t* b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

} // namespace

int HostMain(int argc, wchar_t** argv) {
    const bool job = argc == 5 && Same(argv[2], L"--job");
    const bool failures = argc == 4 && Same(argv[2], L"--failures");
    if (!job && !failures) {
        puts("usage: nikon_msvc_host MODULE --job FILE LOG | MODULE --failures FILE");
        return 2;
    }
    HMODULE module = LoadLibraryW(argv[1]);
    if (module == nullptr) {
        puts("cannot load the module");
        return 2;
    }
    const auto create = reinterpret_cast<CreatePluginFunction>(GetProcAddress(module, "CreatePlugin"));
    const auto inject = reinterpret_cast<InjectFailureFunction>(GetProcAddress(module, "NikonInjectFailure"));
    if (create == nullptr || (failures && inject == nullptr)) {
        puts("the module lacks an export");
        return 2;
    }
    const int status = job ? RunJob(create, argv[3], argv[4]) : RunFailures(create, inject, argv[3]);
    FreeLibrary(module);
    return status;
}
