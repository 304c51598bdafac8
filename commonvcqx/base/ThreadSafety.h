// commonvcqx/base/ThreadSafety.h
//
// Lock rules the compiler checks: Clang's thread-safety analysis (-Wthread-safety)
// reads these attributes and reports a guarded field touched without its lock, or a
// function that needs a lock called without it. Other compilers see nothing.
//
//   class CVQ_CAPABILITY("mutex") TLock { void Lock() CVQ_ACQUIRE(); ... };
//   struct TQueue {
//       TLock lock;
//       int count CVQ_GUARDED_BY(lock);
//       void Push() CVQ_REQUIRES(lock);     // the caller holds `lock`
//   };
//
// The analysis knows no recursive locks: a lock entered again by its holder is a rule
// of the code, not of the annotations.
#pragma once

#if defined(__clang__)
#define CVQ_THREAD_ANNOTATION(attribute) __attribute__((attribute))
#else
#define CVQ_THREAD_ANNOTATION(attribute)
#endif

/// A lock type.
#define CVQ_CAPABILITY(name) CVQ_THREAD_ANNOTATION(capability(name))
/// A guard type that holds a lock from its construction to its destruction.
#define CVQ_SCOPED_CAPABILITY CVQ_THREAD_ANNOTATION(scoped_lockable)
/// A field read or written only with the lock held.
#define CVQ_GUARDED_BY(lock) CVQ_THREAD_ANNOTATION(guarded_by(lock))
/// A function called with the locks held, which it leaves held.
#define CVQ_REQUIRES(...) CVQ_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
/// A function that takes the locks (none named: the lock object itself).
#define CVQ_ACQUIRE(...) CVQ_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
/// A function that leaves the locks (none named: the lock object itself).
#define CVQ_RELEASE(...) CVQ_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
/// A function whose locking the analysis cannot follow; say why beside it.
#define CVQ_NO_THREAD_SAFETY_ANALYSIS CVQ_THREAD_ANNOTATION(no_thread_safety_analysis)
