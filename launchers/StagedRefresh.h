// Installs the database copy staged in the TEMP sub-folder of the application folder.
#pragma once

#include <string>

namespace launchers {

// One attempt, nothing reported. The installed database is at every moment either the old file
// or the complete staged one; the staged copy is deleted only once it has been installed.
void RefreshStagedDatabase(const std::wstring& appFolder);

}  // namespace launchers
