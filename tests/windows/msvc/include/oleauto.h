// OLE strings, which the module allocates and the host frees.
#pragma once

#include <windows.h>

extern "C" {
__declspec(dllimport) void SysFreeString(BSTR text);
__declspec(dllimport) uint32_t SysStringLen(BSTR text);
}
