// The lock, the condition and the threads that carry the log's lines off the window thread.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <new>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

DWORD WINAPI RunThread(void* parameter) {
    const std::unique_ptr<std::function<void()>> work(
        static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
        // A thread of the log must not end the process: its lines are lost, nothing else.
    }
    return 0;
}

}  // namespace

struct Monitor::State {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() = default;

void Monitor::Enter() {
    AcquireSRWLockExclusive(&state_->lock);
}

void Monitor::Leave() {
    ReleaseSRWLockExclusive(&state_->lock);
}

void Monitor::Wait(std::uint32_t milliseconds) {
    SleepConditionVariableSRW(&state_->condition, &state_->lock, milliseconds, 0);
}

void Monitor::WakeAll() {
    WakeAllConditionVariable(&state_->condition);
}

bool StartThread(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const owners::unique_handle thread(
        CreateThread(nullptr, 0, RunThread, owned.get(), 0, nullptr));
    if (!thread)
        return false;
    owned.release();  // the thread owns it now
    return true;
}

std::uint64_t MonotonicMs() {
    return GetTickCount64();
}

}  // namespace platform
