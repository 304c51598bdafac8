// The parallel reader and writer threads of TFile's read cache and write-behind.
#include <commonvcqx/files/internal/FileThreads.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/base/Ticks.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/HeapOneSize.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/threads/Thread.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace pf = cvq::platform;

namespace cvq::detail {
namespace {

struct TReaderHeapStart {
    TReaderHeapStart() { RecordStartupStep(kStartParallelReaderHeap, true); }
    ~TReaderHeapStart() { RecordStartupStep(kStartParallelReaderHeap, false); }
    NH_HeapOneSize heap{sizeof(TReadRecord), NH_AHeap::kMultithreaded, "ParallelReaderHeap"};
};
__attribute__((init_priority(kStartParallelReaderHeap))) TReaderHeapStart g_readerHeap;

// Mode-1 copies are pinned until they expire; this bounds what they can hold at once.
constexpr size_t kMaxReadRecords = 256;

class TFileWorker final : public TThread {
public:
    TFileWorker(const char* name, void (*body)(void*), void* self)
        : TThread(name), m_body(body), m_self(self) {}
    ~TFileWorker() override { WaitForEnd(); }
    uint32_t MainLoop() override {
        m_body(m_self);
        return 0;
    }

private:
    void (*m_body)(void*);
    void* m_self;
};

void RegisterFileThreads() {
    SetCommonFileThreads(&TParallelReader::Instance(), &TParallelWriter::Instance());
}

TThread* StartWorker(const char* name, void (*body)(void*), void* self) {
    auto* worker = new TFileWorker(name, body, self);
    if (!worker->SetupAndRun(worker, 0, 0, 0)) {
        delete worker;
        return nullptr;
    }
    return worker;
}

bool Covers(const TReadRecord& r, const TFile& file, int32_t key, int64_t offset, int64_t count) {
    return r.state == TReadRecord::kRead && r.file == &file && r.key == key && r.offset <= offset &&
           offset + count <= r.offset + r.count;
}

}  // namespace

TReadRecord* NewReadRecord() {
    return new (g_readerHeap.heap.Alloc()) TReadRecord;
}

void DeleteReadRecord(TReadRecord* record) noexcept {
    if (!record) return;
    if (record->block.address) FreeCachedPageAlignedMemory(record->block);
    record->~TReadRecord();
    NH_HeapOneSize::FreeMem(record);
}

// Reader

TParallelReader& TParallelReader::Instance() {
    static TParallelReader reader;
    return reader;
}

TParallelReader::~TParallelReader() {
    Stop();
    for (auto* list : {&m_free, &m_read})
        for (TReadRecord* r : *list) DeleteReadRecord(r);
    for (TReadRecord* r : m_pending) DeleteReadRecord(r);
}

void TParallelReader::EnsureRunningLocked() {
    if (m_thread) return;
    m_stop = false;
    m_thread = StartWorker("ParallelReader", &TParallelReader::Body, this);
    RegisterFileThreads();
}

void TParallelReader::AddUser() {
    cvq::TMutexGuard lists(m_lists);
    ++m_users;
    EnsureRunningLocked();
}

void TParallelReader::ToFree(TReadRecord* record) {
    if (record->block.address) FreeCachedPageAlignedMemory(record->block);
    record->state = TReadRecord::kFree;
    record->file = nullptr;
    record->handle = nullptr;
    m_free.push_back(record);
}

void TParallelReader::RemoveUser(const TFile& file) {
    std::unique_lock access(m_access);
    cvq::TMutexGuard lists(m_lists);
    auto leave = [&](TReadRecord* r) CVQ_REQUIRES(m_lists) {
        if (r->file != &file) return false;
        ToFree(r);
        return true;
    };
    std::erase_if(m_pending, leave);
    std::erase_if(m_read, leave);
    if (--m_users > 0) return;
    m_users = 0;
    for (TReadRecord* r : m_pending) DeleteReadRecord(r);
    for (TReadRecord* r : m_read) DeleteReadRecord(r);
    for (TReadRecord* r : m_free) DeleteReadRecord(r);
    m_pending.clear();
    m_read.clear();
    m_free.clear();
}

bool TParallelReader::Take(const TFile& file, int32_t key, int64_t offset, void* buffer,
                           int32_t count, TMemoryBlock* block, bool readAhead, bool backward) {
    cvq::TMutexGuard lists(m_lists);
    auto covering = [&](const TReadRecord* r) { return Covers(*r, file, key, offset, count); };
    auto found = std::find_if(m_read.begin(), m_read.end(), covering);
    // The range being read right now is waited for rather than read a second time.
    while (found == m_read.end() && m_inFlight && m_inFlight->file == &file &&
           m_inFlight->key == key && m_inFlight->offset <= offset &&
           offset + count <= m_inFlight->offset + m_inFlight->count) {
        const TReadRecord* awaited = m_inFlight;
        m_served.wait(lists.Held(), [&]() CVQ_REQUIRES(m_lists) { return m_inFlight != awaited; });
        found = std::find_if(m_read.begin(), m_read.end(), covering);
    }
    if (found == m_read.end()) {
        // Read directly now; the same read queued would only be done twice.
        auto pending = std::find_if(m_pending.begin(), m_pending.end(), [&](TReadRecord* r) {
            return r->file == &file && r->offset == offset;
        });
        if (pending != m_pending.end()) {
            ToFree(*pending);
            m_pending.erase(pending);
        }
        return false;
    }
    TReadRecord* r = *found;
    bool whole = r->offset == offset && r->count == count;
    // A pinned record stays: its block cannot go to the caller.
    if (whole && !r->pinned && block && block->address && block->size == r->block.size)
        std::swap(*block, r->block);
    else
        std::memcpy(buffer, static_cast<char*>(r->block.address) + (offset - r->offset),
                    static_cast<size_t>(count));
    if (r->pinned) {
        r->expiry = pf::TickCount() + r->timeToLive;
        return true;
    }
    m_read.erase(found);
    int64_t next = backward ? offset - count : offset + count;
    if (readAhead && whole && count % static_cast<int32_t>(pf::PageSize()) == 0 && next >= 0) {
        r->offset = next;
        r->state = TReadRecord::kRequested;
        m_pending.push_back(r);
        EnsureRunningLocked();
        m_work.notify_one();
    } else {
        ToFree(r);
    }
    return true;
}

TReadRecord* TParallelReader::RecordForRequest() {
    uint32_t now = pf::TickCount();
    auto expired = std::find_if(m_read.begin(), m_read.end(),
                                [&](TReadRecord* r) { return TickReached(now, r->expiry); });
    if (expired == m_read.end() && m_read.size() >= kMaxReadRecords) expired = m_read.begin();
    if (expired != m_read.end()) {
        TReadRecord* r = *expired;
        m_read.erase(expired);
        return r;
    }
    if (!m_free.empty()) {
        TReadRecord* r = m_free.back();
        m_free.pop_back();
        return r;
    }
    return NewReadRecord();
}

void TParallelReader::Request(const TFile& file, int32_t key, int64_t offset, int32_t count) {
    if (offset < 0 || count <= 0) return;
    cvq::TMutexGuard lists(m_lists);
    for (TReadRecord* r : m_pending)
        if (r->file == &file && r->key == key && r->offset == offset) return;
    TReadRecord* r = RecordForRequest();
    r->file = &file;
    r->handle = file.GetHandle();
    r->wholePages = false;
    r->key = key;
    r->offset = offset;
    r->count = count;
    r->pinned = false;
    r->timeToLive = 2000;
    r->state = TReadRecord::kRequested;
    m_pending.push_back(r);
    EnsureRunningLocked();
    m_work.notify_one();
}

void TParallelReader::StoreCopy(const TFile& file, int32_t key, int64_t offset, const void* data,
                                int32_t count) {
    TMemoryBlock copy = AllocCachedPageAlignedMemory(static_cast<size_t>(count), 0);
    if (!copy.address) return;  // a copy is a courtesy; the read itself succeeded
    std::memcpy(copy.address, data, static_cast<size_t>(count));
    cvq::TMutexGuard lists(m_lists);
    TReadRecord* r = RecordForRequest();
    if (r->block.address) FreeCachedPageAlignedMemory(r->block);
    r->block = copy;
    r->file = &file;
    r->handle = file.GetHandle();
    r->key = key;
    r->offset = offset;
    r->count = count;
    r->pinned = true;
    r->timeToLive = 2000;
    r->expiry = pf::TickCount() + r->timeToLive;
    r->state = TReadRecord::kRead;
    m_read.push_back(r);
}

bool TParallelReader::Suggest(const TFile& file, int32_t key, int32_t* offset, int32_t* count) {
    cvq::TMutexGuard lists(m_lists);
    for (TReadRecord* r : m_read) {
        if (!Covers(*r, file, key, r->offset, r->count) || r->offset > *offset ||
            int64_t{*offset} + *count > r->offset + r->count)
            continue;
        *offset = static_cast<int32_t>(r->offset);
        *count = r->count;
        r->expiry += 1000;
        return true;
    }
    return false;
}

void TParallelReader::Flush(int32_t key) {
    std::unique_lock access(m_access);
    cvq::TMutexGuard lists(m_lists);
    auto leave = [&](TReadRecord* r) CVQ_REQUIRES(m_lists) {
        if (r->key != key) return false;
        ToFree(r);
        return true;
    };
    std::erase_if(m_pending, leave);
    std::erase_if(m_read, leave);
}

bool TParallelReader::ServeOne() {
    std::shared_lock access(m_access);
    TReadRecord* r = nullptr;
    {
        cvq::TMutexGuard lists(m_lists);
        if (m_pending.empty()) return false;
        r = m_pending.front();
        m_pending.pop_front();
        m_inFlight = r;
    }
    // The access lock keeps the file open while its record is out of every list.
    if (r->block.address && r->block.size < static_cast<size_t>(r->count))
        FreeCachedPageAlignedMemory(r->block);
    if (!r->block.address)
        r->block = AllocCachedPageAlignedMemory(static_cast<size_t>(r->count), 0);
    size_t done = 0;
    DWORD error = 0;
    bool ok = r->block.address &&
              pf::ReadFileAt(r->handle, r->block.address, static_cast<size_t>(r->count),
                             static_cast<uint64_t>(r->offset), done, error);
    cvq::TMutexGuard lists(m_lists);
    m_inFlight = nullptr;
    m_served.notify_all();
    if (!ok || done == 0) {
        ToFree(r);
        return true;
    }
    r->count = static_cast<int32_t>(done);
    r->state = TReadRecord::kRead;
    r->expiry = pf::TickCount() + r->timeToLive;
    m_read.push_back(r);
    return true;
}

void TParallelReader::Body(void* self) {
    static_cast<TParallelReader*>(self)->Run();
}

void TParallelReader::Run() {
    for (;;) {
        {
            cvq::TMutexGuard lists(m_lists);
            m_work.wait(lists.Held(),
                        [&]() CVQ_REQUIRES(m_lists) { return m_stop || !m_pending.empty(); });
            if (m_pending.empty()) return;
        }
        ServeOne();
    }
}

int32_t TParallelReader::GetOutstandingRequests() {
    cvq::TMutexGuard lists(m_lists);
    return static_cast<int32_t>(m_pending.size());
}

void TParallelReader::Stop() {
    TThread* thread = nullptr;
    int32_t users = 0;
    {
        cvq::TMutexGuard lists(m_lists);
        m_stop = true;
        thread = m_thread;
        m_thread = nullptr;
        users = m_users;
        m_work.notify_all();
    }
    delete thread;  // waits for it; it finishes what is queued first
    if (thread && users > 0) {
        // The original waited for such files for ever; the library's end must not hang.
        std::string line = "ParallelReader stopped with " + std::to_string(users) +
                           " file(s) still open with the read cache";
        TraceLine(line.c_str());
    }
}

// Writer

TParallelWriter& TParallelWriter::Instance() {
    static TParallelWriter writer;
    return writer;
}

TParallelWriter::~TParallelWriter() {
    Stop();
}

void TParallelWriter::EnsureRunningLocked() {
    if (m_thread) return;
    m_stop = false;
    m_thread = StartWorker("ParallelWriter", &TParallelWriter::Body, this);
    RegisterFileThreads();
}

void TParallelWriter::EnsureRunning() {
    cvq::TMutexGuard lock(m_lock);
    EnsureRunningLocked();
}

bool TParallelWriter::Queue(pf::FileHandle* handle, TWriteBehind& state, TMemoryBlock& block,
                            size_t bytes, int64_t offset) {
    cvq::TMutexGuard lock(m_lock);
    m_room.wait(lock.Held(), [&]() CVQ_REQUIRES(m_lock) {
        return m_queue.size() < kMaxQueued || state.pending < 0;
    });
    if (state.pending < 0) {
        FreeCachedPageAlignedMemory(block);
        return false;
    }
    m_queue.push_back(TRequest{handle, &state, block, bytes, offset});
    block = TMemoryBlock{};
    ++state.pending;
    EnsureRunningLocked();
    if (!m_thread) {
        // No thread to write it: the owner would wait for ever.
        FreeCachedPageAlignedMemory(m_queue.back().block);
        m_queue.pop_back();
        state.pending = -1;
        state.error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    m_work.notify_one();
    return true;
}

bool TParallelWriter::WaitIdle(TWriteBehind& state, uint32_t& error) {
    cvq::TMutexGuard lock(m_lock);
    m_done.wait(lock.Held(), [&] { return state.pending <= 0; });
    error = state.error;
    return state.pending == 0;
}

int32_t TParallelWriter::Pending(TWriteBehind& state) {
    cvq::TMutexGuard lock(m_lock);
    return state.pending;
}

void TParallelWriter::Body(void* self) {
    static_cast<TParallelWriter*>(self)->Run();
}

void TParallelWriter::Run() {
    cvq::TMutexGuard lock(m_lock);
    for (;;) {
        m_work.wait(lock.Held(), [&]() CVQ_REQUIRES(m_lock) { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return;
        TRequest request = m_queue.front();
        m_queue.pop_front();
        m_busy = true;
        // A full queue lets its writers go on once it is half empty, not at every block:
        // waking them for one block each would switch threads per 64 KB.
        if (m_queue.size() <= kMaxQueued / 2) m_room.notify_all();
        lock.Unlock();
        size_t done = 0;
        DWORD error = 0;
        bool ok = pf::WriteFileAt(request.handle, request.block.address, request.bytes,
                                  static_cast<uint64_t>(request.offset), done, error);
        FreeCachedPageAlignedMemory(request.block);
        lock.Lock();
        m_busy = false;
        TWriteBehind& state = *request.state;
        if (ok) {
            if (--state.pending == 0) m_done.notify_all();
            continue;
        }
        // The file's later blocks would leave a hole: drop them and keep the failure.
        std::erase_if(m_queue, [&](TRequest& other) {
            if (other.state != &state) return false;
            FreeCachedPageAlignedMemory(other.block);
            return true;
        });
        state.pending = -1;
        state.error = error;
        m_done.notify_all();
        m_room.notify_all();
    }
}

int32_t TParallelWriter::GetOutstandingRequests() {
    cvq::TMutexGuard lock(m_lock);
    return static_cast<int32_t>(m_queue.size()) + (m_busy ? 1 : 0);
}

void TParallelWriter::Stop() {
    TThread* thread = nullptr;
    {
        cvq::TMutexGuard lock(m_lock);
        m_stop = true;
        thread = m_thread;
        m_thread = nullptr;
        m_work.notify_all();
    }
    delete thread;
}

}  // namespace cvq::detail
