// The release files the installer and signing tests use, made on the Linux side by
// tests/release/make_release_files and tests/release/signing_test below ORVANTIS_RELEASE_DIR:
//   older\   this release staged (the three programs, README.txt), VERSION, orvantis.msi
//   newer\   the same as a release one higher, whose README.txt differs
//   signed\  the older programs and package, signed with a throw-away certificate
// and Wine's own msiexec, which installs them into this prefix.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace release {

inline const std::vector<std::wstring> kInstalledFiles = {L"Renvale.exe", L"Tessaly.exe",
                                                          L"Vintrel.exe", L"README.txt"};

// ORVANTIS_RELEASE_DIR\<part> as a Windows path; part is "older", "newer" or "signed".
std::wstring ReleaseFolder(const std::wstring& part);
// The package of a part: <part>\orvantis.msi.
std::wstring PackageOf(const std::wstring& part);
// The release of older or newer, such as 1.0.0.
std::wstring VersionOf(const std::wstring& part);

// Runs msiexec with the arguments (a verbose log of the run goes to the test's work folder, named
// after the test) and answers its exit code; 0xFFFFFFFF when it did not end in time. Message
// boxes are left alone: with /qn there are none.
DWORD Msiexec(const std::wstring& arguments);

// The product codes under the Uninstall key whose DisplayName is "Orvantis".
std::vector<std::wstring> InstalledOrvantis();
// Removes every installed Orvantis product, so that each test starts from a clean machine.
void RemoveAllOrvantis();

// The Start-menu shortcut "Orvantis.lnk": in the all-users Start menu, where Windows puts a
// per-machine package's shortcut, or in the current user's, where Wine 8 puts it. Empty when
// neither holds one.
std::wstring StartMenuShortcut();

// HKLM key of the entries of Add/Remove Programs, one for each product code.
inline const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// HKLM key of the Active Setup entry.
inline const std::wstring kActiveSetupKey =
    L"Software\\Microsoft\\Active Setup\\Installed Components\\"
    L"{0D255A73-750E-4BFB-8541-B73BA4B90D37}";
// HKLM key where the package keeps the properties it was installed with.
inline const std::wstring kSettingsKey = L"Software\\Orvantis";

// The text with its environment variables expanded, as Windows expands a REG_EXPAND_SZ.
std::wstring Expanded(const std::wstring& text);

}  // namespace release
