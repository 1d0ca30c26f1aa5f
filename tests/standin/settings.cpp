#include "settings.h"

#include <charconv>
#include <string_view>

#include "owners.h"

namespace {

constexpr DWORD kLongestDelayMs = 10 * 60 * 1000;
constexpr DWORD kLargestSettingsFile = 64 * 1024;

std::string ReadSmallFile(const std::wstring& path) {
    owners::unique_handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return {};
    std::string content(kLargestSettingsFile, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), content.data(), kLargestSettingsFile, &read, nullptr))
        return {};
    content.resize(read);
    return content;
}

void ApplySetting(std::string_view key, std::string_view value, StandInSettings& settings) {
    if (key == "version") {
        settings.version = Utf8ToWide(std::string(value));
    } else if (key == "version_fails") {
        settings.versionFails = value == "1";
    } else if (key == "no_automation_security") {
        settings.noAutomationSecurity = value == "1";
    } else if (key == "open_delay_ms") {
        unsigned long delay = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), delay);
        if (error == std::errc() && end == value.data() + value.size())
            settings.openDelayMs =
                delay < kLongestDelayMs ? static_cast<DWORD>(delay) : kLongestDelayMs;
    }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty())
        return {};
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

std::wstring ExePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring StandInFolder() {
    std::wstring folder;
    DWORD needed = GetEnvironmentVariableW(L"ORVANTIS_STANDIN_DIR", nullptr, 0);
    if (needed > 1) {
        folder.resize(needed);
        folder.resize(GetEnvironmentVariableW(L"ORVANTIS_STANDIN_DIR", folder.data(), needed));
    } else {
        folder = ExePath();
        folder.resize(folder.find_last_of(L'\\') + 1);
    }
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

StandInSettings ReadSettings() {
    StandInSettings settings;
    std::string content = ReadSmallFile(StandInFolder() + L"standin.ini");
    std::string_view rest(content);
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        ApplySetting(line.substr(0, equals), line.substr(equals + 1), settings);
    }
    return settings;
}
