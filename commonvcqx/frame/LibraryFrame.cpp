// Per-thread data in one thread slot, made for the loading thread at load; stopping of
// the file threads.
#include <commonvcqx/frame/LibraryFrame.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/frame/internal/ThreadData.h>
#include <commonvcqx/platform/internal/ThreadSlot.h>
#include <commonvcqx/threads/internal/ThreadDataHooks.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace cvq::detail {
namespace {

constinit platform::TThreadSlot slot;

// A thread that ends with its data still set: release it here rather than leak it.
void ReleaseAtThreadEnd(void* data) {
    delete static_cast<TThreadData*>(data);
}

void StopFileThreads();

struct TThreadDataStart {
    TThreadDataStart() {
        if (slot.Allocate(&ReleaseAtThreadEnd)) InitThreadDataOfCommonLibrary();
        // Threads started through TThread make and release their data themselves.
        SetThreadDataHooks(&InitThreadDataOfCommonLibrary, &EndThreadDataOfCommonLibrary);
        AddCommonThreadStopper(&StopFileThreads);
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

constinit std::atomic<TCommonFileThread*> fileThreads[2] = {};

void DrainAndStop(std::atomic<TCommonFileThread*>& entry) {
    TCommonFileThread* thread = entry.exchange(nullptr);
    if (!thread) return;
    while (thread->GetOutstandingRequests() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    thread->Stop();
}

// The reader first: its requests may feed the writer.
void StopFileThreads() {
    DrainAndStop(fileThreads[0]);
    DrainAndStop(fileThreads[1]);
}

}  // namespace

TThreadData* CurrentThreadData() noexcept {
    return static_cast<TThreadData*>(slot.Get());
}

void SetCommonFileThreads(TCommonFileThread* reader, TCommonFileThread* writer) noexcept {
    fileThreads[0].store(reader);
    fileThreads[1].store(writer);
}

}  // namespace cvq::detail

using namespace cvq::detail;

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
