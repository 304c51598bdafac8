// Per-thread data in one thread slot: made for the loading thread at load, by every
// TThread before its MainLoop, and by host threads that ask for it.
#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/events/internal/ThreadData.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/platform/internal/ThreadSlot.h>
#include <commonvcqx/threads/Thread.h>

namespace cvq::detail {
namespace {

constinit platform::TThreadSlot slot;

// A thread that ends with its data still set: release it here rather than leak it.
void ReleaseAtThreadEnd(void* data) {
    delete static_cast<TThreadData*>(data);
}

struct TThreadDataStart {
    TThreadDataStart() {
        if (slot.Allocate(&ReleaseAtThreadEnd)) InitThreadDataOfCommonLibrary();
        // Threads started through TThread make and release their data themselves.
        SetThreadDataHooks(&InitThreadDataOfCommonLibrary, &EndThreadDataOfCommonLibrary);
        RecordStartupStep(kStartThreadData, true);
    }
    ~TThreadDataStart() {
        RecordStartupStep(kStartThreadData, false);
        SetThreadDataHooks(nullptr, nullptr);
        if (slot.IsValid()) {
            EndThreadDataOfCommonLibrary();
            slot.Free();
        }
    }
};
__attribute__((init_priority(kStartThreadData))) TThreadDataStart threadDataStart;

}  // namespace

TThreadData* CurrentThreadData() noexcept {
    return static_cast<TThreadData*>(slot.Get());
}

}  // namespace cvq::detail

using cvq::detail::slot;
using cvq::detail::TThreadData;

void InitThreadDataOfCommonLibrary() {
    if (!slot.IsValid() || slot.Get()) return;
    TThreadData* data = new TThreadData;
    if (!slot.Set(data)) delete data;
}

void EndThreadDataOfCommonLibrary() {
    auto* data = static_cast<TThreadData*>(slot.Get());
    if (!data) return;
    // Cleared first: what the queue's objects do while being deleted sees no data.
    slot.Set(nullptr);
    delete data;
}
