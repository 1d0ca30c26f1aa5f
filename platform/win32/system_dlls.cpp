// The programs live in a folder that users can write: a DLL dropped there under the name of one
// that Windows loads on demand must never run in them.
#include "system_dlls.h"

#include <string>

#include "platform.h"

namespace platform {

void RestrictDllSearchToSystem() {
    // Bound by name: Windows before 8 has it only with KB2533623, and the programs must still start
    // without it.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const FARPROC address =
        kernel32 ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (address) {
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(address))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Without the call above this at least takes the current folder out of the search.
    SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    if (const HMODULE library = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return library;
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    // A Windows without KB2533623 rejects the flag: name the file in the system folder instead,
    // and let its own imports be searched from there too.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace platform
