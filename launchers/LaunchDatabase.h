// The launch procedure of each launcher: called once, by the splash form's unload handler.
// It absorbs every failure and always returns normally.
#pragma once

namespace Renvale {
// Version rule "11.0" (security set when equal); installs the staged copy before the open.
void LaunchDatabase();
}  // namespace Renvale

namespace Module1 {
// Version rule "9.0" (security set when different); no refresh.
void LaunchDatabase();
}  // namespace Module1
