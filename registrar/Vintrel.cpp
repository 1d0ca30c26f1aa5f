// Vintrel: records a folder as a trusted location of Microsoft Access for the current user;
// its exit code tells scripts the outcome.
#include <windows.h>

#include "basMain.h"
#include "platform.h"

const wchar_t* platform::AppTitle() {
    return L"Vintrel";
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    return basMain::Main();
}
