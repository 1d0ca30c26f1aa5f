// The launch procedure of each launcher: called once, by the splash form's unload handler.
// It absorbs every failure and always returns normally: true when Access accepted the database
// (OpenCurrentDatabase returned without error), which makes the process's exit code 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "PerUserCopy.h"

namespace Renvale {
// Reads /from, /to and /log, and starts the log; called before the splash form is loaded.
void ReadCommandLine();
// Version rule "11.0" (security set when equal); installs the staged copy before the open, or,
// with /from, opens the user's own copy of the master database, pulled first when it changed.
bool LaunchDatabase();
}  // namespace Renvale

namespace Module1 {
// Reads /log and starts the log; called before the splash form is loaded.
void ReadCommandLine();
// Version rule "9.0" (security set when different); no refresh.
bool LaunchDatabase();
}  // namespace Module1

namespace launchers {

// Which outcome of comparing Access's Version with the literal writes AutomationSecurity = 1.
// A Version that cannot be read counts as equal.
enum class SecurityWhen { VersionEquals, VersionDiffers };

// The steps both launchers share: create Access, set its security by the rule, install the
// staged copy when asked, open the database, show Access maximised, release it; each step's
// event goes to the log. With perUser the user's own copy is pulled first and opened instead, and
// the staged copy is not looked at.
// hWndAccess is the calling module's own variable: a failed handle read leaves it as it was.
bool LaunchAccessDatabase(const std::wstring& versionLiteral, SecurityWhen securityWhen,
                          bool refreshStagedCopy, std::int32_t& hWndAccess,
                          const std::optional<PerUserFolders>& perUser = std::nullopt);

}  // namespace launchers
