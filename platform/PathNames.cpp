#include "PathNames.h"

#include <string>
#include <string_view>

#include "platform.h"

namespace paths {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' && IsLetter(path[0]);
}

// \\server\share, and the \\?\ and \\.\ forms.
bool IsUnc(const std::wstring& path) {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool SameDrive(const std::wstring& a, const std::wstring& b) {
    return HasDrive(a) && HasDrive(b) && (a[0] | 0x20) == (b[0] | 0x20);
}

// "C:\" of a folder on a drive, "\\server\share" of one on a server.
std::wstring RootOf(const std::wstring& folder) {
    if (HasDrive(folder))
        return folder.substr(0, 2) + L"\\";
    if (!IsUnc(folder))
        return folder;
    const std::size_t share = folder.find_first_of(L"\\/", 2);
    const std::size_t end =
        share == std::wstring::npos ? std::wstring::npos : folder.find_first_of(L"\\/", share + 1);
    return folder.substr(0, end);
}

bool StartsWithDevicePrefix(const std::wstring& path) {
    return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]);
}

}  // namespace

std::wstring ResolvePath(const std::wstring& value, const std::wstring& appFolder) {
    const std::wstring expanded = platform::ExpandEnvironment(value);
    if (expanded.empty() || IsUnc(expanded) ||
        (HasDrive(expanded) && expanded.size() > 2 && IsSeparator(expanded[2]))) {
        return expanded;
    }
    if (IsSeparator(expanded[0]))
        return JoinRelative(RootOf(appFolder), expanded.substr(1));
    if (HasDrive(expanded)) {
        return JoinRelative(SameDrive(expanded, appFolder) ? appFolder : RootOf(expanded),
                            expanded.substr(2));
    }
    return JoinRelative(appFolder, expanded);
}

std::wstring JoinRelative(const std::wstring& folder, const std::wstring& relative) {
    std::wstring joined = folder;
    if (joined.ends_with(L'\\'))
        joined.pop_back();
    std::size_t at = 0;
    while (at <= relative.size()) {
        std::size_t end = relative.find_first_of(L"\\/", at);
        if (end == std::wstring::npos)
            end = relative.size();
        const std::wstring part = relative.substr(at, end - at);
        if (part == L"..") {
            const std::size_t slash = joined.find_last_of(L'\\');
            if (slash != std::wstring::npos && slash > 1)
                joined.resize(slash);
        } else if (!part.empty() && part != L".") {
            joined += L'\\' + part;
        }
        at = end + 1;
    }
    if (joined.size() == 2 && joined[1] == L':')
        joined += L'\\';
    return joined;
}

bool IsUsablePath(const std::wstring& path) {
    const std::size_t start = StartsWithDevicePrefix(path) ? 4 : 0;
    if (path.size() <= start)
        return false;
    for (std::size_t i = start; i < path.size(); ++i) {
        const wchar_t c = path[i];
        if (c < 0x20 || std::wstring_view(L"\"<>|*?").find(c) != std::wstring_view::npos)
            return false;
        if (c == L':' && !(i == start + 1 && IsLetter(path[start])))
            return false;
    }
    return true;
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty())
        return {};
    return folder + (folder.ends_with(L'\\') ? L"" : L"\\") + name;
}

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    while (folder.size() > 1 && folder.ends_with(L'\\') &&
           !(folder.size() == 3 && folder[1] == L':')) {
        folder.pop_back();
    }
    return folder;
}

std::wstring WithTrailingBackslash(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring LongPathForm(const std::wstring& fullPath) {
    if (StartsWithDevicePrefix(fullPath))
        return fullPath;
    if (IsUnc(fullPath))
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return L"\\\\?\\" + fullPath;
}

}  // namespace paths
