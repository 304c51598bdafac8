// The start-up log: constant-initialized, so the first heap step can write to it.
#include <commonvcqx/base/StartupOrder.h>

#include <atomic>

namespace cvq::detail {
namespace {

constinit TStartupLog log{};
constinit std::atomic<TStartupObserver> observer{nullptr};

}  // namespace

void RecordStartupStep(int step, bool built) noexcept {
    // Static start-up and unload run on one thread; no lock needed.
    if (log.count < int(sizeof(log.entries) / sizeof(log.entries[0])))
        log.entries[log.count++] = built ? step : -step;
    if (TStartupObserver watch = observer.load(std::memory_order_acquire)) watch(step, built);
}

const TStartupLog& StartupLog() noexcept {
    return log;
}

void SetStartupObserver(TStartupObserver watch) noexcept {
    observer.store(watch, std::memory_order_release);
}

}  // namespace cvq::detail
