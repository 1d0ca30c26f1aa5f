// Long steps of the launch run while the splash window keeps answering: its thread waits in
// MsgWaitForMultipleObjectsEx and dispatches every message, and the splash form itself ignores
// keys, ticks and close requests while the launch runs.
#include <windows.h>

#include <cstdint>

#include "answering_wait.h"
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

void Pause(std::uint32_t milliseconds) {
    if (!OnWorker()) {
        WaitAnswering(nullptr, milliseconds);
        return;
    }
    Sleep(milliseconds);
    NoteProgress();
}

}  // namespace platform
