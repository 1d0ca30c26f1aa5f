// Wine looks up a drive letter as a symbolic link in the prefix's dosdevices folder at every
// access, so a link made there maps the letter at once for every process of the session.
// DefineDosDeviceW does not reach file access under Wine, and a Windows program cannot make a unix
// link itself; Wine does start unix programs, so /bin/ln makes it.
#include <gtest/gtest.h>

#include <cwctype>

#include "harness.h"

namespace harness {

namespace {

// "Z:\tmp\x" -> "/tmp/x"; empty for a path outside drive Z:.
std::wstring UnixPathOf(const std::wstring& windowsPath) {
    if (windowsPath.size() < 3 || std::towupper(windowsPath[0]) != L'Z' || windowsPath[1] != L':') {
        return {};
    }
    std::wstring path = windowsPath.substr(2);
    for (auto& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    return path;
}

std::wstring DosDeviceLink(wchar_t letter) {
    const std::wstring prefix = EnvironmentValue(L"WINEPREFIX");
    if (prefix.empty())
        return {};
    return prefix + L"/dosdevices/" + static_cast<wchar_t>(std::towlower(letter)) + L":";
}

bool RunUnixTool(const std::wstring& tool, const std::wstring& arguments) {
    Process process = StartWithCommandLine(WinePathOf(tool), tool + L" " + arguments, {}, {});
    return process.started() && process.WaitForExit().has_value();
}

// Makes the unix link and waits until Windows sees it at seenAt.
bool LinkOnUnixSide(const std::wstring& link, const std::wstring& target,
                    const std::wstring& seenAt) {
    RunUnixTool(L"/bin/ln", L"-sfn " + Quoted(target) + L" " + Quoted(link));
    return WaitUntil([&] { return PathExists(seenAt); }, 5000);
}

}  // namespace

wchar_t SpareDriveLetter() {
    for (wchar_t letter = L'R'; letter <= L'Y'; ++letter) {
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR && !PathExists(root))
            return letter;
    }
    return L'\0';
}

bool MapDrive(wchar_t letter, const std::wstring& folder) {
    const std::wstring link = DosDeviceLink(letter);
    const std::wstring target = UnixPathOf(folder);
    if (link.empty() || target.empty()) {
        ADD_FAILURE() << "cannot map " << Narrow(folder) << ": WINEPREFIX unset or not on Z:";
        return false;
    }
    return LinkOnUnixSide(link, target, std::wstring(1, letter) + L":\\");
}

bool MakeUnixLink(const std::wstring& link, const std::wstring& target) {
    const std::wstring unixLink = UnixPathOf(link);
    const std::wstring unixTarget = UnixPathOf(target);
    if (unixLink.empty() || unixTarget.empty()) {
        ADD_FAILURE() << "cannot link " << Narrow(link) << ": not on Z:";
        return false;
    }
    return LinkOnUnixSide(unixLink, unixTarget, link);
}

void UnmapDrive(wchar_t letter) {
    const std::wstring link = DosDeviceLink(letter);
    if (!link.empty())
        RunUnixTool(L"/bin/rm", L"-f " + Quoted(link));
}

}  // namespace harness
