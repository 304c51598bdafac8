// commonvcqx/files/BufferedFile.h
//
// TBufferedFile: a channel's file in a TMultiFileBuffer, deciding how pool buffers are
// filled and written. TClassicBufferedFile moves page-aligned ranges through TFile (its
// read cache and write-behind included); moving a window copies the bytes it shares
// with the previous one (forward or backward) and reads only the rest.
// TMappedBufferedFile points windows into one view of the whole TMemoryMappedFile,
// shared by count, so moving them costs no system call; writing grows the mapping in
// place ahead of the window (a full disk is 18019, never a fault), so several channels
// may write one mapped file (each ValidateWriting that sets the size lets go of every
// window on it). Register returns the channel's file, reusing the current one when it
// stands for the same file (the file's identity on disk, not its address) with the same
// parameters.
//
// Items of `itemSize` bytes start at `start`; the alignment unit (item size x margin)
// is the least a window keeps on either side of a pointer. Writing goes forward from
// `start` in 64 KB blocks through write-behind.
//
//   TClassicBufferedFile::Register(tracks, 0, take, 0, 0, 4, 1024, 1 << 20, 0);
//   TMappedBufferedFile::Register(tracks, 1, mapped, 44, 0, 2, 512, 1 << 20, 0);
#pragma once

#include <commonvcqx/files/MultiFileBuffer.h>

#include <cstdint>

class TBufferedFile {
public:
    TBufferedFile(const TBufferedFile&) = delete;
    TBufferedFile& operator=(const TBufferedFile&) = delete;
    virtual ~TBufferedFile();

    /// Gives `buffer` a data area for writing at `offset`.
    virtual void OnWriteBufferRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                                      char reuse) = 0;
    /// Fills `buffer` (or records the request when commit status is clear) with a range
    /// around `offset`; false when the range cannot be had.
    virtual bool OnDataRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer, char forward,
                               TMultiFileBuffer::TBuffer* previous) = 0;
    /// Carries out the request recorded on `buffer`.
    virtual bool CarryOutRequest(TMultiFileBuffer::TBuffer& buffer) = 0;
    /// Writes the whole blocks below `offset` (negative: all) of the write buffer.
    virtual void FlushCurrentWriteBuffer(int32_t offset) = 0;
    /// Writes everything up to `offset`, then waits (`size` < 0) or sets the size.
    virtual void ValidateWriting(int32_t offset, int32_t size, uint32_t flags, char reopen) = 0;
    virtual void AdjustWriteBufferSize() = 0;
    /// Gives back what holds `buffer`'s data.
    virtual void ReleaseData(TMultiFileBuffer::TBuffer& buffer) = 0;

    const TFileObject& GetFileObject() const noexcept { return *m_file; }
    int32_t GetWriteBufferSize() const noexcept { return m_writeBufferSize; }
    int32_t GetReadBufferSize() const noexcept { return m_readBufferSize; }
    int32_t GetItemSize() const noexcept { return m_itemSize; }
    int32_t GetMargin() const noexcept { return m_margin; }
    int32_t GetAlignmentUnit() const noexcept { return m_alignment; }
    char IsWriteMode() const noexcept { return m_writeMode; }
    int32_t GetStart() const noexcept { return m_start; }
    int32_t GetLength() const noexcept { return m_length; }
    /// End of the file's data: start + length (write mode without a length: none).
    int64_t GetEnd() const noexcept;
    void UpdateSizeOfFile(int32_t length) noexcept { m_length = length; }
    /// Same file on disk, registered with the same parameters.
    bool IsSameFile(const TFileObject& file, int32_t start, int32_t length, int32_t itemSize,
                    int32_t margin, int32_t bufferSize, char writeMode) const;
    /// Makes the write buffer size fit the 64 KB blocks it is written in.
    void RoundWriteBufferSizeToAlignment();
    /// The buffer (of the copies sharing this file) the file is working for now.
    void SetOwner(TMultiFileBuffer* owner, int channel) noexcept {
        m_owner = owner;
        m_channel = channel;
    }

protected:
    TBufferedFile(const TFileObject& file, int32_t start, int32_t length, int32_t itemSize,
                  int32_t margin, int32_t readBufferSize, int32_t writeBufferSize, char writeMode,
                  int32_t registeredBufferSize);
    /// Identity of the file on disk (device and inode), zero when unknown.
    virtual void Identity(uint64_t& device, uint64_t& inode) const = 0;

    const TFileObject* m_file;
    int32_t m_writeBufferSize;
    int32_t m_readBufferSize;
    int32_t m_itemSize;
    int32_t m_margin;
    int32_t m_alignment;
    char m_writeMode;
    TMultiFileBuffer* m_owner = nullptr;
    int m_channel = -1;
    int32_t m_start;
    int32_t m_length;
    int32_t m_registeredLength;
    int32_t m_registeredBufferSize;
};

class TClassicBufferedFile final : public TBufferedFile {
public:
    static constexpr int32_t kWriteBlockSize = 65536;

    static TClassicBufferedFile* Register(TMultiFileBuffer& buffer, int channel, TFile& file,
                                          int32_t start, int32_t length, int32_t itemSize,
                                          int32_t margin, int32_t bufferSize, char writeMode);
    TClassicBufferedFile(TFile& file, int32_t start, int32_t length, int32_t itemSize,
                         int32_t margin, int32_t bufferSize, char writeMode);

    void OnWriteBufferRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                              char reuse) override;
    bool OnDataRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer, char forward,
                       TMultiFileBuffer::TBuffer* previous) override;
    bool CarryOutRequest(TMultiFileBuffer::TBuffer& buffer) override;
    void FlushCurrentWriteBuffer(int32_t offset) override;
    void ValidateWriting(int32_t offset, int32_t size, uint32_t flags, char reopen) override;
    void AdjustWriteBufferSize() override;
    void ReleaseData(TMultiFileBuffer::TBuffer& buffer) override;
    TFile& GetFile() const noexcept { return *m_classicFile; }

private:
    void Identity(uint64_t& device, uint64_t& inode) const override;
    void WriteBlocks(TMultiFileBuffer::TBuffer& buffer, int64_t end, bool partial);

    TFile* m_classicFile;
};

class TMappedBufferedFile final : public TBufferedFile {
public:
    static TMappedBufferedFile* Register(TMultiFileBuffer& buffer, int channel,
                                         TMemoryMappedFile& file, int32_t start, int32_t length,
                                         int32_t itemSize, int32_t margin, int32_t bufferSize,
                                         char writeMode);
    TMappedBufferedFile(TMemoryMappedFile& file, int32_t start, int32_t length, int32_t itemSize,
                        int32_t margin, int32_t bufferSize, char writeMode);

    void OnWriteBufferRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer,
                              char reuse) override;
    bool OnDataRequest(int32_t offset, TMultiFileBuffer::TBuffer& buffer, char forward,
                       TMultiFileBuffer::TBuffer* previous) override;
    bool CarryOutRequest(TMultiFileBuffer::TBuffer& buffer) override;
    void FlushCurrentWriteBuffer(int32_t) override {}
    void ValidateWriting(int32_t offset, int32_t size, uint32_t flags, char reopen) override;
    void AdjustWriteBufferSize() override {}
    void ReleaseData(TMultiFileBuffer::TBuffer& buffer) override;

private:
    void Identity(uint64_t& device, uint64_t& inode) const override;
    bool MapWindow(TMultiFileBuffer::TBuffer& buffer, int64_t from, int64_t to);

    TMemoryMappedFile* m_mapped;
};
