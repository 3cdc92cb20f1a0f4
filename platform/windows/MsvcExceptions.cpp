// Microsoft's x64 C++ exceptions. A throw is RaiseException with code 0xE06D7363 and four
// parameters: a magic number, the object, its throw information and the base address of the image
// that holds that information, for every reference in it is an offset from that base (an image-
// relative address). The throw information names the object's destructor and lists the types a
// catch may take it as, most derived first, each with its type descriptor (a type_info whose
// decorated name handlers compare), its size and its copy constructor.
#include "platform/windows/MsvcExceptions.h"

#include <cstdlib>
#include <cstring>
#include <utility>

extern "C" [[noreturn]] void _CxxThrowException(void* object, const void* throwInfo);

// The descriptions of the two types the module raises, laid out as Microsoft's compiler lays them
// out. Only the assembler writes image-relative addresses (.rva). Type descriptors are writable,
// as the runtime caches a type's undecorated name in them.
// clang-format off
asm(R"(
    .section .data$nikon_msvc_types, "dw"
    .p2align 4
nikon_td_exception:
    .quad 0, 0
    .asciz ".?AVexception@std@@"
    .p2align 4
nikon_td_bad_alloc:
    .quad 0, 0
    .asciz ".?AVbad_alloc@std@@"
    .p2align 4
nikon_td_atl_exception:
    .quad 0, 0
    .asciz ".?AVCAtlException@ATL@@"
    .text

    .section .rdata$nikon_msvc_types, "dr"
    .p2align 3
# Catchable types: properties, type, this-displacement (member, vbtable, vbase), size, copy.
nikon_ct_bad_alloc:
    .long 0
    .rva nikon_td_bad_alloc
    .long 0, -1, 0, 24, 0
nikon_ct_exception:
    .long 0
    .rva nikon_td_exception
    .long 0, -1, 0, 24, 0
nikon_ct_atl_exception:
    .long 0
    .rva nikon_td_atl_exception
    .long 0, -1, 0, 4, 0
nikon_cta_bad_alloc:
    .long 2
    .rva nikon_ct_bad_alloc, nikon_ct_exception
nikon_cta_atl_exception:
    .long 1
    .rva nikon_ct_atl_exception
# Throw information: attributes, destructor, forward compatibility, catchable types.
nikon_throw_bad_alloc:
    .long 0, 0, 0
    .rva nikon_cta_bad_alloc
nikon_throw_atl_exception:
    .long 0, 0, 0
    .rva nikon_cta_atl_exception

# Run-time type information of the bad_alloc object's virtual table, for typeid and dynamic_cast
# in the host: the complete object locator, then the class hierarchies of bad_alloc and exception.
nikon_col_bad_alloc:
    .long 1, 0, 0
    .rva nikon_td_bad_alloc, nikon_chd_bad_alloc, nikon_col_bad_alloc
nikon_chd_bad_alloc:
    .long 0, 0, 2
    .rva nikon_bca_bad_alloc
nikon_bca_bad_alloc:
    .rva nikon_bcd_bad_alloc, nikon_bcd_exception
nikon_bcd_bad_alloc:
    .rva nikon_td_bad_alloc
    .long 1, 0, -1, 0, 0x40
    .rva nikon_chd_bad_alloc
nikon_chd_exception:
    .long 0, 0, 1
    .rva nikon_bca_exception
nikon_bca_exception:
    .rva nikon_bcd_exception
nikon_bcd_exception:
    .rva nikon_td_exception
    .long 0, 0, -1, 0, 0x40
    .rva nikon_chd_exception
    .text
)");
// clang-format on

extern "C" const unsigned char nikon_throw_bad_alloc[];
extern "C" const unsigned char nikon_throw_atl_exception[];
extern "C" const unsigned char nikon_col_bad_alloc[];

namespace platform::msvc {
namespace {

constexpr DWORD kCxxExceptionCode = 0xE06D7363;
// The magic numbers of the three generations of the format; all share the four parameters.
constexpr ULONG_PTR kFirstMagic = 0x19930520;
constexpr ULONG_PTR kLastMagic = 0x19930522;
constexpr DWORD kCxxParameters = 4;

struct ThrowInfo {
    std::uint32_t attributes;
    std::int32_t destructor;
    std::int32_t forwardCompatibility;
    std::int32_t catchableTypes;
};

struct CatchableTypeArray {
    std::int32_t count;
    std::int32_t types[1];
};

struct CatchableType {
    std::uint32_t properties;
    std::int32_t typeDescriptor;
    std::int32_t memberDisplacement;
    std::int32_t vbtableDisplacement;
    std::int32_t vbaseDisplacement;
    std::int32_t size;
    std::int32_t copyConstructor;
};

constexpr std::uint32_t kSimpleType = 1;
constexpr std::uint32_t kHasVirtualBase = 4;

// Member functions of the host's types, called as Microsoft's compiler calls them: `this` first.
using CopyConstructor = void* (*)(void* self, const void* source);
using CopyConstructorWithVirtualBases = void* (*)(void* self, const void* source, int mostDerived);
using Destructor = void (*)(void* self);

template <class T> const T* At(ULONG_PTR imageBase, std::int32_t offset) {
    return reinterpret_cast<const T*>(imageBase + static_cast<ULONG_PTR>(offset));
}

// std::exception as Microsoft's library lays it out: the virtual table, then the text and
// whether the object owns it.
struct StdException {
    const void* const* virtualTable;
    const char* what;
    bool ownsText;
};

void* DestroyStdException(void* self, unsigned /*deleteFlags*/) {
    return self; // the module's objects own nothing and are never on the host's heap
}
const char* StdExceptionWhat(const void* self) {
    return static_cast<const StdException*>(self)->what;
}

// The locator, then the scalar deleting destructor and what(), in the order of the class.
const void* const kBadAllocTable[] = {nikon_col_bad_alloc,
                                      reinterpret_cast<const void*>(&DestroyStdException),
                                      reinterpret_cast<const void*>(&StdExceptionWhat)};

struct AtlException {
    HRESULT hresult;
};

} // namespace

void RaiseBadAlloc() {
    StdException object{kBadAllocTable + 1, "bad allocation", false};
    _CxxThrowException(&object, nikon_throw_bad_alloc);
}

void RaiseAtlException(HRESULT hresult) {
    AtlException object{hresult};
    _CxxThrowException(&object, nikon_throw_atl_exception);
}

struct ForeignException::Block {
    const ThrowInfo* info;
    ULONG_PTR imageBase;
    const CatchableType* type; // the thrown object's own, most derived, type
    alignas(16) unsigned char object[1];

    static Block* Allocate(std::size_t objectSize) {
        return static_cast<Block*>(std::malloc(offsetof(Block, object) + objectSize));
    }
    void DestroyObject() {
        if (info->destructor != 0)
            reinterpret_cast<Destructor>(imageBase + info->destructor)(object);
        std::free(this);
    }
};

namespace {

void CopyObject(void* to, const void* from, const CatchableType& type, ULONG_PTR imageBase) {
    if ((type.properties & kSimpleType) != 0 || type.copyConstructor == 0) {
        std::memcpy(to, from, static_cast<std::size_t>(type.size));
        return;
    }
    const ULONG_PTR constructor = imageBase + static_cast<ULONG_PTR>(type.copyConstructor);
    if ((type.properties & kHasVirtualBase) != 0)
        reinterpret_cast<CopyConstructorWithVirtualBases>(constructor)(to, from, 1);
    else
        reinterpret_cast<CopyConstructor>(constructor)(to, from);
}

} // namespace

ForeignException::ForeignException(ForeignException&& other) noexcept
    : block(std::exchange(other.block, nullptr)) {}

ForeignException& ForeignException::operator=(ForeignException&& other) noexcept {
    if (this != &other) {
        if (block != nullptr)
            block->DestroyObject();
        block = std::exchange(other.block, nullptr);
    }
    return *this;
}

ForeignException::~ForeignException() {
    if (block != nullptr)
        block->DestroyObject();
}

bool ForeignException::IsThrownObject(const EXCEPTION_RECORD& record) {
    return record.ExceptionCode == kCxxExceptionCode && record.NumberParameters == kCxxParameters &&
           record.ExceptionInformation[0] >= kFirstMagic && record.ExceptionInformation[0] <= kLastMagic &&
           record.ExceptionInformation[1] != 0 && record.ExceptionInformation[2] != 0;
}

ForeignException ForeignException::Capture(const EXCEPTION_RECORD& record) {
    const auto* thrown = reinterpret_cast<void*>(record.ExceptionInformation[1]);
    const auto* info = reinterpret_cast<const ThrowInfo*>(record.ExceptionInformation[2]);
    const ULONG_PTR imageBase = record.ExceptionInformation[3];
    const auto* types = At<CatchableTypeArray>(imageBase, info->catchableTypes);
    const auto* type = At<CatchableType>(imageBase, types->types[0]);
    Block* block = Block::Allocate(static_cast<std::size_t>(type->size));
    if (block == nullptr)
        return {};
    block->info = info;
    block->imageBase = imageBase;
    block->type = type;
    CopyObject(block->object, thrown, *type, imageBase);
    if (info->destructor != 0)
        reinterpret_cast<Destructor>(imageBase + info->destructor)(const_cast<void*>(thrown));
    return ForeignException(block);
}

void ForeignException::Rethrow(ForeignException exception) {
    Block* block = std::exchange(exception.block, nullptr);
    const ThrowInfo* info = block->info;
    // This frame is not left before the host's catch ends: the handlers run below it on the stack.
    void* object = __builtin_alloca(static_cast<std::size_t>(block->type->size));
    CopyObject(object, block->object, *block->type, block->imageBase);
    block->DestroyObject();
    _CxxThrowException(object, info);
}

} // namespace platform::msvc
