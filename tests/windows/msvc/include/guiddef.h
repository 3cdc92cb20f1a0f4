// The identifier type, laid out as Windows lays it out.
#pragma once

#include <stdint.h>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
