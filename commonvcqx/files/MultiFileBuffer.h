// commonvcqx/files/MultiFileBuffer.h
//
// TMultiFileBuffer: walks several files at once, one per channel (the tracks of a
// multitrack recording), through plain memory pointers. A virtual pointer is an address
// inside a pool buffer holding the bytes around a file offset; when it leaves the
// buffer's safe zone (the alignment unit from either end) Validate moves the window.
// All channels share one pool, reused in most-recently-used order; each channel's
// TBufferedFile (BufferedFile.h) fills or writes its buffers.
//
// Copies share one pool by reference count. A released pool goes to a process-wide
// cache of up to 10 shapes (channels x buffers) that a new buffer of that shape reuses.
// Offsets are the 32-bit ones of TFile; an object is used by one thread at a time.
//
// With commit status clear, a pointer request only records what to read (queued to the
// parallel reader for files opened with 0x8000) and gives null; asking again with the
// status set reads it. In write mode only what FlushCurrentWriteBuffer or
// ValidateWriting wrote reaches the file; ValidateWriting is where failures of the
// write-behind show.
//
//   TMultiFileBuffer tracks(TMultiFileBuffer::kReadMode, 8, 16, TFile::kReadAhead,
//                           TMultiFileBuffer::kThreadProcessId, 0);
//   for (int c = 0; c < 8; ++c)
//       TClassicBufferedFile::Register(tracks, c, files[c], 0, 0, 4, 1024, 1 << 20, 0);
//   auto* p = static_cast<int32_t*>(tracks.GetVirtualPointer(0, c));
//   for (...) { Mix(*p++); tracks.ValidateVirtualPointer(reinterpret_cast<void**>(&p), c); }
#pragma once

#include <commonvcqx/files/File.h>
#include <commonvcqx/files/MemoryMappedFile.h>
#include <commonvcqx/memory/PageCache.h>

#include <cstdint>

class TBufferedFile;

class TMultiFileBuffer {
public:
    enum EMode : int32_t { kReadMode = 0, kWriteMode = 1 };
    /// A process id replaced at the first pointer request by itself plus the thread id.
    static constexpr int32_t kThreadProcessId = static_cast<int32_t>(0xC0000000u);

    /// One pool buffer: the data of `size` bytes at file `offset`, the channels whose
    /// window it is, its file, a recorded request (the part of the range still to read,
    /// and in which direction the walk goes), and what holds the data.
    struct TBuffer {
        char* data = nullptr;
        int32_t size = 0;
        int64_t offset = 0;
        int32_t usage = 0;
        TBufferedFile* owner = nullptr;
        int64_t pendingOffset = -1;
        int32_t pendingLength = -1;
        char pendingBackward = 0;
        int32_t lastPass = -1;
        TMemoryBlock block;
        TMemoryMappedFile::TView* view = nullptr;
    };

    /// Write mode has one buffer per channel; read mode the larger of `numBuffers` and
    /// twice the channels.
    TMultiFileBuffer(EMode mode, int32_t numChannels, int32_t numBuffers,
                     TFile::ECacheMode cacheMode, int32_t processId, int32_t cacheRemanence);
    /// Shares the pool (and its channels and files) with `other`.
    TMultiFileBuffer(const TMultiFileBuffer& other);
    TMultiFileBuffer& operator=(const TMultiFileBuffer& other);
    virtual ~TMultiFileBuffer();

    /// Address of `offset` for reading upwards from it; null without a file, for a
    /// request left recorded (commit status clear) or one that failed.
    void* GetVirtualPointer(int32_t offset, int channel) { return PointerFor(offset, channel, 1); }
    /// Address of `offset` for reading downwards to it.
    void* GetVirtualPointerBackward(int32_t offset, int channel) {
        return PointerFor(offset, channel, 0);
    }
    /// Moves the window forward when `*p` lies beyond its end - margin (and the file
    /// goes on), updating `*p`.
    void ValidateVirtualPointer(void** p, int channel);
    /// Moves the window backward when `*p` lies below its start + margin.
    void ValidateVirtualPointerBackward(void** p, int channel);
    int32_t VirtualPointerToFileOffset(const void* p, int channel) const;
    int32_t GetAvailableBytesFromVirtualPointer(const void* p, int channel) const;
    int32_t GetAvailableBytesBeforeVirtualPointer(const void* p, int channel) const;
    void* GetStartOfCurrentBuffer(int channel) const;
    void* GetEndOfCurrentBuffer(int channel) const;

    /// Installs `file` (taken) for `channel`; the previous file's buffers are released
    /// and it is destroyed.
    void AdoptCurrentFile(TBufferedFile* file, int channel);
    /// The channel's file, or null.
    TBufferedFile* GetCurrentFile(int channel) const;
    /// Releases every buffer holding data of `file` and empties the windows on them.
    void StopUsingFile(const TFileObject& file);
    void FlushCurrentWriteBuffer(int32_t offset, int channel, char stop) {
        ValidateWriting(offset, -1, 0, 0, channel, stop);
    }
    /// Writes the channel's data up to `offset` (all of it when negative), then waits
    /// for write-behind (`size` < 0) or gives the file `size` bytes; with `stop` the
    /// file's buffers are released.
    void ValidateWriting(int32_t offset, int32_t size, uint32_t flags, char reopen, int channel,
                         char stop);
    /// Releases all buffers, destroys the channel files and empties the windows.
    void Reset();

    void SetCommitStatus(char status) noexcept { m_commitStatus = status; }
    char GetCommitStatus() const noexcept { return m_commitStatus; }
    int32_t GetNumChannel() const noexcept { return m_numChannels; }
    int32_t GetNumBuffers() const noexcept;
    int32_t GetCacheRemanence() const noexcept { return m_cacheRemanence; }
    int32_t GetProcessId() const noexcept { return m_processId; }
    char WriteMode() const noexcept { return m_mode != kReadMode; }
    void NotifySomethingRead() noexcept { m_somethingRead = 1; }
    TFile::ECacheMode GetLowLevelCacheMode() const noexcept { return m_cacheMode; }
    /// Starts a pass over the material (a render, a loop played again). Taking a buffer
    /// for new data, the pool gives up first what no pass since the previous one used,
    /// then what this pass used already, and last what the previous pass left and this
    /// one has not come back to yet: a repeated pass finds it still there.
    void NotifyNewMacroPass() noexcept { ++m_pass; }
    int32_t GetPass() const noexcept { return m_pass; }
    /// The most buffers one file holds before it reuses its own for new data (write
    /// mode 1, read mode all of them); kept within 1 and the number of buffers.
    void SetReuseLimit(int32_t limit) noexcept;
    int32_t GetReuseLimit() const noexcept { return m_reuseLimit; }
    int32_t GetWriteCount() const noexcept { return m_writeCount; }
    void IncrementWriteCount() noexcept { ++m_writeCount; }

    /// The buffer whose data `file` is writing (write mode), or null.
    TBuffer* FindWriteBuffer(const TBufferedFile& file);
    /// Pool shapes kept for reuse.
    static int32_t GetCachedShapeCount();
    /// Frees the shape cache.
    static void End();

private:
    struct TChannel {
        char* start = nullptr;
        char* end = nullptr;
        char* safeStart = nullptr;
        char* safeEnd = nullptr;
        int64_t fileOffset = 0;
        int32_t buffer = -1;
    };
    struct TPool;
    struct TShapeCache;
    static TShapeCache& Shapes();

    void* PointerFor(int32_t offset, int channel, char forward);
    int32_t TakeBuffer(int channel, TBufferedFile& file);
    /// Order in which free buffers are given up: 0 empty or unused since before the
    /// previous pass, 1 used in this pass, 2 used in the previous pass only.
    int VictimRank(const TBuffer& buffer) const noexcept;
    void MoveToFront(int32_t index);
    void SetWindow(int channel, int32_t index);
    void ClearWindow(int channel);
    void ReleaseBuffer(TBuffer& buffer);
    void ReleaseAll();
    void Detach();
    bool ValidChannel(int channel) const noexcept;

    TPool* m_pool = nullptr;
    int32_t m_pass = -1;
    int32_t m_reuseLimit = 1;
    int32_t m_writeCount = 0;
    int32_t m_numChannels = 0;
    char m_commitStatus = 1;
    char m_somethingRead = 0;
    EMode m_mode = kReadMode;
    TFile::ECacheMode m_cacheMode = TFile::kNoCache;
    int32_t m_processId = 0;
    int32_t m_cacheRemanence = 0;
};
