// Vintrel: records a folder as a trusted location of Microsoft Access 2007 for the current user.
#include <windows.h>

#include "basMain.h"
#include "platform.h"

const wchar_t* platform::AppTitle() {
    return L"Vintrel";
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    basMain::Main();
    return 0;
}
