#include <algorithm>
#include <cwctype>
#include <new>

#include "registrar_world.h"

namespace doubles {

namespace {

constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorUnsupportedType = 1630;

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

void ThrowWhenUnbindable(const char* function) {
    if (World().outOfMemory.count(function))
        throw std::bad_alloc();
    if (World().unbindable.count(function)) {
        throw platform::RuntimeError{
            453, L"DLL-Einsprungpunkt " + Widen(function) + L" in advapi32.dll nicht gefunden"};
    }
}

std::wstring KeyPath(const std::wstring& subKey) {
    std::wstring path = subKey;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

// The path in the world's one key map; empty for a root the double does not hold.
std::wstring RootedPath(std::uint32_t root, const std::wstring& subKey) {
    if (root == platform::kHkeyCurrentUser)
        return KeyPath(subKey);
    if (root == platform::kHkeyClassesRoot)
        return kClassesRoot + KeyPath(subKey);
    return {};
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size())
        return false;
    return !NoCaseLess{}(text.substr(0, prefix.size()), prefix) &&
           !NoCaseLess{}(prefix, text.substr(0, prefix.size()));
}

std::uintptr_t HandOut(const std::wstring& path) {
    static std::uintptr_t next = 0x100;
    const std::uintptr_t handle = next++;
    World().openKeys[handle] = path;
    return handle;
}

const std::wstring* KeyOf(const platform::RegKey& key) {
    const auto open = World().openKeys.find(key.get());
    return open == World().openKeys.end() ? nullptr : &open->second;
}

}  // namespace

bool NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
            return std::towlower(static_cast<wint_t>(x)) < std::towlower(static_cast<wint_t>(y));
        });
}

}  // namespace doubles

namespace platform {

using doubles::World;

RegKey::~RegKey() {
    if (World().unbindable.count("RegCloseKey"))
        return;
    World().journal.push_back(L"RegCloseKey");
    World().openKeys.erase(handle_);
}

std::uintptr_t* RegKey::put() {
    doubles::ThrowWhenUnbindable("RegCloseKey");
    if (handle_)
        World().openKeys.erase(handle_);
    handle_ = 0;
    return &handle_;
}

long OpenRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key) {
    doubles::ThrowWhenUnbindable("RegOpenKeyW");
    World().journal.push_back(L"RegOpenKeyW " + subKey);
    std::uintptr_t* handle = key.put();
    const std::wstring path = doubles::RootedPath(root, subKey);
    if (path.empty())
        return doubles::kErrorInvalidHandle;
    if (!World().keys.count(path))
        return doubles::kErrorFileNotFound;
    *handle = doubles::HandOut(path);
    return kErrorSuccess;
}

long CreateRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key) {
    doubles::ThrowWhenUnbindable("RegCreateKeyW");
    World().journal.push_back(L"RegCreateKeyW " + subKey);
    std::uintptr_t* handle = key.put();
    const std::wstring path = doubles::RootedPath(root, subKey);
    if (path.empty())
        return doubles::kErrorInvalidHandle;
    for (const auto& denied : World().deniedKeys) {
        if (doubles::StartsWithNoCase(path, denied))
            return doubles::kErrorAccessDenied;
    }
    for (std::size_t cut = path.find(L'\\'); cut != std::wstring::npos;
         cut = path.find(L'\\', cut + 1)) {
        World().keys[path.substr(0, cut)];
    }
    World().keys[path];
    *handle = doubles::HandOut(path);
    return kErrorSuccess;
}

long QueryRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t* type,
                   std::uint8_t* data, std::uint32_t* size) {
    doubles::ThrowWhenUnbindable("RegQueryValueExW");
    World().journal.push_back(L"RegQueryValueExW " + valueName +
                              (data ? L" into " + std::to_wstring(*size) : L" size"));
    if (++World().queries == World().failingQuery)
        return doubles::kErrorAccessDenied;
    const std::wstring* path = doubles::KeyOf(key);
    if (!path)
        return doubles::kErrorInvalidHandle;
    const auto& values = World().keys[*path];
    const auto found = values.find(valueName);
    if (found == values.end())
        return doubles::kErrorFileNotFound;
    const auto& stored = found->second;
    const auto needed = static_cast<std::uint32_t>(stored.data.size());
    if (type)
        *type = stored.type;
    if (!data) {
        *size = needed;
        return kErrorSuccess;
    }
    // Like Windows: nothing is copied into a buffer that is too small.
    if (*size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    std::copy(stored.data.begin(), stored.data.end(), data);
    *size = needed;
    return kErrorSuccess;
}

long SetRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t type,
                 const std::uint8_t* data, std::uint32_t size) {
    doubles::ThrowWhenUnbindable("RegSetValueExW");
    World().journal.push_back(L"RegSetValueExW " + valueName + L" type " + std::to_wstring(type) +
                              L" size " + std::to_wstring(size));
    const std::wstring* path = doubles::KeyOf(key);
    if (!path)
        return doubles::kErrorInvalidHandle;
    if (World().deniedValues.count(valueName))
        return doubles::kErrorAccessDenied;
    World().keys[*path][valueName] = {type, std::vector<std::uint8_t>(data, data + size)};
    return kErrorSuccess;
}

long GetRegDword(std::uint32_t root, const std::wstring& subKey, const std::wstring& valueName,
                 std::uint32_t& number) {
    doubles::ThrowWhenUnbindable("RegGetValueW");
    World().journal.push_back(L"RegGetValueW " + subKey + L" " + valueName);
    const auto key = World().keys.find(doubles::RootedPath(root, subKey));
    if (key == World().keys.end())
        return doubles::kErrorFileNotFound;
    const auto value = key->second.find(valueName);
    if (value == key->second.end())
        return doubles::kErrorFileNotFound;
    if (value->second.type != kRegDword || value->second.data.size() != 4)
        return doubles::kErrorUnsupportedType;
    const auto& bytes = value->second.data;
    number = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return kErrorSuccess;
}

long DeleteRegValue(const RegKey& key, const std::wstring& valueName) {
    doubles::ThrowWhenUnbindable("RegDeleteValueW");
    World().journal.push_back(L"RegDeleteValueW " + valueName);
    const std::wstring* path = doubles::KeyOf(key);
    if (!path)
        return doubles::kErrorInvalidHandle;
    return World().keys[*path].erase(valueName) ? kErrorSuccess : doubles::kErrorFileNotFound;
}

long DeleteRegKey(std::uint32_t root, const std::wstring& subKey) {
    doubles::ThrowWhenUnbindable("RegDeleteKeyW");
    World().journal.push_back(L"RegDeleteKeyW " + subKey);
    const std::wstring path = doubles::RootedPath(root, subKey);
    if (path.empty())
        return doubles::kErrorInvalidHandle;
    const auto found = World().keys.find(path);
    if (found == World().keys.end())
        return doubles::kErrorFileNotFound;
    // Like Windows: a key with sub-keys stays.
    const auto below = World().keys.lower_bound(path + L"\\");
    if (below != World().keys.end() && doubles::StartsWithNoCase(below->first, path + L"\\"))
        return doubles::kErrorAccessDenied;
    World().keys.erase(found);
    return kErrorSuccess;
}

// Windows-1252, the usual 8-bit code page: Latin-1 except for 0x80..0x9F.
std::wstring AnsiBytesToWide(const std::uint8_t* data, std::size_t size) {
    static const wchar_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        text += (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : static_cast<wchar_t>(byte);
    }
    return text;
}

}  // namespace platform
