#include <windows.h>

#include "platform.h"

namespace platform {

namespace {

std::wstring ModuleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring CommandLineArgs() {
    const wchar_t* rest = GetCommandLineW();
    // The program's name ends at the first blank outside double quotes, as the C runtime counts.
    bool quoted = false;
    while (*rest && (quoted || (*rest != L' ' && *rest != L'\t'))) {
        if (*rest == L'"')
            quoted = !quoted;
        ++rest;
    }
    while (*rest == L' ' || *rest == L'\t')
        ++rest;
    return rest;
}

std::wstring CommandLine() {
    return GetCommandLineW();
}

std::uint16_t UserUiLanguage() {
    return GetUserDefaultUILanguage();
}

std::wstring AppPath() {
    const std::wstring path = ModuleFileName();
    const auto slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return path;
    // At a drive root the folder keeps its backslash: "C:\".
    return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

std::wstring ProgramFileName() {
    const std::wstring path = ModuleFileName();
    const auto slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name;
}

}  // namespace platform
