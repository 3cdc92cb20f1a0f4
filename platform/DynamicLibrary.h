// Loading a shared library by path and finding a function in it: dlopen on POSIX, LoadLibraryW
// on Windows. Used by hosts to load the module.
#pragma once

#include "platform/NoCopy.h"

#include <filesystem>
#include <string>
#include <utility>

namespace platform {

class DynamicLibrary : NoCopy {
public:
    DynamicLibrary() = default;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
        if (this != &other) {
            Close();
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    // Unloads the library: nothing obtained from it may be used afterwards.
    ~DynamicLibrary() { Close(); }

    // False with `error` set to the loader's reason when the library cannot be loaded.
    bool Open(const std::filesystem::path& path, std::string& error);
    // The address of the exported function `name`, or null.
    void* Symbol(const char* name) const;

private:
    void Close() noexcept;

    void* handle = nullptr;
};

} // namespace platform
