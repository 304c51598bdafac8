// commonvcqx/streams/TaggedOutputStream.h
//
// TTaggedOutputStream: writes the tagged format into a growing memory block, always
// little-endian. In tagged mode every value is a node under a tag (name, index) in
// the current group; in untagged mode values follow one another with no names.
//
//   TTaggedOutputStream out(1, "doc", 1);
//   out.SetValue(int32_t(3), "Siz", 0);
//   out.MoveDown("Track", 1);              // group "Track1", created when absent
//   out.SetValue("Piano", "Name", 0);
//   out.MoveUp();
//   out.CloseWriting();                    // CRC-32 and length in the header
//   Keep(out.GetStart(), out.GetSize());  // or out.SaveAs("C:\\docs\\a.doc", 1)
//
// Raw contents go through an auto tag, which wraps what is written while it lives
// in one big value:
//
//   {
//       TTaggedOutputStream::TAutoTag tag(out, "Samples", 0);
//       out.GetMemoryStream().Write(samples, count);
//   }
//
// Failures: a stored name (index digits included) too long for a node throws a
// TException; a block that cannot grow throws std::bad_alloc. Writing after
// CloseWriting is a caller error.
#pragma once

#include <commonvcqx/files/FileName.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/streams/TaggedStream.h>

#include <cstdint>

class TTaggedOutputStream : public TTaggedStream {
public:
    /// Growth step of the block.
    static constexpr uint32_t kGrowBy = 32000;

    /// Writes the header with the document name and, in tagged mode, the root group.
    /// With `autoDelete` 0 the caller takes over the block (GetStart) and frees it with
    /// NH_Heap::FreeMem.
    TTaggedOutputStream(char useTags, const char* name, char autoDelete);
    ~TTaggedOutputStream();

    /// Makes the group (name, index) of the current group current, creating it when
    /// absent. A path with "/" enters each part in turn; a leading "/" starts at the
    /// root. Does nothing in untagged mode.
    void MoveDown(const char* path, int index);

    void SetValue(char value, const char* name, int index);
    void SetValue(signed char value, const char* name, int index);
    void SetValue(unsigned char value, const char* name, int index);
    void SetValue(short value, const char* name, int index);
    void SetValue(unsigned short value, const char* name, int index);
    void SetValue(int value, const char* name, int index);
    void SetValue(unsigned int value, const char* name, int index);
    /// 8 bytes (long is int64_t here); a 4-byte "long" field is written as int32_t.
    void SetValue(long value, const char* name, int index);
    void SetValue(unsigned long value, const char* name, int index);
    void SetValue(long long value, const char* name, int index);
    void SetValue(unsigned long long value, const char* name, int index);
    void SetValue(float value, const char* name, int index);
    void SetValue(double value, const char* name, int index);
    /// The text and its NUL (null writes "").
    void SetValue(const char* text, const char* name, int index);
    /// `length` bytes (a negative length writes none).
    void SetBinary(const void* data, int length, const char* name, int index);

    /// Pads to a multiple of 4 and writes the CRC-32 and the length into the header.
    /// Only the first call does anything.
    void CloseWriting();
    /// Closes the stream and replaces the file with the whole block (atomically: an
    /// existing file stays intact on failure). With `checkSpace` set, a drive with less
    /// free space than the block throws the disk-space TException (18019, code 112)
    /// before anything is written. File errors propagate.
    void SaveAs(const TFileName& name, char checkSpace);

    const char* GetStart() const noexcept { return m_out.GetStart(); }
    /// Bytes written so far.
    uint32_t GetSize() noexcept { return m_out.GetCurrentPosition(); }
    char IsClosed() const noexcept { return m_closed; }
    /// The stream an auto tag's owner writes its raw bytes to.
    TOutputMemoryStream& GetMemoryStream() noexcept { return m_out; }

    /// Same size and same bytes.
    bool operator==(TTaggedOutputStream& other) noexcept;
    bool operator!=(TTaggedOutputStream& other) noexcept { return !(*this == other); }

    /// Wraps the raw bytes written while it lives in one big value (tagged mode).
    class TAutoTag {
    public:
        TAutoTag(TTaggedOutputStream& stream, const char* name, int index);
        ~TAutoTag();
        TAutoTag(const TAutoTag&) = delete;
        TAutoTag& operator=(const TAutoTag&) = delete;

    private:
        uint32_t m_node;
        uint32_t m_data;
        TTaggedOutputStream* m_stream;
    };

protected:
    uint32_t GetLimit() override { return m_out.GetCurrentPosition(); }

    /// The header: marker, room for CRC and length, the document name.
    void Init(uint32_t start, const char* name);
    /// Starts a value node: header room of `headerSize` bytes, the stored name, padding
    /// to `alignment`. Returns the data offset; the node offset goes to *node.
    uint32_t WriteTag(const char* name, int index, int alignment, uint32_t headerSize,
                      uint32_t* node);
    /// WriteTag, then room for `length` bytes of data, which the position passes over.
    uint32_t StartValue(const char* name, int index, int alignment, uint32_t headerSize,
                        uint32_t length, uint32_t* node);
    /// Appends the node to the current group's children.
    void Link(uint32_t node);
    /// Completes a small value whose data starts at `data` and ends at the position.
    void WriteValueNode(uint32_t node, uint32_t data);
    /// Completes a big value likewise.
    void WriteValueNodeEx(uint32_t node, uint32_t data);
    /// Pads and seals the block written from `start`.
    void EndSection(uint32_t start);

private:
    void MoveDownOne(const char* name, int index);
    template <class T>
    void SetNumber(T value, const char* name, int index);
    void SetBytes(const void* data, uint32_t length, int alignment, const char* name, int index);

    TOutputMemoryStream m_out;
    char m_closed;
};
