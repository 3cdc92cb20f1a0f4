// Angles written as DDD.MMSSf in one number. The minutes, seconds and fraction are set off by
// points of their own (123.4530 becomes 123.45.30) and the host's degrees converter, which this
// object wraps, does all the arithmetic.
#pragma once

#include "interfaces/RefCountedImpl.h"
#include "interfaces/RefPtr.h"

// Lives within one import pass on one thread, so its count is plain.
class CAngleDMSConverter : public Plugin::CRefCountedImpl<Plugin::IAngleConverter, 0> {
public:
    // Takes a reference of its own on `degrees`, which may be null (every conversion then fails).
    explicit CAngleDMSConverter(Plugin::IAngleConverter* degrees);

    bool Convert(const wchar_t* text, double* value) override;

private:
    // The rare text too long for the stack frame's buffer: rewritten on the heap.
    bool ConvertLong(const wchar_t* text, double* value);

    Plugin::RefPtr<Plugin::IAngleConverter> degreesConverter;
};
