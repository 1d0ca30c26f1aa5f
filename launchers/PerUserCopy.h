// Renvale's per-user mode (/from MASTER): each user works on a copy of their own in a local
// folder, pulled from the master folder whenever the master has changed since the last pull.
#pragma once

#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

namespace launchers {

struct PerUserFolders {
    std::wstring master;  // holds the master Orvantis.mde
    std::wstring local;   // the user's own folder
};

// The folders of /from and /to (default: the user's %LOCALAPPDATA%\Orvantis), resolved as every
// path on the command line is: environment variables expanded, relative to the program's folder.
// A value that cannot be a path stays as given, and no local folder at all is an empty one: the
// pull refuses both.
PerUserFolders ResolvePerUserFolders(const std::wstring& from,
                                     const std::optional<std::wstring>& to,
                                     const std::wstring& appFolder);

// The record of the master last pulled, kept beside the local copy: one line of its size and
// last-write time.
std::string FormatPullRecord(const platform::FileStamp& master);
std::optional<platform::FileStamp> ParsePullRecord(const std::string& record);

// A copy is due when there is no local copy, or when the master's size or last-write time differs
// from the record (a master set back to an older version counts too). What Access changes in the
// local copy never makes one due.
bool PullIsDue(bool localCopyExists, const std::optional<platform::FileStamp>& recorded,
               const platform::FileStamp& master);

enum class PullResult {
    Unchanged,
    Copied,
    // The master could not be opened: missing, unreachable, being written, no right to read it.
    Unreachable,
    // The master folder given is no path (none, or with a character no path may hold).
    MasterNotAPath,
    // There is no local folder (none given and this account has none), or the one given is no
    // path.
    NoLocalFolder,
    LocalCopyInUse,
    // A master of zero bytes is a copy that failed, never a database.
    EmptyMaster,
    Failed,
    // Another start was pulling into the local folder and did not finish in time.
    WaitedForAnother,
    // The record of the last pull is held or protected: a copy beside it could be taken for
    // another version later.
    RecordNotRemoved,
    // /from and /to name one folder: its database is opened as it is.
    SameFolder,
    // The master stopped answering (a hung server): no file call returned and nothing was copied
    // for kMasterDeadlineMs, and the start went on without the pull.
    NoProgress,
};

// How long a pull may go without progress before the start goes on without it.
inline constexpr std::uint64_t kMasterDeadlineMs = 15000;

struct PullOutcome {
    PullResult result = PullResult::Failed;
    // Windows' error of the step that failed; kNoError when none did.
    platform::ErrorCode error = platform::kNoError;
    std::uint64_t bytes = 0;
    std::uint64_t copyMs = 0;
    // How long this start waited for another start's pull into the same folder.
    std::uint64_t waitedMs = 0;
    // The copy was made, but its record not written: the next start copies again.
    platform::ErrorCode recordError = platform::kNoError;
    std::wstring masterFile;
    std::wstring localFile;
    bool localCopyExists = false;
};

// Creates the local folder, and copies the master's database into it when a copy is due, with
// the same steps as a refresh. Starts that pull into one folder at once (a double click, two
// computers with one folder on a share) copy at most once. Shows nothing and calls no window.
PullOutcome PullMasterCopy(const PerUserFolders& folders);

// The pull event's details for the log.
std::wstring PullDetails(const PullOutcome& outcome);

// The one box when there is nothing to open, in German when the user's Windows speaks it:
// the master file's path and Windows' text for what kept the copy from being made.
std::wstring NoLocalCopyText(const PullOutcome& outcome, std::uint16_t uiLanguage);

}  // namespace launchers
