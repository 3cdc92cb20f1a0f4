// The 128-bit identifier type: Windows' own GUID there, the same layout elsewhere.
#pragma once

#ifdef _WIN32
#include <guiddef.h>
#else
#include <cstdint>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
#endif
