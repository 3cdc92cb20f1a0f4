// Linked only into the failing build of the module, NikonFailing.dll: makes the module fail on
// purpose, as the test host asks through the one export this build adds. An allocation fails by
// the module's operator new raising std::bad_alloc; a conversion fails by MultiByteToWideChar,
// which the module calls through its import address, reporting ERROR_NO_UNICODE_TRANSLATION.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

enum FailureKind { kFailAllocation = 1, kFailConversion = 2 };

// Calls left until the one that fails; 0 when nothing is to fail. The test's own state, kept
// for the life of the loaded module.
struct Countdowns {
    int allocation = 0;
    int conversion = 0;
};

Countdowns& Plan() {
    static Countdowns plan;
    return plan;
}

bool FailsNow(int& countdown) {
    return countdown > 0 && --countdown == 0;
}

using MultiByteToWideCharFunction = int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int);

int WINAPI FailingMultiByteToWideChar(UINT codePage, DWORD flags, LPCCH bytes, int byteCount, LPWSTR wide,
                                      int wideCount) {
    if (FailsNow(Plan().conversion)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    const auto real = reinterpret_cast<MultiByteToWideCharFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "MultiByteToWideChar")));
    return real(codePage, flags, bytes, byteCount, wide, wideCount);
}

} // namespace

// The module reaches the system's function through this pointer, which the linker takes from
// here before the import library.
extern "C" MultiByteToWideCharFunction __imp_MultiByteToWideChar;
MultiByteToWideCharFunction __imp_MultiByteToWideChar = &FailingMultiByteToWideChar;

// Makes the nth call from now of the given kind fail once; nth 0 cancels it. Returns how many
// calls the plan it replaces still had to go, 0 when that failure has happened.
extern "C" __declspec(dllexport) int NikonInjectFailure(int kind, int nth) {
    int& countdown = kind == kFailAllocation ? Plan().allocation : Plan().conversion;
    const int left = countdown;
    countdown = nth;
    return left;
}

void* operator new(std::size_t size) {
    void* block = FailsNow(Plan().allocation) ? nullptr : std::malloc(size != 0 ? size : 1);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return FailsNow(Plan().allocation) ? nullptr : std::malloc(size != 0 ? size : 1);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
