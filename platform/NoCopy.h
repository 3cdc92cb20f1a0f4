// The base of a class whose object owns what a copy would share (a library handle, an open file,
// a count others hold on to): deriving from it forbids copying once, moving stays the class's own.
#pragma once

namespace platform {

class NoCopy {
public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

protected:
    NoCopy() = default;
    ~NoCopy() = default;
};

} // namespace platform
