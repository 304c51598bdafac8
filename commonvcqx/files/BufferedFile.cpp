// The channel files of TMultiFileBuffer: page-aligned transfers through TFile and
// windows of a memory-mapped file.
#include <commonvcqx/files/BufferedFile.h>

#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/files/internal/FileThreads.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace pf = cvq::platform;
using cvq::detail::ThrowFileError;

namespace {

constexpr int64_t kBlock = TClassicBufferedFile::kWriteBlockSize;

int64_t Page() {
    return static_cast<int64_t>(pf::PageSize());
}

int64_t FloorTo(int64_t value, int64_t unit) {
    return value - value % unit;
}

int64_t CeilTo(int64_t value, int64_t unit) {
    return (value + unit - 1) / unit * unit;
}

int32_t Narrow(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX));
}

void IdentityOf(const TFile* file, uint64_t& device, uint64_t& inode) {
    device = inode = 0;
    DWORD error = 0;
    if (file && file->GetHandle()) pf::GetFileIdentity(file->GetHandle(), device, inode, error);
}

}  // namespace

// Base

TBufferedFile::TBufferedFile(const TFileObject& file, int32_t start, int32_t length,
                             int32_t itemSize, int32_t margin, int32_t readBufferSize,
                             int32_t writeBufferSize, char writeMode, int32_t registeredBufferSize)
    : m_file(&file),
      m_itemSize(itemSize),
      m_margin(margin),
      m_writeMode(writeMode),
      m_start(start),
      m_length(length),
      m_registeredLength(length),
      m_registeredBufferSize(registeredBufferSize) {
    int64_t unit = int64_t{itemSize} * margin;
    if (start < 0 || itemSize <= 0 || margin <= 0 || unit > (1 << 24))
        ThrowFileError(18002, "", ERROR_INVALID_PARAMETER);
    m_alignment = static_cast<int32_t>(unit);
    if (!writeMode && length <= 0) m_length = std::max(file.GetFileSize() - start, 0);
    int64_t read = readBufferSize;
    if (!writeMode) read = std::min<int64_t>(read, m_length);
    // Room for a whole alignment unit on either side of any position, from a page start.
    read = std::max({CeilTo(std::max<int64_t>(read, 1), Page()), 4 * Page(),
                     CeilTo(2 * unit, Page()) + Page()});
    m_readBufferSize = Narrow(read);
    m_writeBufferSize = std::min(writeBufferSize, m_readBufferSize);
}

TBufferedFile::~TBufferedFile() = default;

int64_t TBufferedFile::GetEnd() const noexcept {
    if (m_writeMode && m_length <= 0) return INT32_MAX;
    return int64_t{m_start} + std::max(m_length, 0);
}

bool TBufferedFile::IsSameFile(const TFileObject& file, int32_t start, int32_t length,
                               int32_t itemSize, int32_t margin, int32_t bufferSize,
                               char writeMode) const {
    if (start != m_start || length != m_registeredLength || itemSize != m_itemSize ||
        margin != m_margin || bufferSize != m_registeredBufferSize ||
        (writeMode != 0) != (m_writeMode != 0))
        return false;
    uint64_t device = 0, inode = 0;
    Identity(device, inode);
    uint64_t otherDevice = 0, otherInode = 0;
    if (auto* classic = dynamic_cast<const TFile*>(&file))
        IdentityOf(classic, otherDevice, otherInode);
    else if (auto* mapped = dynamic_cast<const TMemoryMappedFile*>(&file))
        IdentityOf(mapped->GetFile(), otherDevice, otherInode);
    return inode != 0 && device == otherDevice && inode == otherInode;
}

void TBufferedFile::RoundWriteBufferSizeToAlignment() {
    m_writeBufferSize = Narrow(CeilTo(std::max(m_writeBufferSize, 1), m_alignment));
}

// Classic

TClassicBufferedFile::TClassicBufferedFile(TFile& file, int32_t start, int32_t length,
                                           int32_t itemSize, int32_t margin, int32_t bufferSize,
                                           char writeMode)
    : TBufferedFile(
          file, start, length, itemSize, margin,
          bufferSize / static_cast<int32_t>(Page()) > 0 ? Narrow(FloorTo(bufferSize, Page()))
                                                        : Narrow(4 * Page()),
          bufferSize / static_cast<int32_t>(Page()) > 0 ? Narrow(FloorTo(bufferSize, Page()))
                                                        : Narrow(4 * Page()),
          writeMode, bufferSize),
      m_classicFile(&file) {}

TClassicBufferedFile* TClassicBufferedFile::Register(TMultiFileBuffer& buffer, int channel,
                                                     TFile& file, int32_t start, int32_t length,
                                                     int32_t itemSize, int32_t margin,
                                                     int32_t bufferSize, char writeMode) {
    auto* current = dynamic_cast<TClassicBufferedFile*>(buffer.GetCurrentFile(channel));
    if (current &&
        current->IsSameFile(file, start, length, itemSize, margin, bufferSize, writeMode)) {
        current->m_file = &file;  // the same file on disk, perhaps through another object
        current->m_classicFile = &file;
        return current;
    }
    auto* made =
        new TClassicBufferedFile(file, start, length, itemSize, margin, bufferSize, writeMode);
    buffer.AdoptCurrentFile(made, channel);
    return made;
}

void TClassicBufferedFile::Identity(uint64_t& device, uint64_t& inode) const {
    IdentityOf(m_classicFile, device, inode);
}

bool TClassicBufferedFile::OnDataRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                                         char forward, TMultiFileBuffer::TBuffer* previous) {
    const int64_t size = m_readBufferSize;
    const int64_t first = FloorTo(m_start, Page());
    const int64_t end = GetEnd();
    int64_t from = 0, to = 0;
    if (forward) {
        from = FloorTo(offset, Page());
        to = from + size;
    } else {
        to = CeilTo(int64_t{offset} + 1, Page());
        from = to - size;
    }
    if (from < first) {
        from = first;
        to = from + size;
    }
    if (to > end) {
        to = std::max<int64_t>(end, offset);
        from = std::max(first, FloorTo(std::max<int64_t>(to - size, 0), Page()));
    }
    if (forward && m_owner->GetLowLevelCacheMode() == TFile::kCacheCopy) {
        int32_t cachedOffset = offset, cachedCount = Narrow(10 * int64_t{m_alignment});
        if (m_classicFile->SuggestReadFromCacheState(&cachedOffset, &cachedCount,
                                                     m_owner->GetProcessId()) &&
            cachedOffset % Page() == 0 &&
            int64_t{cachedOffset} + cachedCount >= std::min<int64_t>(end, offset + m_alignment)) {
            from = cachedOffset;
            to = int64_t{cachedOffset} + cachedCount;
        }
    }
    if (to <= from) to = from + Page();  // an empty file still gets its window
    buffer.pendingBackward = forward ? 0 : 1;
    buffer.data = nullptr;
    const bool reusable = previous && previous->data && previous->owner == this &&
                          previous->pendingOffset < 0 && previous->offset % Page() == 0;
    const int64_t previousEnd = reusable ? previous->offset + previous->size : 0;
    // The bytes shared with the previous window are copied and only the rest is read.
    // Forward the read starts where that window ended, just where its read-ahead went.
    // Backward the window ends a fixed reach above the previous start, so every read has
    // the one length that the read-ahead below the previous read fetched.
    int64_t copyFrom = 0, copyTo = 0;
    if (reusable && forward && previousEnd % Page() == 0 && from >= previous->offset &&
        from < previousEnd && previousEnd < to) {
        copyFrom = from;
        copyTo = previousEnd;
    } else if (reusable && !forward) {
        const int64_t top =
            std::min(previous->offset + CeilTo(m_alignment, Page()) + Page(), previousEnd);
        const int64_t bottom = std::max(first, CeilTo(std::max<int64_t>(top - size, 0), Page()));
        if (bottom < previous->offset && offset < top &&
            bottom <= std::max<int64_t>(m_start, int64_t{offset} - m_alignment)) {
            from = bottom;
            to = top;
            copyFrom = previous->offset;
            copyTo = top;
        }
    }
    buffer.offset = from;
    buffer.size = Narrow(to - from);  // the range planned; the data once it is read
    buffer.pendingOffset = from;
    buffer.pendingLength = Narrow(to - from);
    if (copyTo > copyFrom) {
        // Near the end the window may start a page earlier than a full one would.
        const auto need = static_cast<size_t>(CeilTo(to - from, Page()));
        if (!buffer.block.address || buffer.block.size < need) {
            if (buffer.block.address) FreeCachedPageAlignedMemory(buffer.block);
            buffer.block = AllocCachedPageAlignedMemory(need, 1);
            if (!buffer.block.address) ThrowFileError(18002, "", ERROR_NOT_ENOUGH_MEMORY);
        }
        std::memcpy(static_cast<char*>(buffer.block.address) + (copyFrom - from),
                    previous->data + (copyFrom - previous->offset),
                    static_cast<size_t>(copyTo - copyFrom));
        if (forward) {
            buffer.pendingOffset = copyTo;
            buffer.pendingLength = Narrow(to - copyTo);
        } else {
            buffer.pendingLength = Narrow(copyFrom - from);
        }
    }
    if (m_owner->GetCommitStatus()) return CarryOutRequest(buffer);
    // Recorded for the commit; the parallel reader may have it by then.
    if ((m_classicFile->GetOpenFlags() & cvq::open_flags::kReadCache) &&
        m_owner->GetLowLevelCacheMode() != TFile::kNoCache)
        cvq::detail::TParallelReader::Instance().Request(
            *m_classicFile, m_owner->GetProcessId(), buffer.pendingOffset, buffer.pendingLength);
    return true;
}

bool TClassicBufferedFile::CarryOutRequest(TMultiFileBuffer::TBuffer& buffer) {
    if (buffer.pendingOffset < 0) return true;
    int32_t read = 0;
    // Bytes copied from the previous window already, below and above the part to read.
    const int64_t below = buffer.pendingOffset - buffer.offset;
    const int64_t above =
        buffer.offset + buffer.size - (buffer.pendingOffset + buffer.pendingLength);
    const char backward = buffer.pendingBackward;
    if (below == 0 && above == 0) {
        if (!m_classicFile->ReadAligned(
                Narrow(buffer.pendingOffset), buffer.block, buffer.pendingLength, 1, &read,
                m_owner->GetLowLevelCacheMode(), m_owner->GetProcessId(), backward))
            return false;
    } else {
        // Into the middle of the block: a cached record is copied, never exchanged.
        TAutoCriticalSection guard(m_classicFile->GetLock());
        m_classicFile->Seek(Narrow(buffer.pendingOffset), TFile::kFromStart, 1);
        if (!m_classicFile->ReadLowLevel(
                static_cast<char*>(buffer.block.address) + below, buffer.pendingLength, 1, &read,
                m_owner->GetLowLevelCacheMode(), m_owner->GetProcessId(), nullptr, backward))
            return false;
    }
    m_owner->NotifySomethingRead();
    buffer.data = static_cast<char*>(buffer.block.address);
    // A short read ends the window there: the copied bytes above it would not follow on.
    buffer.size =
        Narrow(read < buffer.pendingLength ? below + read : below + buffer.pendingLength + above);
    buffer.pendingOffset = -1;
    buffer.pendingLength = -1;
    return true;
}

void TClassicBufferedFile::OnWriteBufferRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                                                char reuse) {
    if (offset < m_start) ThrowFileError(18003, ERROR_INVALID_PARAMETER);
    int64_t base = m_start + FloorTo(int64_t{offset} - m_start, kBlock);
    if (reuse && buffer.block.address && buffer.offset == base && buffer.size == m_writeBufferSize)
        return;
    if (!buffer.block.address || buffer.block.size < static_cast<size_t>(m_writeBufferSize)) {
        if (buffer.block.address) FreeCachedPageAlignedMemory(buffer.block);
        buffer.block = AllocCachedPageAlignedMemory(static_cast<size_t>(m_writeBufferSize), 1);
        if (!buffer.block.address) ThrowFileError(18003, ERROR_NOT_ENOUGH_MEMORY);
    }
    std::memset(buffer.block.address, 0, static_cast<size_t>(m_writeBufferSize));
    buffer.data = static_cast<char*>(buffer.block.address);
    buffer.size = m_writeBufferSize;
    buffer.offset = base;
}

void TClassicBufferedFile::WriteBlocks(TMultiFileBuffer::TBuffer& buffer, int64_t end,
                                       bool partial) {
    int64_t at = buffer.offset;
    end = std::min(end, buffer.offset + buffer.size);
    while (end - at >= kBlock || (partial && end > at)) {
        int32_t count = Narrow(std::min(end - at, kBlock));
        TMemoryBlock block = AllocCachedPageAlignedMemory(static_cast<size_t>(kBlock), 1);
        if (!block.address) ThrowFileError(18003, ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(block.address, buffer.data + (at - buffer.offset), static_cast<size_t>(count));
        m_classicFile->WriteEx(Narrow(at), block, count);
        m_owner->IncrementWriteCount();
        if (count < kBlock) return;  // a partial block stays to be completed
        at += kBlock;
    }
    // What follows the written blocks moves to the front of the area.
    auto moved = static_cast<size_t>(at - buffer.offset);
    if (moved == 0) return;
    std::memmove(buffer.data, buffer.data + moved, static_cast<size_t>(buffer.size) - moved);
    std::memset(buffer.data + buffer.size - moved, 0, moved);
    buffer.offset = at;
}

void TClassicBufferedFile::FlushCurrentWriteBuffer(int32_t offset) {
    TMultiFileBuffer::TBuffer* buffer = m_owner->FindWriteBuffer(*this);
    if (!buffer) return;
    WriteBlocks(*buffer, offset < 0 ? buffer->offset + buffer->size : offset, false);
}

void TClassicBufferedFile::ValidateWriting(int32_t offset, int32_t size, uint32_t flags,
                                           char reopen) {
    if (TMultiFileBuffer::TBuffer* buffer = m_owner->FindWriteBuffer(*this))
        WriteBlocks(*buffer, offset < 0 ? buffer->offset + buffer->size : offset, true);
    if (size < 0)
        m_classicFile->WaitEndOfCacheWriting();
    else
        m_classicFile->AdjustSizeOfFile(size, static_cast<int32_t>(flags), reopen);
}

void TClassicBufferedFile::AdjustWriteBufferSize() {
    // Whole 64 KB blocks, with an alignment unit to spare beyond the block being filled.
    m_writeBufferSize = Narrow(std::max(CeilTo(std::max(m_writeBufferSize, 1), kBlock),
                                        kBlock + CeilTo(2 * int64_t{m_alignment}, kBlock)));
}

void TClassicBufferedFile::ReleaseData(TMultiFileBuffer::TBuffer& buffer) {
    if (buffer.block.address) FreeCachedPageAlignedMemory(buffer.block);
    buffer.data = nullptr;
}

// Mapped

namespace {

int32_t MappedBufferSize(int32_t bufferSize) {
    const int64_t granularity = static_cast<int64_t>(pf::kAllocationGranularity);
    int64_t rounded = CeilTo(std::max(bufferSize, 1), granularity);
    return rounded > INT32_MAX ? static_cast<int32_t>(granularity / 2) : Narrow(rounded);
}

}  // namespace

TMappedBufferedFile::TMappedBufferedFile(TMemoryMappedFile& file, int32_t start, int32_t length,
                                         int32_t itemSize, int32_t margin, int32_t bufferSize,
                                         char writeMode)
    : TBufferedFile(file, start, length, itemSize, margin, MappedBufferSize(bufferSize),
                    MappedBufferSize(bufferSize), writeMode, bufferSize),
      m_mapped(&file) {}

TMappedBufferedFile* TMappedBufferedFile::Register(TMultiFileBuffer& buffer, int channel,
                                                   TMemoryMappedFile& file, int32_t start,
                                                   int32_t length, int32_t itemSize, int32_t margin,
                                                   int32_t bufferSize, char writeMode) {
    auto* current = dynamic_cast<TMappedBufferedFile*>(buffer.GetCurrentFile(channel));
    if (current && current->m_mapped == &file &&
        current->IsSameFile(file, start, length, itemSize, margin, bufferSize, writeMode))
        return current;
    auto* made =
        new TMappedBufferedFile(file, start, length, itemSize, margin, bufferSize, writeMode);
    buffer.AdoptCurrentFile(made, channel);
    return made;
}

void TMappedBufferedFile::Identity(uint64_t& device, uint64_t& inode) const {
    IdentityOf(m_mapped->GetFile(), device, inode);
}

bool TMappedBufferedFile::MapWindow(TMultiFileBuffer::TBuffer& buffer, int64_t from, int64_t to) {
    if (to <= from || to > m_mapped->GetMappingSize()) return false;
    // Windows point into one view of the whole mapping, shared by every buffer of the
    // file through its count: moving a window maps nothing and keeps the pages mapped.
    // Only where that view cannot be had (address space short) a window maps its own.
    TMemoryMappedFile::TView* view = m_mapped->FindElseCreate(0, m_mapped->GetMappingSize());
    if (!view)
        view =
            m_mapped->FindElseCreate(static_cast<uint32_t>(from), static_cast<uint32_t>(to - from));
    if (!view) return false;
    if (buffer.view) m_mapped->Release(buffer.view);
    buffer.view = view;
    buffer.data = static_cast<char*>(view->GetStart()) + (from - view->GetOffset());
    buffer.offset = from;
    buffer.size = Narrow(to - from);
    buffer.pendingOffset = -1;
    buffer.pendingLength = -1;
    return true;
}

bool TMappedBufferedFile::OnDataRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                                        char forward, TMultiFileBuffer::TBuffer*) {
    const int64_t granularity = static_cast<int64_t>(pf::kAllocationGranularity);
    const int64_t size = std::max<int64_t>(m_readBufferSize, 2 * int64_t{m_alignment});
    const int64_t first = FloorTo(m_start, granularity);
    const int64_t end = std::min<int64_t>(GetEnd(), m_mapped->GetMappingSize());
    int64_t from = forward
                       ? FloorTo(offset, granularity)
                       : FloorTo(std::max<int64_t>(offset - size + granularity, 0), granularity);
    from = std::max(from, first);
    int64_t to = std::min(std::max(from + size, int64_t{offset} + 2 * m_alignment), end);
    if (to <= from) {
        if (end <= first) return false;  // nothing to map
        from = FloorTo(end - 1, granularity);
        to = end;
    }
    return MapWindow(buffer, from, to);
}

bool TMappedBufferedFile::CarryOutRequest(TMultiFileBuffer::TBuffer&) {
    return true;
}

void TMappedBufferedFile::OnWriteBufferRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                                               char) {
    const int64_t granularity = static_cast<int64_t>(pf::kAllocationGranularity);
    int64_t from = FloorTo(offset, granularity);
    int64_t to =
        from + std::max<int64_t>(m_writeBufferSize, 2 * int64_t{m_alignment} + granularity);
    if (to > m_mapped->GetMappingSize()) {
        // The file grows on disk before a byte is stored, so a full disk raises 18019
        // here rather than faulting later; in place, so the windows of other channels
        // writing this file stay where their pointers are.
        int64_t grown = std::max<int64_t>(to, 2 * int64_t{m_mapped->GetMappingSize()});
        m_mapped->ExtendMapping(static_cast<uint32_t>(std::min<int64_t>(grown, INT32_MAX)));
    }
    if (!MapWindow(buffer, from, to)) ThrowFileError(18021, ERROR_NOT_ENOUGH_MEMORY);
}

void TMappedBufferedFile::ValidateWriting(int32_t, int32_t size, uint32_t, char) {
    if (size < 0) return;
    m_owner->StopUsingFile(*m_mapped);
    m_mapped->SetFileSize(static_cast<uint32_t>(size), 0, 0);
    // A smaller mapping leaves the file as it was; the data ends at `size`.
    if (TFile* file = m_mapped->GetFile(); file && file->GetSize() != size) file->SetSize(size);
}

void TMappedBufferedFile::ReleaseData(TMultiFileBuffer::TBuffer& buffer) {
    if (buffer.view) m_mapped->Release(buffer.view);
    buffer.view = nullptr;
    buffer.data = nullptr;
}
