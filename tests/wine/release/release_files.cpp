#include "release_files.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "harness.h"

namespace release {

using namespace harness;

namespace {

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path
                                                                                          : L"";
}

}  // namespace

std::wstring ReleaseFolder(const std::wstring& part) {
    const std::wstring dir = EnvironmentValue(L"ORVANTIS_RELEASE_DIR");
    if (dir.empty())
        ADD_FAILURE() << "ORVANTIS_RELEASE_DIR is not set";
    return WinePathOf(dir) + L"\\" + part;
}

std::wstring PackageOf(const std::wstring& part) {
    return ReleaseFolder(part) + L"\\orvantis.msi";
}

std::wstring VersionOf(const std::wstring& part) {
    const auto bytes = ReadFileBytes(ReleaseFolder(part) + L"\\VERSION");
    std::wstring version;
    for (const std::uint8_t byte : bytes.value_or(std::vector<std::uint8_t>{}))
        if (byte > L' ')
            version += static_cast<wchar_t>(byte);
    EXPECT_FALSE(version.empty()) << "no VERSION in " << Narrow(ReleaseFolder(part));
    return version;
}

DWORD Msiexec(const std::wstring& arguments) {
    static int run = 0;
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring log =
        WorkDir() + L"\\" + CurrentTestName() + L"." + std::to_wstring(++run) + L".msiexec.log";
    Process msiexec =
        Start(std::wstring(system) + L"\\msiexec.exe", arguments + L" /l*v " + Quoted(log));
    const std::optional<DWORD> exitCode = msiexec.WaitForExit(120000);
    if (!exitCode)
        ADD_FAILURE() << "msiexec " << Narrow(arguments) << " did not end; log: " << Narrow(log);
    return exitCode.value_or(0xFFFFFFFF);
}

std::vector<std::wstring> InstalledOrvantis() {
    std::vector<std::wstring> products;
    for (const std::wstring& product : SubKeyNames(HKEY_LOCAL_MACHINE, kUninstallKey)) {
        const auto name =
            ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey + L"\\" + product, L"DisplayName");
        if (name && TextOf(name->data) == L"Orvantis")
            products.push_back(product);
    }
    return products;
}

void RemoveAllOrvantis() {
    for (const std::wstring& product : InstalledOrvantis())
        EXPECT_EQ(Msiexec(L"/x " + product + L" /qn"), 0u) << Narrow(product);
}

std::wstring StartMenuShortcut() {
    for (const int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::wstring link = SpecialFolder(csidl) + L"\\Orvantis.lnk";
        if (PathExists(link))
            return link;
    }
    return {};
}

std::wstring Expanded(const std::wstring& text) {
    std::wstring expanded(32768, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(),
                                                   static_cast<DWORD>(expanded.size()));
    expanded.resize(length ? length - 1 : 0);
    return expanded;
}

}  // namespace release
