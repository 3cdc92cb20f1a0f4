/* How the test hosts' converters read the module's texts and into which internal units, shared
   by the C host and the host in Microsoft's C++ ABI so that their logs hold the same doubles. C and
   C++ alike; it needs no C library. */
#ifndef NIKON_TESTS_WINDOWS_HOST_UNITS_H
#define NIKON_TESTS_WINDOWS_HOST_UNITS_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

typedef enum Quantity { kAngle, kDistance, kPressure, kTemperature } Quantity;

/* Numbers are read digit by digit, so that both builds get the same doubles whatever their C
   libraries' conversions do: an optional sign, digits, at most one point. */
static bool ParseDecimal(const wchar_t* text, double* value) {
    const wchar_t* p = text;
    const bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+')
        ++p;
    double mantissa = 0.0;
    double scale = 1.0;
    bool point = false;
    bool digits = false;
    for (; *p != 0; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            mantissa = mantissa * 10.0 + (double)(*p - L'0');
            if (point)
                scale *= 10.0;
            digits = true;
        } else if (*p == L'.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    *value = (negative ? -mantissa : mantissa) / scale;
    return true;
}

static const double kPi = 3.141592653589793;

/* D.MM.SS with optional seconds fraction after a third point, as the module hands it over. */
static bool ParseDegreesMinutesSeconds(const wchar_t* text, double* value) {
    enum { kFields = 4, kFieldChars = 64 };
    wchar_t fields[kFields][kFieldChars];
    int count = 0;
    size_t at = 0;
    const bool negative = *text == L'-';
    for (const wchar_t* p = negative ? text + 1 : text;; ++p) {
        if (*p == L'.' || *p == 0) {
            fields[count++][at] = 0;
            at = 0;
            if (*p == 0)
                break;
            if (count == kFields)
                return false;
            continue;
        }
        if (*p < L'0' || *p > L'9' || at + 1 >= kFieldChars)
            return false;
        fields[count][at++] = *p;
    }
    double part[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < count && i < 3; ++i)
        if (fields[i][0] != 0 && !ParseDecimal(fields[i], &part[i]))
            return false;
    if (count == kFields && fields[3][0] != 0) {
        wchar_t seconds[2 * kFieldChars + 2];
        size_t length = 0;
        for (const wchar_t* p = fields[2]; *p != 0; ++p)
            seconds[length++] = *p;
        seconds[length++] = L'.';
        for (const wchar_t* p = fields[3]; *p != 0; ++p)
            seconds[length++] = *p;
        seconds[length] = 0;
        if (!ParseDecimal(seconds, &part[2]))
            return false;
    }
    const double degrees = part[0] + part[1] / 60.0 + part[2] / 3600.0;
    *value = (negative ? -degrees : degrees) * kPi / 180.0;
    return true;
}

/* Internal units: metres, hPa, degrees Celsius, radians. */
static bool ConvertQuantity(Quantity quantity, int32_t unit, const wchar_t* text, double* value) {
    if (quantity == kAngle && unit == 1)
        return ParseDegreesMinutesSeconds(text, value);
    double read = 0.0;
    if (!ParseDecimal(text, &read))
        return false;
    switch (quantity) {
    case kAngle:
        *value = read * kPi / (unit == 4 ? 200.0 : 3200.0);
        break;
    case kDistance:
        *value = unit == 1 ? read * 0.3048 : read;
        break;
    case kPressure:
        *value = unit == 2 ? read * 33.8639 : read;
        break;
    case kTemperature:
        *value = unit == 1 ? (read - 32.0) * 5.0 / 9.0 : read;
        break;
    }
    return true;
}

#endif
