// The standard module of Renvale: Access 2003 gets the low automation security, and the staged
// database copy is installed before the open.
#include <cstdint>

#include "LaunchDatabase.h"

namespace Renvale {
namespace {
std::int32_t hWndAccess = 0;
}

void LaunchDatabase() {
    launchers::LaunchAccessDatabase(L"11.0", launchers::SecurityWhen::VersionEquals, true,
                                    hWndAccess);
}

}  // namespace Renvale
