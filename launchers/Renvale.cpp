// Renvale: the refreshing launcher. It reads its command line and shows the splash form; the form's
// unload installs the staged database copy (or, with /from, pulls the user's own copy) and opens
// the database in Access.
#include <windows.h>

#include <platform.h>

#include "LaunchDatabase.h"
#include "LauncherRun.h"
#include "frmSplash.h"
#include "version.h"

const wchar_t* platform::AppTitle() {
    return L"Renvale";
}

const wchar_t* platform::ReleaseText() {
    return L"" ORVANTIS_RELEASE_TEXT;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    Renvale::ReadCommandLine();
    return launchers::EndRun(frmSplash::Run(instance, Renvale::LaunchDatabase));
}
