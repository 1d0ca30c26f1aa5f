// Messages dispatched while the launch works on the user-interface thread.
#include <windows.h>

#include <cstdint>

#include "platform.h"

namespace platform {
namespace {

// A window whose painting never ends must not hold the copy up.
constexpr int kMostPaintsPerPiece = 64;

}  // namespace

// Only paint and sent messages: a tick, a key or a close request that was posted waits in the
// queue, and one that is sent meets the splash form's re-entry guard.
void LetSplashAnswer() {
    MSG message;
    for (int paints = 0; paints < kMostPaintsPerPiece &&
                         PeekMessageW(&message, nullptr, 0, 0,
                                      PM_REMOVE | PM_NOYIELD | PM_QS_PAINT | PM_QS_SENDMESSAGE);
         ++paints) {
        DispatchMessageW(&message);
    }
}

void Pause(std::uint32_t milliseconds) {
    const ULONGLONG until = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now),
                                  QS_PAINT | QS_SENDMESSAGE);
        LetSplashAnswer();
    }
}

}  // namespace platform
