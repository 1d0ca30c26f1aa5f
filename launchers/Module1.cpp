// The standard module of Tessaly: every Access but 2000 gets the low automation security;
// no refresh.
#include <cstdint>

#include "LaunchDatabase.h"
#include "LauncherRun.h"

namespace Module1 {
namespace {
std::int32_t hWndAccess = 0;
}

void ReadCommandLine() {
    launchers::StartRun(false);
}

bool LaunchDatabase() {
    return launchers::LaunchAccessDatabase(L"9.0", launchers::SecurityWhen::VersionDiffers, false,
                                           hWndAccess);
}

}  // namespace Module1
