#include "registrar_world.h"

namespace platform {

using doubles::World;

int MsgBox(const std::wstring& text, std::uint32_t style,
           const std::optional<std::wstring>& title) {
    World().journal.push_back(L"MsgBox " + std::to_wstring(style));
    World().boxes.push_back({text, style, title});
    return 1;
}

LocalTime Now() {
    return World().now;
}

std::wstring TimeSeparator() {
    return World().timeSeparator;
}

std::wstring CommandLineArgs() {
    return World().commandLineArgs;
}

std::wstring AppPath() {
    return World().appPath;
}

std::wstring ProgramFileName() {
    return World().programFileName;
}

const wchar_t* AppTitle() {
    return L"Vintrel";
}

UserLock::UserLock(const std::wstring& name) {
    World().journal.push_back(L"lock " + name);
    World().lockHeld = true;
    handle_ = 1;
}

UserLock::~UserLock() {
    World().journal.push_back(L"unlock");
    World().lockHeld = false;
}

}  // namespace platform
