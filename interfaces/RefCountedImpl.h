// Reference counting for the module's own objects. An object starts at count 0; whoever creates
// it for someone takes the first reference.
#pragma once

#include "interfaces/RefCounted.h"

#include <atomic>
#include <cstdint>

namespace Plugin {
namespace Detail {

template <int N> class CRefCountedBase;

// Plain count: objects used by one thread within one import pass.
template <> class CRefCountedBase<0> {
protected:
    void IncrementCount() noexcept { ++count; }
    // The value before the decrement.
    std::int32_t DecrementCount() noexcept { return count--; }

private:
    std::int32_t count = 0;
};

// Atomic count: the plug-in object, which the host may share between threads.
template <> class CRefCountedBase<1> {
protected:
    void IncrementCount() noexcept { count.fetch_add(1, std::memory_order_relaxed); }
    std::int32_t DecrementCount() noexcept { return count.fetch_add(-1, std::memory_order_acq_rel); }

private:
    std::atomic<std::int32_t> count{0};
};

static_assert(sizeof(std::atomic<std::int32_t>) == sizeof(std::int32_t));

} // namespace Detail

template <class I, int N> class CRefCountedImpl : public I, private Detail::CRefCountedBase<N> {
public:
    void AddRef() override { this->IncrementCount(); }

    bool Release() override {
        if (this->DecrementCount() != 1)
            return false;
        delete this;
        return true;
    }

protected:
    CRefCountedImpl() = default;
    // Declared here, after every operation of I, so it is last in the table. Hosts never call
    // it: Microsoft's compiler gives it one slot and GCC two, which is harmless only there.
    virtual ~CRefCountedImpl() = default;
};

// Plug-in objects always count atomically.
template <class I> class CPluginImpl : public CRefCountedImpl<I, 1> {};

} // namespace Plugin
