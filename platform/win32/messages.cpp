// Long steps of the launch run while the splash window keeps answering: its thread waits in
// MsgWaitForMultipleObjectsEx and dispatches every message, and the splash form itself ignores
// keys, ticks and close requests while the launch runs.
#include <windows.h>

#include <cstdint>
#include <new>

#include "answering_wait.h"
#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

// A flood of posted messages must not keep the wait from seeing that its object is signalled.
constexpr int kMostMessagesPerWake = 64;

// A quit request is kept and handed on once the wait is over, to the loop that owns the thread.
struct QuitRequest {
    bool asked = false;
    WPARAM exitCode = 0;
};

void DispatchWaitingMessages(QuitRequest& quit) {
    MSG message;
    for (int handled = 0;
         handled < kMostMessagesPerWake && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
         ++handled) {
        if (message.message == WM_QUIT) {
            quit = {true, message.wParam};
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

struct Work {
    const std::function<DWORD()>& run;
    DWORD error = ERROR_SUCCESS;
};

DWORD WINAPI RunWork(void* parameter) {
    Work& work = *static_cast<Work*>(parameter);
    try {
        work.error = work.run();
    } catch (const std::bad_alloc&) {
        work.error = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        work.error = ERROR_GEN_FAILURE;
    }
    return 0;
}

}  // namespace

bool WaitAnswering(HANDLE object, DWORD milliseconds) {
    QuitRequest quit;
    const ULONGLONG until = GetTickCount64() + milliseconds;
    bool signalled = false;
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(object ? 1 : 0, object ? &object : nullptr,
                                                       static_cast<DWORD>(until - now), QS_ALLINPUT,
                                                       MWMO_INPUTAVAILABLE);
        if (object && woke == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (woke == WAIT_FAILED) {
            signalled = object && WaitForSingleObject(object, static_cast<DWORD>(until - now)) ==
                                      WAIT_OBJECT_0;
            break;
        }
        DispatchWaitingMessages(quit);
    }
    if (quit.asked)
        PostQuitMessage(static_cast<int>(quit.exitCode));
    return signalled;
}

DWORD RunAnswering(const std::function<DWORD()>& work, const std::function<void()>& tick,
                   DWORD tickMs) {
    Work running{work};
    const owners::unique_handle thread(CreateThread(nullptr, 0, RunWork, &running, 0, nullptr));
    if (!thread)
        return GetLastError();
    while (!WaitAnswering(thread.get(), tickMs)) {
        if (tick)
            tick();
    }
    if (tick)
        tick();
    return running.error;
}

void Pause(std::uint32_t milliseconds) {
    WaitAnswering(nullptr, milliseconds);
}

}  // namespace platform
