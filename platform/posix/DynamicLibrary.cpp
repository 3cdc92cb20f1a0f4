#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

bool DynamicLibrary::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    // A name without a slash would be searched for on the library path; a host means this file.
    const std::filesystem::path file = path.has_parent_path() ? path : std::filesystem::path(".") / path;
    handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : "cannot load " + path.string();
        return false;
    }
    return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle != nullptr ? ::dlsym(handle, name) : nullptr;
}

void DynamicLibrary::Close() noexcept {
    if (handle != nullptr)
        ::dlclose(std::exchange(handle, nullptr));
}

} // namespace platform
