// commonvcqx/frame/AutoInitProcedure.h
//
// TAutoInitProcedure: registers start-up and clean-up work of a host module under a
// group name. Made as a static object, it registers while the module starts; the host
// later runs a group's work in priority order and cleans it up in reverse.
//
//   void* OpenMixer(intptr_t channels);     // its result is handed to CloseMixer
//   void CloseMixer(void* mixer);
//   static TAutoInitProcedure mixer("Audio", &OpenMixer, &CloseMixer, 10, 2);
//   ...
//   if (!RunAutoInit("audio")) ...           // group names ignore case
//   RunAutoCleanup("audio");
//
// The registry has no lock: register during static start-up, run and clean up from
// one thread. The value travels through init and cleanup, so it is pointer-sized.
#pragma once

#include <cstdint>

using TAutoInitFunction = void* (*)(intptr_t value);
using TAutoCleanupFunction = void (*)(void* value);

class TAutoInitProcedure {
public:
    /// Adds an entry: higher priorities run first, equal ones in registration order.
    /// `group` is kept as given (not copied; null means ""); both procedures may be null.
    TAutoInitProcedure(const char* group, TAutoInitFunction init, TAutoCleanupFunction cleanup,
                       int priority, intptr_t value);
};

/// Runs the init procedure of every entry of `group` (case ignored), highest priority
/// first, each entry's value becoming its result. An init that throws stops the walk:
/// the result is then false. True when nothing was ever registered.
char RunAutoInit(const char* group);

/// Runs the cleanup procedures of `group` in reverse order, each with its entry's value,
/// and removes those entries; an entry whose cleanup throws stays registered. Never
/// throws. An emptied registry is discarded, so later registrations start a new one.
void RunAutoCleanup(const char* group);
