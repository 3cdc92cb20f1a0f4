/* A host for the module written in C, calling it the way a host built by Microsoft's compiler
   does: through explicit operation tables, `this` first. It builds for Windows (run under Wine)
   and natively against Nikon.so, so that both builds can be compared call for call.

   nikon_c_host MODULE WORKDIR            runs every check in WORKDIR, ends with "N passed, N failed"
   nikon_c_host MODULE --job FILE LOG     imports FILE and writes the host-call log to LOG */
#define __USE_MINGW_ANSI_STDIO 1

#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "host_units.h"

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>
#else
#include <dlfcn.h>
#include <unistd.h>

typedef wchar_t* BSTR;
/* The module's POSIX build and its hosts share these from liboleaut32. */
extern BSTR SysAllocString(const wchar_t* text);
extern void SysFreeString(BSTR text);
extern uint32_t SysStringLen(BSTR text);
#endif

/* ---- the log every host object writes its calls to ---- */

typedef struct Log {
    char* text;
    size_t size;
    size_t capacity;
} Log;

static void LogReserve(Log* log, size_t more) {
    if (log->size + more + 1 <= log->capacity)
        return;
    size_t capacity = log->capacity ? log->capacity : 4096;
    while (capacity < log->size + more + 1)
        capacity *= 2;
    char* grown = realloc(log->text, capacity);
    if (grown == NULL) {
        fputs("out of memory\n", stderr);
        exit(2);
    }
    log->text = grown;
    log->capacity = capacity;
}

static void LogPrintf(Log* log, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(NULL, 0, format, args);
    va_end(args);
    LogReserve(log, (size_t)length);
    vsnprintf(log->text + log->size, (size_t)length + 1, format, again);
    va_end(again);
    log->size += (size_t)length;
}

static void LogClear(Log* log) {
    log->size = 0;
    LogReserve(log, 0);
    log->text[0] = '\0';
}

/* UTF-8 of a wide text (UTF-16 on Windows, UTF-32 elsewhere); control characters are escaped so
   that a stray CR or zero shows in the log. */
static void LogWide(Log* log, const wchar_t* text) {
    if (text == NULL) {
        LogPrintf(log, "<null>");
        return;
    }
    for (const wchar_t* p = text; *p != 0; ++p) {
        uint32_t c = (uint32_t)*p;
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((uint32_t)p[1] - 0xDC00);
            ++p;
        }
        if (c < 0x20 || c == '\\')
            LogPrintf(log, "\\x%02x", (unsigned)c);
        else if (c < 0x80)
            LogPrintf(log, "%c", (char)c);
        else if (c < 0x800)
            LogPrintf(log, "%c%c", (char)(0xC0 | (c >> 6)), (char)(0x80 | (c & 0x3F)));
        else if (c < 0x10000)
            LogPrintf(log, "%c%c%c", (char)(0xE0 | (c >> 12)), (char)(0x80 | ((c >> 6) & 0x3F)),
                      (char)(0x80 | (c & 0x3F)));
        else
            LogPrintf(log, "%c%c%c%c", (char)(0xF0 | (c >> 18)), (char)(0x80 | ((c >> 12) & 0x3F)),
                      (char)(0x80 | ((c >> 6) & 0x3F)), (char)(0x80 | (c & 0x3F)));
    }
}

/* ---- the host's reference-counted objects: converter factory and converters ---- */

typedef struct Host {
    Log log;
    int liveObjects;
    int nextSerial;
    int countFaults; /* Release on an object without references */
} Host;

static const char* const kQuantityNames[] = {"angle", "distance", "pressure", "temperature"};

typedef struct Counted Counted;
typedef struct CountedTable {
    void (*AddRef)(Counted* self);
    bool (*Release)(Counted* self);
} CountedTable;

struct Counted {
    const void* table;
    Host* host;
    int32_t count;
    int serial;
    Quantity quantity;
    int32_t unit;
};

typedef struct ConverterTable {
    CountedTable counted;
    bool (*Convert)(Counted* self, const wchar_t* text, double* value);
} ConverterTable;

typedef struct FactoryTable {
    CountedTable counted;
    Counted* (*CreateAngleConverter)(Counted* self, int32_t unit);
    Counted* (*CreateDistanceConverter)(Counted* self, int32_t unit);
    Counted* (*CreatePressureConverter)(Counted* self, int32_t unit);
    Counted* (*CreateTemperatureConverter)(Counted* self, int32_t unit);
} FactoryTable;

static void CountedAddRef(Counted* self) {
    ++self->count;
    LogPrintf(&self->host->log, "AddRef[#%d]=%d\n", self->serial, (int)self->count);
}

static bool CountedRelease(Counted* self) {
    Host* host = self->host;
    if (self->count <= 0) {
        ++host->countFaults;
        LogPrintf(&host->log, "Release[#%d] without reference\n", self->serial);
        return false;
    }
    --self->count;
    LogPrintf(&host->log, "Release[#%d]=%d\n", self->serial, (int)self->count);
    if (self->count > 0)
        return false;
    --host->liveObjects;
    free(self);
    return true;
}

static bool ConverterConvert(Counted* self, const wchar_t* text, double* value) {
    Log* log = &self->host->log;
    LogPrintf(log, "Convert[#%d](", self->serial);
    LogWide(log, text);
    if (!ConvertQuantity(self->quantity, self->unit, text, value)) {
        LogPrintf(log, ")=false\n");
        return false;
    }
    LogPrintf(log, ")=%.17g\n", *value);
    return true;
}

static const ConverterTable kConverterTable = {{CountedAddRef, CountedRelease}, ConverterConvert};

/* A new object with one reference for the caller. */
static Counted* NewCounted(Host* host, const void* table, Quantity quantity, int32_t unit) {
    Counted* object = calloc(1, sizeof *object);
    if (object == NULL) {
        fputs("out of memory\n", stderr);
        exit(2);
    }
    object->table = table;
    object->host = host;
    object->count = 1;
    object->serial = ++host->nextSerial;
    object->quantity = quantity;
    object->unit = unit;
    ++host->liveObjects;
    return object;
}

/* Gons and mils give no converter when the unit is 0, like a host that lacks one. */
static Counted* CreateConverter(Counted* factory, Quantity quantity, int32_t unit) {
    Host* host = factory->host;
    Counted* converter = NewCounted(host, &kConverterTable, quantity, unit);
    LogPrintf(&host->log, "Create[%s](%d)=#%d\n", kQuantityNames[quantity], (int)unit, converter->serial);
    return converter;
}

static Counted* CreateAngle(Counted* self, int32_t unit) {
    return CreateConverter(self, kAngle, unit);
}
static Counted* CreateDistance(Counted* self, int32_t unit) {
    return CreateConverter(self, kDistance, unit);
}
static Counted* CreatePressure(Counted* self, int32_t unit) {
    return CreateConverter(self, kPressure, unit);
}
static Counted* CreateTemperature(Counted* self, int32_t unit) {
    return CreateConverter(self, kTemperature, unit);
}

static const FactoryTable kFactoryTable = {
    {CountedAddRef, CountedRelease}, CreateAngle, CreateDistance, CreatePressure, CreateTemperature};

/* ---- the sink ---- */

typedef struct Sink Sink;
typedef struct SinkTable {
    Counted* (*GetConverterFactory)(Sink* self);
    void (*BeginFile)(Sink* self, const wchar_t* path);
    void (*SetCurrentLine)(Sink* self, int32_t index);
    void (*NotCalled1)(Sink* self);
    void (*ReportMessage)(Sink* self, const wchar_t* text);
    void (*SetProgress)(Sink* self, float percent);
    void (*NotCalled2)(Sink* self);
    void (*AddPoint)(Sink* self, const wchar_t* name);
    void (*SetNorthing)(Sink* self, double value);
    void (*SetEasting)(Sink* self, double value);
    void (*SetElevation)(Sink* self, double value);
    void (*SetResectionPoint)(Sink* self, bool resection);
    void (*SetPointAttribute)(Sink* self, bool attribute);
    void (*NotCalled3)(Sink* self);
    void (*SetCode)(Sink* self, const wchar_t* code);
    void (*AddStation)(Sink* self, const wchar_t* name);
    void (*NotCalled4)(Sink* self);
    void (*SetInstrumentHeight)(Sink* self, double value);
    void (*NotCalled5)(Sink* self);
    void (*AddObservation)(Sink* self, const wchar_t* target);
    void (*SetPressure)(Sink* self, double value);
    void (*SetTemperature)(Sink* self, double value);
    void (*NotCalled6)(Sink* self);
    void (*SetVerticalAngle)(Sink* self, double value);
    void (*SetHorizontalAngle)(Sink* self, double value);
    void (*SetTargetHeight)(Sink* self, double value);
    void (*SetSlopeDistance)(Sink* self, double value);
    void (*NotCalled7)(Sink* self);
    void (*SetFaceRight)(Sink* self, bool faceRight);
} SinkTable;

struct Sink {
    const SinkTable* table;
    Host* host;
};

static Counted* SinkGetConverterFactory(Sink* self) {
    Counted* factory = NewCounted(self->host, &kFactoryTable, kAngle, 0);
    LogPrintf(&self->host->log, "GetConverterFactory=#%d\n", factory->serial);
    return factory;
}

static void LogTextCall(Sink* self, const char* name, const wchar_t* text) {
    LogPrintf(&self->host->log, "%s(", name);
    LogWide(&self->host->log, text);
    LogPrintf(&self->host->log, ")\n");
}

static void LogNumberCall(Sink* self, const char* name, double value) {
    LogPrintf(&self->host->log, "%s(%.17g)\n", name, value);
}

static void LogFlagCall(Sink* self, const char* name, bool flag) {
    LogPrintf(&self->host->log, "%s(%s)\n", name, flag ? "true" : "false");
}

static void SinkSetCurrentLine(Sink* self, int32_t index) {
    LogPrintf(&self->host->log, "SetCurrentLine(%d)\n", (int)index);
}
static void SinkSetProgress(Sink* self, float percent) {
    LogPrintf(&self->host->log, "SetProgress(%.9g)\n", (double)percent);
}

/* The operations that log their one argument, by its kind. */
#define SINK_TEXT_CALL(name)                                                                                 \
    static void Sink##name(Sink* self, const wchar_t* text) {                                                \
        LogTextCall(self, #name, text);                                                                      \
    }
#define SINK_NUMBER_CALL(name)                                                                               \
    static void Sink##name(Sink* self, double value) {                                                       \
        LogNumberCall(self, #name, value);                                                                   \
    }
#define SINK_FLAG_CALL(name)                                                                                 \
    static void Sink##name(Sink* self, bool flag) {                                                          \
        LogFlagCall(self, #name, flag);                                                                      \
    }
/* clang-format off */
SINK_TEXT_CALL(BeginFile) SINK_TEXT_CALL(ReportMessage) SINK_TEXT_CALL(AddPoint) SINK_TEXT_CALL(SetCode)
SINK_TEXT_CALL(AddStation) SINK_TEXT_CALL(AddObservation)
SINK_NUMBER_CALL(SetNorthing) SINK_NUMBER_CALL(SetEasting) SINK_NUMBER_CALL(SetElevation)
SINK_NUMBER_CALL(SetInstrumentHeight) SINK_NUMBER_CALL(SetPressure) SINK_NUMBER_CALL(SetTemperature)
SINK_NUMBER_CALL(SetVerticalAngle) SINK_NUMBER_CALL(SetHorizontalAngle) SINK_NUMBER_CALL(SetTargetHeight)
SINK_NUMBER_CALL(SetSlopeDistance)
SINK_FLAG_CALL(SetResectionPoint) SINK_FLAG_CALL(SetPointAttribute) SINK_FLAG_CALL(SetFaceRight)
/* clang-format on */

/* The placeholders stand for host operations the module must never reach. */
#define SINK_PLACEHOLDER(n)                                                                                  \
    static void SinkNotCalled##n(Sink* self) {                                                               \
        LogPrintf(&self->host->log, "NotCalled" #n "\n");                                                    \
    }
                            SINK_PLACEHOLDER(1) SINK_PLACEHOLDER(2) SINK_PLACEHOLDER(3) SINK_PLACEHOLDER(4)
                                SINK_PLACEHOLDER(5) SINK_PLACEHOLDER(6) SINK_PLACEHOLDER(7)

                                    static const SinkTable kSinkTable = {
                                        SinkGetConverterFactory, SinkBeginFile,       SinkSetCurrentLine,
                                        SinkNotCalled1,          SinkReportMessage,   SinkSetProgress,
                                        SinkNotCalled2,          SinkAddPoint,        SinkSetNorthing,
                                        SinkSetEasting,          SinkSetElevation,    SinkSetResectionPoint,
                                        SinkSetPointAttribute,   SinkNotCalled3,      SinkSetCode,
                                        SinkAddStation,          SinkNotCalled4,      SinkSetInstrumentHeight,
                                        SinkNotCalled5,          SinkAddObservation,  SinkSetPressure,
                                        SinkSetTemperature,      SinkNotCalled6,      SinkSetVerticalAngle,
                                        SinkSetHorizontalAngle,  SinkSetTargetHeight, SinkSetSlopeDistance,
                                        SinkNotCalled7,          SinkSetFaceRight,
};

/* ---- the file list ---- */

enum { kMaxFiles = 8, kMaxPath = 512 };

typedef struct FileList FileList;
typedef struct FileListTable {
    bool (*HasCurrent)(FileList* self);
    void (*MoveNext)(FileList* self);
    const wchar_t* (*GetCurrent)(FileList* self);
    void (*Reset)(FileList* self);
} FileListTable;

struct FileList {
    const FileListTable* table;
    Host* host;
    wchar_t paths[kMaxFiles][kMaxPath];
    size_t count;
    size_t current;
};

static bool ListHasCurrent(FileList* self) {
    const bool has = self->current < self->count;
    LogPrintf(&self->host->log, "HasCurrent=%s\n", has ? "true" : "false");
    return has;
}
static void ListMoveNext(FileList* self) {
    LogPrintf(&self->host->log, "MoveNext\n");
    ++self->current;
}
static const wchar_t* ListGetCurrent(FileList* self) {
    LogPrintf(&self->host->log, "GetCurrent\n");
    return self->current < self->count ? self->paths[self->current] : NULL;
}
static void ListReset(FileList* self) {
    LogPrintf(&self->host->log, "Reset\n");
    self->current = 0;
}

static const FileListTable kFileListTable = {ListHasCurrent, ListMoveNext, ListGetCurrent, ListReset};

/* ---- the plug-in object as a Microsoft-compiled host sees it ---- */

/* The identifier's standard layout, spelt out so that it is the same struct everywhere. */
typedef struct PluginGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} PluginGuid;

typedef struct Plugin Plugin;
typedef struct PluginTable {
    void (*AddRef)(Plugin* self);
    bool (*Release)(Plugin* self);
    Plugin* (*GetInterface)(Plugin* self, int32_t id);
    BSTR (*GetName)(Plugin* self);
#ifdef _WIN32
    /* Microsoft's member-function convention: the result's address after `this`, returned. */
    PluginGuid* (*GetId)(Plugin* self, PluginGuid* result);
#else
    PluginGuid (*GetId)(Plugin* self);
#endif
    int32_t (*GetKind)(Plugin* self);
    void (*Reserved1)(Plugin* self);
    void (*Reserved2)(Plugin* self);
    int32_t (*Reserved3)(Plugin* self);
    BSTR (*GetFileFilter)(Plugin* self);
    BSTR (*GetFormatName)(Plugin* self);
    void (*Import)(Plugin* self, FileList* files, Sink* sink);
    /* The destructor follows: one slot for Microsoft's compiler, two for GCC. Never called. */
} PluginTable;

struct Plugin {
    const PluginTable* table;
};

typedef Plugin* (*CreatePluginFunction)(void);

static CreatePluginFunction LoadCreatePlugin(const char* path) {
#ifdef _WIN32
    wchar_t wide[kMaxPath];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, kMaxPath) == 0)
        return NULL;
    HMODULE module = LoadLibraryW(wide);
    if (module == NULL) {
        fprintf(stderr, "LoadLibraryW(%s) failed: %lu\n", path, GetLastError());
        return NULL;
    }
    return (CreatePluginFunction)(void (*)(void))GetProcAddress(module, "CreatePlugin");
#else
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (module == NULL) {
        fprintf(stderr, "dlopen(%s) failed: %s\n", path, dlerror());
        return NULL;
    }
    CreatePluginFunction create = NULL;
    void* symbol = dlsym(module, "CreatePlugin");
    memcpy(&create, &symbol, sizeof create);
    return create;
#endif
}

static PluginGuid PluginId(Plugin* plugin) {
#ifdef _WIN32
    PluginGuid id;
    memset(&id, 0xCC, sizeof id);
    PluginGuid* returned = plugin->table->GetId(plugin, &id);
    if (returned != &id)
        memset(&id, 0, sizeof id);
    return id;
#else
    return plugin->table->GetId(plugin);
#endif
}

/* ---- running imports ---- */

/* Paths are relative to the working folder, so both builds log the same texts. */
static void SetPath(wchar_t* out, const char* name) {
    size_t i = 0;
    for (; name[i] != '\0' && i + 1 < kMaxPath; ++i)
        out[i] = (wchar_t)(unsigned char)name[i];
    out[i] = 0;
}

/* Imports the named files; the host log then holds every call the module made. */
static void Import(Host* host, Plugin* plugin, const char* const* names, size_t count) {
    static const Sink kNoSink = {0};
    FileList* files = calloc(1, sizeof *files);
    if (files == NULL)
        exit(2);
    files->table = &kFileListTable;
    files->host = host;
    for (size_t i = 0; i < count && i < kMaxFiles; ++i)
        SetPath(files->paths[i], names[i]);
    files->count = count;
    Sink sink = kNoSink;
    sink.table = &kSinkTable;
    sink.host = host;
    LogClear(&host->log);
    plugin->table->Import(plugin, files, &sink);
    free(files);
}

static bool WriteFileBytes(const char* name, const char* bytes, size_t size) {
    FILE* file = fopen(name, "wb");
    if (file == NULL)
        return false;
    const bool written = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

static bool WriteText(const char* name, const char* text) {
    return WriteFileBytes(name, text, strlen(text));
}

/* The log's lines that start with `prefix`, in order. */
static char* LinesStartingWith(const char* log, const char* prefix) {
    Log out = {0};
    LogClear(&out);
    const size_t prefixLength = strlen(prefix);
    for (const char* line = log; *line != '\0';) {
        const char* end = strchr(line, '\n');
        const size_t length = end ? (size_t)(end - line) + 1 : strlen(line);
        if (strncmp(line, prefix, prefixLength) == 0)
            LogPrintf(&out, "%.*s", (int)length, line);
        line += length;
    }
    return out.text;
}

/* ---- checks ---- */

typedef struct Checks {
    int passed;
    int failed;
} Checks;

static void Check(Checks* checks, bool ok, const char* what) {
    if (ok) {
        ++checks->passed;
        return;
    }
    ++checks->failed;
    printf("FAILED: %s\n", what);
}

static void CheckText(Checks* checks, const char* actual, const char* expected, const char* what) {
    const bool same = actual != NULL && strcmp(actual, expected) == 0;
    Check(checks, same, what);
    if (!same)
        printf("--- expected\n%s--- actual\n%s---\n", expected, actual ? actual : "<null>");
}

static void CheckFilteredLog(Checks* checks, Host* host, const char* prefix, const char* expected,
                             const char* what) {
    char* lines = LinesStartingWith(host->log.text, prefix);
    CheckText(checks, lines, expected, what);
    free(lines);
}

/* After every import: each host object got back every reference, exactly once, and the module
   used no placeholder slot. */
static void CheckHostObjects(Checks* checks, Host* host, const char* what) {
    char message[256];
    snprintf(message, sizeof message, "%s: every host object released exactly once", what);
    Check(checks, host->liveObjects == 0 && host->countFaults == 0, message);
    snprintf(message, sizeof message, "%s: no placeholder slot called", what);
    Check(checks, strstr(host->log.text, "NotCalled") == NULL, message);
    host->countFaults = 0;
}

static bool SameWide(BSTR text, const wchar_t* expected) {
    return text != NULL && SysStringLen(text) == wcslen(expected) && wcscmp(text, expected) == 0;
}

static void CheckIdentity(Checks* checks, CreatePluginFunction create) {
    Plugin* plugin = create();
    BSTR name = plugin->table->GetName(plugin);
    BSTR format = plugin->table->GetFormatName(plugin);
    BSTR filter = plugin->table->GetFileFilter(plugin);
    Check(checks, SameWide(name, L"Nikon"), "GetName gives Nikon");
    Check(checks, SameWide(format, L"Nikon"), "GetFormatName gives Nikon");
    Check(checks, name != format, "GetName and GetFormatName give separate strings");
    Check(checks, SameWide(filter, L"*.rdf;*.txt"), "GetFileFilter gives *.rdf;*.txt");
    SysFreeString(name);
    SysFreeString(format);
    SysFreeString(filter);

    static const uint8_t kIdBytes[16] = {0xEB, 0x82, 0xB9, 0x96, 0xE1, 0x4C, 0xB4, 0x44,
                                         0x99, 0xA3, 0x6C, 0xC0, 0x6D, 0xF3, 0x65, 0xD6};
    const PluginGuid first = PluginId(plugin);
    const PluginGuid second = PluginId(plugin);
    Check(checks, memcmp(&first, kIdBytes, sizeof kIdBytes) == 0,
          "GetId gives the identifier's bytes in order");
    Check(checks, memcmp(&first, &second, sizeof first) == 0, "GetId gives the same identifier each time");
    Check(checks, plugin->table->GetKind(plugin) == 2, "GetKind gives 2");
    plugin->table->Reserved1(plugin);
    plugin->table->Reserved2(plugin);
    Check(checks, plugin->table->Reserved3(plugin) == 0, "Reserved3 gives 0");
    Check(checks, plugin->table->Release(plugin), "the single reference's Release destroys the object");
}

static void CheckReferenceCounts(Checks* checks, CreatePluginFunction create) {
    Plugin* plugin = create();
    bool same = true;
    for (int32_t id = 0; id <= 2; ++id)
        same = same && plugin->table->GetInterface(plugin, id) == plugin;
    Check(checks, same, "GetInterface 0, 1 and 2 give the object itself");
    bool early = false;
    for (int i = 0; i < 3; ++i)
        early = early || plugin->table->Release(plugin);
    Check(checks, !early, "the first three of four releases keep the object");
    Check(checks, plugin->table->Release(plugin), "the fourth release destroys the object");

    plugin = create();
    Check(checks, plugin->table->GetInterface(plugin, 3) == NULL, "GetInterface 3 gives null");
    Check(checks, plugin->table->GetInterface(plugin, -1) == NULL, "GetInterface -1 gives null");
    Check(checks, plugin->table->Release(plugin), "a refused GetInterface adds no reference");
}

static const char kCannotOpen[] = "ReportMessage(Не удается открыть файл)\n";
static const char kUnknownFormat[] = "ReportMessage(Файл содержит данные в неизвестном формате)\n";
static const char kNoDistanceUnits[] = "ReportMessage(Не заданы единицы измерения расстояний)\n";
static const char kNoAngleUnits[] = "ReportMessage(Не заданы единицы измерения углов)\n";

static void CheckMessages(Checks* checks, Host* host, Plugin* plugin) {
    Import(host, plugin, NULL, 0);
    CheckText(checks, host->log.text, "Reset\nHasCurrent=false\n", "an empty list: Reset and one HasCurrent");

    const char* const missing[] = {"missing.rdf"};
    Import(host, plugin, missing, 1);
    char expected[512];
    snprintf(expected, sizeof expected,
             "Reset\nHasCurrent=true\nGetCurrent\nBeginFile(missing.rdf)\n%sMoveNext\nHasCurrent=false\n",
             kCannotOpen);
    CheckText(checks, host->log.text, expected, "a missing file gets message 101 and nothing else");

    const bool written =
        WriteText("unknown.rdf", "XX,1\n") && WriteText("nounits.rdf", "ST,S1,,B1,,1.500,,0.0000\n");
    Check(checks, written, "sample files written");
    const char* const three[] = {"missing.rdf", "unknown.rdf", "nounits.rdf"};
    Import(host, plugin, three, 3);
    snprintf(expected, sizeof expected, "%s%s%s%s", kCannotOpen, kUnknownFormat, kNoDistanceUnits,
             kNoAngleUnits);
    CheckFilteredLog(checks, host, "ReportMessage(", expected,
                     "messages 101 to 104 come from the module's table, file after file");
    Check(checks,
          strstr(host->log.text, "SetCurrentLine(-1)\n"
                                 "ReportMessage(Файл") != NULL,
          "message 102 follows SetCurrentLine -1");
    CheckFilteredLog(checks, host, "BeginFile(",
                     "BeginFile(missing.rdf)\nBeginFile(unknown.rdf)\nBeginFile(nounits.rdf)\n",
                     "every file of the list is begun");
    CheckHostObjects(checks, host, "messages");
}

static void CheckUnreadable(Checks* checks, Host* host, Plugin* plugin, const char* name, const char* what) {
    const char* const names[] = {name};
    Import(host, plugin, names, 1);
    CheckFilteredLog(checks, host, "ReportMessage(", kCannotOpen, what);
    Check(checks, strstr(host->log.text, "SetProgress") == NULL, "an unreadable file gets no progress");
}

/* Line shapes as the driver's text mode gives them, seen through the pre-scan's AddPoint. */
static void CheckLineShapes(Checks* checks, Host* host, Plugin* plugin) {
    char bytes[512];
    size_t size = 0;
    static const char kHead[] = "F1,A\r\nF1,B\r\rC\r\nF1,D\0tail\nF1,E";
    memcpy(bytes, kHead, sizeof kHead - 1);
    size += sizeof kHead - 1;
    memset(bytes + size, 'x', 200);
    size += 200;
    static const char kTail[] = "\nF1,F\x1A"
                                "F1,G\n";
    memcpy(bytes + size, kTail, sizeof kTail - 1);
    size += sizeof kTail - 1;
    Check(checks, WriteFileBytes("shapes.rdf", bytes, size), "sample file written");

    const char* const names[] = {"shapes.rdf"};
    Import(host, plugin, names, 1);
    char expected[1024];
    snprintf(expected, sizeof expected,
             "AddPoint(A)\nAddPoint(B\\x0d\\x0dC)\nAddPoint(D)\nAddPoint(E%.200s)\nAddPoint(F)\n",
             bytes + sizeof kHead - 1);
    CheckFilteredLog(checks, host, "AddPoint(", expected,
                     "CR LF reads as LF, a lone CR stays, a zero byte cuts the line, byte 26 ends the input");
    CheckFilteredLog(
        checks, host, "SetCurrentLine(",
        "SetCurrentLine(0)\nSetCurrentLine(1)\nSetCurrentLine(2)\nSetCurrentLine(3)\nSetCurrentLine(4)\n"
        "SetCurrentLine(0)\nSetCurrentLine(1)\nSetCurrentLine(2)\nSetCurrentLine(3)\nSetCurrentLine(4)\n",
        "five lines in each pass");
    CheckHostObjects(checks, host, "line shapes");
}

#ifdef _WIN32
/* The thread's ANSI code page decides how the bytes read: CP1251 under a Russian thread locale,
   CP1252 under an English one. */
static void CheckThreadCodePage(Checks* checks, Host* host, Plugin* plugin) {
    static const char kBytes[] = "ST,\xD1\xF2\xE0\xED\xF6\xE8\xFF\nF1,\xD2\xEE\xF7\xEA\xE0\n";
    Check(checks, WriteText("cp1251.rdf", kBytes), "sample file written");
    const char* const names[] = {"cp1251.rdf"};
    const LCID original = GetThreadLocale();

    static const struct {
        LCID locale;
        const char* point;
        const char* station;
        const char* what;
    } kCases[] = {
        {MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), SORT_DEFAULT), "AddPoint(Точка)\n",
         "AddStation(Станция)\n", "a Russian thread locale reads CP1251"},
        {MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), "AddPoint(Òî÷êà)\n",
         "AddStation(Ñòàíöèÿ)\n", "an English thread locale reads CP1252"},
    };
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        Check(checks, SetThreadLocale(kCases[i].locale) != 0, "SetThreadLocale");
        Import(host, plugin, names, 1);
        CheckFilteredLog(checks, host, "AddPoint(", kCases[i].point, kCases[i].what);
        CheckFilteredLog(checks, host, "AddStation(", kCases[i].station, kCases[i].what);
    }
    SetThreadLocale(original);
    CheckHostObjects(checks, host, "code pages");
}

/* The module opens with no sharing restriction, so another program's writer does not lock it
   out; a handle that shares nothing does, which shows the sharing rules are in force. */
static void CheckSharedOpen(Checks* checks, Host* host, Plugin* plugin) {
    static const struct {
        DWORD share;
        const char* expected;
        const char* what;
    } kCases[] = {
        {FILE_SHARE_READ | FILE_SHARE_WRITE, "AddPoint(HELD)\n",
         "a file open for writing elsewhere is imported"},
        {FILE_SHARE_READ, "AddPoint(HELD)\n", "a file whose writer denies other writers is imported"},
        {0, "", "a file locked by an exclusive handle cannot be opened"},
    };
    const char* const names[] = {"held.rdf"};
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        HANDLE writer = CreateFileW(L"held.rdf", GENERIC_WRITE, kCases[i].share, NULL, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        const bool ready = writer != INVALID_HANDLE_VALUE &&
                           WriteFile(writer, "F1,HELD\n", 8, &written, NULL) && written == 8 &&
                           FlushFileBuffers(writer);
        Check(checks, ready, "writer opened and file written");
        Import(host, plugin, names, 1);
        CheckFilteredLog(checks, host, "AddPoint(", kCases[i].expected, kCases[i].what);
        if (kCases[i].share == 0)
            CheckFilteredLog(checks, host, "ReportMessage(", kCannotOpen, "the locked file gets message 101");
        CloseHandle(writer);
    }
    CheckHostObjects(checks, host, "shared open");
}

static bool VersionText(const void* block, const wchar_t* key, const wchar_t* expected) {
    wchar_t path[128];
    swprintf(path, sizeof path / sizeof path[0], L"\\StringFileInfo\\041904B0\\%ls", key);
    void* value = NULL;
    UINT length = 0;
    return VerQueryValueW(block, path, &value, &length) && value != NULL && wcscmp(value, expected) == 0;
}

static void CheckVersionBlock(Checks* checks, const char* modulePath) {
    wchar_t path[kMaxPath];
    MultiByteToWideChar(CP_UTF8, 0, modulePath, -1, path, kMaxPath);
    const DWORD size = GetFileVersionInfoSizeW(path, NULL);
    Check(checks, size > 0, "the DLL has a version block");
    if (size == 0)
        return;
    void* block = malloc(size);
    Check(checks, block != NULL && GetFileVersionInfoW(path, 0, size, block), "version block read");

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    const bool hasFixed = VerQueryValueW(block, L"\\", (void**)&fixed, &length) && fixed != NULL;
    Check(checks, hasFixed && fixed->dwFileVersionMS == 0x00020000 && fixed->dwFileVersionLS == 0x00260000,
          "file version 2.0.38.0");
    Check(checks,
          hasFixed && fixed->dwProductVersionMS == 0x00020000 && fixed->dwProductVersionLS == 0x00260000,
          "product version 2.0.38.0");
    Check(checks, hasFixed && fixed->dwFileType == VFT_DLL, "file type DLL");

    WORD* translation = NULL;
    const bool hasTranslation =
        VerQueryValueW(block, L"\\VarFileInfo\\Translation", (void**)&translation, &length) && length >= 4;
    Check(checks, hasTranslation && translation[0] == 0x0419 && translation[1] == 1200,
          "translation Russian with code page 1200");

    Check(checks, VersionText(block, L"FileVersion", L"2.00.0038"), "FileVersion 2.00.0038");
    Check(checks, VersionText(block, L"ProductVersion", L"2.00.0038"), "ProductVersion 2.00.0038");
    Check(checks, VersionText(block, L"FileDescription", L"Модуль импорта данных"), "FileDescription");
    Check(checks, VersionText(block, L"OriginalFilename", L"Nikon.dll"), "OriginalFilename Nikon.dll");
    Check(checks, VersionText(block, L"InternalName", L"Nikon"), "InternalName Nikon");
    free(block);
}
#endif

static int RunChecks(CreatePluginFunction create, const char* modulePath) {
    Checks checks = {0, 0};
    Host host = {0};
    LogClear(&host.log);
    CheckIdentity(&checks, create);
    CheckReferenceCounts(&checks, create);

    Plugin* plugin = create();
    CheckMessages(&checks, &host, plugin);
    CheckLineShapes(&checks, &host, plugin);
#ifdef _WIN32
    CheckUnreadable(&checks, &host, plugin, ".", "a folder cannot be opened");
    CheckUnreadable(&checks, &host, plugin, "NUL", "a device is refused rather than read");
    CheckThreadCodePage(&checks, &host, plugin);
    CheckSharedOpen(&checks, &host, plugin);
    CheckVersionBlock(&checks, modulePath);
#else
    (void)modulePath;
    CheckUnreadable(&checks, &host, plugin, ".", "a folder cannot be opened");
    CheckUnreadable(&checks, &host, plugin, "/dev/null", "a device is refused rather than read");
#endif
    Check(&checks, plugin->table->Release(plugin), "the plug-in object is destroyed at the end");
    free(host.log.text);
    printf("%d passed, %d failed\n", checks.passed, checks.failed);
    return checks.failed == 0 ? 0 : 1;
}

static int RunJob(CreatePluginFunction create, const char* file, const char* logPath) {
    Host host = {0};
    Plugin* plugin = create();
    const char* const names[] = {file};
    Import(&host, plugin, names, 1);
    plugin->table->Release(plugin);
    FILE* out = fopen(logPath, "wb");
    const bool written = out != NULL && fwrite(host.log.text, 1, host.log.size, out) == host.log.size;
    if (out != NULL && fclose(out) != 0)
        return 1;
    const bool clean = host.liveObjects == 0 && host.countFaults == 0;
    if (!clean)
        fprintf(stderr, "host objects left: %d, releases without reference: %d\n", host.liveObjects,
                host.countFaults);
    free(host.log.text);
    return written && clean ? 0 : 1;
}

static bool EnterFolder(const char* path) {
#ifdef _WIN32
    wchar_t wide[kMaxPath];
    return MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, kMaxPath) != 0 && SetCurrentDirectoryW(wide);
#else
    return chdir(path) == 0;
#endif
}

int main(int argc, char** argv) {
    const bool job = argc == 5 && strcmp(argv[2], "--job") == 0;
    if (argc != 3 && !job) {
        fprintf(stderr, "usage: %s MODULE WORKDIR | MODULE --job FILE LOG\n", argv[0]);
        return 2;
    }
    const CreatePluginFunction create = LoadCreatePlugin(argv[1]);
    if (create == NULL) {
        fprintf(stderr, "no CreatePlugin in %s\n", argv[1]);
        return 2;
    }
    if (job)
        return RunJob(create, argv[3], argv[4]);
    if (!EnterFolder(argv[2])) {
        fprintf(stderr, "cannot enter %s\n", argv[2]);
        return 2;
    }
    return RunChecks(create, argv[1]);
}
