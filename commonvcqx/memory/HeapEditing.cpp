// NH_Heap's editing helpers: copies, cutting, inserting and trimming through Realloc.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapBlocks.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;

void* NH_Heap::StoreData(const void* src, size_t len) {
    void* p = AllocMem(len);
    if (p && src) std::memcpy(p, src, len);
    return p;
}

char* NH_Heap::StoreString(const char* src, int32_t len) {
    size_t length = len < 0 ? (src ? std::strlen(src) : 0) : size_t(len);
    char* p = static_cast<char*>(AllocMem(length + 1));
    if (!p) return nullptr;
    if (src)
        std::memcpy(p, src, length);
    else
        std::memset(p, 0, length);
    p[length] = 0;
    return p;
}

void* NH_Heap::Cut(void* p, size_t pos, size_t count) {
    size_t size = GetBlockSize(p);
    pos = std::min(pos, size);
    count = std::min(count, size - pos);
    if (count == 0) return p;
    std::memmove(Bytes(p) + pos, Bytes(p) + pos + count, size - pos - count);
    return Realloc(p, size - count, 0);
}

void* NH_Heap::ExpandBy(void* p, size_t count, int zero) {
    if (count == 0) return p;
    return Realloc(p, GetBlockSize(p) + count, zero);
}

void* NH_Heap::Insert(void* p, size_t pos, const void* src, size_t count) {
    if (count == 0) return p;
    size_t size = GetBlockSize(p);
    pos = std::min(pos, size);
    // A source inside the block is found again by its offset once the block has moved.
    const char* from = static_cast<const char*>(src);
    bool inside = from && from >= Bytes(p) && from < Bytes(p) + size;
    size_t offset = inside ? size_t(from - Bytes(p)) : 0;
    void* grown = Realloc(p, size + count, 0);
    if (!grown) return nullptr;
    char* base = Bytes(grown);
    std::memmove(base + pos + count, base + pos, size - pos);
    if (inside) {
        size_t before = offset < pos ? std::min(count, pos - offset) : 0;
        std::memmove(base + pos, base + offset, before);
        std::memmove(base + pos + before, base + std::max(offset, pos) + count, count - before);
    } else if (from) {
        std::memcpy(base + pos, from, count);
    } else {
        std::memset(base + pos, 0, count);
    }
    return grown;
}

void* NH_Heap::Trim(void* p, size_t offset, size_t length) {
    size_t size = GetBlockSize(p);
    offset = std::min(offset, size);
    length = std::min(length, size - offset);
    if (offset) std::memmove(p, Bytes(p) + offset, length);
    return Realloc(p, length, 0);
}
