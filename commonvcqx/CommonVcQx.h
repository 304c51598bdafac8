// commonvcqx/CommonVcQx.h
//
// Umbrella header: includes every public header of the library. A test keeps it
// complete, so a program may include just this.
//
//   #include <commonvcqx/CommonVcQx.h>
#pragma once

#include <commonvcqx/Version.h>

#include <commonvcqx/platform/CriticalSection.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/WinTypes.h>

#include <commonvcqx/threads/BasicCriticalSection.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/MultithreadedObject.h>
#include <commonvcqx/threads/Semaphore.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/WaitFunctions.h>

#include <commonvcqx/geometry/Randomizer.h>
