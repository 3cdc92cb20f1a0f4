// C++ exceptions in the form a host built by Microsoft's compiler throws and catches them. GCC's
// exceptions are unknown to such a host, so failures cross the module's boundary in this form.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace platform::msvc {

// std::bad_alloc, with what() "bad allocation".
[[noreturn]] void RaiseBadAlloc();
// ATL::CAtlException holding `hresult`: what ATL's text conversions raise when
// MultiByteToWideChar fails.
[[noreturn]] void RaiseAtlException(HRESULT hresult);

// A C++ exception that a host operation threw, taken out of the host's frames: a copy of the
// thrown object made by the type's own copy constructor, with the thrower's type information.
class ForeignException {
public:
    ForeignException() = default;
    ForeignException(ForeignException&& other) noexcept;
    ForeignException& operator=(ForeignException&& other) noexcept;
    ForeignException(const ForeignException&) = delete;
    ForeignException& operator=(const ForeignException&) = delete;
    ~ForeignException();

    // True for a C++ exception thrown in Microsoft's form (a rethrow without an object is not).
    static bool IsThrownObject(const EXCEPTION_RECORD& record);
    // Copies the thrown object out and destroys the original, as a catch would; empty when no
    // memory can be had for the copy.
    static ForeignException Capture(const EXCEPTION_RECORD& record);

    explicit operator bool() const { return block != nullptr; }
    // The captured object as one pointer, for a carrier that cannot own it, and back.
    [[nodiscard]] void* Detach() { return std::exchange(block, nullptr); }
    static ForeignException Adopt(void* detached) { return ForeignException(static_cast<Block*>(detached)); }

    // Throws the object again, with its own type information, to the host's handlers: copied
    // once more into this frame, which stays in place until the host's catch has ended.
    [[noreturn]] static void Rethrow(ForeignException exception);

private:
    struct Block;
    explicit ForeignException(Block* captured) : block(captured) {}

    Block* block = nullptr;
};

} // namespace platform::msvc
