// The root of every reference-counted interface shared with the host.
#pragma once

namespace Plugin {

// No destructor is declared here: implementations declare it, so that it always takes the last
// place in an operation table and hosts never call it.
struct IRefCounted {
    virtual void AddRef() = 0;
    // True when this call destroyed the object.
    virtual bool Release() = 0;
};

// The module's own angle converter and the host's share this shape.
struct IAngleConverter : IRefCounted {
    // True when `text` was understood and `*value` written; `*value` is untouched otherwise.
    virtual bool Convert(const wchar_t* text, double* value) = 0;
};

} // namespace Plugin
