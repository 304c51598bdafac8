// commonvcqx/memory/HeapSwitcher.h
//
// NH_HeapSwitcher: makes a heap the calling thread's default heap (what malloc and
// operator new use) for the lifetime of a scope, then restores the previous one.
//
//   NH_Heap scratch(0);
//   {
//       NH_HeapSwitcher use(scratch);
//       std::vector<int> v(1000);   // allocated from scratch
//   }
#pragma once

#include <commonvcqx/memory/Heap.h>

class NH_HeapSwitcher {
public:
    explicit NH_HeapSwitcher(NH_Heap& heap) : m_saved(&NH_Heap::Default()) {
        NH_Heap::SetDefault(heap);
    }
    ~NH_HeapSwitcher() { NH_Heap::SetDefault(*m_saved); }
    NH_HeapSwitcher(const NH_HeapSwitcher&) = delete;
    /// Copies the saved heap.
    NH_HeapSwitcher& operator=(const NH_HeapSwitcher& other) {
        m_saved = other.m_saved;
        return *this;
    }

private:
    NH_Heap* m_saved;
};
