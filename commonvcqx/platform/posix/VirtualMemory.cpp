// Virtual memory for the heaps on Linux: mmap, mprotect and mremap.
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <commonvcqx/platform/internal/FailureSeams.h>

#include <sys/mman.h>
#include <unistd.h>
#include <atomic>
#include <cstdint>

namespace cvq::platform {
namespace {

std::atomic<size_t> pageSize{0};
// The start of the last aligned reservation. The system places mappings from the top
// down, first fit: a free gap of the wrong alignment high up would be offered for every
// reservation, so each asks for the aligned space just below the previous one instead.
std::atomic<uintptr_t> lastReserved{0};

void* MapInaccessible(void* hint, size_t size) {
    void* p = mmap(hint, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool IsAligned(const void* p) {
    return (reinterpret_cast<uintptr_t>(p) & (kAllocationGranularity - 1)) == 0;
}

}  // namespace

size_t PageSize() {
    size_t size = pageSize.load(std::memory_order_relaxed);
    if (size == 0) {
        long value = sysconf(_SC_PAGESIZE);
        size = value > 0 ? static_cast<size_t>(value) : 4096;
        pageSize.store(size, std::memory_order_relaxed);
    }
    return size;
}

void* ReserveRegion(size_t size) {
    if (FailureFires(EFailureSeam::Reserve)) return nullptr;
    uintptr_t last = lastReserved.load(std::memory_order_relaxed);
    void* hint = last > size ? reinterpret_cast<void*>(last - size) : nullptr;
    char* p = static_cast<char*>(MapInaccessible(hint, size));
    if (!p) return nullptr;
    if (!IsAligned(p)) {
        // Take a larger piece and trim both ends.
        munmap(p, size);
        p = static_cast<char*>(MapInaccessible(nullptr, size + kAllocationGranularity));
        if (!p) return nullptr;
        uintptr_t start = reinterpret_cast<uintptr_t>(p);
        uintptr_t aligned = (start + kAllocationGranularity - 1) & ~(kAllocationGranularity - 1);
        size_t head = aligned - start;
        if (head) munmap(p, head);
        size_t tail = kAllocationGranularity - head;
        if (tail) munmap(reinterpret_cast<char*>(aligned) + size, tail);
        p = reinterpret_cast<char*>(aligned);
    }
    lastReserved.store(reinterpret_cast<uintptr_t>(p), std::memory_order_relaxed);
    return p;
}

bool CommitPages(void* address, size_t size) {
    if (FailureFires(EFailureSeam::Commit)) return false;
    return mprotect(address, size, PROT_READ | PROT_WRITE) == 0;
}

void DecommitPages(void* address, size_t size) {
    // Mapping fresh inaccessible pages over the range drops the old ones in one call.
    mmap(address, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
}

void PurgePages(void* address, size_t size) {
    madvise(address, size, MADV_DONTNEED);
}

void LendPages(void* address, size_t size) {
    // MADV_FREE came with Linux 4.5; before it, give the pages back at once.
    if (madvise(address, size, MADV_FREE) != 0) madvise(address, size, MADV_DONTNEED);
}

void ReleaseRegion(void* address, size_t size) {
    munmap(address, size);
}

bool MovePages(void* from, size_t size, void* to) {
    if (FailureFires(EFailureSeam::Reserve)) return false;
    return mremap(from, size, size, MREMAP_MAYMOVE | MREMAP_FIXED, to) != MAP_FAILED;
}

}  // namespace cvq::platform
