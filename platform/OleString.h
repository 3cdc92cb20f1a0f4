// OLE Automation strings (BSTR). On Windows they come from OLEAUT32; on POSIX from the small
// liboleaut32 shared library built here, so that the module and its host share one allocator,
// exactly as both share the system library on Windows.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>
#else
#include <cstdint>

typedef wchar_t* BSTR;

#define OLESTRING_API extern "C" __attribute__((visibility("default")))

// A copy of the zero-terminated text, preceded by its length in bytes; null for a null text or
// when no memory can be had.
OLESTRING_API BSTR SysAllocString(const wchar_t* text);
// The same for `length` characters of `text`, which may hold zeros; null text gives zeros.
OLESTRING_API BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length);
OLESTRING_API void SysFreeString(BSTR text);
// Length in characters, read from the prefix; 0 for null.
OLESTRING_API std::uint32_t SysStringLen(BSTR text);
#endif
