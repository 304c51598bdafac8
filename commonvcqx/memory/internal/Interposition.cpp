// The C and C++ allocation entry points, defined by the library so that every module of
// the process reaches the hooks (ELF symbol interposition). Built only when the library
// replaces the process allocator; sanitizer builds keep their runtime's malloc.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/platform/internal/SystemAllocator.h>

#if CVQ_OVERRIDE_MALLOC

#include <malloc.h>
#include <cstdlib>
#include <new>

namespace platform = cvq::platform;
using namespace cvq::detail;

namespace {

inline void* Failed() {
    platform::SetOutOfMemoryError();
    return nullptr;
}

inline bool IsPowerOfTwo(size_t value) {
    return value && !(value & (value - 1));
}

inline void* Aligned(size_t alignment, size_t size) {
    void* p = HookAlignedAlloc(alignment, size);
    return p ? p : Failed();
}

void* NewNoThrow(size_t size) noexcept {
    try {
        return HookNew(size);
    } catch (...) {
        return nullptr;
    }
}

void* NewOrThrow(size_t size) {
    void* p = HookNew(size);
    if (!p) throw std::bad_alloc();
    return p;
}

// The new handler's exception passes through, as it does for plain new.
void* AlignedNewOrThrow(size_t size, std::align_val_t alignment) {
    void* p = DefaultAllocAligned(static_cast<size_t>(alignment), size, 0);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

extern "C" {

// malloc(0) gives a block, not null: the C library itself (regcomp, for one) takes a
// null result as out of memory.
void* malloc(size_t size) noexcept {
    void* p = size ? HookMalloc(size) : NewNoThrow(0);
    return p ? p : Failed();
}

void* calloc(size_t count, size_t size) noexcept {
    void* p = HookCalloc(count, size);
    return p ? p : Failed();
}

void* realloc(void* p, size_t size) noexcept {
    if (!p) return malloc(size);
    void* moved = HookRealloc(p, size);
    return moved || size == 0 ? moved : Failed();
}

void* reallocarray(void* p, size_t count, size_t size) noexcept {
    size_t total;
    if (__builtin_mul_overflow(count, size, &total)) return Failed();
    return realloc(p, total);
}

void free(void* p) noexcept {
    HookFree(p);
}

size_t malloc_usable_size(void* p) noexcept {
    return HookBlockSize(p);
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    if (!IsPowerOfTwo(alignment) || alignment % sizeof(void*) != 0)
        return platform::InvalidArgumentError();
    void* p = HookAlignedAlloc(alignment, size);
    if (!p) return platform::SetOutOfMemoryError();
    *result = p;
    return 0;
}

void* memalign(size_t alignment, size_t size) noexcept {
    // As the C library does: anything not a power of two is rounded up to one.
    size_t power = 16;
    while (power < alignment && power != 0) power <<= 1;
    if (power == 0) return Failed();
    return Aligned(power, size);
}

// The C library serves any alignment here as memalign does; programs rely on it.
void* aligned_alloc(size_t alignment, size_t size) noexcept {
    return memalign(alignment, size);
}

void* valloc(size_t size) noexcept {
    return Aligned(platform::PageSize(), size);
}

void* pvalloc(size_t size) noexcept {
    size_t page = platform::PageSize();
    if (size > SIZE_MAX - page) return Failed();
    return Aligned(page, (size + page - 1) & ~(page - 1));
}

}  // extern "C"

void* operator new(size_t size) {
    return NewOrThrow(size);
}
void* operator new[](size_t size) {
    return NewOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return NewNoThrow(size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return AlignedNewOrThrow(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return AlignedNewOrThrow(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return HookAlignedAlloc(static_cast<size_t>(alignment), size);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return HookAlignedAlloc(static_cast<size_t>(alignment), size);
}

void operator delete(void* p) noexcept {
    HookFree(p);
}
void operator delete[](void* p) noexcept {
    HookFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    HookFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    HookFree(p);
}
void operator delete(void* p, size_t) noexcept {
    HookFree(p);
}
void operator delete[](void* p, size_t) noexcept {
    HookFree(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    HookFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    HookFree(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    HookFree(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    HookFree(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    HookFree(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    HookFree(p);
}

#endif  // CVQ_OVERRIDE_MALLOC
