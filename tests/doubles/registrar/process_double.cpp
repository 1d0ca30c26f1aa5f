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

UserLock::UserLock(const std::wstring& name, std::uint32_t timeoutMs) {
    World().journal.push_back(L"lock " + name + L" " + std::to_wstring(timeoutMs));
    if (!World().lockAvailable)
        return;
    World().lockHeld = true;
    handle_ = 1;
}

UserLock::~UserLock() {
    if (!handle_)
        return;
    World().journal.push_back(L"unlock");
    World().lockHeld = false;
}

std::optional<std::wstring> FullPathName(const std::wstring& path) {
    const auto full = World().fullPaths.find(path);
    return full == World().fullPaths.end() ? path : full->second;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return !doubles::NoCaseLess{}(a, b) && !doubles::NoCaseLess{}(b, a);
}

}  // namespace platform
