// user32's ShowWindow, looked up by name in the system folder's user32.dll at its first call and
// kept for the life of the process.
#include <windows.h>

#include <cstdint>

#include "platform.h"
#include "system_dlls.h"

namespace platform {
namespace {

using ShowWindowFunction = BOOL(WINAPI*)(HWND, int);

ShowWindowFunction BindShowWindow() {
    // user32 stays loaded for the life of the process, so the module is never freed.
    const HMODULE user32 = LoadSystemLibrary(L"user32.dll");
    if (!user32)
        return nullptr;
    const FARPROC address = GetProcAddress(user32, "ShowWindow");
    return reinterpret_cast<ShowWindowFunction>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

bool ShowWindow(std::int32_t windowHandle, int showCommand) {
    static const ShowWindowFunction showWindow = BindShowWindow();
    if (!showWindow)
        return false;
    // The result tells whether the window was visible before, not whether the call worked.
    showWindow(reinterpret_cast<HWND>(static_cast<std::intptr_t>(windowHandle)), showCommand);
    return true;
}

}  // namespace platform
