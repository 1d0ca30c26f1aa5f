// Messages dispatched while the launch works on the user-interface thread.
#include <windows.h>

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
    for (int paints = 0;
         paints < kMostPaintsPerPiece &&
         PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE);
         ++paints) {
        DispatchMessageW(&message);
    }
}

}  // namespace platform
