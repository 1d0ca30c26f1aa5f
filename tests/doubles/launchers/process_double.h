// What a launcher learns about its process and its user, the boxes it shows, and the lock of a
// user's starts.
#pragma once

#include <cstdint>
#include <string>

#include "common/process_double.h"

namespace doubles {

struct LauncherProcess : ProcessFacts {
    std::wstring commandLine = L"C:\\App\\Renvale.exe";
    std::uint16_t uiLanguage = 0x0409;  // English (United States)
    std::wstring localAppData = L"C:\\Users\\anna\\AppData\\Local";
    // Another start of the user holds the lock for this many attempts to take it.
    int lockHeldElsewhereFor = 0;
    int lockAttempts = 0;
};

LauncherProcess& Process();
// A fresh process: its ResetWorld() calls it.
void ResetProcess();

}  // namespace doubles
