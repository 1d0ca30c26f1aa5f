#include <shlobj.h>

#include "harness.h"

namespace harness {

std::optional<Shortcut> ReadShortcut(const std::wstring& linkFile) {
    // Balanced below; S_FALSE (already initialised on this thread) needs the same.
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::optional<Shortcut> result;
    {
        owners::com_ptr<IShellLinkW> link;
        owners::com_ptr<IPersistFile> file;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, reinterpret_cast<void**>(link.put()))) &&
            SUCCEEDED(
                link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
            SUCCEEDED(file->Load(linkFile.c_str(), STGM_READ))) {
            wchar_t target[MAX_PATH] = {};
            wchar_t arguments[INFOTIPSIZE] = {};
            wchar_t folder[MAX_PATH] = {};
            if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                SUCCEEDED(link->GetArguments(arguments, INFOTIPSIZE)) &&
                SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)))
                result = Shortcut{target, arguments, folder};
        }
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    return result;
}

}  // namespace harness
