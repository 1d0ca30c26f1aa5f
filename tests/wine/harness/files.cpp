#include <gtest/gtest.h>

#include "harness.h"

namespace harness {

std::wstring EnvironmentValue(const wchar_t* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return {};
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

std::wstring WinePathOf(const std::wstring& unixPath) {
    if (unixPath.empty() || unixPath[0] != L'/')
        return unixPath;
    std::wstring path = L"Z:" + unixPath;
    for (auto& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

namespace {

std::wstring FolderFromEnvironment(const wchar_t* name) {
    const std::wstring value = EnvironmentValue(name);
    if (value.empty()) {
        ADD_FAILURE() << Narrow(name) << " is not set";
        return {};
    }
    return WinePathOf(value);
}

bool MakeFolders(const std::wstring& path) {
    if (PathExists(path))
        return true;
    const auto slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeFolders(path.substr(0, slash))) {
        return false;
    }
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::wstring ProgramsDir() {
    return FolderFromEnvironment(L"ORVANTIS_PROGRAMS_DIR");
}

std::wstring WorkDir() {
    return FolderFromEnvironment(L"ORVANTIS_WORK_DIR");
}

std::wstring ProgramPath(const std::wstring& fileName) {
    return ProgramsDir() + L"\\" + fileName;
}

std::wstring MakeTestFolder(const std::wstring& relativePath) {
    const std::wstring path = WorkDir() + L"\\" + relativePath;
    if (!RemoveTree(path) || !MakeFolders(path)) {
        ADD_FAILURE() << "cannot make the test folder " << Narrow(path);
    }
    return path;
}

std::wstring CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name;
    for (const char c : std::string(info->test_suite_name()) + "." + info->name())
        name += (c == '/') ? L'_' : static_cast<wchar_t>(c);
    return name;
}

std::wstring CopyProgram(const std::wstring& program, const std::wstring& folder,
                         const std::wstring& newName) {
    const std::wstring target = folder + L"\\" + (newName.empty() ? program : newName);
    if (!CopyFileW(ProgramPath(program).c_str(), target.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << Narrow(ProgramPath(program)) << " to " << Narrow(target)
                      << " (error " << GetLastError() << ")";
        return {};
    }
    return target;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

owners::unique_handle HoldFile(const std::wstring& path, DWORD access, DWORD share,
                               DWORD disposition, DWORD flags) {
    return owners::unique_handle(
        CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr)) && read > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return bytes;
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str())
                                                       : DeleteFileW(path.c_str());
    }
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return RemoveDirectoryW(path.c_str()) || !PathExists(path);
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring WindowsMessage(DWORD code) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, 512, nullptr);
    std::wstring message(text, length);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

std::optional<ULONGLONG> LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool SetLastWrite(const std::wstring& path, ULONGLONG time) {
    const owners::unique_handle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    return file.get() != INVALID_HANDLE_VALUE &&
           SetFileTime(file.get(), nullptr, nullptr, &written);
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

}  // namespace harness
