// The launch's file work runs on a worker so that a file call that takes long, or never returns,
// cannot keep the splash from answering. The waiter may give up on a worker; the worker then
// finishes (or hangs) on its own, with the state it shares kept alive by both.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <utility>

#include "answering_wait.h"
#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

constexpr DWORD kAskEveryMs = 50;

struct Shared {
    std::function<void()> work;
    std::atomic<std::uint64_t> progress = 0;
    std::atomic<bool> abandoned = false;
    std::atomic<bool> onOwnDisk = false;
    std::exception_ptr failure;
};

thread_local Shared* currentWork = nullptr;

DWORD WINAPI RunWork(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Shared>> owned(
        static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    currentWork = &shared;
    try {
        shared.work();
    } catch (...) {
        shared.failure = std::current_exception();
    }
    currentWork = nullptr;
    return 0;
}

}  // namespace

bool OnWorker() {
    return currentWork != nullptr;
}

void NoteProgress(std::uint64_t steps) {
    if (currentWork)
        currentWork->progress += steps;
}

OwnDiskWait::OwnDiskWait() {
    if (currentWork)
        currentWork->onOwnDisk = true;
}

OwnDiskWait::~OwnDiskWait() {
    if (currentWork)
        currentWork->onOwnDisk = false;
}

bool WorkAbandoned() {
    return currentWork && currentWork->abandoned;
}

bool RunOnWorker(std::function<void()> work,
                 const std::function<bool(std::uint64_t progress)>& keepWaiting) {
    auto shared = std::make_shared<Shared>();
    shared->work = std::move(work);
    auto* handedOver = new std::shared_ptr<Shared>(shared);
    const owners::unique_handle thread(CreateThread(nullptr, 0, RunWork, handedOver, 0, nullptr));
    if (!thread) {
        delete handedOver;
        // Without a thread of its own the work runs here, as it did before there were workers.
        shared->work();
        return true;
    }
    while (!WaitAnswering(thread.get(), kAskEveryMs)) {
        if (shared->onOwnDisk)
            ++shared->progress;
        if (!keepWaiting(shared->progress)) {
            shared->abandoned = true;
            return false;
        }
    }
    if (shared->failure)
        std::rethrow_exception(shared->failure);
    return true;
}

}  // namespace platform
