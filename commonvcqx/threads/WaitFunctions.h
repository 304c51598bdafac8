// commonvcqx/threads/WaitFunctions.h
//
// Waiting for all or any of two to five events. The result is the lowest index of a
// signalled event for WaitForAny, 0 for WaitForAll, and -1 on time-out or failure.
// Events after the first whose creation failed (null handle) are left out; the
// indices then count only the events present. An auto-reset event is consumed only
// when the wait succeeds: a WaitForAll that times out takes nothing.
//
//   TThreadEvent data, stop;
//   switch (WaitForAny(stop, data, INFINITE)) {
//       case 0: return;            // stop wins when both are set
//       case 1: Process(); break;
//   }
#pragma once

#include <commonvcqx/threads/ThreadEvent.h>

int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, uint32_t milliseconds);
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, uint32_t milliseconds);
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   uint32_t milliseconds);
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   TThreadEvent& e, uint32_t milliseconds);

int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, uint32_t milliseconds);
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, uint32_t milliseconds);
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   uint32_t milliseconds);
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   TThreadEvent& e, uint32_t milliseconds);
