// Waiting on the user-interface thread without freezing its windows, while the launch's file work
// runs on a worker.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform {

// Waits until object is signalled (or only until the time is up, when object is null),
// dispatching every message meanwhile; true when the object was signalled.
bool WaitAnswering(HANDLE object, DWORD milliseconds);

// Whether this thread is a worker of RunOnWorker.
bool OnWorker();
// Counts steps as progress of the work on this thread; nothing on any other thread.
void NoteProgress(std::uint64_t steps = 1);

// While one lives, the work on this thread waits for its own disk (a flush of a copy it wrote,
// which shows no progress of its own however long it takes): the waiter counts that time as
// progress. Nothing on any other thread.
class OwnDiskWait {
  public:
    OwnDiskWait();
    ~OwnDiskWait();
    OwnDiskWait(const OwnDiskWait&) = delete;
    OwnDiskWait& operator=(const OwnDiskWait&) = delete;
};

// A file operation that counts as one step of the work once it returns, however it returns.
class StepOfWork {
  public:
    StepOfWork() = default;
    ~StepOfWork() { NoteProgress(); }
    StepOfWork(const StepOfWork&) = delete;
    StepOfWork& operator=(const StepOfWork&) = delete;
};

}  // namespace platform
