#include "platform/OleString.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

// Layout as on Windows: a 32-bit byte count, then the characters, then a terminating zero.
// The pointer handed out points at the first character.
namespace {

using Prefix = std::uint32_t;
constexpr std::size_t kHeader = sizeof(Prefix) < alignof(wchar_t) ? alignof(wchar_t) : sizeof(Prefix);
static_assert(kHeader >= sizeof(Prefix));

unsigned char* blockOf(BSTR text) {
    return reinterpret_cast<unsigned char*>(text) - kHeader;
}

} // namespace

BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length) {
    const std::size_t bytes = std::size_t{length} * sizeof(wchar_t);
    if (bytes > 0xFFFFFFFFu - sizeof(wchar_t))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kHeader + bytes + sizeof(wchar_t)));
    if (block == nullptr)
        return nullptr;
    auto* chars = reinterpret_cast<wchar_t*>(block + kHeader);
    const Prefix prefix = static_cast<Prefix>(bytes);
    std::memcpy(block + kHeader - sizeof(Prefix), &prefix, sizeof(Prefix));
    if (text != nullptr)
        std::memcpy(chars, text, bytes);
    else
        std::memset(chars, 0, bytes);
    chars[length] = L'\0';
    return chars;
}

BSTR SysAllocString(const wchar_t* text) {
    if (text == nullptr)
        return nullptr;
    return SysAllocStringLen(text, static_cast<std::uint32_t>(std::wcslen(text)));
}

void SysFreeString(BSTR text) {
    if (text != nullptr)
        std::free(blockOf(text));
}

std::uint32_t SysStringLen(BSTR text) {
    if (text == nullptr)
        return 0;
    Prefix prefix;
    std::memcpy(&prefix, blockOf(text) + kHeader - sizeof(Prefix), sizeof(Prefix));
    return prefix / sizeof(wchar_t);
}
