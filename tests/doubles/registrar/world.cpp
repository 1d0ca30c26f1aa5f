#include "registrar_world.h"

#include "common/log_double.h"

namespace doubles {

namespace {

RegistrarWorld& TheWorld() {
    static RegistrarWorld world;
    return world;
}

std::wstring KeyPath(const std::wstring& key) {
    std::wstring path = key;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

}  // namespace

RegistrarWorld& World() {
    return TheWorld();
}

void ResetWorld() {
    TheWorld() = RegistrarWorld();
    ResetLog();
}

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool withTerminator) {
    std::vector<std::uint8_t> bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    if (withTerminator)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number & 0xFF),
            static_cast<std::uint8_t>((number >> 8) & 0xFF),
            static_cast<std::uint8_t>((number >> 16) & 0xFF),
            static_cast<std::uint8_t>((number >> 24) & 0xFF)};
}

void SetValue(const std::wstring& key, const std::wstring& name, std::uint32_t type,
              const std::vector<std::uint8_t>& data) {
    const std::wstring path = KeyPath(key);
    for (std::size_t cut = path.find(L'\\'); cut != std::wstring::npos;
         cut = path.find(L'\\', cut + 1)) {
        World().keys[path.substr(0, cut)];
    }
    World().keys[path][name] = {type, data};
}

void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    SetValue(key, name, platform::kRegSz, Utf16(text));
}

std::optional<StoredValue> GetValue(const std::wstring& key, const std::wstring& name) {
    const auto found = World().keys.find(KeyPath(key));
    if (found == World().keys.end())
        return std::nullopt;
    const auto value = found->second.find(name);
    if (value == found->second.end())
        return std::nullopt;
    return value->second;
}

bool KeyExists(const std::wstring& key) {
    return World().keys.count(KeyPath(key)) > 0;
}

std::wstring TextOf(const StoredValue& value) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const auto c = static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
        if (c == L'\0')
            break;
        text += c;
    }
    return text;
}

}  // namespace doubles
