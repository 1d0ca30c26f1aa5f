// Tessaly: the plain launcher. It shows the splash form; the form's unload opens the database in
// Access, without any refresh.
#include <windows.h>

#include <platform.h>

#include "LaunchDatabase.h"
#include "LauncherRun.h"
#include "frmSplash.h"
#include "version.h"

const wchar_t* platform::AppTitle() {
    return L"Tessaly";
}

const wchar_t* platform::ReleaseText() {
    return L"" ORVANTIS_RELEASE_TEXT;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::RestrictDllSearchToSystem();
    Module1::ReadCommandLine();
    return launchers::EndRun(frmSplash::Run(instance, Module1::LaunchDatabase));
}
