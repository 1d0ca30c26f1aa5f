// Folder and file names as the programs take them from the command line and put them together:
// drive roots, trailing backslashes, relative names and names that cannot be paths, in one place.
// Text only, apart from the environment that ResolvePath expands.
#pragma once

#include <string>

namespace paths {

// A file or folder named on the command line: environment variables expanded (a shortcut does not
// expand them), and a relative name taken from the program's folder, not the working directory;
// so is one that starts at a root ("\Logs") or names a drive without a folder ("D:Logs").
std::wstring ResolvePath(const std::wstring& value, const std::wstring& appFolder);

// "." and ".." of a relative name resolved against the folder; ".." stops at the drive or the
// server.
std::wstring JoinRelative(const std::wstring& folder, const std::wstring& relative);

// Whether a name can be a path at all: not empty, and none of the characters that no Windows name
// may hold (control characters, " < > | * ?, a colon other than the drive's).
bool IsUsablePath(const std::wstring& path);

// A file's path in a folder, which may be a drive root ("C:\"); none (empty) in no folder.
std::wstring InFolder(const std::wstring& folder, const std::wstring& name);

// The folder without the backslashes it ends in, unless that is its root ("C:\", "\").
std::wstring WithoutTrailingBackslash(std::wstring folder);
// The folder with a backslash at its end; a lone backslash for an empty one.
std::wstring WithTrailingBackslash(std::wstring folder);

// The \\?\ form of a full path, which the file functions take beyond MAX_PATH without parsing it
// (\\?\UNC\server\share\... for a server's); a path in that form, or a device's (\\.\), as it is.
std::wstring LongPathForm(const std::wstring& fullPath);

}  // namespace paths
