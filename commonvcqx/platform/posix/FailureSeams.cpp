// The failure seam table: one countdown and one error number per seam. An unarmed seam
// costs its operation one relaxed load.
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <atomic>
#include <cerrno>

namespace cvq::platform {
namespace {

struct TSeam {
    std::atomic<int> countdown{0};
    std::atomic<int> errorNumber{0};
};

constinit TSeam g_seams[kFailureSeamCount];

TSeam& SeamOf(EFailureSeam seam) {
    return g_seams[static_cast<int>(seam)];
}

}  // namespace

void FailNthOperation(EFailureSeam seam, int nth, int errorNumber) {
    TSeam& entry = SeamOf(seam);
    entry.errorNumber.store(errorNumber, std::memory_order_relaxed);
    entry.countdown.store(nth < 0 ? 0 : nth, std::memory_order_release);
}

void DisarmFailures() {
    for (TSeam& entry : g_seams) entry.countdown.store(0, std::memory_order_relaxed);
}

bool FailureArmed(EFailureSeam seam) {
    return SeamOf(seam).countdown.load(std::memory_order_relaxed) > 0;
}

bool FailureFires(EFailureSeam seam) {
    TSeam& entry = SeamOf(seam);
    int left = entry.countdown.load(std::memory_order_relaxed);
    while (left > 0) {
        if (entry.countdown.compare_exchange_weak(left, left - 1, std::memory_order_acquire,
                                                  std::memory_order_relaxed)) {
            if (left != 1) return false;
            errno = entry.errorNumber.load(std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

}  // namespace cvq::platform
