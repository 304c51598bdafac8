// TFile's read cache and write-behind: reads served by the parallel reader's records,
// the 0x100000 chunk, and 64 KB blocks collected for the parallel writer.
#include <commonvcqx/files/File.h>

#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/files/internal/FileThreads.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/Threads.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace pf = cvq::platform;

using namespace cvq::open_flags;
using cvq::detail::IsDiskFull;
using cvq::detail::ThrowFileError;
using cvq::detail::ThrowNotEnoughDiskSpace;
using cvq::detail::TParallelReader;
using cvq::detail::TParallelWriter;
using cvq::detail::TransfersWholePages;
using cvq::detail::WholePages;

namespace {

constexpr int kBlockAttempts = 11;
constexpr DWORD kBlockRetryMilliseconds = 500;

// A block for write-behind; memory short for a moment is waited out.
TMemoryBlock AllocWriteBlock() {
    for (int attempt = 1;; ++attempt) {
        TMemoryBlock block = AllocCachedPageAlignedMemory(TFile::kCacheBlockSize, 0);
        if (block.address) return block;
        if (attempt == kBlockAttempts) ThrowFileError(18003, ERROR_NOT_ENOUGH_MEMORY);
        pf::SleepMilliseconds(kBlockRetryMilliseconds);
    }
}

}  // namespace

void TFile::ReleaseCacheObjects() {
    if (m_writeBehind) {
        if (m_writeBehind->block.address) FreeCachedPageAlignedMemory(m_writeBehind->block);
        delete m_writeBehind;
        m_writeBehind = nullptr;
    }
    cvq::detail::DeleteReadRecord(m_readCacheRecord);
    m_readCacheRecord = nullptr;
}

void TFile::SyncPosition() {
    if (!m_positionMoved || !m_handle) return;
    m_positionMoved = false;
    DWORD error = 0;
    pf::SeekFile(m_handle, m_position, kFromStart, error);
}

void TFile::SettleWriteBehind() {
    if (!m_writeBehind) return;
    if (m_writeBehind->fill > 0 || TParallelWriter::Instance().Pending(*m_writeBehind) != 0)
        WaitEndOfCacheWriting();
}

void TFile::ThrowQueuedWriteError(uint32_t code) {
    if (IsDiskFull(code)) ThrowNotEnoughDiskSpace(m_name.c_str(), code);
    ThrowFileError(18003, code);
}

char TFile::DirectReadAt(int64_t offset, void* buffer, int32_t count, char throwOnError,
                         int32_t* read) {
    size_t wanted = static_cast<size_t>(count);
    if (TransfersWholePages(m_flags)) wanted = WholePages(wanted);
    size_t done = 0;
    DWORD error = 0;
    if (!pf::ReadFileAt(m_handle, buffer, wanted, static_cast<uint64_t>(offset), done, error)) {
        if (throwOnError) ThrowFileError(18002, m_name.c_str(), error);
        return 0;
    }
    if (read) *read = static_cast<int32_t>(done);
    return 1;
}

char TFile::ReadLowLevel(void* buffer, int32_t count, char throwOnError, int32_t* read,
                         ECacheMode mode, int32_t key, TMemoryBlock* block, char backward) {
    bool cached = (m_flags & kReadCache) && mode != kNoCache && !(m_flags & kMultimedia);
    if (!cached || !m_handle || count < 0) return ReadData(buffer, count, throwOnError, read);
    if (read) *read = 0;
    if (count == 0) return 1;
    SettleWriteBehind();
    int64_t offset = m_position;
    if (offset + count > INT32_MAX) {
        if (throwOnError) ThrowFileError(18002, m_name.c_str(), ERROR_INVALID_PARAMETER);
        return 0;
    }
    TParallelReader& reader = TParallelReader::Instance();
    int32_t done = 0;
    if (reader.Take(*this, key, offset, buffer, count, block, mode == kReadAhead, backward)) {
        done = count;
    } else {
        if (!DirectReadAt(offset, buffer, count, throwOnError, &done)) return 0;
        if (mode == kReadAhead && done >= count && count > 0)
            reader.Request(*this, key, backward ? offset - done : offset + done, done);
        else if (mode == kCacheCopy && done > 0)
            reader.StoreCopy(*this, key, offset, buffer, done);
    }
    m_position = static_cast<int32_t>(std::min<int64_t>(offset + done, INT32_MAX));
    m_positionMoved = true;
    if (read) *read = done;
    return 1;
}

char TFile::ReadAligned(int32_t offset, TMemoryBlock& block, int32_t count, char throwOnError,
                        int32_t* read, ECacheMode mode, int32_t key, char backward) {
    if (read) *read = 0;
    if (offset < 0 || count < 0 || !m_handle) {
        if (throwOnError)
            ThrowFileError(18002, m_name.c_str(),
                           m_handle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    size_t needed = TransfersWholePages(m_flags) ? WholePages(static_cast<size_t>(count))
                                                 : static_cast<size_t>(count);
    if (!block.address || block.size < needed) {
        if (block.address) FreeCachedPageAlignedMemory(block);
        block = AllocCachedPageAlignedMemory(needed, 1);
        if (!block.address) {
            if (throwOnError) ThrowFileError(18002, m_name.c_str(), ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
    }
    TAutoCriticalSection guard(m_lock);
    SettleWriteBehind();
    m_position = offset;
    m_positionMoved = true;
    return ReadLowLevel(block.address, count, throwOnError, read, mode, key, &block, backward);
}

char TFile::ReadCache(int32_t offset, void* buffer, int32_t count, char throwOnError, int32_t* read,
                      int32_t key) {
    if (read) *read = 0;
    if (!m_readCacheRecord || offset < 0 || count < 0) {
        if (!m_handle || offset < 0 || count < 0) {
            if (throwOnError) ThrowFileError(18002, m_name.c_str(), ERROR_INVALID_PARAMETER);
            return 0;
        }
        SettleWriteBehind();
        return DirectReadAt(offset, buffer, count, throwOnError, read);
    }
    cvq::detail::TReadRecord& chunk = *m_readCacheRecord;
    int64_t at = offset;
    int64_t end = int64_t{offset} + count;
    char* out = static_cast<char*>(buffer);
    int32_t copied = 0;
    int32_t savedPosition = m_position;
    bool moved = m_positionMoved;
    bool failed = false;
    while (at < end) {
        if (!chunk.block.address || at < chunk.offset || at >= chunk.offset + chunk.count) {
            int64_t start = at - at % static_cast<int64_t>(pf::PageSize());
            int32_t got = 0;
            chunk.count = 0;
            if (start > INT32_MAX ||
                !ReadAligned(static_cast<int32_t>(start), chunk.block, kCacheBlockSize,
                             throwOnError, &got, kReadAhead, key)) {
                failed = true;
                break;
            }
            chunk.offset = start;
            chunk.count = std::min(got, kCacheBlockSize);
            if (at >= chunk.offset + chunk.count) break;  // the end of the file
        }
        int64_t n = std::min(end, chunk.offset + chunk.count) - at;
        std::memcpy(out + copied, static_cast<char*>(chunk.block.address) + (at - chunk.offset),
                    static_cast<size_t>(n));
        copied += static_cast<int32_t>(n);
        at += n;
        if (chunk.count < kCacheBlockSize) break;
    }
    // The chunk is the file's own; the owner's position stays where it was.
    m_position = savedPosition;
    m_positionMoved = moved || m_positionMoved;
    if (read) *read = copied;
    return failed ? 0 : 1;
}

char TFile::SuggestReadFromCacheState(int32_t* offset, int32_t* count, int32_t key) {
    return TParallelReader::Instance().Suggest(*this, key, offset, count) ? 1 : 0;
}

void TFile::FlushReadCache(int32_t key) {
    TParallelReader::Instance().Flush(key);
}

char TFile::ParallelReaderReadNext() {
    return TParallelReader::Instance().ServeOne() ? 1 : 0;
}

void TFile::QueueWriteBlock() {
    cvq::detail::TWriteBehind& state = *m_writeBehind;
    if (state.fill == 0) return;
    size_t bytes = static_cast<size_t>(state.fill);
    if (TransfersWholePages(m_flags)) {
        size_t whole = WholePages(bytes);
        std::memset(static_cast<char*>(state.block.address) + bytes, 0, whole - bytes);
        bytes = whole;
    }
    int64_t offset = state.offset;
    state.fill = 0;
    if (m_flags & kWriteBehind) {
        if (!TParallelWriter::Instance().Queue(m_handle, state, state.block, bytes, offset)) {
            uint32_t error = 0;
            TParallelWriter::Instance().WaitIdle(state, error);
            ThrowQueuedWriteError(error);
        }
        return;
    }
    size_t done = 0;
    DWORD error = 0;
    if (!pf::WriteFileAt(m_handle, state.block.address, bytes, static_cast<uint64_t>(offset), done,
                         error))
        ThrowQueuedWriteError(error);
}

void TFile::WriteInCache(const void* data, int32_t count) {
    if (!m_handle) ThrowFileError(18003, ERROR_INVALID_HANDLE);
    if (!m_writeBehind) m_writeBehind = new cvq::detail::TWriteBehind;
    cvq::detail::TWriteBehind& state = *m_writeBehind;
    if ((m_flags & kWriteBehind) && TParallelWriter::Instance().Pending(state) < 0) {
        state.fill = 0;  // the file already lacks earlier data: nothing more goes after it
        uint32_t error = 0;
        TParallelWriter::Instance().WaitIdle(state, error);
        ThrowQueuedWriteError(error);
    }
    if (!data || count <= 0) {
        QueueWriteBlock();
        return;
    }
    if (int64_t{m_position} + count > INT32_MAX) ThrowFileError(18003, ERROR_INVALID_PARAMETER);
    // Bytes for another place than the block's end start a block of their own.
    if (state.fill > 0 && state.offset + state.fill != m_position) QueueWriteBlock();
    const char* in = static_cast<const char*>(data);
    while (count > 0) {
        if (!state.block.address) state.block = AllocWriteBlock();
        if (state.fill == 0) state.offset = m_position;
        int32_t n = std::min(count, kCacheBlockSize - state.fill);
        std::memcpy(static_cast<char*>(state.block.address) + state.fill, in,
                    static_cast<size_t>(n));
        state.fill += n;
        in += n;
        count -= n;
        m_position += n;
        m_positionMoved = true;
        if ((m_flags & kKeepWrittenSize) && m_position > m_writtenSize) m_writtenSize = m_position;
        if (state.fill == kCacheBlockSize) QueueWriteBlock();
    }
}

void TFile::WriteEx(int32_t offset, TMemoryBlock& block, int32_t count) {
    if (!m_handle || offset < 0 || count < 0 || static_cast<size_t>(count) > block.size) {
        FreeCachedPageAlignedMemory(block);
        ThrowFileError(18003, m_handle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    if (!m_writeBehind) m_writeBehind = new cvq::detail::TWriteBehind;
    if (count == 0) {
        FreeCachedPageAlignedMemory(block);
        return;
    }
    size_t bytes = static_cast<size_t>(count);
    if (TransfersWholePages(m_flags)) {
        size_t whole = WholePages(bytes);
        std::memset(static_cast<char*>(block.address) + bytes, 0, whole - bytes);
        bytes = whole;
    }
    if ((m_flags & kKeepWrittenSize) && int64_t{offset} + count > m_writtenSize)
        m_writtenSize = static_cast<int32_t>(std::min<int64_t>(int64_t{offset} + count, INT32_MAX));
    if (m_flags & kWriteBehind) {
        if (!TParallelWriter::Instance().Queue(m_handle, *m_writeBehind, block, bytes, offset)) {
            uint32_t error = 0;
            TParallelWriter::Instance().WaitIdle(*m_writeBehind, error);
            ThrowQueuedWriteError(error);
        }
        return;
    }
    size_t done = 0;
    DWORD error = 0;
    bool ok =
        pf::WriteFileAt(m_handle, block.address, bytes, static_cast<uint64_t>(offset), done, error);
    FreeCachedPageAlignedMemory(block);
    if (!ok) ThrowQueuedWriteError(error);
}

void TFile::WaitEndOfCacheWriting() {
    if (!m_writeBehind) return;
    if (m_handle && m_writeBehind->fill > 0) QueueWriteBlock();
    if (!(m_flags & kWriteBehind)) return;
    uint32_t error = 0;
    if (!TParallelWriter::Instance().WaitIdle(*m_writeBehind, error)) ThrowQueuedWriteError(error);
}
