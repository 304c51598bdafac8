// What the host installs at start-up: its message boxes, its trace output, and its
// threading for the heaps; threads of its own announce themselves to the library.
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/TraceSink.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

std::string g_lastBox;
std::string g_lastTrace;
int g_steps = 0;

void OnStep(int32_t, int32_t, int32_t, void*, TEventPublisher*, int32_t) {
    ++g_steps;
}

// guide: host-boxes
// The library's few boxes (a file in use, a module error) in the host's own dialog.
int AskInOwnDialog(const char* text, const char* caption, UINT type) {
    g_lastBox = std::string(caption) + ": " + text;  // a real host shows its dialog here
    return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

void ToOwnLog(const char* line) {
    g_lastTrace = line;  // the library's debugger output
}
// guide: end

// guide: heap-threading
// At most one, with static lifetime: 0 when one thread allocates (the default heap
// then drops its lock), 1, as without one, for several.
static InitNewHeap g_initNewHeap(1);
// guide: end

// guide: host-thread
// A thread the host starts itself (std::thread, a toolkit's pool), not a TThread.
void HostWorker(TEventPublisher& publisher) {
    InitThreadDataOfCommonLibrary();  // before events or configuration comparisons
    publisher.PostNotification(1, 7);
    EndThreadDataOfCommonLibrary();  // else released when the thread ends
}
// guide: end

}  // namespace

int main() {
    // guide: host-install
    SetMessageBoxHandler(&AskInOwnDialog);  // null restores the default (standard error)
    SetTraceSink(&ToOwnLog);                // null restores the default (standard error)
    // guide: end

    const int answer = ShowMessageBox("Overwrite?", "Editor", MB_YESNO);
    TraceLine("reader stopped\n");

    TEventPublisher publisher("Steps", 4, 1);
    publisher.Subscribe(nullptr, 1, &OnStep, nullptr);
    publisher.SetNotificationQueue(GetThreadNotificationQueue());
    std::thread(HostWorker, std::ref(publisher)).join();
    ProcessThreadPendingEvents();

    // guide: unload
    // Before the host unloads the library (or returns from main): the library's file
    // threads finish their queued work and stop.
    EndCommonThreads();
    // guide: end

    const bool ok = answer == IDYES && g_lastBox == "Editor: Overwrite?" &&
                    g_lastTrace == "reader stopped" && g_steps == 1;
    std::printf("box \"%s\", trace \"%s\", %d notification from a host thread\n", g_lastBox.c_str(),
                g_lastTrace.c_str(), g_steps);
    return ok ? 0 : 1;
}
