// NH_Heap's enumeration: every block in use, small blocks page set by page set, then
// the others.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapBlocks.h>
#include <commonvcqx/memory/internal/HeapInternals.h>

using namespace cvq::detail;

void NH_Heap::ForEach(void (*fn)(void* block, void* user), void* user) {
    for (TPageSet* set = m_pageSets.First(); set; set = set->next) {
        char* end = set->committedEnd - set->remaining;
        for (char* p = Bytes(set) + kSmallPageSetHeader; p < end;) {
            TSmallBlock* block = reinterpret_cast<TSmallBlock*>(p);
            p += kClassSizes[block->sizeClass];
            if (!(block->flags & kFreeBlockFlag)) fn(Bytes(block) + kSmallHeader, user);
        }
    }
    for (TAltBlock* block = m_altBlocks.First(); block;) {
        TAltBlock* next = block->next;
        fn(UserOf(block), user);
        block = next;
    }
}

void* NH_Heap::FindFirstThat(int (*fn)(void* block, void* user), void* user) {
    for (TPageSet* set = m_pageSets.First(); set; set = set->next) {
        char* end = set->committedEnd - set->remaining;
        for (char* p = Bytes(set) + kSmallPageSetHeader; p < end;) {
            TSmallBlock* block = reinterpret_cast<TSmallBlock*>(p);
            p += kClassSizes[block->sizeClass];
            if (!(block->flags & kFreeBlockFlag) && fn(Bytes(block) + kSmallHeader, user))
                return Bytes(block) + kSmallHeader;
        }
    }
    for (TAltBlock* block = m_altBlocks.First(); block; block = block->next)
        if (fn(UserOf(block), user)) return UserOf(block);
    return nullptr;
}
