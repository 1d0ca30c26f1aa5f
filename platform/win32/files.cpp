// File operations of the staged refresh, each one Win32 call.
#include <windows.h>

#include <optional>
#include <string>

#include "owners.h"
#include "platform.h"

namespace platform {

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyFileOver(const std::wstring& source, const std::wstring& destination) {
    return CopyFileW(source.c_str(), destination.c_str(), FALSE) != FALSE;
}

std::optional<std::wstring> CreateTempFileIn(const std::wstring& folder) {
    wchar_t path[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"orv", 0, path) == 0)
        return std::nullopt;
    return std::wstring(path);
}

bool ReplaceFileInOneStep(const std::wstring& replaced, const std::wstring& replacement) {
    // A write-protected file is refused, as ReplaceFileW refuses it.
    const DWORD attributes = GetFileAttributesW(replaced.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }
    // One rename onto the existing name. ReplaceFileW is not used: it may move the old file away
    // before moving the new one in (Wine does, and leaves a temporary file of its own behind
    // when the old file is held open).
    return MoveFileExW(replacement.c_str(), replaced.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MoveFileWriteThrough(const std::wstring& source, const std::wstring& destination) {
    return MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool ClearReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    return SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != FALSE;
}

bool FlushFile(const std::wstring& path) {
    const owners::unique_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                 nullptr));
    if (!file || file.get() == INVALID_HANDLE_VALUE)
        return false;
    return FlushFileBuffers(file.get()) != FALSE;
}

bool RemoveFile(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace platform
