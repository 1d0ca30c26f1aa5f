// The master is held from before the decision until its copy is in place: an administrator still
// writing it keeps the pull out (the user works on the copy they have), while one who publishes
// by renaming it away and a new file in is never blocked. The copy is made with the refresh's steps
// (a temporary file beside the local copy, one rename), and the master's size and last-write time
// are recorded only once it is in place: a crash in between costs one more copy, and the record
// of an older pull is removed before a new copy begins, so a stale copy is never taken for
// current.
#include "PerUserCopy.h"

#include <EventLog.h>
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
// Serialises the pulls of one user's starts (a double click), in all of the user's sessions.
constexpr wchar_t kPullLock[] = L"OrvantisPerUserPull";
// Another start's pull is waited for while its temporary file grows, and this long without.
constexpr std::uint64_t kMostWaitWithoutGrowthMs = 30000;
constexpr std::uint32_t kLookAgainMs = 50;

constexpr platform::ErrorCode kErrorFileNotFound = 2;
constexpr platform::ErrorCode kErrorInvalidData = 13;
constexpr platform::ErrorCode kErrorWaitTimeout = 258;
constexpr std::uint16_t kLangGerman = 0x07;

// The lock is taken without waiting, again and again, so that the splash answers meanwhile.
bool TakePullLock(const std::wstring& local, std::optional<platform::UserLock>& lock,
                  std::uint64_t& waitedMs) {
    const std::uint64_t began = platform::TickCountMs();
    std::optional<std::uint64_t> tempBytes;
    std::uint64_t grewAt = began;
    for (;;) {
        lock.emplace(kPullLock, 0);
        if (lock->held())
            return true;
        lock.reset();
        const std::uint64_t bytes = BytesInTempFiles(local);
        const std::uint64_t now = platform::TickCountMs();
        if (tempBytes && bytes > *tempBytes)
            grewAt = now;
        tempBytes = bytes;
        waitedMs = now - began;
        if (now - grewAt >= kMostWaitWithoutGrowthMs)
            return false;
        platform::Pause(kLookAgainMs);
    }
}

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    if (folder.size() > 3 && folder.ends_with(L'\\'))
        folder.pop_back();
    return folder;
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
    const std::wstring record = InFolder(folders.local, kRecord);
    const std::optional<std::string> recorded = platform::ReadWholeFile(record);
    if (!PullIsDue(platform::FileExists(outcome.localFile),
                   recorded ? ParsePullRecord(*recorded) : std::nullopt, stamp)) {
        outcome.result = PullResult::Unchanged;
        return;
    }
    // An empty master is a copy that failed, never a database.
    if (stamp.size == 0) {
        outcome.result = PullResult::EmptyMaster;
        outcome.error = kErrorInvalidData;
        return;
    }
    platform::RemoveFile(record);
    // Every pull of this user holds the lock, so a temporary file now is a leftover.
    RemoveLeftoverTempFiles(folders.local);
    const std::uint64_t began = platform::TickCountMs();
    const InstallOutcome installed =
        InstallThroughTempFile(master, outcome.localFile, folders.local);
    outcome.milliseconds = platform::TickCountMs() - began;
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

}  // namespace

PerUserFolders ResolvePerUserFolders(const std::wstring& from,
                                     const std::optional<std::wstring>& to,
                                     const std::wstring& appFolder) {
    const auto full = [&](const std::wstring& value) {
        const std::wstring resolved = eventlog::ResolvePath(value, appFolder);
        return platform::FullPathName(resolved).value_or(resolved);
    };
    std::wstring local;
    if (to) {
        local = full(*to);
    } else if (const std::wstring localAppData = platform::LocalAppDataFolder();
               !localAppData.empty()) {
        local = InFolder(localAppData, L"Orvantis");
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
    outcome.masterFile = InFolder(folders.master, kDatabase);
    outcome.localFile = InFolder(folders.local, kDatabase);
    if (platform::EqualIgnoringCase(WithoutTrailingBackslash(folders.master),
                                    WithoutTrailingBackslash(folders.local))) {
        outcome.result = PullResult::SameFolder;
        outcome.error = kErrorFileNotFound;
    } else if ((outcome.error = platform::CreateFolders(folders.local))) {
        outcome.result = PullResult::Failed;
    } else {
        std::optional<platform::UserLock> lock;
        if (TakePullLock(folders.local, lock, outcome.milliseconds)) {
            PullUnderLock(folders, outcome);
        } else {
            outcome.result = PullResult::WaitedForAnother;
            outcome.error = kErrorWaitTimeout;
        }
    }
    outcome.localCopyExists = platform::FileExists(outcome.localFile);
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
                   std::to_wstring(outcome.milliseconds) + L" ms" +
                   (outcome.recordError
                        ? L"; not recorded: " + eventlog::ErrorText(outcome.recordError)
                        : L"");
        case PullResult::Unreachable:
            return L"unreachable: " + failure + localCopy;
        case PullResult::LocalCopyInUse:
            return L"skipped: local copy in use";
        case PullResult::EmptyMaster:
            return L"skipped: the master copy is empty" + localCopy;
        case PullResult::WaitedForAnother:
            return L"skipped: waited " + std::to_wstring(outcome.milliseconds) +
                   L" ms for another launcher" + localCopy;
        case PullResult::SameFolder:
            return L"skipped: the local folder is the master folder";
        case PullResult::Failed:
            break;
    }
    return L"failed: " + failure + localCopy;
}

std::wstring NoLocalCopyText(const PullOutcome& outcome, std::uint16_t uiLanguage) {
    const bool german = (uiLanguage & 0x3FF) == kLangGerman;
    std::wstring message = platform::ErrorMessage(outcome.error);
    if (message.empty())
        message = (german ? L"Fehler " : L"Error ") + std::to_wstring(outcome.error);
    return (german
                ? L"Die Datenbank konnte nicht von \"" + outcome.masterFile + L"\" kopiert werden."
                : L"The database could not be copied from \"" + outcome.masterFile + L"\".") +
           L"\r\n" + message;
}

}  // namespace launchers
