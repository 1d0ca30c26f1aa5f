// Waiting on the user-interface thread without freezing its windows.
#pragma once

#include <windows.h>

#include <functional>

namespace platform {

// Waits until object is signalled (or only until the time is up, when object is null),
// dispatching every message meanwhile; true when the object was signalled.
bool WaitAnswering(HANDLE object, DWORD milliseconds);

// Runs work on a thread of its own while this thread answers its messages, calling tick on this
// thread about every tickMs meanwhile and once when the work is done. The work's error code, or
// the reason it could not run.
DWORD RunAnswering(const std::function<DWORD()>& work, const std::function<void()>& tick,
                   DWORD tickMs);

}  // namespace platform
