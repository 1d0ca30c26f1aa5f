// The pull holds a lock file in the local folder from before the decision until the record is
// written: it keeps out every other start that pulls into that folder, on any computer.
// The master is held from before the decision until its copy is in place: an administrator still
// writing it keeps the pull out (the user works on the copy they have), while one who publishes
// by renaming it away and a new file in is never blocked. The copy is made with the refresh's steps
// (a temporary file beside the local copy, one rename), and the master's size and last-write time
// are recorded only once it is in place: a crash in between costs one more copy, and the record
// of an older pull is removed before a new copy begins (no copy when it cannot be), so a stale copy
// is never taken for current.
#include "PerUserCopy.h"

#include <EventLog.h>
#include <PathNames.h>
#include <platform.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "TempFileInstall.h"

namespace launchers {
namespace {

constexpr wchar_t kDatabase[] = L"Orvantis.mde";
constexpr wchar_t kRecord[] = L"Orvantis.pull";
constexpr wchar_t kPullLock[] = L"Orvantis.lock";

// What the box gives as the reason where no Windows call failed, in Windows' words.
constexpr platform::ErrorCode kErrorFileNotFound = 2;
constexpr platform::ErrorCode kErrorPathNotFound = 3;
constexpr platform::ErrorCode kErrorInvalidData = 13;
constexpr platform::ErrorCode kErrorInvalidName = 123;
constexpr platform::ErrorCode kErrorWaitTimeout = 258;
constexpr std::uint16_t kLangGerman = 0x07;

// The lock file is tried again and again while another start's copy into the folder grows, so
// that the splash answers meanwhile.
bool HoldPullLock(const std::wstring& local, platform::OpenFile& lock, PullOutcome& outcome) {
    AnotherLaunchersCopy another(local);
    for (;;) {
        const platform::ErrorCode error =
            platform::HoldLockFile(paths::InFolder(local, kPullLock), lock);
        if (another.Looked())
            outcome.waitedMs = another.WaitedMs();
        if (error != platform::kErrorSharingViolation) {
            outcome.error = error;
            return !error;
        }
        another.Look();
        if (!another.WaitMore()) {
            outcome.result = PullResult::WaitedForAnother;
            outcome.waitedMs = another.WaitedMs();
            return false;
        }
    }
}

// One folder by two names (a mapped drive and its server's name, a link, another letter case) is
// one folder. Where a file system gives no file IDs, the names are compared.
bool IsSameFolder(const PerUserFolders& folders) {
    const std::optional<platform::FileIdentity> master = platform::IdentityOf(folders.master);
    const std::optional<platform::FileIdentity> local = platform::IdentityOf(folders.local);
    if (master && local)
        return *master == *local;
    return platform::EqualIgnoringCase(paths::WithoutTrailingBackslash(folders.master),
                                       paths::WithoutTrailingBackslash(folders.local));
}

// The digits of an unsigned number at text[at], and where they end.
std::optional<std::uint64_t> NumberAt(const std::string& text, std::size_t& at) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), number);
    if (error != std::errc())
        return std::nullopt;
    at = static_cast<std::size_t>(end - text.data());
    return number;
}

bool TextAt(const std::string& text, std::size_t& at, std::string_view expected) {
    if (text.compare(at, expected.size(), expected) != 0)
        return false;
    at += expected.size();
    return true;
}

// Under the lock: the decision, and the copy when one is due.
void PullUnderLock(const PerUserFolders& folders, PullOutcome& outcome) {
    platform::OpenFile master;
    if ((outcome.error = platform::OpenToPull(outcome.masterFile, master))) {
        outcome.result = PullResult::Unreachable;
        return;
    }
    platform::FileStamp stamp;
    if ((outcome.error = platform::StampOf(master, stamp)))
        return;
    const std::wstring record = paths::InFolder(folders.local, kRecord);
    const std::optional<std::string> recorded = platform::ReadWholeFile(record);
    if (!PullIsDue(platform::FileExists(outcome.localFile),
                   recorded ? ParsePullRecord(*recorded) : std::nullopt, stamp)) {
        outcome.result = PullResult::Unchanged;
        return;
    }
    if (stamp.size == 0) {
        outcome.result = PullResult::EmptyMaster;
        return;
    }
    // A record left beside a new copy, whose own record then fails, would describe another
    // version: no copy while it stays.
    platform::ErrorCode notRemoved = platform::kNoError;
    if (!platform::RemoveFile(record, &notRemoved) && platform::FileExists(record)) {
        outcome.result = PullResult::RecordNotRemoved;
        outcome.error = notRemoved;
        return;
    }
    // Every pull into this folder holds the lock, so a temporary file now is a leftover.
    RemoveLeftoverTempFiles(folders.local);
    const std::uint64_t began = platform::TickCountMs();
    const InstallOutcome installed =
        InstallThroughTempFile(master, outcome.localFile, folders.local);
    outcome.copyMs = platform::TickCountMs() - began;
    outcome.bytes = installed.bytesCopied;
    outcome.error = installed.error;
    switch (installed.result) {
        case InstallResult::Installed:
            outcome.result = PullResult::Copied;
            outcome.recordError = platform::WriteWholeFile(record, FormatPullRecord(stamp));
            return;
        case InstallResult::TargetInUse:
            outcome.result = PullResult::LocalCopyInUse;
            return;
        case InstallResult::Failed:
            outcome.result = PullResult::Failed;
            return;
    }
}

// Windows' error that says why there is nothing to open.
platform::ErrorCode BoxReason(const PullOutcome& outcome) {
    if (outcome.error)
        return outcome.error;
    switch (outcome.result) {
        case PullResult::EmptyMaster:
            return kErrorInvalidData;
        case PullResult::WaitedForAnother:
        case PullResult::NoProgress:
            return kErrorWaitTimeout;
        case PullResult::MasterNotAPath:
            return kErrorInvalidName;
        case PullResult::NoLocalFolder:
            return kErrorPathNotFound;
        default:
            return kErrorFileNotFound;
    }
}

}  // namespace

PerUserFolders ResolvePerUserFolders(const std::wstring& from,
                                     const std::optional<std::wstring>& to,
                                     const std::wstring& appFolder) {
    const auto full = [&](const std::wstring& value) {
        const std::wstring resolved = paths::ResolvePath(value, appFolder);
        // Never made into a path: kept as given, for the log and the box to name.
        if (!paths::IsUsablePath(resolved))
            return value;
        return platform::FullPathName(resolved).value_or(resolved);
    };
    std::wstring local;
    if (to) {
        local = full(*to);
    } else if (const std::wstring localAppData = platform::LocalAppDataFolder();
               paths::IsUsablePath(localAppData)) {
        local = paths::InFolder(localAppData, L"Orvantis");
    }
    return {full(from), local};
}

std::string FormatPullRecord(const platform::FileStamp& master) {
    return "size " + std::to_string(master.size) + " lastwrite " +
           std::to_string(master.lastWrite) + "\r\n";
}

// Exactly the line FormatPullRecord writes: a record cut short or changed by hand is no record.
std::optional<platform::FileStamp> ParsePullRecord(const std::string& record) {
    std::size_t at = 0;
    std::optional<std::uint64_t> size, lastWrite;
    if (!TextAt(record, at, "size ") || !(size = NumberAt(record, at)) ||
        !TextAt(record, at, " lastwrite ") || !(lastWrite = NumberAt(record, at)) ||
        !TextAt(record, at, "\r\n") || at != record.size()) {
        return std::nullopt;
    }
    return platform::FileStamp{*size, *lastWrite};
}

bool PullIsDue(bool localCopyExists, const std::optional<platform::FileStamp>& recorded,
               const platform::FileStamp& master) {
    return !localCopyExists || !recorded || *recorded != master;
}

PullOutcome PullMasterCopy(const PerUserFolders& folders) {
    PullOutcome outcome;
    outcome.masterFile = paths::InFolder(folders.master, kDatabase);
    outcome.localFile = paths::InFolder(folders.local, kDatabase);
    const bool localUsable = paths::IsUsablePath(folders.local);
    if (!localUsable) {
        outcome.result = PullResult::NoLocalFolder;
    } else if (!paths::IsUsablePath(folders.master)) {
        outcome.result = PullResult::MasterNotAPath;
    } else if ((outcome.error = platform::CreateFolders(folders.local))) {
        outcome.result = PullResult::Failed;
    } else if (IsSameFolder(folders)) {
        outcome.result = PullResult::SameFolder;
    } else {
        platform::OpenFile lock;
        if (HoldPullLock(folders.local, lock, outcome))
            PullUnderLock(folders, outcome);
    }
    outcome.localCopyExists = localUsable && platform::FileExists(outcome.localFile);
    return outcome;
}

std::wstring PullDetails(const PullOutcome& outcome) {
    const std::wstring failure = eventlog::ErrorText(outcome.error);
    const std::wstring localCopy =
        outcome.localCopyExists ? L"; local copy used" : L"; no local copy";
    switch (outcome.result) {
        case PullResult::Unchanged:
            return L"unchanged";
        case PullResult::Copied:
            return L"copied " + std::to_wstring(outcome.bytes) + L" bytes in " +
                   std::to_wstring(outcome.copyMs) + L" ms" +
                   (outcome.recordError
                        ? L"; not recorded: " + eventlog::ErrorText(outcome.recordError)
                        : L"");
        case PullResult::Unreachable:
            return L"unreachable: " + failure + localCopy;
        case PullResult::MasterNotAPath:
            return L"unreachable: no path: \"" + outcome.masterFile + L"\"" + localCopy;
        case PullResult::NoLocalFolder:
            return (outcome.localFile.empty()
                        ? L"failed: no local folder: none given, and Windows names none"
                        : L"failed: no path: \"" + outcome.localFile + L"\"") +
                   localCopy;
        case PullResult::LocalCopyInUse:
            return L"skipped: local copy in use";
        case PullResult::EmptyMaster:
            return L"skipped: the master copy is empty" + localCopy;
        case PullResult::WaitedForAnother:
            return L"skipped: waited " + std::to_wstring(outcome.waitedMs) +
                   L" ms for another launcher" + localCopy;
        case PullResult::RecordNotRemoved:
            return L"skipped: the record of the last pull stays: " + failure + localCopy;
        case PullResult::SameFolder:
            return L"skipped: the local folder is the master folder";
        case PullResult::NoProgress:
            return L"gave up: no progress for " + std::to_wstring(kMasterDeadlineMs) + L" ms" +
                   localCopy;
        case PullResult::Failed:
            break;
    }
    return L"failed: " + failure + localCopy;
}

std::wstring NoLocalCopyText(const PullOutcome& outcome, std::uint16_t uiLanguage) {
    const bool german = (uiLanguage & 0x3FF) == kLangGerman;
    const platform::ErrorCode reason = BoxReason(outcome);
    std::wstring message = platform::ErrorMessage(reason);
    if (message.empty())
        message = (german ? L"Fehler " : L"Error ") + std::to_wstring(reason);
    return (german
                ? L"Die Datenbank konnte nicht von \"" + outcome.masterFile + L"\" kopiert werden."
                : L"The database could not be copied from \"" + outcome.masterFile + L"\".") +
           L"\r\n" + message;
}

}  // namespace launchers
