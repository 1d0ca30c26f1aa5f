// The launcher's file operations on a real folder tree. A Windows path "C:\App\x" lives at
// <fresh host folder>/C/App/x, and each of its components is matched without regard to case, as
// on Windows, so "\temp\" and "\TEMP\" name the same folder.
#pragma once

#include <platform.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace doubles {

// A fresh, empty tree in which the application folder (what AppPath answers) exists.
void ResetFiles(const std::wstring& appFolder = L"C:\\App");

std::filesystem::path HostPath(const std::wstring& windowsPath);
// Creates the file, and its folders, with this content.
void PutFile(const std::wstring& windowsPath, const std::string& content);
void MakeFolder(const std::wstring& windowsPath);
std::optional<std::string> FileContent(const std::wstring& windowsPath);
// A file's last-write time, in the platform's units: PutFile moves it on, a copy keeps its
// source's, and a test may set it back.
void SetLastWrite(const std::wstring& windowsPath, std::uint64_t lastWrite);
std::uint64_t LastWrite(const std::wstring& windowsPath);
// Every file below the folder: its path relative to the folder, with backslashes, and content.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder);

// Held open by another process without sharing (a writer, another launcher): no operation can
// open, replace or delete it.
void HoldOpen(const std::wstring& windowsPath);
bool IsHeldOpen(const std::wstring& windowsPath);
// Held by another process, without sharing, for this many attempts to open it (INT_MAX: for
// ever).
void HoldOpenFor(const std::wstring& windowsPath, int attempts);
// The lock files the launcher holds open now.
int LockFilesHeld();
// Gives another name to a folder, as a link or a mapped drive does: both lead to one folder.
void LinkFolder(const std::wstring& link, const std::wstring& target);
// Held by another launcher that installs it: read, and kept from writers, until Release().
void HoldForInstall(const std::wstring& windowsPath);
void Release(const std::wstring& windowsPath);
// Deletes a file as another process would, without a trace in the journal.
void DeleteFile(const std::wstring& windowsPath);
void SetReadOnly(const std::wstring& windowsPath);
bool IsReadOnly(const std::wstring& windowsPath);
// The file's permissions: this user may not delete (nor rename, nor replace) it, or may not write
// its attributes. A handle keeps the rights it was opened with.
void DenyDelete(const std::wstring& windowsPath);
void DenyAttributeWrites(const std::wstring& windowsPath);
bool IsDeleteDenied(const std::wstring& windowsPath);
// Attributes other than read-only (hidden, archive, offline, ...); 0 for a file never given any.
void SetAttributes(const std::wstring& windowsPath, std::uint32_t attributes);
std::uint32_t Attributes(const std::wstring& windowsPath);

struct FileFaults {
    // A copy writes this many bytes of its destination and then fails (disk full, share gone).
    std::optional<std::size_t> copyBreaksOffAfter;
    bool createTempFails = false;
    bool flushFails = false;
    // The installed database's permissions cannot be read or given to the new file.
    bool takeOverFails = false;
    // The installed database's permissions deny this user delete (the folder still lets them
    // replace it): the new file that gets them cannot be deleted or renamed by its name.
    bool permissionsDenyDelete = false;
    // A volume that keeps no permissions (FILE_PERSISTENT_ACLS missing): giving a file any fails.
    bool volumeKeepsNoPermissions = false;
    // The first call of this operation never returns (a hung server): L"OpenToPull", L"StampOf".
    std::wstring neverReturns;
    // A copy stops after this many bytes and never returns.
    std::optional<std::size_t> copyStallsAfter;
    // Each piece of a copy takes this long on the clock (a slow but live server).
    std::uint64_t copyPieceMs = 0;
};
void InjectFileFaults(const FileFaults& faults);
// One fault, the others as by default: Inject(&FileFaults::flushFails, true).
template <typename Field, typename Value>
void Inject(Field FileFaults::*field, Value value) {
    FileFaults faults;
    faults.*field = value;
    InjectFileFaults(faults);
}

// Called after every file operation, to look at the files between two steps.
void AfterEveryFileOperation(std::function<void()> observer);

// Error codes the doubles answer beside those platform.h names.
inline constexpr platform::ErrorCode kErrorFileNotFound = 2;
inline constexpr platform::ErrorCode kErrorPathNotFound = 3;
inline constexpr platform::ErrorCode kErrorInvalidHandle = 6;
inline constexpr platform::ErrorCode kErrorNotSupported = 50;
inline constexpr platform::ErrorCode kErrorDiskFull = 112;
inline constexpr platform::ErrorCode kErrorOperationAborted = 995;

// A content copy goes in pieces of this many bytes, reporting its progress after each.
inline constexpr std::size_t kCopyPiece = 8;

// The clock: every reading of it moves it on by stepMs, and a pause by its length.
void RunClock(std::uint64_t stepMs);
std::uint64_t ClockNow();
// Every progress the splash showed, in order.
const std::vector<double>& ProgressShown();

// A work run by RunOnWorker runs inline. Where a fault above makes a call take time, its waiter is
// asked every 50 ms of the clock meanwhile; once the waiter gives up, the call returns (as the
// server's late answer would) and the work runs on unwatched to its end, before RunOnWorker returns
// false. A wait that never gives up throws after a simulated day.
// The file operations made outside any work while a fault makes them take time.
const std::vector<std::wstring>& FileCallsOffWorker();

}  // namespace doubles
