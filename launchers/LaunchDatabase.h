// The launch procedure of each launcher: called once, by the splash form's unload handler.
// It absorbs every failure and always returns normally.
#pragma once

#include <cstdint>
#include <string>

namespace Renvale {
// Version rule "11.0" (security set when equal); installs the staged copy before the open.
void LaunchDatabase();
}  // namespace Renvale

namespace Module1 {
// Version rule "9.0" (security set when different); no refresh.
void LaunchDatabase();
}  // namespace Module1

namespace launchers {

// Which outcome of comparing Access's Version with the literal writes AutomationSecurity = 1.
// A Version that cannot be read counts as equal.
enum class SecurityWhen { VersionEquals, VersionDiffers };

// The steps both launchers share: create Access, set its security by the rule, install the
// staged copy when asked, open the database, show Access maximised, release it.
// hWndAccess is the calling module's own variable: a failed handle read leaves it as it was.
void LaunchAccessDatabase(const std::wstring& versionLiteral, SecurityWhen securityWhen,
                          bool refreshStagedCopy, std::int32_t& hWndAccess);

}  // namespace launchers
