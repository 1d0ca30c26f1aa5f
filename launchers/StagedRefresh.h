// Installs the database copy staged in the TEMP sub-folder of the application folder.
#pragma once

#include <platform.h>

#include <string>

namespace launchers {

// One attempt, nothing reported. The installed database is at every moment either the old file
// or the complete staged one; the staged copy is deleted only once it has been installed.
void RefreshStagedDatabase(const std::wstring& appFolder);

// The refresh's copy: the splash answers after every piece, and shows the progress once the copy
// has run for half a second.
bool CopyWithProgress(const platform::OpenFile& staged, const platform::OpenFile& temp);

}  // namespace launchers
