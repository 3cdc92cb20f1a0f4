// The little of Microsoft's C and C++ runtimes the test host needs, declared here: the host is
// built without Microsoft's headers, against the system's msvcrt.dll and vcruntime140.dll.
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {
void* malloc(size_t size);
void* realloc(void* block, size_t size);
void free(void* block);
int _snprintf(char* buffer, size_t size, const char* format, ...);
int puts(const char* text);
int strcmp(const char* a, const char* b);
void* memcpy(void* to, const void* from, size_t size);
struct FILE;
FILE* _wfopen(const wchar_t* name, const wchar_t* mode);
size_t fwrite(const void* data, size_t size, size_t count, FILE* file);
int fclose(FILE* file);
[[noreturn]] void exit(int status);
}

// The program, called by the start-up code with the wide command line.
int HostMain(int argc, wchar_t** argv);

// std::type_info as Microsoft's runtime lays it out, for typeid: after the virtual table, a cache
// of the undecorated name, then the decorated name.
class type_info {
public:
    virtual ~type_info();
    const char* raw_name() const { return decoratedName; }

private:
    mutable void* undecoratedName;
    char decoratedName[1];
};
namespace std {
using ::type_info;
}

// Microsoft's exception classes as its library declares them, so that handlers compare the same
// decorated names: ".?AVexception@std@@" and ".?AVbad_alloc@std@@". Only the layout and the order
// of the virtual functions matter; the objects the module throws bring their own table.
namespace std {
class exception {
public:
    virtual ~exception() {}
    virtual const char* what() const { return data.what != nullptr ? data.what : "Unknown exception"; }

private:
    struct {
        const char* what = nullptr;
        bool ownsText = false;
    } data;
};

class bad_alloc : public exception {};
} // namespace std

// ATL's exception for a failed HRESULT, raised by its text conversions: ".?AVCAtlException@ATL@@".
namespace ATL {
class CAtlException {
public:
    int32_t m_hr;
};
} // namespace ATL
