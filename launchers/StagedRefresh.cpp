// The staged copy is installed through a temporary copy beside the installed database (see
// TempFileInstall.cpp) and deleted only once it is installed, so a failed attempt can be repeated
// at the next start; only a staged copy that this launcher can also delete is installed, so no
// later start installs it a second time over what the users have entered since.
// The staged copy is held from before the copy until it is deleted: an administrator still
// writing it keeps the refresh out, and of several launchers started together only the one that
// holds it installs it; the others wait for it and then open the new database.
#include "StagedRefresh.h"

#include <EventLog.h>
#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

#include "TempFileInstall.h"

namespace launchers {
namespace {

constexpr wchar_t kStagedInFolder[] = L"TEMP\\Orvantis.mde";

RefreshOutcome Outcome(RefreshResult result) {
    RefreshOutcome outcome;
    outcome.result = result;
    return outcome;
}

RefreshOutcome Skipped(std::wstring reason) {
    RefreshOutcome outcome = Outcome(RefreshResult::Skipped);
    outcome.reason = std::move(reason);
    return outcome;
}

RefreshOutcome Failed(platform::ErrorCode error) {
    RefreshOutcome outcome = Outcome(RefreshResult::Failed);
    outcome.error = error;
    return outcome;
}

// A database that another process holds open is not replaced now; any other reason it cannot be
// is a failure.
RefreshOutcome NotReplaced(bool inUse, platform::ErrorCode error) {
    if (inUse)
        return Skipped(L"database in use");
    return Failed(error);
}

// Another launcher installing the staged copy is waited for as long as its copy grows: this one
// then opens the new database, and its Access does not hold the old one open in the way of the
// install. Waiting is in vain when what holds the staged copy is no launcher at its copy (a virus
// scanner, a backup), above all when the installed database cannot be replaced anyway. A copy
// still being written can take minutes and is not waited for.
// When it does not hold it, outcome says why.
bool HoldStagedCopy(const std::wstring& staged, const std::wstring& installed,
                    const std::wstring& appFolder, platform::OpenFile& stagedFile,
                    RefreshOutcome& outcome) {
    AnotherLaunchersCopy another(appFolder);
    const auto waited = [&] {
        outcome =
            Skipped(L"waited " + std::to_wstring(another.WaitedMs()) + L" ms for another launcher");
        return false;
    };
    platform::ErrorCode unavailable = platform::kNoError;
    bool databaseLookedAt = false;
    for (;;) {
        switch (platform::OpenToInstall(staged, stagedFile, &unavailable)) {
            case platform::ToInstall::Opened:
                return true;
            case platform::ToInstall::HeldByAnotherLauncher: {
                const std::uint64_t bytes = another.Look();
                // Looked at once, and only while no temporary file is there: a look is in the way
                // of an Access opening the database, and of an install's rename onto it.
                if (!databaseLookedAt && bytes == 0) {
                    databaseLookedAt = true;
                    const platform::ErrorCode blocked = platform::FileExists(installed)
                                                            ? platform::CheckReplaceable(installed)
                                                            : platform::kNoError;
                    if (blocked) {
                        outcome = NotReplaced(blocked == platform::kErrorSharingViolation, blocked);
                        return false;
                    }
                }
                if (!another.WaitMore())
                    return waited();
                continue;
            }
            case platform::ToInstall::BeingWritten:
                outcome = Skipped(L"being written");
                return false;
            case platform::ToInstall::Unavailable:
                // Gone after a wait: the launcher waited for has installed it.
                if (another.Looked() && !platform::FileExists(staged))
                    return waited();
                outcome = Failed(unavailable);
                return false;
        }
    }
}

}  // namespace

RefreshOutcome RefreshStagedDatabase(const std::wstring& appFolder) {
    const std::wstring staged = appFolder + L"\\" + kStagedInFolder;
    const std::wstring installed = appFolder + L"\\Orvantis.mde";

    if (!platform::FileExists(staged))
        return Outcome(RefreshResult::NoneStaged);
    platform::OpenFile stagedFile;
    RefreshOutcome outcome;
    if (!HoldStagedCopy(staged, installed, appFolder, stagedFile, outcome))
        return outcome;
    // A TEMP that leads elsewhere would install another folder's database here and delete it
    // there.
    if (!platform::OpenedWithoutLinks(stagedFile, appFolder, kStagedInFolder))
        return Skipped(L"the staged copy lies behind a link");
    // An empty staged copy is a copy that failed, never a database.
    if (platform::FileSize(staged).value_or(0) == 0)
        return Skipped(L"the staged copy is empty");
    if (const platform::ErrorCode error = platform::ClearReadOnly(stagedFile))
        return Failed(error);
    // Every launcher at work holds the staged copy, so a temporary file now is a leftover.
    RemoveLeftoverTempFiles(appFolder);
    const std::uint64_t began = platform::TickCountMs();
    const InstallOutcome install = InstallThroughTempFile(stagedFile, installed, appFolder);
    if (install.result != InstallResult::Installed)
        return NotReplaced(install.result == InstallResult::TargetInUse, install.error);
    // Deleted through the handle that holds it: no other launcher can open it in between and
    // install it a second time.
    platform::DeleteWhenClosed(stagedFile);
    RefreshOutcome installedOutcome = Outcome(RefreshResult::Installed);
    installedOutcome.bytes = install.bytesCopied;
    installedOutcome.milliseconds = platform::TickCountMs() - began;
    return installedOutcome;
}

std::wstring RefreshDetails(const RefreshOutcome& outcome) {
    switch (outcome.result) {
        case RefreshResult::NoneStaged:
            return L"none staged";
        case RefreshResult::Installed:
            return L"installed " + std::to_wstring(outcome.bytes) + L" bytes in " +
                   std::to_wstring(outcome.milliseconds) + L" ms";
        case RefreshResult::Skipped:
            return L"skipped: " + outcome.reason;
        case RefreshResult::Failed:
            break;
    }
    return L"failed: " + eventlog::ErrorText(outcome.error);
}

}  // namespace launchers
