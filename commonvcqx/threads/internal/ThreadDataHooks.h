// commonvcqx/threads/internal/ThreadDataHooks.h
//
// The seam through which the library frame gives every TThread its per-thread data,
// and through which the library's own long-lived threads are stopped before unload.
//
//   cvq::detail::SetThreadDataHooks(&InitThreadDataOfCommonLibrary,
//                                   &EndThreadDataOfCommonLibrary);
#pragma once

namespace cvq::detail {

using ThreadHook = void (*)();

/// `begin` runs on every thread started by TThread before its MainLoop; `end` after
/// MainLoop (and after a self-destructing object is deleted), and also when the thread
/// is forcibly terminated. Either may be null. Set them once, before threads start.
void SetThreadDataHooks(ThreadHook begin, ThreadHook end);

/// Adds a stop step for EndCommonThreads; steps run in the order they were added.
/// At most eight; returns false when full.
bool AddCommonThreadStopper(ThreadHook stop);

}  // namespace cvq::detail
