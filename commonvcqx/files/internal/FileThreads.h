// commonvcqx/files/internal/FileThreads.h
//
// The parallel reader and writer behind TFile's read cache (0x8000, 0x100000) and
// write-behind (0x10000). Every queued read and write carries its own file offset and
// goes through positioned transfers, so an owner that seeks meanwhile is never hurt.
//
// Lock order, kept everywhere: a file's own lock, then the reader's access lock, then
// the reader's lists. The reader's thread takes the access lock shared for each read it
// serves; closing a file and flushing a key take it exclusively, so no read is in
// flight for a file whose records go away (two closers only queue behind each other).
//
//   TFile file(name, 0x8002);                       // reads may come from the cache
//   TMemoryBlock block = AllocCachedPageAlignedMemory(65536, 1);
//   file.ReadAligned(0, block, 65536, 1, &read, TFile::kReadAhead, key);
//   // the next 64 KB are now being read on the reader's thread
#pragma once

#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/memory/PageCache.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <shared_mutex>
#include <vector>

class TFile;
class TThread;

namespace cvq::platform {
struct FileHandle;
}

namespace cvq::detail {

/// Unbuffered plain files move whole pages; on a stream 0x1000000 only drops its buffer.
inline bool TransfersWholePages(int flags) {
    return (flags & (cvq::open_flags::kUnbuffered | cvq::open_flags::kMultimedia)) ==
           cvq::open_flags::kUnbuffered;
}

inline size_t WholePages(size_t bytes) {
    return (bytes + cvq::platform::PageSize() - 1) / cvq::platform::PageSize() *
           cvq::platform::PageSize();
}

/// One cached or requested range of a file, from "ParallelReaderHeap".
struct TReadRecord {
    static constexpr int32_t kFree = 0, kRequested = 1, kRead = 2;

    TMemoryBlock block;
    const TFile* file = nullptr;
    cvq::platform::FileHandle* handle = nullptr;
    int64_t offset = 0;
    int32_t count = 0;
    uint32_t expiry = 0;
    uint32_t timeToLive = 2000;
    int32_t key = 0;
    int32_t state = kFree;
    bool pinned = false;
    bool wholePages = false;
};

TReadRecord* NewReadRecord();
/// Returns the record's block to the page cache and the record to its heap.
void DeleteReadRecord(TReadRecord* record) noexcept;

class TParallelReader final : public TCommonFileThread {
public:
    static TParallelReader& Instance();
    ~TParallelReader();

    /// A file opened with 0x8000; the thread starts with the first.
    void AddUser();
    /// A file with 0x8000 closing: its records leave, exclusively; the last user
    /// empties all lists.
    void RemoveUser(const TFile& file);

    /// Serves [offset, offset + count) of `file` for `key` from a read record covering
    /// it: exchanged with `*block` when that has the record's size and range, copied
    /// otherwise. False when no record covers it (a pending request there is withdrawn).
    bool Take(const TFile& file, int32_t key, int64_t offset, void* buffer, int32_t count,
              TMemoryBlock* block, bool readAhead, bool backward);
    /// Queues a read of `count` bytes at `offset` for the thread.
    void Request(const TFile& file, int32_t key, int64_t offset, int32_t count);
    /// Keeps a pinned copy of bytes just read.
    void StoreCopy(const TFile& file, int32_t key, int64_t offset, const void* data, int32_t count);
    /// A read record covering the range: its range through the arguments, expiry + 1 s.
    bool Suggest(const TFile& file, int32_t key, int32_t* offset, int32_t* count);
    /// Every pending and read record of `key` to the free list, exclusively.
    void Flush(int32_t key);
    /// One request served on the calling thread; true when there was one.
    bool ServeOne();

    int32_t GetOutstandingRequests() override;
    void Stop() override;

private:
    TParallelReader() = default;
    static void Body(void* self);
    void Run();
    TReadRecord* RecordForRequest() CVQ_REQUIRES(m_lists);
    void ToFree(TReadRecord* record) CVQ_REQUIRES(m_lists);
    void EnsureRunningLocked() CVQ_REQUIRES(m_lists);

    std::shared_mutex m_access;  // keeps files open; guards no field
    cvq::TMutex m_lists;
    std::condition_variable m_work;
    std::condition_variable m_served;  // a read in flight has landed
    const TReadRecord* m_inFlight CVQ_GUARDED_BY(m_lists) = nullptr;
    std::vector<TReadRecord*> m_free CVQ_GUARDED_BY(m_lists);
    std::deque<TReadRecord*> m_pending CVQ_GUARDED_BY(m_lists);
    std::vector<TReadRecord*> m_read CVQ_GUARDED_BY(m_lists);  // oldest first
    TThread* m_thread CVQ_GUARDED_BY(m_lists) = nullptr;
    int32_t m_users CVQ_GUARDED_BY(m_lists) = 0;
    bool m_stop CVQ_GUARDED_BY(m_lists) = false;
};

/// A file's write-behind: the block being filled (owner only) and the count of queued
/// blocks with the first failure (under the writer's lock).
struct TWriteBehind {
    TMemoryBlock block;
    int64_t offset = 0;
    int32_t fill = 0;
    int32_t pending = 0;  // -1 once a queued write failed
    uint32_t error = 0;
};

class TParallelWriter final : public TCommonFileThread {
public:
    static constexpr size_t kMaxQueued = 32;

    static TParallelWriter& Instance();
    ~TParallelWriter();

    void EnsureRunning();
    /// Queues `bytes` of `block` (taken) at `offset`, waiting for room. False, with the
    /// block freed, when an earlier write of the file failed.
    bool Queue(cvq::platform::FileHandle* handle, TWriteBehind& state, TMemoryBlock& block,
               size_t bytes, int64_t offset);
    /// Waits until nothing of `state` is queued; false with the error when a write
    /// failed.
    bool WaitIdle(TWriteBehind& state, uint32_t& error);
    /// Queued blocks of `state` (negative after a failure).
    int32_t Pending(TWriteBehind& state);

    int32_t GetOutstandingRequests() override;
    void Stop() override;

private:
    struct TRequest {
        cvq::platform::FileHandle* handle;
        TWriteBehind* state;
        TMemoryBlock block;
        size_t bytes;
        int64_t offset;
    };
    TParallelWriter() = default;
    static void Body(void* self);
    void Run();
    void EnsureRunningLocked() CVQ_REQUIRES(m_lock);

    cvq::TMutex m_lock;
    std::condition_variable m_work, m_room, m_done;
    std::deque<TRequest> m_queue CVQ_GUARDED_BY(m_lock);
    TThread* m_thread CVQ_GUARDED_BY(m_lock) = nullptr;
    bool m_busy CVQ_GUARDED_BY(m_lock) = false;
    bool m_stop CVQ_GUARDED_BY(m_lock) = false;
};

}  // namespace cvq::detail
