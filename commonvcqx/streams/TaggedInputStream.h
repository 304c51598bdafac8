// commonvcqx/streams/TaggedInputStream.h
//
// TTaggedInputStream: reads a tagged block back. Values are looked up by tag in the
// current group; a tag that is absent gives the caller's default, so a document
// written by an older or newer version still reads.
//
//   TTaggedInputStream in(1, block, size, 0);
//   int32_t count = in.GetValue(int32_t(0), "Siz", 0);   // 0 when absent
//   if (in.MoveDown("Track", 1)) {
//       TString name = in.GetValue("", "Name", 0);
//       in.MoveUp();
//   }
//
// Lookups resume after the previous hit in the same group, so reading the tags of a
// group in their writing order costs one step each; other orders wrap round once.
// A value must be read with the overload of the width it was written with; one
// stored narrower than the overload asks for gives the default. The 4-byte "long"
// of documents from 32-bit hosts is read with int32_t: long is 8 bytes here.
//
// The block may come from anywhere: nothing is read outside it and no chain of
// nodes can loop. A block that is too short, a node outside the block or out of
// order, or a truncated untagged value throws the library exception (TException)
// whose message is static string 18032. A block in the other byte order (marker
// other than "LE") is read as such without changing it.
#pragma once

#include <commonvcqx/files/FileName.h>
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/TaggedStream.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

class TTaggedInputStream : public TTaggedStream {
public:
    /// Parses the `size` bytes at `data` (no CRC check). With `autoDelete` set the
    /// reader frees the block with NH_Heap::FreeMem when it goes; when parsing throws
    /// the block stays the caller's.
    TTaggedInputStream(char useTags, void* data, int32_t size, char autoDelete);
    /// Loads the whole file and parses it, checking length and CRC-32 (18032 when they
    /// do not match). With `autoDelete` 0 the caller takes over the loaded block
    /// (GetStart) and frees it with NH_Heap::FreeMem; when parsing throws the block is
    /// freed here, as nobody else could reach it. File errors propagate.
    TTaggedInputStream(char useTags, const TFileName& name, char autoDelete);
    ~TTaggedInputStream();

    /// Makes the group (name, index) of the current group current. A path with "/"
    /// enters each part in turn (a leading "/" starts at the root) and stops at the
    /// first missing part, leaving the groups entered so far. False when absent; always
    /// true in untagged mode.
    char MoveDown(const char* path, int index);

    char GetValue(char def, const char* name, int index);
    signed char GetValue(signed char def, const char* name, int index);
    unsigned char GetValue(unsigned char def, const char* name, int index);
    short GetValue(short def, const char* name, int index);
    unsigned short GetValue(unsigned short def, const char* name, int index);
    int GetValue(int def, const char* name, int index);
    unsigned int GetValue(unsigned int def, const char* name, int index);
    long GetValue(long def, const char* name, int index);
    unsigned long GetValue(unsigned long def, const char* name, int index);
    long long GetValue(long long def, const char* name, int index);
    unsigned long long GetValue(unsigned long long def, const char* name, int index);
    float GetValue(float def, const char* name, int index);
    double GetValue(double def, const char* name, int index);
    /// The stored text, or `def` when absent.
    TString GetValue(const char* def, const char* name, int index);

    /// Copies the stored bytes to `dst` and returns their length; when absent copies
    /// `defaultLength` bytes of `defaultData` (if not null) and returns defaultLength.
    int32_t GetBinary(void* dst, const void* defaultData, int defaultLength, const char* name,
                      int index);
    /// The stored length, 0 when absent. Untagged: the length at the read position,
    /// which stays where it was.
    int32_t GetBinarySize(const char* name, int index);

    /// Positions the input stream at the data of the tag and returns it; null (and
    /// *nodeOffset 0) when absent. `nodeOffset` may be null. Untagged: the read position.
    const char* MoveToDataStart(const char* name, int index, int32_t* nodeOffset);

    /// For each child group of the current group in order: enters it, calls `fn` with
    /// its stored name and its ordinal, leaves it. Stops after `fn` returns 0.
    void ForEachGroup(char (*fn)(TTaggedInputStream*, const char* name, int i, intptr_t userData),
                      intptr_t userData);

    const char* GetStart() const noexcept { return m_in.GetStart(); }
    /// The offset of the read position from the start.
    uint32_t GetSize() noexcept { return m_in.GetCurrentPosition(); }
    const TString& GetDocumentName() const noexcept { return m_documentName; }
    void SetAutoDelete(char autoDelete) noexcept { m_autoDelete = autoDelete; }
    /// A flag for the objects being restored; the stream does not consult it.
    char ForceRecreate() const noexcept { return m_forceRecreate; }
    void ForceRecreate(char force) noexcept { m_forceRecreate = force; }
    /// The stream raw contents are read from (after MoveToDataStart).
    TInputMemoryStream& GetMemoryStream() noexcept { return m_in; }

    /// Same size (read position) and same bytes.
    bool operator==(TTaggedInputStream& other) noexcept;
    bool operator!=(TTaggedInputStream& other) noexcept { return !(*this == other); }

protected:
    uint32_t GetLimit() override { return m_in.GetSize(); }
    uint32_t GetReadPosition() noexcept override { return m_in.GetCurrentPosition(); }
    void SetReadPosition(uint32_t position) noexcept override { m_in.SetCurrentPosition(position); }

    /// Reads the header at `start`; with `checkCrc` the stored length and CRC-32 must
    /// match the block. Throws on a damaged block.
    void Init(uint32_t start, char checkCrc);
    /// Frees the block when the reader owns it.
    void FreeMemory() noexcept;

private:
    char MoveDownOne(const char* name, int index);
    template <class T>
    T GetNumber(T def, const char* name, int index);

    TInputMemoryStream m_in;
    TString m_documentName;
    char m_autoDelete;
    char m_forceRecreate;
};
