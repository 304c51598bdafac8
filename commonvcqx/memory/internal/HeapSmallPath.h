// commonvcqx/memory/internal/HeapSmallPath.h
//
// The small-block fast path of NH_Heap: a pop from or a push onto a size class's free
// list under the heap's lock. Inline, so that the allocation and free entry points
// (Heap.cpp) and the carving code (HeapSmallBlocks.cpp) share one copy of it while the
// entry points keep it inside their own bodies.
//
//   if (size <= kLargestSmallBlock) return AllocSmall(size, size + kSmallHeader);
#pragma once

#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapBlocks.h>

#include <cstring>

// Once several threads share the heap, lines that the lock holder will touch are
// fetched before the lock is taken, which keeps the time under the lock short. The
// reads race with the holder by design (a stale pointer only wastes the prefetch), so
// the thread sanitizer does not see them.
#if defined(__SANITIZE_THREAD__)
#define CVQ_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CVQ_TSAN 1
#endif
#endif

namespace cvq::detail {

template <class T>
__attribute__((always_inline)) inline void PrefetchForWrite(T* const* slot) {
#if !defined(CVQ_TSAN)
    if (T* p = *const_cast<T* volatile*>(slot)) __builtin_prefetch(p, 1);
#else
    (void)slot;
#endif
}

__attribute__((always_inline)) inline void PrefetchForWrite(size_t* p) {
    __builtin_prefetch(p, 1);
}

}  // namespace cvq::detail

__attribute__((always_inline)) inline bool NH_Heap::ContendedPath() const {
#if defined(CVQ_TSAN)
    return false;
#else
    return __atomic_load_n(&m_lock.m_bias, __ATOMIC_RELAXED) == cvq::platform::TSpinLock::kRevoked;
#endif
}

// The fast path: a list pop under the lock. Carving lives out of line.
__attribute__((always_inline)) inline void* NH_Heap::AllocSmall(size_t size, size_t needed) {
    int cls = cvq::detail::kSizeToClass[needed];
    cvq::detail::TSmallBlock* block;
    if (ContendedPath()) cvq::detail::PrefetchForWrite(&m_freeLists[cls]);
    {
        cvq::detail::THeapGuard guard(m_lock, LockActive());
        block = m_freeLists[cls];
        if (__builtin_expect(block != nullptr, 1)) {
            // The new head's back link is left stale: a head is recognized by the list
            // head itself, which saves touching a second block.
            m_freeLists[cls] = block->next;
            cvq::detail::InUse(cvq::detail::PageSetOf(block))++;
        } else {
            block = CarveSmall(cls);
            if (!block) return nullptr;
        }
        block->flags = 0;
        block->size = static_cast<uint16_t>(size);
    }
    void* user = cvq::detail::Bytes(block) + cvq::detail::kSmallHeader;
    if (__builtin_expect(m_flags & kZeroFill, 0)) std::memset(user, 0, size);
    return user;
}

__attribute__((always_inline)) inline void NH_Heap::PushSmall(cvq::detail::TSmallBlock* block,
                                                              int cls) {
    block->flags = cvq::detail::kFreeBlockFlag;
    block->sizeClass = static_cast<uint8_t>(cls);
    block->prev = nullptr;
    block->next = m_freeLists[cls];
    if (block->next) block->next->prev = block;
    m_freeLists[cls] = block;
}

__attribute__((always_inline)) inline void NH_Heap::FreeSmall(cvq::detail::TSmallBlock* block,
                                                              size_t& inUse) {
    if (__atomic_load_n(&m_bypass, __ATOMIC_RELAXED)) return;
    if (ContendedPath()) {
        cvq::detail::PrefetchForWrite(&m_freeLists[block->sizeClass]);
        cvq::detail::PrefetchForWrite(&inUse);
    }
    cvq::detail::THeapGuard guard(m_lock, LockActive());
    if (block->flags & cvq::detail::kFreeBlockFlag) return;  // freed twice: the lists stay intact
    PushSmall(block, block->sizeClass);
    if (__builtin_expect(--inUse == 0, 0)) ReleaseEmptyPageSet(cvq::detail::PageSetOf(block));
}
