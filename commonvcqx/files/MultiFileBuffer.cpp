// TMultiFileBuffer: the shared pool of buffers, the channels' windows over it and the
// process-wide cache of released pool shapes.
#include <commonvcqx/files/MultiFileBuffer.h>

#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/files/BufferedFile.h>
#include <commonvcqx/platform/internal/Threads.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <vector>

struct TMultiFileBuffer::TPool {
    std::atomic<int32_t> refs{1};
    int32_t numChannels = 0;
    int32_t numBuffers = 0;
    std::vector<TChannel> channels;
    std::vector<TBuffer> buffers;
    std::vector<int32_t> order;  // most recently used first
    std::vector<TBufferedFile*> files;
    int32_t inUse = 0;
};

namespace {

constexpr size_t kMaxCachedShapes = 10;

}  // namespace

struct TMultiFileBuffer::TShapeCache {
    ~TShapeCache() {
        for (TPool* pool : pools) delete pool;
    }
    cvq::TMutex lock;
    std::vector<TPool*> pools CVQ_GUARDED_BY(lock);
};

TMultiFileBuffer::TShapeCache& TMultiFileBuffer::Shapes() {
    static TShapeCache cache;
    return cache;
}

TMultiFileBuffer::TMultiFileBuffer(EMode mode, int32_t numChannels, int32_t numBuffers,
                                   TFile::ECacheMode cacheMode, int32_t processId,
                                   int32_t cacheRemanence)
    : m_numChannels(std::max(numChannels, 0)),
      m_mode(mode),
      m_cacheMode(cacheMode),
      m_processId(processId),
      m_cacheRemanence(cacheRemanence) {
    int32_t buffers = mode != kReadMode ? m_numChannels : std::max(numBuffers, 2 * m_numChannels);
    {
        TShapeCache& cache = Shapes();
        cvq::TMutexGuard guard(cache.lock);
        for (auto it = cache.pools.begin(); it != cache.pools.end(); ++it) {
            TPool* pool = *it;
            if (pool->numChannels == m_numChannels && pool->numBuffers == buffers) {
                m_pool = pool;
                cache.pools.erase(it);
                break;
            }
        }
    }
    if (!m_pool) {
        m_pool = new TPool;
        m_pool->numChannels = m_numChannels;
        m_pool->numBuffers = buffers;
        m_pool->channels.resize(static_cast<size_t>(m_numChannels));
        m_pool->buffers.resize(static_cast<size_t>(buffers));
        m_pool->order.resize(static_cast<size_t>(buffers));
        m_pool->files.assign(static_cast<size_t>(m_numChannels), nullptr);
    }
    m_pool->refs.store(1);
    m_reuseLimit = WriteMode() ? 1 : buffers;
    std::iota(m_pool->order.begin(), m_pool->order.end(), 0);
    m_pool->inUse = 0;
}

TMultiFileBuffer::TMultiFileBuffer(const TMultiFileBuffer& other)
    : m_pool(other.m_pool),
      m_pass(other.m_pass),
      m_reuseLimit(other.m_reuseLimit),
      m_writeCount(other.m_writeCount),
      m_numChannels(other.m_numChannels),
      m_commitStatus(other.m_commitStatus),
      m_somethingRead(other.m_somethingRead),
      m_mode(other.m_mode),
      m_cacheMode(other.m_cacheMode),
      m_processId(other.m_processId),
      m_cacheRemanence(other.m_cacheRemanence) {
    m_pool->refs.fetch_add(1);
}

TMultiFileBuffer& TMultiFileBuffer::operator=(const TMultiFileBuffer& other) {
    if (this == &other || m_pool == other.m_pool) return *this;
    other.m_pool->refs.fetch_add(1);
    Detach();
    m_pool = other.m_pool;
    m_pass = other.m_pass;
    m_reuseLimit = other.m_reuseLimit;
    m_writeCount = other.m_writeCount;
    m_numChannels = other.m_numChannels;
    m_commitStatus = other.m_commitStatus;
    m_somethingRead = other.m_somethingRead;
    m_mode = other.m_mode;
    m_cacheMode = other.m_cacheMode;
    m_processId = other.m_processId;
    m_cacheRemanence = other.m_cacheRemanence;
    return *this;
}

TMultiFileBuffer::~TMultiFileBuffer() {
    Detach();
}

void TMultiFileBuffer::Detach() {
    TPool* pool = m_pool;
    if (!pool || pool->refs.fetch_sub(1) != 1) return;
    ReleaseAll();
    for (TBufferedFile*& file : pool->files) {
        delete file;
        file = nullptr;
    }
    if (m_somethingRead && m_cacheMode == TFile::kReadAhead) TFile::FlushReadCache(m_processId);
    m_pool = nullptr;
    TShapeCache& cache = Shapes();
    cvq::TMutexGuard guard(cache.lock);
    if (cache.pools.size() < kMaxCachedShapes)
        cache.pools.push_back(pool);
    else
        delete pool;
}

int32_t TMultiFileBuffer::GetCachedShapeCount() {
    TShapeCache& cache = Shapes();
    cvq::TMutexGuard guard(cache.lock);
    return static_cast<int32_t>(cache.pools.size());
}

void TMultiFileBuffer::End() {
    TShapeCache& cache = Shapes();
    cvq::TMutexGuard guard(cache.lock);
    for (TPool* pool : cache.pools) delete pool;
    cache.pools.clear();
}

int32_t TMultiFileBuffer::GetNumBuffers() const noexcept {
    return m_pool->numBuffers;
}

void TMultiFileBuffer::SetReuseLimit(int32_t limit) noexcept {
    m_reuseLimit = std::clamp(limit, 1, std::max(m_pool->numBuffers, 1));
}

bool TMultiFileBuffer::ValidChannel(int channel) const noexcept {
    return channel >= 0 && channel < m_numChannels;
}

TBufferedFile* TMultiFileBuffer::GetCurrentFile(int channel) const {
    return ValidChannel(channel) ? m_pool->files[static_cast<size_t>(channel)] : nullptr;
}

void TMultiFileBuffer::MoveToFront(int32_t index) {
    auto& order = m_pool->order;
    auto it = std::find(order.begin(), order.end(), index);
    std::rotate(order.begin(), it, it + 1);
}

void TMultiFileBuffer::ClearWindow(int channel) {
    TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    if (c.buffer >= 0) --m_pool->buffers[static_cast<size_t>(c.buffer)].usage;
    c = TChannel{};
}

void TMultiFileBuffer::SetWindow(int channel, int32_t index) {
    TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    if (c.buffer != index) {
        ClearWindow(channel);
        ++m_pool->buffers[static_cast<size_t>(index)].usage;
    }
    TBuffer& b = m_pool->buffers[static_cast<size_t>(index)];
    int32_t margin = m_pool->files[static_cast<size_t>(channel)]->GetAlignmentUnit();
    c.buffer = index;
    c.start = b.data;
    c.end = b.data + b.size;
    c.safeStart = c.start + std::min(margin, b.size);
    c.safeEnd = c.end - std::min(margin, b.size);
    c.fileOffset = b.offset;
}

void TMultiFileBuffer::ReleaseBuffer(TBuffer& buffer) {
    if (buffer.owner) buffer.owner->ReleaseData(buffer);
    if (buffer.block.address) FreeCachedPageAlignedMemory(buffer.block);
    int32_t usage = buffer.usage;
    buffer = TBuffer{};
    buffer.usage = usage;
}

void TMultiFileBuffer::ReleaseAll() {
    for (int c = 0; c < m_numChannels; ++c) ClearWindow(c);
    for (TBuffer& b : m_pool->buffers) ReleaseBuffer(b);
    std::iota(m_pool->order.begin(), m_pool->order.end(), 0);
    m_pool->inUse = 0;
}

void TMultiFileBuffer::Reset() {
    ReleaseAll();
    for (TBufferedFile*& file : m_pool->files) {
        delete file;
        file = nullptr;
    }
}

void TMultiFileBuffer::AdoptCurrentFile(TBufferedFile* file, int channel) {
    if (!ValidChannel(channel)) {
        delete file;
        return;
    }
    TBufferedFile*& slot = m_pool->files[static_cast<size_t>(channel)];
    if (slot == file) return;
    if (slot) {
        // Buffers naming the old file would outlive it.
        for (int c = 0; c < m_numChannels; ++c) {
            TChannel& ch = m_pool->channels[static_cast<size_t>(c)];
            if (ch.buffer >= 0 && m_pool->buffers[static_cast<size_t>(ch.buffer)].owner == slot)
                ClearWindow(c);
        }
        for (TBuffer& b : m_pool->buffers)
            if (b.owner == slot) ReleaseBuffer(b);
        delete slot;
    }
    slot = file;
    if (!file) return;
    file->SetOwner(this, channel);
    if (WriteMode())
        file->AdjustWriteBufferSize();
    else
        file->RoundWriteBufferSizeToAlignment();
}

void TMultiFileBuffer::StopUsingFile(const TFileObject& file) {
    for (int c = 0; c < m_numChannels; ++c) {
        TChannel& ch = m_pool->channels[static_cast<size_t>(c)];
        if (ch.buffer < 0) continue;
        TBufferedFile* owner = m_pool->buffers[static_cast<size_t>(ch.buffer)].owner;
        if (owner && &owner->GetFileObject() == &file) ClearWindow(c);
    }
    for (TBuffer& b : m_pool->buffers)
        if (b.owner && &b.owner->GetFileObject() == &file) ReleaseBuffer(b);
}

void TMultiFileBuffer::ValidateWriting(int32_t offset, int32_t size, uint32_t flags, char reopen,
                                       int channel, char stop) {
    TBufferedFile* file = GetCurrentFile(channel);
    if (!file) return;
    file->SetOwner(this, channel);
    file->ValidateWriting(offset, size, flags, reopen);
    if (stop) StopUsingFile(file->GetFileObject());
}

TMultiFileBuffer::TBuffer* TMultiFileBuffer::FindWriteBuffer(const TBufferedFile& file) {
    for (int32_t index : m_pool->order) {
        TBuffer& b = m_pool->buffers[static_cast<size_t>(index)];
        if (b.owner == &file && b.data) return &b;
    }
    return nullptr;
}

int TMultiFileBuffer::VictimRank(const TBuffer& buffer) const noexcept {
    if (!buffer.owner) return 0;  // holds nothing
    const int64_t age = int64_t{m_pass} - buffer.lastPass;
    return age >= 2 ? 0 : age == 0 ? 1 : 2;
}

int32_t TMultiFileBuffer::TakeBuffer(int channel, TBufferedFile& file) {
    // The channel's own buffer holds data not yet written: it is the one to go on with.
    if (WriteMode()) ClearWindow(channel);
    auto& buffers = m_pool->buffers;
    auto& order = m_pool->order;
    // Free buffers are given up least recently used first within the lowest rank
    // (VictimRank). A file holding its share of the pool (the reuse limit) goes on in
    // one of its own, leaving the other channels' data where it is.
    int32_t held = 0, own = -1, any = -1;
    int ownRank = 3, anyRank = 3;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (*it >= m_pool->inUse) continue;
        const TBuffer& b = buffers[static_cast<size_t>(*it)];
        if (b.owner == &file) ++held;
        if (b.usage > 0) continue;
        const int rank = VictimRank(b);
        if (rank < anyRank) {
            anyRank = rank;
            any = *it;
        }
        if (b.owner == &file && rank < ownRank) {
            ownRank = rank;
            own = *it;
        }
    }
    int32_t chosen = any;
    if (held >= m_reuseLimit && own >= 0) {
        chosen = own;
    } else if (m_pool->inUse < m_pool->numBuffers) {
        chosen = m_pool->inUse++;
    }
    if (chosen >= 0) MoveToFront(chosen);
    return chosen;
}

void* TMultiFileBuffer::PointerFor(int32_t offset, int channel, char forward) {
    TBufferedFile* file = GetCurrentFile(channel);
    if (!file || offset < 0) return nullptr;
    file->SetOwner(this, channel);  // copies share the file: it works for the caller
    if (m_processId == kThreadProcessId)
        m_processId = static_cast<int32_t>(static_cast<uint32_t>(kThreadProcessId) +
                                           cvq::platform::CurrentThreadId());
    const int64_t unit = file->GetAlignmentUnit();
    const int64_t end = file->GetEnd();
    int64_t low = offset, high = offset;
    // Forward: a unit from the offset on; backward: a unit below it, and its own byte.
    if (forward) {
        high = std::min<int64_t>(offset + unit, std::max<int64_t>(end, offset));
    } else {
        low = std::max<int64_t>(file->GetStart(), offset - unit);
        high = std::min<int64_t>(offset + 1, std::max<int64_t>(end, offset));
    }
    auto& buffers = m_pool->buffers;
    int32_t found = -1;
    for (int32_t index : m_pool->order) {
        if (index >= m_pool->inUse) continue;
        TBuffer& b = buffers[static_cast<size_t>(index)];
        if (b.owner == file && b.offset <= low && high <= b.offset + b.size &&
            offset <= b.offset + b.size) {
            found = index;
            break;
        }
    }
    if (found >= 0) {
        MoveToFront(found);
        TBuffer& b = buffers[static_cast<size_t>(found)];
        if (b.pendingOffset >= 0) {
            if (!m_commitStatus) return nullptr;
            if (!file->CarryOutRequest(b) || b.offset > low || high > b.offset + b.size ||
                offset > b.offset + b.size) {
                ReleaseBuffer(b);
                return nullptr;
            }
        }
    } else {
        TChannel& current = m_pool->channels[static_cast<size_t>(channel)];
        TBuffer* previous = nullptr;
        if (current.buffer >= 0 && buffers[static_cast<size_t>(current.buffer)].owner == file)
            previous = &buffers[static_cast<size_t>(current.buffer)];
        found = TakeBuffer(channel, *file);
        if (found < 0) return nullptr;
        TBuffer& b = buffers[static_cast<size_t>(found)];
        b.lastPass = m_pass;  // also for a request only recorded in this pass
        if (WriteMode()) {
            bool reuse = b.owner == file;
            if (reuse) {
                file->FlushCurrentWriteBuffer(offset);
            } else if (b.owner) {
                ReleaseBuffer(b);
            }
            b.owner = file;
            file->OnWriteBufferRequest(offset, b, reuse ? 1 : 0);
        } else {
            if (previous == &b) previous = nullptr;
            if (b.owner) {
                // The memory stays for the next range: no new pages to fault in.
                TMemoryBlock keep = b.block;
                b.block = TMemoryBlock{};
                ReleaseBuffer(b);
                b.block = keep;
            }
            b.owner = file;
            bool filled = false;
            try {
                filled = file->OnDataRequest(offset, b, forward, previous);
            } catch (...) {
                ReleaseBuffer(b);
                throw;
            }
            if (!filled) {
                ReleaseBuffer(b);
                return nullptr;
            }
            if (b.pendingOffset >= 0) return nullptr;  // recorded for the commit
            if (b.offset > low || high > b.offset + b.size || offset > b.offset + b.size) {
                ReleaseBuffer(b);  // a window short of the offset's unit fails cleanly
                return nullptr;
            }
        }
    }
    TBuffer& b = buffers[static_cast<size_t>(found)];
    b.lastPass = m_pass;
    SetWindow(channel, found);
    return b.data + (offset - b.offset);
}

void TMultiFileBuffer::ValidateVirtualPointer(void** p, int channel) {
    if (!ValidChannel(channel)) return;
    TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    TBufferedFile* file = GetCurrentFile(channel);
    if (c.buffer < 0 || !file) return;
    char* at = static_cast<char*>(*p);
    if (at < c.safeEnd) return;
    int64_t offset = c.fileOffset + (at - c.start);
    // A window reaching the file's end has nothing more to show.
    if (!WriteMode() && c.fileOffset + (c.end - c.start) >= file->GetEnd()) return;
    if (offset > INT32_MAX) return;
    void* moved = PointerFor(static_cast<int32_t>(offset), channel, 1);
    if (moved) *p = moved;
}

void TMultiFileBuffer::ValidateVirtualPointerBackward(void** p, int channel) {
    if (!ValidChannel(channel)) return;
    TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    TBufferedFile* file = GetCurrentFile(channel);
    if (c.buffer < 0 || !file) return;
    char* at = static_cast<char*>(*p);
    if (at >= c.safeStart) return;
    if (c.fileOffset <= file->GetStart()) return;
    int64_t offset = c.fileOffset + (at - c.start);
    if (offset < 0) return;
    void* moved = PointerFor(static_cast<int32_t>(offset), channel, 0);
    if (moved) *p = moved;
}

int32_t TMultiFileBuffer::VirtualPointerToFileOffset(const void* p, int channel) const {
    if (!ValidChannel(channel)) return -1;
    const TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    if (c.buffer < 0) return -1;
    return static_cast<int32_t>(c.fileOffset + (static_cast<const char*>(p) - c.start));
}

int32_t TMultiFileBuffer::GetAvailableBytesFromVirtualPointer(const void* p, int channel) const {
    if (!ValidChannel(channel)) return 0;
    const TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    return c.buffer < 0 ? 0 : static_cast<int32_t>(c.end - static_cast<const char*>(p));
}

int32_t TMultiFileBuffer::GetAvailableBytesBeforeVirtualPointer(const void* p, int channel) const {
    if (!ValidChannel(channel)) return 0;
    const TChannel& c = m_pool->channels[static_cast<size_t>(channel)];
    return c.buffer < 0 ? 0 : static_cast<int32_t>(static_cast<const char*>(p) - c.start);
}

void* TMultiFileBuffer::GetStartOfCurrentBuffer(int channel) const {
    return ValidChannel(channel) ? m_pool->channels[static_cast<size_t>(channel)].start : nullptr;
}

void* TMultiFileBuffer::GetEndOfCurrentBuffer(int channel) const {
    return ValidChannel(channel) ? m_pool->channels[static_cast<size_t>(channel)].end : nullptr;
}
