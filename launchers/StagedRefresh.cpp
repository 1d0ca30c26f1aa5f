// The staged copy is installed through a temporary copy beside the installed database (see
// TempFileInstall.cpp) and deleted only once it is installed, so a failed attempt can be repeated
// at the next start.
// The staged copy is held from before the copy until it is deleted: an administrator still
// writing it keeps the refresh out, and of several launchers started together only the one that
// holds it installs it; the others wait for it and then open the new database.
#include "StagedRefresh.h"

#include <platform.h>

#include <cstdint>
#include <string>

#include "TempFileInstall.h"

namespace launchers {
namespace {

// How long a launcher waits for another one that installs the staged copy, and how often it looks.
constexpr std::uint64_t kMostWaitForAnotherLauncherMs = 120000;
constexpr std::uint32_t kLookAgainMs = 50;

// Another launcher installing the staged copy is waited for: this one then opens the new database,
// and its Access does not hold the old one open in the way of the install. A copy still being
// written can take minutes and is not waited for.
bool HoldStagedCopy(const std::wstring& staged, platform::OpenFile& stagedFile) {
    const std::uint64_t began = platform::TickCountMs();
    for (;;) {
        switch (platform::OpenToInstall(staged, stagedFile)) {
            case platform::ToInstall::Opened:
                return true;
            case platform::ToInstall::HeldByAnotherLauncher:
                if (platform::TickCountMs() - began >= kMostWaitForAnotherLauncherMs)
                    return false;
                platform::Pause(kLookAgainMs);
                continue;
            case platform::ToInstall::BeingWritten:
            case platform::ToInstall::Unavailable:
                return false;
        }
    }
}

}  // namespace

void RefreshStagedDatabase(const std::wstring& appFolder) {
    const std::wstring staged = appFolder + L"\\TEMP\\Orvantis.mde";
    const std::wstring installed = appFolder + L"\\Orvantis.mde";

    if (!platform::FileExists(staged))
        return;
    platform::OpenFile stagedFile;
    if (!HoldStagedCopy(staged, stagedFile))
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
