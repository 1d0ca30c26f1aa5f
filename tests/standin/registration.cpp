#include "registration.h"

#include <windows.h>

#include <string>

#include "identity.h"
#include "settings.h"

namespace {

const std::wstring classKey = std::wstring(L"CLSID\\") + kStandInClsidText;

bool SetDefaultValue(const std::wstring& subKey, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::wstring DefaultValue(const std::wstring& subKey) {
    wchar_t value[128] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return {};
    return value;
}

bool DeleteKey(const std::wstring& subKey) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, subKey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool RegisterServer() {
    // Quoted, so that a folder with blanks survives the " -Embedding" that COM appends.
    std::wstring server = L"\"" + ExePath() + L"\"";
    return SetDefaultValue(kProgId, kStandInDescription) &&
           SetDefaultValue(std::wstring(kProgId) + L"\\CLSID", kStandInClsidText) &&
           SetDefaultValue(classKey, kStandInDescription) &&
           SetDefaultValue(classKey + L"\\LocalServer32", server) &&
           SetDefaultValue(classKey + L"\\ProgID", kProgId);
}

bool UnregisterServer() {
    // The ProgID goes only when it is ours: a real installation keeps its registration.
    bool progIdGone = true;
    if (DefaultValue(std::wstring(kProgId) + L"\\CLSID") == kStandInClsidText)
        progIdGone = DeleteKey(kProgId);
    return DeleteKey(classKey) && progIdGone;
}
