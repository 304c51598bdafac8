// TMessageLock: the lock of message queues and the window table; TMessageGuard holds it
// for a scope, can leave and take it again, and is what the queue's condition variable
// waits on. Private to platform/posix.
//
//   TMessageGuard guard(queue->lock);
//   queue->posted.push_back(msg);        // checked: `posted` is guarded by `lock`
#pragma once

#include <commonvcqx/base/Mutex.h>

namespace cvq::platform::posix {

using TMessageLock = cvq::TMutex;
using TMessageGuard = cvq::TMutexGuard;

}  // namespace cvq::platform::posix
