#include "process_double.h"

#include <platform.h>

#include <cwctype>

#include "files_double.h"
#include "journal.h"

namespace doubles {

LauncherProcess& Process() {
    static LauncherProcess process;
    return process;
}

void ResetProcess() {
    Process() = LauncherProcess();
}

}  // namespace doubles

namespace platform {

using doubles::Process;

std::wstring CommandLine() {
    return Process().commandLine;
}

std::uint16_t UserUiLanguage() {
    return Process().uiLanguage;
}

std::wstring LocalAppDataFolder() {
    return Process().localAppData;
}

int MsgBox(const std::wstring& text, std::uint32_t style,
           const std::optional<std::wstring>& title) {
    doubles::Record({L"MsgBox", L"", {text}});
    Process().boxes.push_back({text, style, title, doubles::LockFilesHeld()});
    return 1;
}

// The paths the tests give are full already.
std::optional<std::wstring> FullPathName(const std::wstring& path) {
    return path;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

}  // namespace platform
