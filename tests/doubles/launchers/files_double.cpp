#include "files_double.h"

#include <platform.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "journal.h"

namespace fs = std::filesystem;

namespace doubles {
namespace {

struct FilesState {
    fs::path root;
    std::wstring appFolder;
    std::set<fs::path> held;
    std::set<fs::path> heldForInstall;
    std::map<fs::path, int> heldForAttempts;
    std::set<fs::path> readOnly;
    std::set<fs::path> deleteDenied;
    std::set<fs::path> attributesDenied;
    std::map<fs::path, std::uint32_t> attributes;
    FileFaults faults;
    std::function<void()> observer;
    // The launcher's own open files, by handle: each held without sharing.
    struct Open {
        fs::path path;
        bool deleteWhenClosed = false;
        bool lock = false;
    };
    std::map<std::uintptr_t, Open> open;
    std::uintptr_t nextHandle = 1;
    std::uint64_t clock = 0;
    std::uint64_t clockStep = 0;
    std::vector<double> progressShown;
    // Each file's last-write time: every PutFile moves it on, a copy takes its source's.
    std::map<fs::path, std::uint64_t> lastWrites;
    std::uint64_t writeClock = 0;
    // Every finished operation and piece copied.
    std::uint64_t progress = 0;
    std::vector<std::wstring> offWorker;

    ~FilesState() {
        std::error_code ignored;
        if (!root.empty())
            fs::remove_all(root, ignored);
    }
};

FilesState& State() {
    static FilesState state;
    return state;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsHeld(const fs::path& path) {
    if (State().held.count(path) != 0 || State().heldForInstall.count(path) != 0)
        return true;
    for (const auto& [handle, open] : State().open) {
        if (open.path == path)
            return true;
    }
    return false;
}

const fs::path& PathOf(const platform::OpenFile& file) {
    static const fs::path closed;
    const auto found = State().open.find(file.get());
    return found == State().open.end() ? closed : found->second.path;
}

bool Hold(const fs::path& path, platform::OpenFile& file) {
    const std::uintptr_t handle = State().nextHandle++;
    State().open[handle] = {path};
    *file.put() = handle;
    return true;
}

// "orv*.tmp" against a name, without regard to case.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
    if (pattern.empty())
        return name.empty();
    if (pattern[0] == L'*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (Matches(pattern.substr(1), name.substr(skip)))
                return true;
        }
        return false;
    }
    return !name.empty() &&
           (pattern[0] == L'?' || std::towlower(pattern[0]) == std::towlower(name[0])) &&
           Matches(pattern.substr(1), name.substr(1));
}
bool IsReadOnlyHost(const fs::path& path) {
    return State().readOnly.count(path) != 0;
}

void SetReadOnlyHost(const fs::path& path, bool readOnly) {
    if (readOnly) {
        State().readOnly.insert(path);
    } else {
        State().readOnly.erase(path);
    }
}

std::string ReadHost(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHost(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// The work RunOnWorker runs inline, and what its waiter decided meanwhile.
struct Work {
    const std::function<bool(std::uint64_t)>* keepWaiting = nullptr;  // none outside a work
    bool abandoned = false;
};

Work& CurrentWork() {
    static Work work;
    return work;
}

constexpr std::uint64_t kNever = UINT64_MAX;
constexpr std::uint64_t kAskEveryMs = 50;
constexpr std::uint64_t kWaitWithoutEndMs = 24ull * 60 * 60 * 1000;

// The calling operation takes this long on the clock, its waiter asked every 50 ms meanwhile.
// kNever: until the waiter gives up, as a server that answers only later. Once the waiter has given
// up, the work runs on to its end unwatched, and time no longer counts.
void TakeTime(std::uint64_t milliseconds) {
    Work& work = CurrentWork();
    if (!work.keepWaiting) {
        if (milliseconds == kNever)
            throw std::runtime_error("a file call that never returns, and nothing gives up on it");
        State().clock += milliseconds;
        return;
    }
    for (std::uint64_t taken = 0; !work.abandoned && taken < milliseconds; taken += kAskEveryMs) {
        State().clock += kAskEveryMs;
        work.abandoned = !(*work.keepWaiting)(State().progress);
        if (taken > kWaitWithoutEndMs)
            throw std::runtime_error("waited a day for a file call that never returns");
    }
}

bool IsSlowed() {
    const FileFaults& faults = State().faults;
    return !faults.neverReturns.empty() || faults.copyStallsAfter || faults.copyPieceMs != 0;
}

// Records the operation, and shows the files to the observer once it is done.
class Operation {
  public:
    Operation(const wchar_t* name, std::vector<platform::AutomationValue> paths) {
        Record({name, L"", std::move(paths)});
        if (!CurrentWork().keepWaiting && IsSlowed())
            State().offWorker.push_back(name);
        if (State().faults.neverReturns == name) {
            State().faults.neverReturns.clear();
            TakeTime(kNever);
        }
    }
    ~Operation() {
        ++State().progress;
        if (State().observer)
            State().observer();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
};

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsDeleteDeniedHost(const fs::path& path) {
    return State().deleteDenied.count(path) != 0;
}

// A file's attributes and permissions go with it to its new name.
bool Rename(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (error)
        return false;
    for (std::set<fs::path>* marks :
         {&State().readOnly, &State().deleteDenied, &State().attributesDenied}) {
        const bool marked = marks->erase(from) != 0;
        marks->erase(to);
        if (marked)
            marks->insert(to);
    }
    State().lastWrites[to] = State().lastWrites[from];
    State().lastWrites.erase(from);
    const auto attributes = State().attributes.extract(from);
    State().attributes.erase(to);
    if (attributes)
        State().attributes[to] = attributes.mapped();
    return true;
}

}  // namespace

void ResetFiles(const std::wstring& appFolder) {
    CurrentWork() = {};
    FilesState& state = State();
    std::error_code ignored;
    if (!state.root.empty())
        fs::remove_all(state.root, ignored);
    static unsigned resets = 0;
    std::ostringstream name;
    static const unsigned run = std::random_device{}();
    name << "orvantis-launcher-files-" << std::hex << run << '-' << ++resets;
    state.root = fs::temp_directory_path() / name.str();
    fs::create_directories(state.root);
    state.appFolder = appFolder;
    state.held.clear();
    state.heldForInstall.clear();
    state.heldForAttempts.clear();
    state.readOnly.clear();
    state.deleteDenied.clear();
    state.attributesDenied.clear();
    state.attributes.clear();
    state.faults = {};
    state.observer = nullptr;
    state.open.clear();
    state.clock = 0;
    state.clockStep = 0;
    state.progressShown.clear();
    state.lastWrites.clear();
    state.writeClock = 0;
    state.progress = 0;
    state.offWorker.clear();
    fs::create_directories(HostPath(appFolder));
}

fs::path HostPath(const std::wstring& windowsPath) {
    fs::path host = State().root;
    std::size_t at = 0;
    if (windowsPath.size() >= 2 && windowsPath[1] == L':') {
        host /= std::wstring(1, static_cast<wchar_t>(std::towupper(windowsPath[0])));
        at = 2;
    }
    while (at <= windowsPath.size()) {
        std::size_t end = windowsPath.find(L'\\', at);
        if (end == std::wstring::npos)
            end = windowsPath.size();
        const std::wstring component = windowsPath.substr(at, end - at);
        at = end + 1;
        // Windows reads a doubled backslash as one.
        if (component.empty())
            continue;
        fs::path next = host / component;
        std::error_code error;
        if (IsFolder(host)) {
            for (const auto& entry : fs::directory_iterator(host, error)) {
                if (Lower(entry.path().filename().wstring()) == Lower(component)) {
                    next = entry.path();
                    break;
                }
            }
        }
        host = next;
    }
    return host;
}

void PutFile(const std::wstring& windowsPath, const std::string& content) {
    const fs::path host = HostPath(windowsPath);
    fs::create_directories(host.parent_path());
    WriteHost(host, content);
    State().lastWrites[host] = ++State().writeClock;
}

void SetLastWrite(const std::wstring& windowsPath, std::uint64_t lastWrite) {
    State().lastWrites[HostPath(windowsPath)] = lastWrite;
}

std::uint64_t LastWrite(const std::wstring& windowsPath) {
    return State().lastWrites[HostPath(windowsPath)];
}

void MakeFolder(const std::wstring& windowsPath) {
    fs::create_directories(HostPath(windowsPath));
}

std::optional<std::string> FileContent(const std::wstring& windowsPath) {
    const fs::path host = HostPath(windowsPath);
    if (!IsFile(host))
        return std::nullopt;
    return ReadHost(host);
}

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    const fs::path base = HostPath(folder);
    if (!IsFolder(base))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
        if (!entry.is_regular_file())
            continue;
        std::wstring relative = fs::relative(entry.path(), base).wstring();
        for (wchar_t& c : relative) {
            if (c == L'/')
                c = L'\\';
        }
        files[relative] = ReadHost(entry.path());
    }
    return files;
}

void HoldOpen(const std::wstring& windowsPath) {
    State().held.insert(HostPath(windowsPath));
}

bool IsHeldOpen(const std::wstring& windowsPath) {
    return IsHeld(HostPath(windowsPath));
}

void HoldOpenFor(const std::wstring& windowsPath, int attempts) {
    State().heldForAttempts[HostPath(windowsPath)] = attempts;
}

int LockFilesHeld() {
    int held = 0;
    for (const auto& [handle, open] : State().open)
        held += open.lock ? 1 : 0;
    return held;
}

void LinkFolder(const std::wstring& link, const std::wstring& target) {
    fs::create_directories(HostPath(target));
    fs::create_directories(HostPath(link).parent_path());
    fs::create_directory_symlink(HostPath(target), HostPath(link));
}

void HoldForInstall(const std::wstring& windowsPath) {
    State().heldForInstall.insert(HostPath(windowsPath));
}

void Release(const std::wstring& windowsPath) {
    State().heldForInstall.erase(HostPath(windowsPath));
}

void DeleteFile(const std::wstring& windowsPath) {
    std::error_code ignored;
    fs::remove(HostPath(windowsPath), ignored);
}

void SetReadOnly(const std::wstring& windowsPath) {
    SetReadOnlyHost(HostPath(windowsPath), true);
}

bool IsReadOnly(const std::wstring& windowsPath) {
    return IsReadOnlyHost(HostPath(windowsPath));
}

void DenyDelete(const std::wstring& windowsPath) {
    State().deleteDenied.insert(HostPath(windowsPath));
}

void DenyAttributeWrites(const std::wstring& windowsPath) {
    State().attributesDenied.insert(HostPath(windowsPath));
}

bool IsDeleteDenied(const std::wstring& windowsPath) {
    return IsDeleteDeniedHost(HostPath(windowsPath));
}

void SetAttributes(const std::wstring& windowsPath, std::uint32_t attributes) {
    State().attributes[HostPath(windowsPath)] = attributes;
}

std::uint32_t Attributes(const std::wstring& windowsPath) {
    const auto found = State().attributes.find(HostPath(windowsPath));
    return found == State().attributes.end() ? 0 : found->second;
}

void InjectFileFaults(const FileFaults& faults) {
    State().faults = faults;
}

void AfterEveryFileOperation(std::function<void()> observer) {
    State().observer = std::move(observer);
}

void RunClock(std::uint64_t stepMs) {
    State().clockStep = stepMs;
}

std::uint64_t ClockNow() {
    return State().clock;
}

const std::vector<double>& ProgressShown() {
    return State().progressShown;
}

const std::vector<std::wstring>& FileCallsOffWorker() {
    return State().offWorker;
}

}  // namespace doubles

namespace platform {

using doubles::IsFile;
using doubles::IsFolder;
using doubles::IsHeld;
using doubles::IsReadOnlyHost;
using doubles::Operation;

std::wstring AppPath() {
    return doubles::State().appFolder;
}

OpenFile::~OpenFile() {
    reset();
}

std::uintptr_t* OpenFile::put() {
    reset();
    return &handle_;
}

void OpenFile::reset() {
    const auto found = doubles::State().open.find(handle_);
    handle_ = 0;
    if (found == doubles::State().open.end())
        return;
    const doubles::FilesState::Open closed = found->second;
    doubles::State().open.erase(found);
    std::error_code ignored;
    if (closed.deleteWhenClosed)
        fs::remove(closed.path, ignored);
}

bool FileExists(const std::wstring& path) {
    const Operation operation(L"FileExists", {path});
    return IsFile(doubles::HostPath(path));
}

ToInstall OpenToInstall(const std::wstring& path, OpenFile& file, ErrorCode* unavailableBecause) {
    const Operation operation(L"OpenToInstall", {path});
    const fs::path host = doubles::HostPath(path);
    if (doubles::State().heldForInstall.count(host) != 0)
        return ToInstall::HeldByAnotherLauncher;
    if (doubles::State().held.count(host) != 0)
        return ToInstall::BeingWritten;
    if (!IsFile(host) || IsHeld(host) || doubles::IsDeleteDeniedHost(host)) {
        if (unavailableBecause)
            *unavailableBecause = !IsFile(host) ? doubles::kErrorFileNotFound : kErrorAccessDenied;
        return ToInstall::Unavailable;
    }
    doubles::Hold(host, file);
    return ToInstall::Opened;
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
    const Operation operation(L"FileSize", {path});
    const fs::path host = doubles::HostPath(path);
    if (!IsFile(host))
        return std::nullopt;
    return fs::file_size(host);
}

ErrorCode ClearReadOnly(const OpenFile& file) {
    const fs::path& path = doubles::PathOf(file);
    const Operation operation(L"ClearReadOnly", {path.wstring()});
    if (!IsFile(path))
        return doubles::kErrorInvalidHandle;
    if (!IsReadOnlyHost(path))
        return kNoError;
    if (doubles::State().attributesDenied.count(path) != 0)
        return kErrorAccessDenied;
    doubles::SetReadOnlyHost(path, false);
    return kNoError;
}

// The double's folder tree holds no links.
bool OpenedWithoutLinks(const OpenFile& file, const std::wstring& folder,
                        const std::wstring& nameInFolder) {
    const Operation operation(L"OpenedWithoutLinks",
                              {doubles::PathOf(file).wstring(), folder, nameInFolder});
    return true;
}

ErrorCode CreateNewFile(const std::wstring& path, OpenFile& file) {
    const Operation operation(L"CreateNewFile", {path});
    const fs::path host = doubles::HostPath(path);
    if (fs::exists(host))
        return kErrorFileExists;
    if (doubles::State().faults.createTempFails)
        return kErrorAccessDenied;
    if (!IsFolder(host.parent_path()))
        return doubles::kErrorPathNotFound;
    doubles::WriteHost(host, "");
    doubles::Hold(host, file);
    return kNoError;
}

ErrorCode CopyContent(const OpenFile& source, const OpenFile& destination,
                      const CopyProgress& progress) {
    const fs::path& from = doubles::PathOf(source);
    const fs::path& to = doubles::PathOf(destination);
    const Operation operation(L"CopyContent", {from.wstring(), to.wstring()});
    if (!IsFile(from) || !IsFile(to))
        return doubles::kErrorInvalidHandle;
    const std::string content = doubles::ReadHost(from);
    const std::size_t breakOff =
        doubles::State().faults.copyBreaksOffAfter.value_or(content.size() + 1);
    std::string written;
    while (written.size() < content.size()) {
        const std::size_t piece = std::min(
            {doubles::kCopyPiece, content.size() - written.size(), breakOff - written.size()});
        if (piece == 0)
            break;
        written += content.substr(written.size(), piece);
        doubles::WriteHost(to, written);
        ++doubles::State().progress;
        if (progress)
            progress(written.size(), content.size());
        const doubles::FileFaults& faults = doubles::State().faults;
        doubles::TakeTime(faults.copyPieceMs);
        if (faults.copyStallsAfter && written.size() >= *faults.copyStallsAfter) {
            doubles::State().faults.copyStallsAfter.reset();
            doubles::TakeTime(doubles::kNever);
        }
        if (WorkAbandoned())
            return doubles::kErrorOperationAborted;
    }
    doubles::State().lastWrites[to] = doubles::State().lastWrites[from];
    if (written.size() >= breakOff || doubles::State().faults.flushFails)
        return doubles::kErrorDiskFull;
    return kNoError;
}

ErrorCode CheckReplaceable(const std::wstring& path) {
    const Operation operation(L"CheckReplaceable", {path});
    const fs::path host = doubles::HostPath(path);
    if (IsHeld(host))
        return kErrorSharingViolation;
    return IsReadOnlyHost(host) || doubles::IsDeleteDeniedHost(host) ? kErrorAccessDenied
                                                                     : kNoError;
}

bool VolumeKeepsPermissions(const OpenFile& file) {
    const Operation operation(L"VolumeKeepsPermissions", {doubles::PathOf(file).wstring()});
    return !doubles::State().faults.volumeKeepsNoPermissions;
}

ErrorCode TakeOverPermissions(const std::wstring& from, const OpenFile& file) {
    const fs::path& to = doubles::PathOf(file);
    const Operation operation(L"TakeOverPermissions", {from, to.wstring()});
    const doubles::FileFaults& faults = doubles::State().faults;
    if (!IsFile(doubles::HostPath(from)) || !IsFile(to))
        return doubles::kErrorInvalidHandle;
    if (faults.volumeKeepsNoPermissions)
        return doubles::kErrorNotSupported;
    if (faults.takeOverFails)
        return kErrorAccessDenied;
    if (faults.permissionsDenyDelete)
        doubles::State().deleteDenied.insert(to);
    return kNoError;
}

ErrorCode TakeOverAttributes(const std::wstring& from, const OpenFile& file, std::uint32_t kept,
                             std::uint32_t added) {
    const fs::path& to = doubles::PathOf(file);
    const Operation operation(L"TakeOverAttributes", {from, to.wstring()});
    const fs::path host = doubles::HostPath(from);
    if (!IsFile(host) || !IsFile(to))
        return doubles::kErrorInvalidHandle;
    doubles::State().attributes[to] = (doubles::Attributes(from) & kept) | added;
    return kNoError;
}

ErrorCode DeleteWhenClosed(const OpenFile& file) {
    const auto found = doubles::State().open.find(file.get());
    const Operation operation(L"DeleteWhenClosed", {doubles::PathOf(file).wstring()});
    if (found == doubles::State().open.end())
        return doubles::kErrorInvalidHandle;
    if (IsReadOnlyHost(found->second.path))
        return kErrorAccessDenied;
    found->second.deleteWhenClosed = true;
    return kNoError;
}

// As on Windows, a rename onto a file that anyone holds open fails, and so does one onto a
// read-only file.
ErrorCode RenameOpenFile(const OpenFile& file, const std::wstring& newPath, bool replace) {
    const auto found = doubles::State().open.find(file.get());
    const Operation operation(L"RenameOpenFile",
                              {doubles::PathOf(file).wstring(), newPath, replace});
    if (found == doubles::State().open.end())
        return doubles::kErrorInvalidHandle;
    const fs::path target = doubles::HostPath(newPath);
    if (fs::exists(target) && !replace)
        return kErrorFileExists;
    if (IsHeld(target) || IsReadOnlyHost(target) || doubles::IsDeleteDeniedHost(target))
        return kErrorAccessDenied;
    if (!IsFolder(target.parent_path()))
        return doubles::kErrorPathNotFound;
    if (!doubles::Rename(found->second.path, target))
        return doubles::kErrorInvalidHandle;
    found->second.path = target;
    return kNoError;
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder, const std::wstring& pattern) {
    const Operation operation(L"FileNamesIn", {folder, pattern});
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(doubles::HostPath(folder), error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (entry.is_regular_file() && doubles::Matches(pattern, name))
            names.push_back(name);
    }
    return names;
}

std::uint64_t TickCountMs() {
    return doubles::State().clock += doubles::State().clockStep;
}

void Pause(std::uint32_t milliseconds) {
    const Operation operation(L"Pause", {static_cast<std::int32_t>(milliseconds)});
    doubles::State().clock += milliseconds;
}

void ShowCopyProgress(double fraction) {
    doubles::State().progressShown.push_back(fraction);
}

bool RemoveFile(const std::wstring& path, ErrorCode* because) {
    const Operation operation(L"RemoveFile", {path});
    const fs::path host = doubles::HostPath(path);
    const ErrorCode error = !IsFile(host)  ? doubles::kErrorFileNotFound
                            : IsHeld(host) ? kErrorSharingViolation
                            : IsReadOnlyHost(host) || doubles::IsDeleteDeniedHost(host)
                                ? kErrorAccessDenied
                                : kNoError;
    std::error_code removeError;
    if (!error && fs::remove(host, removeError))
        return true;
    if (because)
        *because = error ? error : kErrorAccessDenied;
    return false;
}

ErrorCode CreateFolders(const std::wstring& path) {
    const Operation operation(L"CreateFolders", {path});
    const fs::path host = doubles::HostPath(path);
    std::error_code error;
    if (path.empty() || (fs::exists(host) && !IsFolder(host)))
        return doubles::kErrorPathNotFound;
    fs::create_directories(host, error);
    return error ? doubles::kErrorPathNotFound : kNoError;
}

// A writer that holds the file keeps the pull out; the pull itself lets readers and renames in.
ErrorCode OpenToPull(const std::wstring& path, OpenFile& file) {
    const Operation operation(L"OpenToPull", {path});
    const fs::path host = doubles::HostPath(path);
    if (doubles::State().held.count(host) != 0)
        return kErrorSharingViolation;
    if (!IsFile(host))
        return IsFolder(host.parent_path()) ? doubles::kErrorFileNotFound
                                            : doubles::kErrorPathNotFound;
    doubles::Hold(host, file);
    return kNoError;
}

ErrorCode StampOf(const OpenFile& file, FileStamp& stamp) {
    const fs::path& path = doubles::PathOf(file);
    if (!IsFile(path))
        return doubles::kErrorInvalidHandle;
    stamp = {fs::file_size(path), doubles::State().lastWrites[path]};
    return kNoError;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const Operation operation(L"ReadWholeFile", {path});
    return doubles::FileContent(path);
}

ErrorCode WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const Operation operation(L"WriteWholeFile", {path});
    const fs::path host = doubles::HostPath(path);
    if (!IsFolder(host.parent_path()))
        return doubles::kErrorPathNotFound;
    if (IsHeld(host) || IsReadOnlyHost(host))
        return kErrorAccessDenied;
    doubles::WriteHost(host, bytes);
    return kNoError;
}

ErrorCode HoldLockFile(const std::wstring& path, OpenFile& file) {
    const Operation operation(L"HoldLockFile", {path});
    const fs::path host = doubles::HostPath(path);
    const auto other = doubles::State().heldForAttempts.find(host);
    if (other != doubles::State().heldForAttempts.end() && other->second > 0) {
        --other->second;
        return kErrorSharingViolation;
    }
    if (IsHeld(host))
        return kErrorSharingViolation;
    if (!IsFolder(host.parent_path()))
        return doubles::kErrorPathNotFound;
    if (!IsFile(host))
        doubles::WriteHost(host, "");
    doubles::Hold(host, file);
    doubles::State().open[file.get()].lock = true;
    doubles::State().open[file.get()].deleteWhenClosed = true;
    return kNoError;
}

// A folder's identity is where it really lies in the host tree, links followed.
std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    const Operation operation(L"IdentityOf", {path});
    std::error_code error;
    const fs::path real = fs::canonical(doubles::HostPath(path), error);
    if (error)
        return std::nullopt;
    return FileIdentity{1, std::hash<std::string>{}(real.string())};
}

bool RunOnWorker(std::function<void()> work,
                 const std::function<bool(std::uint64_t progress)>& keepWaiting) {
    doubles::CurrentWork() = {&keepWaiting, false};
    struct Ended {
        ~Ended() { doubles::CurrentWork().keepWaiting = nullptr; }
    } ended;
    work();
    return !doubles::CurrentWork().abandoned;
}

bool WorkAbandoned() {
    return doubles::CurrentWork().keepWaiting && doubles::CurrentWork().abandoned;
}

}  // namespace platform
