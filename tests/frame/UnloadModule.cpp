// A small module linked to the library, loaded and unloaded at run time by the tests.
#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/events/internal/ThreadData.h>
#include <commonvcqx/frame/AutoInitProcedure.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/text/String.h>

#include <cstring>
#include <thread>

namespace {

int initRuns = 0;
void* InitModule(intptr_t value) {
    ++initRuns;
    return reinterpret_cast<void*>(value + 1);
}
void CleanupModule(void*) {}

// Registers while the module starts, as a host module would.
TAutoInitProcedure registration("UnloadModule", &InitModule, &CleanupModule, 1, 41);

struct TNote : TListElement {};

}  // namespace

extern "C" {

// The steps built when the library was loaded, in the order they ran.
int CvqModuleStartupLog(int* steps, int capacity) {
    const cvq::detail::TStartupLog& log = cvq::detail::StartupLog();
    int count = 0;
    for (int i = 0; i < log.count && count < capacity; ++i) steps[count++] = log.entries[i];
    return count;
}

void CvqModuleWatchStartup(cvq::detail::TStartupObserver observer) {
    cvq::detail::SetStartupObserver(observer);
}

// Uses the library the way a host module does; 0 when everything behaved.
int CvqModuleExercise() {
    int failures = 0;
    if (!RunAutoInit("unloadmodule") || initRuns != 1) ++failures;
    RunAutoCleanup("UNLOADMODULE");  // nothing of this module may stay registered
    try {
        TExceptionThrower(0).SetAndThrow(TString("from module"), 3u);
        ++failures;
    } catch (const TException& e) {
        if (!e.GetMessage() || std::strcmp(*e.GetMessage(), "from module") != 0) ++failures;
    }
    // A thread that leaves its data behind, and one that ends it.
    std::thread([] {
        InitThreadDataOfCommonLibrary();
        cvq::detail::CurrentThreadData()->queue.Append(new TNote);
    }).join();
    std::thread([] {
        InitThreadDataOfCommonLibrary();
        EndThreadDataOfCommonLibrary();
    }).join();
    if (!cvq::detail::CurrentThreadData()) ++failures;  // the loading thread has its data
    EndCommonThreads();
    return failures;
}

// Leaves a note in the calling thread's queue for the library's unload to delete; only
// for a caller that unloads the library together with this module.
void CvqModuleLeaveNote() {
    cvq::detail::CurrentThreadData()->queue.Append(new TNote);
}

// Throws a library exception across the module boundary.
void CvqModuleThrow() {
    TExceptionThrower(0).SetAndThrow("thrown in module", "second", 18u);
}

}  // extern "C"
