// Loading DLLs from the system folder only: the programs' own folder may be written by any user.
#pragma once

#include <windows.h>

namespace platform {

// The named DLL from the system folder; null when it cannot be loaded from there.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace platform
