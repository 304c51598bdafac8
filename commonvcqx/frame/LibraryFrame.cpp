// Stopping of the library's file threads before the host unloads the library.
#include <commonvcqx/frame/LibraryFrame.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace cvq::detail {
namespace {

constinit std::atomic<TCommonFileThread*> fileThreads[2] = {};

void DrainAndStop(std::atomic<TCommonFileThread*>& entry) {
    TCommonFileThread* thread = entry.exchange(nullptr);
    if (!thread) return;
    while (thread->GetOutstandingRequests() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    thread->Stop();
}

}  // namespace

void SetCommonFileThreads(TCommonFileThread* reader, TCommonFileThread* writer) noexcept {
    fileThreads[0].store(reader);
    fileThreads[1].store(writer);
}

}  // namespace cvq::detail

// The reader first: its requests may feed the writer.
void EndCommonThreads() {
    cvq::detail::DrainAndStop(cvq::detail::fileThreads[0]);
    cvq::detail::DrainAndStop(cvq::detail::fileThreads[1]);
}
