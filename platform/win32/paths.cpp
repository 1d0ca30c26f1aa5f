#include <windows.h>
// <knownfolders.h> and <shlobj.h> need the declarations of <windows.h> first.
#include <knownfolders.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "platform.h"
#include "system_dlls.h"

namespace platform {

std::optional<std::wstring> FullPathName(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return std::nullopt;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);  // too small: length counts the terminating NUL
    }
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring LocalAppDataFolder() {
    // Bound by name, as only Renvale's per-user copies need shell32, which loads much with it.
    using GetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    static const GetKnownFolderPath getPath = [] {
        const HMODULE shell32 = LoadSystemLibrary(L"shell32.dll");
        const FARPROC address = shell32 ? GetProcAddress(shell32, "SHGetKnownFolderPath") : nullptr;
        return reinterpret_cast<GetKnownFolderPath>(reinterpret_cast<void (*)()>(address));
    }();
    PWSTR path = nullptr;
    if (!getPath || FAILED(getPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &path)))
        return {};
    const std::wstring folder = path ? path : L"";
    CoTaskMemFree(path);
    return folder;
}

}  // namespace platform
