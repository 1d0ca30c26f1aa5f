// Policy values as Group Policy writes them; read with the type stated, so that a value of any
// other type is refused by Windows itself.
#include <windows.h>

#include <string>

#include "owners.h"
#include "platform.h"

namespace platform {

namespace {

// The 32-bit programs must see what Group Policy wrote into the 64-bit machine key, whatever the
// key's redirection; the user's key is shared by both views.
HKEY OpenPolicyKey(PolicyScope scope, const std::wstring& key, LONG& result) {
    HKEY opened = nullptr;
    result = scope == PolicyScope::Machine
                 ? RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0,
                                 KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened)
                 : RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
    return result == ERROR_SUCCESS ? opened : nullptr;
}

PolicyValue Failed(LONG result) {
    PolicyValue value;
    if (result == ERROR_UNSUPPORTED_TYPE)
        value.state = PolicyValue::State::OtherType;
    else if (result != ERROR_FILE_NOT_FOUND && result != ERROR_PATH_NOT_FOUND)
        value = {PolicyValue::State::Unreadable, {}, 0, static_cast<std::uint32_t>(result)};
    return value;
}

// RRF_RT_REG_EXPAND_SZ is accepted only with RRF_NOEXPAND; the caller expands the text as it
// expands a command line's value.
PolicyValue ReadText(HKEY key, const std::wstring& name) {
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0;
    LONG result = RegGetValueW(key, nullptr, name.c_str(), flags, nullptr, nullptr, &size);
    std::wstring text;
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        // Room for a terminator that a value stored without one lacks.
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        result = RegGetValueW(key, nullptr, name.c_str(), flags, nullptr, text.data(), &size);
        if (result == ERROR_SUCCESS) {
            text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
            return {PolicyValue::State::Read, text, 0, 0};
        }
    }
    return Failed(result);
}

PolicyValue ReadNumber(HKEY key, const std::wstring& name) {
    DWORD number = 0;
    DWORD size = sizeof number;
    const LONG result =
        RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &size);
    if (result != ERROR_SUCCESS)
        return Failed(result);
    return {PolicyValue::State::Read, {}, number, 0};
}

}  // namespace

PolicyValue ReadPolicyValue(PolicyScope scope, const std::wstring& key, const std::wstring& name,
                            PolicyType type) {
    LONG result = ERROR_SUCCESS;
    const owners::unique_hkey opened(OpenPolicyKey(scope, key, result));
    if (!opened)
        return Failed(result);
    return type == PolicyType::Text ? ReadText(opened.get(), name) : ReadNumber(opened.get(), name);
}

}  // namespace platform
