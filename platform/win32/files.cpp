// File operations of the staged refresh and the pull, each one Win32 call or a short run of them.
// The launch makes them on a worker thread: each one that returns counts as the work's progress.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "PathNames.h"
#include "answering_wait.h"
#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

// Large enough for the disk to stream. Under Wine, pieces of 1 MiB made one copy in two take
// several times as long; 256 KiB never did.
constexpr DWORD kCopyPiece = 256 * 1024;
// A piece of the copy takes a few milliseconds; the progress need not be shown more often.
constexpr DWORD kProgressEveryMs = 50;
// Folders are limited to MAX_PATH - 12 characters, files to MAX_PATH, without the prefix.
constexpr std::size_t kLongPath = MAX_PATH - 12;

// Beyond MAX_PATH the file functions take a path only in its \\?\ form, which they do not parse:
// so it is made from the full path, with doubled backslashes and the like already resolved.
std::wstring Win32Path(const std::wstring& path) {
    if (path.size() < kLongPath || path.starts_with(L"\\\\?\\"))
        return path;
    const std::optional<std::wstring> full = FullPathName(path);
    return full ? paths::LongPathForm(*full) : path;
}

HANDLE HandleOf(const OpenFile& file) {
    return reinterpret_cast<HANDLE>(file.get());
}

// The error of the call that just failed, never success.
ErrorCode LastError() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

ErrorCode ResultOf(BOOL succeeded) {
    return succeeded ? kNoError : LastError();
}

bool Hold(HANDLE handle, OpenFile& file) {
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    *file.put() = reinterpret_cast<std::uintptr_t>(handle);
    return true;
}

// Where an open file or folder lies: its volume and its path there ("\dir\file"), as the file
// system reached it, links resolved; empty when it cannot be had. GetFinalPathNameByHandleW would
// say the same, but Wine's fails beyond MAX_PATH.
std::wstring Location(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION file{};
    std::vector<std::uint8_t> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    if (!GetFileInformationByHandle(handle, &file) ||
        !GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
        return {};
    }
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    return std::to_wstring(file.dwVolumeSerialNumber) + L":" +
           std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

}  // namespace

OpenFile::~OpenFile() {
    reset();
}

std::uintptr_t* OpenFile::put() {
    reset();
    return &handle_;
}

void OpenFile::reset() {
    if (handle_) {
        // Closing a file marked for deletion deletes it: seconds for a large one.
        const StepOfWork step;
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
    handle_ = 0;
}

bool FileExists(const std::wstring& path) {
    const StepOfWork step;
    const DWORD attributes = GetFileAttributesW(Win32Path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
    const StepOfWork step;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Win32Path(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

ToInstall OpenToInstall(const std::wstring& path, OpenFile& file, ErrorCode* unavailableBecause) {
    const StepOfWork step;
    // Sharing only reading keeps writers out. Every launcher asks for the right to delete, and
    // none shares it, so one launcher at a time holds the file. A user who may not delete it
    // does not install it: it would be installed again at every start.
    const std::wstring name = Win32Path(path);
    HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    // Users who may delete the staged copies but not change them.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = CreateFileW(name.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    if (Hold(handle, file))
        return ToInstall::Opened;
    if (GetLastError() != ERROR_SHARING_VIOLATION) {
        if (unavailableBecause)
            *unavailableBecause = LastError();
        return ToInstall::Unavailable;
    }
    // A reader that shares neither writing nor deleting gets in beside another launcher, which
    // only reads, but not beside a writer.
    const owners::unique_handle reader(CreateFileW(name.c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return reader.get() == INVALID_HANDLE_VALUE ? ToInstall::BeingWritten
                                                : ToInstall::HeldByAnotherLauncher;
}

ErrorCode ClearReadOnly(const OpenFile& file) {
    const StepOfWork step;
    FILE_BASIC_INFO basic{};  // times left at zero stay as they are
    if (!GetFileInformationByHandleEx(HandleOf(file), FileBasicInfo, &basic, sizeof basic))
        return LastError();
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return kNoError;
    const DWORD kept = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    basic = {};
    basic.FileAttributes = kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept;
    return ResultOf(
        SetFileInformationByHandle(HandleOf(file), FileBasicInfo, &basic, sizeof basic));
}

bool OpenedWithoutLinks(const OpenFile& file, const std::wstring& folder,
                        const std::wstring& nameInFolder) {
    const StepOfWork step;
    const owners::unique_handle folderHandle(
        CreateFileW(Win32Path(folder).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folderHandle.get() == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring folderPath = Location(folderHandle.get());
    const std::wstring filePath = Location(HandleOf(file));
    if (folderPath.empty() || filePath.empty())
        return false;
    return EqualIgnoringCase(filePath, paths::InFolder(folderPath, nameInFolder));
}

ErrorCode CreateNewFile(const std::wstring& path, OpenFile& file) {
    const StepOfWork step;
    const HANDLE handle = CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE | WRITE_DAC | DELETE,
                                      0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Hold(handle, file))
        return kNoError;
    const ErrorCode error = LastError();
    return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error;
}

ErrorCode CopyContent(const OpenFile& source, const OpenFile& destination,
                      const CopyProgress& progress) {
    const StepOfWork step;
    LARGE_INTEGER size{};
    FILETIME lastWrite{};
    if (!GetFileSizeEx(HandleOf(source), &size) ||
        !GetFileTime(HandleOf(source), nullptr, nullptr, &lastWrite)) {
        return LastError();
    }
    const auto total = static_cast<std::uint64_t>(size.QuadPart);
    std::uint64_t done = 0;
    ULONGLONG shownAt = GetTickCount64();
    const auto showProgress = [&] {
        if (progress)
            progress(done, total);
    };
    std::vector<std::uint8_t> piece;
    try {
        piece.resize(kCopyPiece);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(HandleOf(source), piece.data(), kCopyPiece, &read, nullptr))
            return LastError();
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(HandleOf(destination), piece.data(), read, &written, nullptr))
            return LastError();
        if (written != read)
            return ERROR_WRITE_FAULT;
        done += read;
        NoteProgress();
        // Nobody waits for this copy any longer: it would only fill the disk.
        if (WorkAbandoned())
            return ERROR_OPERATION_ABORTED;
        if (GetTickCount64() - shownAt >= kProgressEveryMs) {
            shownAt = GetTickCount64();
            showProgress();
        }
    }
    showProgress();
    // A file that shrank while it was held cannot be: it is held against writers.
    if (done != total)
        return ERROR_HANDLE_EOF;
    // As a file copy does, the copy keeps the time its content was last written. One flush at the
    // end keeps the copy safe: the rename that installs it comes only after it.
    if (!SetFileTime(HandleOf(destination), nullptr, nullptr, &lastWrite))
        return LastError();
    ErrorCode flushed = kNoError;
    {
        // Seconds on a slow disk for a large copy, and no stall of the master's.
        const OwnDiskWait flushing;
        flushed = ResultOf(FlushFileBuffers(HandleOf(destination)));
    }
    // The flush is part of the copy the user waits for: a copy that took long with it shows done.
    showProgress();
    return flushed;
}

ErrorCode CheckReplaceable(const std::wstring& path) {
    const StepOfWork step;
    const std::wstring name = Win32Path(path);
    // A rename onto a write-protected file is refused.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LastError();
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ACCESS_DENIED;
    const owners::unique_handle probe(
        CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.get() != INVALID_HANDLE_VALUE ? kNoError : LastError();
}

bool VolumeKeepsPermissions(const OpenFile& file) {
    const StepOfWork step;
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(HandleOf(file), nullptr, 0, nullptr, nullptr, &flags,
                                         nullptr, 0) &&
           (flags & FILE_PERSISTENT_ACLS);
}

ErrorCode TakeOverPermissions(const std::wstring& from, const OpenFile& file) {
    const StepOfWork step;
    const std::wstring name = Win32Path(from);
    DWORD needed = 0;
    GetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return LastError();
    std::vector<std::uint8_t> descriptor(needed);
    if (!GetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed,
                          &needed)) {
        return LastError();
    }
    return ResultOf(
        SetKernelObjectSecurity(HandleOf(file), DACL_SECURITY_INFORMATION, descriptor.data()));
}

ErrorCode TakeOverAttributes(const std::wstring& from, const OpenFile& file, std::uint32_t kept,
                             std::uint32_t added) {
    const StepOfWork step;
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (!GetFileAttributesExW(Win32Path(from).c_str(), GetFileExInfoStandard, &old))
        return LastError();
    FILE_BASIC_INFO basic{};  // times left at zero stay as they are
    basic.CreationTime.LowPart = old.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = (old.dwFileAttributes & kept) | added;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ResultOf(
        SetFileInformationByHandle(HandleOf(file), FileBasicInfo, &basic, sizeof basic));
}

ErrorCode DeleteWhenClosed(const OpenFile& file) {
    const StepOfWork step;
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ResultOf(SetFileInformationByHandle(HandleOf(file), FileDispositionInfo, &disposition,
                                               sizeof disposition));
}

// The rename needs the handle's own right to delete, not the folder's, nor a right that the
// file's permissions give. It is a change of the folder's entries: the file system's journal
// makes it lasting in its own time, and the content was flushed before.
ErrorCode RenameOpenFile(const OpenFile& file, const std::wstring& newPath, bool replace) {
    const StepOfWork step;
    const std::wstring name = Win32Path(newPath);
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes +
                                     sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return ResultOf(SetFileInformationByHandle(HandleOf(file), FileRenameInfo, rename,
                                               static_cast<DWORD>(buffer.size())));
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder, const std::wstring& pattern) {
    const StepOfWork step;
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    const owners::unique_find search(
        FindFirstFileW(Win32Path(paths::InFolder(folder, pattern)).c_str(), &entry));
    if (search.get() == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(entry.cFileName);
    } while (FindNextFileW(search.get(), &entry));
    return names;
}

bool RemoveFile(const std::wstring& path, ErrorCode* because) {
    const StepOfWork step;
    if (DeleteFileW(Win32Path(path).c_str()))
        return true;
    if (because)
        *because = LastError();
    return false;
}

// ---- Each user's own copy of a master database -------------------------------------------------

ErrorCode CreateFolders(const std::wstring& path) {
    const StepOfWork step;
    const std::wstring name = Win32Path(path);
    if (CreateDirectoryW(name.c_str(), nullptr))
        return kNoError;
    const ErrorCode error = LastError();
    if (error == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? kNoError
                   : ERROR_ALREADY_EXISTS;
    }
    // Its parent first; a root, a server or a share that is missing cannot be made.
    const std::size_t slash = path.find_last_of(L'\\');
    if (error != ERROR_PATH_NOT_FOUND || slash == std::wstring::npos || slash < 3)
        return error;
    if (const ErrorCode parent = CreateFolders(path.substr(0, slash)))
        return parent;
    return CreateDirectoryW(name.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS
               ? kNoError
               : LastError();
}

ErrorCode OpenToPull(const std::wstring& path, OpenFile& file) {
    const StepOfWork step;
    // Sharing delete lets an administrator rename the master away meanwhile.
    const HANDLE handle =
        CreateFileW(Win32Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return Hold(handle, file) ? kNoError : LastError();
}

ErrorCode StampOf(const OpenFile& file, FileStamp& stamp) {
    const StepOfWork step;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(HandleOf(file), &information))
        return LastError();
    stamp.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    stamp.lastWrite = (std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                      information.ftLastWriteTime.dwLowDateTime;
    return kNoError;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const StepOfWork step;
    const owners::unique_handle file(CreateFileW(Win32Path(path).c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    // Small files only: what could not be a record is not read at all.
    constexpr LONGLONG kMostBytes = 64 * 1024;
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.get(), &size) ||
        size.QuadPart > kMostBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

ErrorCode WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const StepOfWork step;
    const owners::unique_handle file(CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return LastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return LastError();
    if (written != bytes.size())
        return ERROR_WRITE_FAULT;
    return ResultOf(FlushFileBuffers(file.get()));
}

// Deleted when closed: a start killed during its pull leaves no lock behind. Nothing is shared, so
// a second holder is kept out wherever it runs, also over a share.
ErrorCode HoldLockFile(const std::wstring& path, OpenFile& file) {
    const StepOfWork step;
    const HANDLE handle =
        CreateFileW(Win32Path(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return Hold(handle, file) ? kNoError : LastError();
}

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    const StepOfWork step;
    const owners::unique_handle handle(
        CreateFileW(Win32Path(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (handle.get() == INVALID_HANDLE_VALUE ||
        !GetFileInformationByHandle(handle.get(), &information)) {
        return std::nullopt;
    }
    const std::uint64_t file =
        (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    // Some servers answer 0 for every file: that tells nothing apart.
    if (file == 0)
        return std::nullopt;
    return FileIdentity{information.dwVolumeSerialNumber, file};
}

}  // namespace platform
