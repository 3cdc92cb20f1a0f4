// Start-up and the runtime's own symbols that the compiler's output refers to; everything else
// comes from msvcrt.dll and vcruntime140.dll through their import libraries.
#include "Runtime.h"

namespace {

struct StartupInfo {
    int newMode;
};

} // namespace

extern "C" {
int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expandWildcards,
                   StartupInfo* info);

// Referred to by every object that uses floating point.
int _fltused = 0;

// The virtual table of std::type_info, which every type descriptor names; nothing calls it here.
extern const void* const kTypeInfoTable[1] __asm__("??_7type_info@@6B@");
const void* const kTypeInfoTable[1] = {nullptr};

int mainCRTStartup() {
    int argc = 0;
    wchar_t** argv = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo info{0};
    if (__wgetmainargs(&argc, &argv, &environment, 0, &info) < 0)
        exit(3);
    exit(HostMain(argc, argv));
}
}

void* operator new(size_t size) {
    void* block = malloc(size != 0 ? size : 1);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept {
    free(block);
}
void operator delete(void* block, size_t) noexcept {
    free(block);
}
