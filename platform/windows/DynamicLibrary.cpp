#include "platform/DynamicLibrary.h"

#include "platform/Utf8.h"

#include <utility>
#include <windows.h>

namespace platform {
namespace {

// In UTF-8, as the hosts write every text: the ANSI form would be in the system's code page.
std::string DescribeError(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length != 0)
        AppendUtf8(message, std::wstring_view(text, length));
    else
        message = "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

bool DynamicLibrary::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        error = DescribeError(GetLastError());
        return false;
    }
    handle = module;
    return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void DynamicLibrary::Close() noexcept {
    if (handle != nullptr)
        FreeLibrary(static_cast<HMODULE>(std::exchange(handle, nullptr)));
}

} // namespace platform
