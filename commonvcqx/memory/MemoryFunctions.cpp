// Throwing allocation wrappers, byte swap, the slot pool and the fast memory routines.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/MemoryFunctions.h>
#include <commonvcqx/memory/internal/FastMemory.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constinit TFastCopyRoutine fastCopy = nullptr;
constinit TFastFillRoutine fastFill = nullptr;

// The routines take 32-bit counts.
constexpr size_t kLargestStep = 0x80000000u;

}  // namespace

void SetFastMemoryRoutines(TFastCopyRoutine copy, TFastFillRoutine fill) {
    __atomic_store_n(&fastCopy, copy, __ATOMIC_RELEASE);
    __atomic_store_n(&fastFill, fill, __ATOMIC_RELEASE);
}

namespace cvq::detail {

void FastCopy(const void* source, void* destination, size_t count) {
    TFastCopyRoutine copy = __atomic_load_n(&fastCopy, __ATOMIC_ACQUIRE);
    if (!copy) {
        if (count) std::memcpy(destination, source, count);
        return;
    }
    const char* from = static_cast<const char*>(source);
    char* to = static_cast<char*>(destination);
    while (count) {
        size_t step = std::min(count, kLargestStep);
        copy(from, to, static_cast<uint32_t>(step));
        from += step;
        to += step;
        count -= step;
    }
}

void FastZero(void* destination, size_t count) {
    TFastFillRoutine fill = __atomic_load_n(&fastFill, __ATOMIC_ACQUIRE);
    if (!fill) {
        if (count) std::memset(destination, 0, count);
        return;
    }
    char* to = static_cast<char*>(destination);
    while (count) {
        size_t step = std::min(count, kLargestStep);
        fill(to, static_cast<uint32_t>(step));
        to += step;
        count -= step;
    }
}

}  // namespace cvq::detail

void* malloc_ex(unsigned size) {
    if (size == 0) return nullptr;
    void* p = std::malloc(size);
    if (!p) throw 0;
    return p;
}

void free_ex(void* p) {
    if (p) std::free(p);
}

void* realloc_ex(void* p, unsigned size) {
    if (!p) return malloc_ex(size);
    if (size == 0) {
        std::free(p);
        return nullptr;
    }
    void* moved = std::realloc(p, size);
    if (!moved) throw 0;
    return moved;
}

void SwapBinaryData(void* a, void* b, int count) {
    unsigned char* x = static_cast<unsigned char*>(a);
    unsigned char* y = static_cast<unsigned char*>(b);
    for (int i = 0; i < count; ++i) std::swap(x[i], y[i]);
}

void* GetSlotPtr(int32_t size, void** slots, int32_t count) {
    if (!slots || count <= 0) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < count; ++i) {
            if (void* p = slots[i]) {
                slots[i] = nullptr;
                return p;
            }
        }
        if (pass == 0) {
            size_t bytes = size > 0 ? static_cast<size_t>(size) : 0;
            for (int32_t i = 0; i < count; ++i) slots[i] = FindBase2()->AllocMem(bytes);
        }
    }
    return nullptr;
}
