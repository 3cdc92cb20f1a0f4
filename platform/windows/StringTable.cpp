// The messages are read from the module's own string-table resource.
#include "platform/StringTable.h"

#include <windows.h>

#include <cstdint>

namespace {

constexpr unsigned kEntriesPerBlock = 16;
constexpr unsigned kLastBlock = 0xFFFF;
constexpr WORD kStringTableType = 6; // RT_STRING, spelt for the wide functions

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The neutral language resolves to the one table the module carries; the plain lookup stands in
// should a loader not resolve it.
HRSRC FindBlock(HMODULE module, unsigned block) {
    const LPCWSTR name = MAKEINTRESOURCEW(block);
    const LPCWSTR type = MAKEINTRESOURCEW(kStringTableType);
    if (HRSRC found = FindResourceExW(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)))
        return found;
    return FindResourceW(module, name, type);
}

} // namespace

// A block holds 16 entries, each a count of UTF-16 units followed by that many units. Every
// step stays inside the block's size, so a damaged table yields a missing entry.
std::wstring LoadMessage(unsigned id) {
    const unsigned block = id / kEntriesPerBlock + 1;
    if (block > kLastBlock)
        return {};
    const HMODULE module = ThisModule();
    const HRSRC info = FindBlock(module, block);
    if (info == nullptr)
        return {};
    const HGLOBAL loaded = LoadResource(module, info);
    const auto* units = static_cast<const std::uint16_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (units == nullptr)
        return {};
    const std::size_t size = SizeofResource(module, info) / sizeof(std::uint16_t);
    std::size_t at = 0;
    for (unsigned skipped = 0; skipped < id % kEntriesPerBlock && at < size; ++skipped)
        at += 1 + std::size_t{units[at]};
    if (at >= size)
        return {};
    const std::size_t count = units[at];
    if (count == 0 || count > size - at - 1)
        return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(units + at + 1), count);
}
