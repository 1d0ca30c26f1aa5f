// The registry functions are taken from the system folder's advapi32.dll by name at their first
// call and kept for the life of the process; a function that cannot be bound is a run-time error of
// the calling helper.
#include <windows.h>

#include "owners.h"
#include "platform.h"
#include "system_dlls.h"

namespace platform {

namespace {

constexpr std::int32_t kDllNichtGeladen = 48;
constexpr std::int32_t kEinsprungpunktFehlt = 453;

HMODULE Advapi32() {
    static const owners::unique_hmodule library(LoadSystemLibrary(L"advapi32.dll"));
    return library.get();
}

template <typename Function>
Function Bind(const char* name) {
    HMODULE library = Advapi32();
    if (!library)
        throw RuntimeError{kDllNichtGeladen, L"Fehler beim Laden der DLL advapi32.dll"};
    const FARPROC address = GetProcAddress(library, name);
    if (!address) {
        std::wstring wideName;
        for (const char* c = name; *c; ++c)
            wideName += static_cast<wchar_t>(*c);
        throw RuntimeError{kEinsprungpunktFehlt,
                           L"DLL-Einsprungpunkt " + wideName + L" in advapi32.dll nicht gefunden"};
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

auto BoundRegOpenKeyW() {
    static const auto function = Bind<decltype(&::RegOpenKeyW)>("RegOpenKeyW");
    return function;
}

auto BoundRegCreateKeyW() {
    static const auto function = Bind<decltype(&::RegCreateKeyW)>("RegCreateKeyW");
    return function;
}

auto BoundRegQueryValueExW() {
    static const auto function = Bind<decltype(&::RegQueryValueExW)>("RegQueryValueExW");
    return function;
}

auto BoundRegSetValueExW() {
    static const auto function = Bind<decltype(&::RegSetValueExW)>("RegSetValueExW");
    return function;
}

auto BoundRegGetValueW() {
    static const auto function = Bind<decltype(&::RegGetValueW)>("RegGetValueW");
    return function;
}

auto BoundRegDeleteValueW() {
    static const auto function = Bind<decltype(&::RegDeleteValueW)>("RegDeleteValueW");
    return function;
}

auto BoundRegDeleteKeyW() {
    static const auto function = Bind<decltype(&::RegDeleteKeyW)>("RegDeleteKeyW");
    return function;
}

auto BoundRegCloseKey() {
    static const auto function = Bind<decltype(&::RegCloseKey)>("RegCloseKey");
    return function;
}

// Predefined roots such as HKEY_CURRENT_USER are sign-extended 32-bit values.
HKEY RootKey(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(root)));
}

HKEY OpenKey(std::uintptr_t handle) {
    return reinterpret_cast<HKEY>(handle);
}

}  // namespace

RegKey::~RegKey() {
    // The key is closed also when nothing was opened; the result does not matter.
    try {
        BoundRegCloseKey()(OpenKey(handle_));
    } catch (const RuntimeError&) {
    }
}

std::uintptr_t* RegKey::put() {
    // Bound before any key is opened, so that a missing RegCloseKey is the helper's error.
    const auto closeKey = BoundRegCloseKey();
    if (handle_)
        closeKey(OpenKey(handle_));
    handle_ = 0;
    return &handle_;
}

long OpenRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key) {
    const auto openKey = BoundRegOpenKeyW();
    // put() binds RegCloseKey first: were that to fail, no key is open yet to be lost.
    std::uintptr_t* handle = key.put();
    HKEY opened = nullptr;
    const long result = openKey(RootKey(root), subKey.c_str(), &opened);
    *handle = reinterpret_cast<std::uintptr_t>(opened);
    return result;
}

long CreateRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key) {
    const auto createKey = BoundRegCreateKeyW();
    // put() binds RegCloseKey first: were that to fail, no key is open yet to be lost.
    std::uintptr_t* handle = key.put();
    HKEY created = nullptr;
    const long result = createKey(RootKey(root), subKey.c_str(), &created);
    *handle = reinterpret_cast<std::uintptr_t>(created);
    return result;
}

long QueryRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t* type,
                   std::uint8_t* data, std::uint32_t* size) {
    const auto queryValue = BoundRegQueryValueExW();
    DWORD valueType = type ? *type : 0;
    DWORD valueSize = size ? *size : 0;
    const long result = queryValue(OpenKey(key.get()), valueName.c_str(), nullptr,
                                   type ? &valueType : nullptr, data, size ? &valueSize : nullptr);
    if (type)
        *type = valueType;
    if (size)
        *size = valueSize;
    return result;
}

long SetRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t type,
                 const std::uint8_t* data, std::uint32_t size) {
    const auto setValue = BoundRegSetValueExW();
    return setValue(OpenKey(key.get()), valueName.c_str(), 0, type, data, size);
}

long GetRegDword(std::uint32_t root, const std::wstring& subKey, const std::wstring& valueName,
                 std::uint32_t& number) {
    DWORD value = 0;
    DWORD size = sizeof value;
    const long result = BoundRegGetValueW()(RootKey(root), subKey.c_str(), valueName.c_str(),
                                            RRF_RT_REG_DWORD, nullptr, &value, &size);
    number = value;
    return result;
}

long DeleteRegValue(const RegKey& key, const std::wstring& valueName) {
    return BoundRegDeleteValueW()(OpenKey(key.get()), valueName.c_str());
}

long DeleteRegKey(std::uint32_t root, const std::wstring& subKey) {
    return BoundRegDeleteKeyW()(RootKey(root), subKey.c_str());
}

}  // namespace platform
