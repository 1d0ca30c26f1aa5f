// What a launcher learns about its process and its user, and the boxes it shows.
#pragma once

#include <cstdint>
#include <string>

#include "common/process_double.h"

namespace doubles {

struct LauncherProcess : ProcessFacts {
    std::wstring commandLine = L"C:\\App\\Renvale.exe";
    std::uint16_t uiLanguage = 0x0409;  // English (United States)
    std::wstring localAppData = L"C:\\Users\\anna\\AppData\\Local";
};

LauncherProcess& Process();
// A fresh process: its ResetWorld() calls it.
void ResetProcess();

}  // namespace doubles
