// commonvcqx/memory/internal/HeapBlocks.h
//
// How NH_Heap finds its way around its memory: the page set a block lies in and that
// set's record in the region map, the headers before small and other blocks, the
// boundary tags of big chunks, the sizes chunks are rounded to, and the list of the
// blocks that are not small blocks. Shared by the files of NH_Heap's mechanisms (small
// blocks, big chunks, reserved regions, enumeration).
//
//   TAltBlock* block = AltHeader(user);          // user: a block that IsAlt
//   TBigChunk* chunk = ChunkOf(block);           // its chunk, when not a reserved block
//   bool free = ChunkFree(Bytes(chunk) + ChunkSize(chunk));   // the next chunk's tag
#pragma once

#include <commonvcqx/memory/internal/HeapInternals.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace cvq::detail {

inline TPageSet* PageSetOf(const void* p) {
    return reinterpret_cast<TPageSet*>(reinterpret_cast<uintptr_t>(p) & kGranularityMask);
}
inline char* Bytes(void* p) {
    return static_cast<char*>(p);
}
inline size_t& InUse(const TPageSet* set) {
    return TRegionMap::Info(set).inUse;
}
inline void SetOwner(TPageSet* set, NH_Heap* heap) {
    set->word7 = reinterpret_cast<uintptr_t>(heap);
    TRegionMap::Info(set) = {heap, 0};
}
inline TSmallBlock* SmallHeader(const void* p) {
    return reinterpret_cast<TSmallBlock*>(const_cast<char*>(static_cast<const char*>(p)) -
                                          kSmallHeader);
}
inline TAltBlock* AltHeader(const void* p) {
    return reinterpret_cast<TAltBlock*>(const_cast<char*>(static_cast<const char*>(p)) -
                                        sizeof(TAltBlock));
}
inline void* UserOf(TAltBlock* block) {
    return block + 1;
}
inline bool IsAlt(const void* p) {
    return static_cast<const uint8_t*>(p)[-1] & kAltBlockFlag;
}

inline size_t ChunkSize(const TBigChunk* chunk) {
    return chunk->size & ~size_t(1);
}
inline bool ChunkFree(const void* chunk) {
    return *static_cast<const size_t*>(chunk) & 1;
}
inline size_t* Footer(void* chunk, size_t size) {
    return reinterpret_cast<size_t*>(Bytes(chunk) + size - kChunkFooter);
}
inline void WriteTags(TBigChunk* chunk, size_t size, bool isFree) {
    chunk->size = size | (isFree ? 1 : 0);
    *Footer(chunk, size) = chunk->size;
}
inline TBigChunk* ChunkOf(TAltBlock* block) {
    return reinterpret_cast<TBigChunk*>(reinterpret_cast<char*>(block) - block->alignOffset -
                                        kChunkHeader);
}
// Big chunks are multiples of 64 bytes, so every big block starts on a cache line and
// two of them lie a multiple of 64 bytes apart. Measured with memcpy between two blocks
// allocated one after the other: a quarter faster than 16-byte steps, whose copies
// split every load or store over two lines, and clear of the 16..63-byte distances
// modulo 4 KB at which loads alias the stores just made.
inline size_t ChunkSizeFor(size_t need) {
    return std::max(RoundUp(need + kChunkHeader + kChunkFooter, 64), kMinChunk);
}
inline char* FirstChunk(TPageSet* set) {
    return Bytes(set) + kBigPageSetHeader;
}

// Largest requested size that cannot overflow the size arithmetic.
inline constexpr size_t kMaxRequest = size_t(1) << 47;

}  // namespace cvq::detail

// The list of a heap's blocks that are not small blocks: big chunks and reserved
// regions, for freeing the heap and for enumeration.
inline void NH_Heap::LinkAlt(cvq::detail::TAltBlock* block) {
    m_altBlocks.PushFront(*block);
}

inline void NH_Heap::UnlinkAlt(cvq::detail::TAltBlock* block) {
    m_altBlocks.Unlink(*block);
}
