#include <memory>
#include <type_traits>

#include "harness.h"

namespace harness {

namespace {

using owners::unique_hkey;

// Empty when the key cannot be opened.
unique_hkey OpenKey(HKEY root, const std::wstring& subKey, REGSAM access) {
    HKEY key = nullptr;
    return unique_hkey(
        RegOpenKeyExW(root, subKey.c_str(), 0, access, &key) == ERROR_SUCCESS ? key : nullptr);
}

template <typename Enumerate>
std::vector<std::wstring> Names(HKEY root, const std::wstring& subKey, Enumerate enumerate) {
    std::vector<std::wstring> names;
    const unique_hkey key = OpenKey(root, subKey, KEY_READ);
    if (!key.get())
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (enumerate(key.get(), index, name, &length) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

bool KeyExists(HKEY root, const std::wstring& subKey) {
    return OpenKey(root, subKey, KEY_READ).get() != nullptr;
}

std::optional<RegValue> ReadValue(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    const unique_hkey key = OpenKey(root, subKey, KEY_READ);
    if (!key.get())
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (size > 0 && RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type,
                                     value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& subKey) {
    return Names(root, subKey, [](HKEY key, DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& subKey) {
    return Names(root, subKey, [](HKEY key, DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

bool CreateKey(HKEY root, const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// RegSetKeyValueW creates the key when it is missing.
bool WriteValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                const std::vector<std::uint8_t>& data) {
    return RegSetKeyValueW(root, subKey.c_str(), name.c_str(), type, data.data(),
                           static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const std::wstring& subKey) {
    RegDeleteTreeW(root, subKey.c_str());
    RegDeleteKeyW(root, subKey.c_str());
    return !KeyExists(root, subKey);
}

std::vector<std::uint8_t> StringBytes(const std::wstring& text, bool withTerminator) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (withTerminator)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::vector<std::uint8_t> DwordBytes(DWORD number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::wstring TextOf(const std::vector<std::uint8_t>& data) {
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c == L'\0')
            break;
        text += c;
    }
    return text;
}

}  // namespace harness
