// The staged copy is installed through a temporary copy beside the installed database (see
// TempFileInstall.cpp) and deleted only once it is installed, so a failed attempt can be repeated
// at the next start; only a staged copy that this launcher can also delete is installed, so no
// later start installs it a second time over what the users have entered since.
// The staged copy is held from before the copy until it is deleted: an administrator still
// writing it keeps the refresh out, and of several launchers started together only the one that
// holds it installs it; the others wait for it and then open the new database.
#include "StagedRefresh.h"

#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

#include "TempFileInstall.h"

namespace launchers {
namespace {

constexpr wchar_t kStagedInFolder[] = L"TEMP\\Orvantis.mde";
// How long the temporary file of another launcher that installs the staged copy may stay the same
// size before this one stops waiting for it. A share may report a file's size up to 10 s late.
constexpr std::uint64_t kMostWaitWithoutGrowthMs = 30000;
constexpr std::uint32_t kLookAgainMs = 50;

// The bytes in the temporary files of the folder: they grow while a launcher copies.
std::uint64_t BytesInTempFiles(const std::wstring& appFolder) {
    std::uint64_t bytes = 0;
    for (const std::wstring& name : platform::FileNamesIn(appFolder, L"orv*.tmp")) {
        if (IsTempFileName(name))
            bytes += platform::FileSize(appFolder + L"\\" + name).value_or(0);
    }
    return bytes;
}

// Another launcher installing the staged copy is waited for as long as its copy grows: this one
// then opens the new database, and its Access does not hold the old one open in the way of the
// install. Waiting is in vain when what holds the staged copy is no launcher at its copy (a virus
// scanner, a backup), above all when the installed database cannot be replaced anyway. A copy
// still being written can take minutes and is not waited for.
bool HoldStagedCopy(const std::wstring& staged, const std::wstring& installed,
                    const std::wstring& appFolder, platform::OpenFile& stagedFile) {
    std::optional<std::uint64_t> tempBytes;
    std::uint64_t grewAt = 0;
    bool databaseLookedAt = false;
    for (;;) {
        switch (platform::OpenToInstall(staged, stagedFile)) {
            case platform::ToInstall::Opened:
                return true;
            case platform::ToInstall::HeldByAnotherLauncher: {
                const std::uint64_t bytes = BytesInTempFiles(appFolder);
                // Looked at once, and only while no temporary file is there: a look is in the way
                // of an Access opening the database, and of an install's rename onto it.
                if (!databaseLookedAt && bytes == 0) {
                    databaseLookedAt = true;
                    if (platform::FileExists(installed) &&
                        platform::CheckReplaceable(installed) != platform::kNoError) {
                        return false;
                    }
                }
                const std::uint64_t now = platform::TickCountMs();
                if (!tempBytes || bytes > *tempBytes)
                    grewAt = now;
                tempBytes = bytes;
                if (now - grewAt >= kMostWaitWithoutGrowthMs)
                    return false;
                platform::Pause(kLookAgainMs);
                continue;
            }
            case platform::ToInstall::BeingWritten:
            case platform::ToInstall::Unavailable:
                return false;
        }
    }
}

}  // namespace

void RefreshStagedDatabase(const std::wstring& appFolder) {
    const std::wstring staged = appFolder + L"\\" + kStagedInFolder;
    const std::wstring installed = appFolder + L"\\Orvantis.mde";

    if (!platform::FileExists(staged))
        return;
    platform::OpenFile stagedFile;
    if (!HoldStagedCopy(staged, installed, appFolder, stagedFile))
        return;
    // A TEMP that leads elsewhere would install another folder's database here and delete it
    // there.
    if (!platform::OpenedWithoutLinks(stagedFile, appFolder, kStagedInFolder))
        return;
    // An empty staged copy is a copy that failed, never a database.
    if (platform::FileSize(staged).value_or(0) == 0)
        return;
    if (platform::ClearReadOnly(stagedFile) != platform::kNoError)
        return;
    // Every launcher at work holds the staged copy, so a temporary file now is a leftover.
    RemoveLeftoverTempFiles(appFolder);
    if (InstallThroughTempFile(stagedFile, installed, appFolder).result !=
        InstallResult::Installed) {
        return;
    }
    // Deleted through the handle that holds it: no other launcher can open it in between and
    // install it a second time.
    platform::DeleteWhenClosed(stagedFile);
}

}  // namespace launchers
