// Vintrel /remove: takes back the trust this program gave a folder, in every version chosen.
#pragma once

#include <string>
#include <vector>

#include "basMain.h"

namespace removal {

// Deletes every slot whose "Path" names the folder (normalised as for adding) and whose
// "Description" is this program's own; other programs' entries and AllowNetworkLocations stay.
// Gives the exit code: kRegistered also when nothing matched, kRegistryError when a slot could
// not be deleted or the lock was not had.
basMain::ExitCode RemoveFolder(const std::vector<std::wstring>& versions,
                               const std::wstring& sPfad);

}  // namespace removal
