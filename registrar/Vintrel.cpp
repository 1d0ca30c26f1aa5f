// Vintrel: records a folder as a trusted location of Microsoft Access for the current user;
// its exit code tells scripts the outcome.
#include <windows.h>

#include "basMain.h"
#include "platform.h"
#include "version.h"

const wchar_t* platform::AppTitle() {
    return L"Vintrel";
}

const wchar_t* platform::ReleaseText() {
    return L"" ORVANTIS_RELEASE_TEXT;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    return basMain::Main();
}
