// The part of the Windows API the test host calls, declared as the system libraries export it.
#pragma once

#include <stdint.h>

typedef wchar_t* BSTR;
typedef void* HMODULE;
typedef int32_t HRESULT;

extern "C" {
__declspec(dllimport) HMODULE LoadLibraryW(const wchar_t* name);
__declspec(dllimport) void* GetProcAddress(HMODULE module, const char* name);
__declspec(dllimport) int FreeLibrary(HMODULE module);
}
