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
    if (ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return true;
    }
    // Without a backup name this error means the old file is already gone and the replacement
    // still has its own name: finish the move so that the installed name is never left empty.
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        return MoveFileWriteThrough(replacement, replaced);
    }
    return false;
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
