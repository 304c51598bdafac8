// A Qt event loop that serves the library's queue: notifications posted by a worker
// thread are delivered on the main thread.
#include "LoopWorker.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

// guide: qt
// The notifier fires whenever the main thread's queue has messages.
void WatchLibraryQueue(QObject* parent) {
    GetThreadNotificationQueue();  // make the main thread's queue before others post
    auto* notifier =
        new QSocketNotifier(GetMessageQueueFileDescriptor(), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PENDING_EVENTS)
                ProcessThreadPendingEvents();
            else if (msg.message == WM_POSTED_EXCEPTION)
                ShowPostedError(reinterpret_cast<TException*>(msg.lParam));
            else
                DispatchMessageA(&msg);
        }
    });
}
// guide: end

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    TLoopCount count;
    count.onLast = [] { QCoreApplication::quit(); };
    TEventPublisher publisher("Steps", 4, 1);
    publisher.Subscribe(nullptr, kStep, &OnStep, &count);
    publisher.SetNotificationQueue(GetThreadNotificationQueue());
    WatchLibraryQueue(&application);
    QTimer::singleShot(30000, &application, [] { QCoreApplication::quit(); });
    {
        TPostingWorker worker(publisher);
        worker.SetupAndRun(&worker, 0, 0, 0);
        QCoreApplication::exec();
    }
    const bool ok = count.delivered == kSteps && !count.wrongThread &&
                    g_postedError == "take 3 could not be saved";
    std::printf("Qt loop: %d of %d notifications on the main thread\n", count.delivered, kSteps);
    return ok ? 0 : 1;
}
