// What a launcher learns about its process and its user, and the boxes it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace doubles {

struct ShownBox {
    std::wstring text;
    std::uint32_t style;
    std::optional<std::wstring> title;
    int locksHeld;  // lock files this process held while the box was up
};

struct LauncherProcess {
    std::wstring commandLine = L"C:\\App\\Renvale.exe";
    std::uint16_t uiLanguage = 0x0409;  // English (United States)
    std::wstring localAppData = L"C:\\Users\\anna\\AppData\\Local";
    std::vector<ShownBox> boxes;
};

LauncherProcess& Process();
// A fresh process: its ResetWorld() calls it.
void ResetProcess();

}  // namespace doubles
