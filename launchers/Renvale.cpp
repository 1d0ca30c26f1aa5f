// Renvale: the refreshing launcher. It shows the splash form; the form's unload installs the staged
// database copy and opens the database in Access.
#include <windows.h>

#include <platform.h>

#include "LaunchDatabase.h"
#include "LauncherRun.h"
#include "frmSplash.h"

const wchar_t* platform::AppTitle() {
    return L"Renvale";
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    Renvale::ReadCommandLine();
    return launchers::EndRun(frmSplash::Run(instance, Renvale::LaunchDatabase));
}
