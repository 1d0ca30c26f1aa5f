// Installs the database copy staged in the TEMP sub-folder of the application folder.
#pragma once

#include <platform.h>

#include <string>

namespace launchers {

// One attempt, nothing reported. The installed database is at every moment either the old file
// or the complete staged one; the staged copy is deleted only once it has been installed.
void RefreshStagedDatabase(const std::wstring& appFolder);

// The refresh's progress callback: the splash answers every 50 ms of the copy and after its last
// piece, and shows the progress once the copy has run for half a second.
platform::CopyProgress SplashProgress();

}  // namespace launchers
