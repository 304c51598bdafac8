// commonvcqx/platform/internal/KernelObjects.h
//
// Events, semaphores and thread handles as reference-counted kernel objects, and
// waits on one or several of them with the Windows rules: "wait all" is all or
// nothing, "wait any" reports the lowest signalled index, and an auto-reset event or
// a semaphore unit is consumed only by the wait that it satisfies.
//
//   HANDLE ready = cvq::platform::CreateEventObject(false, false);
//   HANDLE copy = cvq::platform::DuplicateObjectHandle(ready);  // same event
//   cvq::platform::SetEventObject(copy);
//   cvq::platform::WaitForObjects(&ready, 1, false, INFINITE);  // WAIT_OBJECT_0
//   cvq::platform::CloseObjectHandle(copy);
//   cvq::platform::CloseObjectHandle(ready);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

namespace cvq::platform {

/// A new event; null when it cannot be created.
HANDLE CreateEventObject(bool manualReset, bool initiallySignalled);
/// A new semaphore; null for counts out of range (initial above maximum, maximum below 1).
HANDLE CreateSemaphoreObject(int32_t initialCount, int32_t maximumCount);
/// One more reference to the same object; the result must be closed on its own.
HANDLE DuplicateObjectHandle(HANDLE handle);
/// Drops one reference; null and the current-thread pseudo-handle are ignored.
void CloseObjectHandle(HANDLE handle);

bool SetEventObject(HANDLE event);
bool ResetEventObject(HANDLE event);
/// Releases the waiters that the set state satisfies (all of them for a manual-reset
/// event, one for an auto-reset event), then leaves the event reset.
bool PulseEventObject(HANDLE event);
/// Fails, changing nothing, when the count would pass the maximum.
bool ReleaseSemaphoreObject(HANDLE semaphore, int32_t count, int32_t* previousCount = nullptr);

/// WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or WAIT_FAILED (null handle, too many handles,
/// one object twice in a "wait all").
DWORD WaitForObjects(const HANDLE* handles, DWORD count, bool waitAll, DWORD milliseconds);

inline DWORD WaitForObject(HANDLE handle, DWORD milliseconds) {
    return WaitForObjects(&handle, 1, false, milliseconds);
}

/// The handle that stands for the calling thread wherever it is used; needs no closing.
HANDLE CurrentThreadPseudoHandle();

}  // namespace cvq::platform
