// The standard module of Renvale: Access 2003 gets the low automation security, and the staged
// database copy is installed before the open; with /from, each user's own copy of the master is
// opened instead.
#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

#include "LaunchDatabase.h"
#include "LauncherRun.h"

namespace Renvale {
namespace {
std::int32_t hWndAccess = 0;
// The master folder and the user's folder as written; resolved once the splash is up.
std::optional<std::wstring> masterFolder;
std::optional<std::wstring> localFolder;
}  // namespace

void ReadCommandLine() {
    const launchers::LauncherSwitches switches = launchers::StartRun(true);
    masterFolder = switches.from;
    localFolder = switches.to;
}

bool LaunchDatabase() {
    std::optional<launchers::PerUserFolders> perUser;
    if (masterFolder) {
        perUser = launchers::ResolvePerUserFolders(*masterFolder, localFolder, platform::AppPath());
    }
    return launchers::LaunchAccessDatabase(L"11.0", launchers::SecurityWhen::VersionEquals, true,
                                           hWndAccess, perUser);
}

}  // namespace Renvale
