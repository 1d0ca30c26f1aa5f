// Baseline of the launchers' start: creates the automation object the launchers create, through
// the same platform layer, and calls the one member whose arrival the benchmark waits for.
#include <windows.h>

#include <platform.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const platform::ComApartment apartment;
    const platform::AutomationObject access =
        platform::CreateAutomationObject(L"Access.Application");
    platform::CallMethod(access, L"OpenCurrentDatabase",
                         {std::wstring(platform::AppPath() + L"\\Orvantis.mde")});
    return 0;
}
