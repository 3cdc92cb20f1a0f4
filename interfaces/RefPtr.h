// The one owner of references to reference-counted objects, host or own. Business code never
// calls AddRef or Release itself; the order of those calls is fixed here:
// a new pointer is stored first, the old one released after.
#pragma once

#include <cstddef>
#include <utility>

namespace Plugin {

template <class T> class RefPtr {
public:
    RefPtr() noexcept = default;
    RefPtr(std::nullptr_t) noexcept {}

    // Adopts the reference the caller holds, as handed out by a factory operation.
    static RefPtr Adopt(T* object) noexcept {
        RefPtr result;
        result.ptr = object;
        return result;
    }

    // Takes a reference of its own on `object`.
    static RefPtr Share(T* object) {
        if (object != nullptr)
            object->AddRef();
        return Adopt(object);
    }

    RefPtr(const RefPtr& other) : ptr(other.ptr) {
        if (ptr != nullptr)
            ptr->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : ptr(other.Detach()) {}

    RefPtr& operator=(const RefPtr& other) {
        T* old = ptr;
        ptr = other.ptr;
        if (ptr != nullptr)
            ptr->AddRef();
        if (old != nullptr)
            old->Release();
        return *this;
    }
    RefPtr& operator=(RefPtr&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    ~RefPtr() {
        if (ptr != nullptr)
            ptr->Release();
    }

    // Stores `object` (adopting its reference), then releases the one held before.
    void Attach(T* object) noexcept {
        T* old = ptr;
        ptr = object;
        if (old != nullptr)
            old->Release();
    }
    // Hands the held reference to the caller.
    [[nodiscard]] T* Detach() noexcept { return std::exchange(ptr, nullptr); }
    void Reset() noexcept { Attach(nullptr); }

    T* Get() const noexcept { return ptr; }
    T* operator->() const noexcept { return ptr; }
    explicit operator bool() const noexcept { return ptr != nullptr; }

private:
    T* ptr = nullptr;
};

} // namespace Plugin
