// A GLib main loop that serves the library's queue: notifications posted by a worker
// thread are delivered on the main thread.
#include "LoopWorker.h"

#include <glib-unix.h>
#include <glib.h>

#include <cstdio>

// guide: glib
// Called by GLib whenever the main thread's queue has messages.
gboolean ServeLibraryQueue(gint, GIOCondition, gpointer) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PENDING_EVENTS)
            ProcessThreadPendingEvents();  // posted notifications, in order
        else if (msg.message == WM_POSTED_EXCEPTION)
            ShowPostedError(reinterpret_cast<TException*>(msg.lParam));
        else
            DispatchMessageA(&msg);  // the library's hidden windows
    }
    return G_SOURCE_CONTINUE;
}

void WatchLibraryQueue() {
    GetThreadNotificationQueue();  // make the main thread's queue before others post
    g_unix_fd_add(GetMessageQueueFileDescriptor(), G_IO_IN, ServeLibraryQueue, nullptr);
}
// guide: end

int main() {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    TLoopCount count;
    count.onLast = [loop] { g_main_loop_quit(loop); };
    TEventPublisher publisher("Steps", 4, 1);
    publisher.Subscribe(nullptr, kStep, &OnStep, &count);
    publisher.SetNotificationQueue(GetThreadNotificationQueue());
    WatchLibraryQueue();
    // Ends a loop that would otherwise wait for ever.
    g_timeout_add_seconds(
        30,
        [](gpointer l) { return g_main_loop_quit(static_cast<GMainLoop*>(l)), G_SOURCE_REMOVE; },
        loop);
    {
        TPostingWorker worker(publisher);
        worker.SetupAndRun(&worker, 0, 0, 0);
        g_main_loop_run(loop);
    }
    g_main_loop_unref(loop);
    const bool ok = count.delivered == kSteps && !count.wrongThread &&
                    g_postedError == "take 3 could not be saved";
    std::printf("GLib loop: %d of %d notifications on the main thread\n", count.delivered, kSteps);
    return ok ? 0 : 1;
}
