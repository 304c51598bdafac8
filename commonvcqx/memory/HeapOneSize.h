// commonvcqx/memory/HeapOneSize.h
//
// NH_HeapOneSize: a heap of equally sized blocks. Each 64 KB page set keeps its own
// free list, and page sets with free blocks are chained, so allocation and freeing are
// a few pointer moves. Blocks are 16-byte aligned; the block size is rounded up to 16.
//
//   NH_HeapOneSize records(52, NH_AHeap::kMultithreaded, "ParallelReaderHeap");
//   void* record = records.Alloc();
//   NH_HeapOneSize::FreeMem(record);
#pragma once

#include <commonvcqx/memory/AHeap.h>

class NH_HeapOneSize : public NH_AHeap {
public:
    /// The name is not kept.
    NH_HeapOneSize(size_t blockSize, uint32_t flags, const char* name = nullptr);
    ~NH_HeapOneSize() override;

    void* Alloc() { return AllocMem(m_blockSize); }
    /// `size` must be the heap's block size (a heap used before its constructor ran
    /// takes it from here).
    void* AllocMem(size_t size);
    static void Free(void* p) { FreeMem(p); }
    static void FreeMem(void* p);

    size_t GetBlockSize() const { return m_blockSize; }
    void Clear() override;

protected:
    /// Before the heap is shared, or under the global heap lock.
    void InitHeapOneSize(size_t size) CVQ_NO_THREAD_SAFETY_ANALYSIS;

private:
    void FreeBlock(cvq::detail::TPageSet* set, void* p);
    void UnlinkFree(cvq::detail::TPageSet* set) CVQ_REQUIRES(m_lock);

    size_t m_blockSize;
    // Page sets with free blocks; a page set is in it exactly when its word7 is not 0.
    cvq::TIntrusiveList<cvq::detail::TFreePageSetLinks> m_freeSets CVQ_GUARDED_BY(m_lock);
};
