// Several users start Renvale at the same moment while an update is staged, release after
// release: exactly one of them installs it while the others wait for it, so every one hands Access
// the whole new database (none holds the old one open in the way of the install); the staged copy
// is gone once installed, and no temporary file is left anywhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

constexpr int kLaunchersAtOnce = 6;
constexpr int kReleases = 5;

// Large enough that the copies of launchers started together overlap.
Bytes Release(int number) {
    return DatabaseBytes(48 * 1024 * 1024 + static_cast<std::size_t>(number) * 4099,
                         static_cast<std::uint8_t>(number));
}

using RenvalesAtOnce = LauncherTest<>;

TEST_F(RenvalesAtOnce, ExactlyOneInstallsEachStagedCopyAndEveryOneOpensTheNewDatabase) {
    const LauncherSetup setup = InstallLauncher(L"stress-renvales-at-once", L"Renvale.exe");
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    ASSERT_TRUE(PutFile(setup.installed, Release(0)));
    const std::vector<std::wstring> userTempBefore = FolderEntries(UserTempFolder());

    for (int release = 1; release <= kReleases; ++release) {
        SCOPED_TRACE("release " + std::to_string(release));
        const Bytes staged = Release(release);
        ASSERT_TRUE(PutFile(setup.staged, staged));
        EndAllStandIns();
        DeleteFileW((setup.standInFolder + L"\\calls.log").c_str());
        FolderWatch watch(setup.appFolder);

        std::vector<Process> launchers;
        for (int n = 0; n < kLaunchersAtOnce; ++n)
            launchers.push_back(StartSuspended(setup.exe, L""));
        for (Process& launcher : launchers)
            launcher.Resume();
        for (Process& launcher : launchers)
            ASSERT_EQ(launcher.WaitForExit(), 0u);

        EXPECT_EQ(TimesPutInPlace(watch.Changes(), L"Orvantis.mde"), 1);
        const std::vector<StandInCall> opens =
            CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
        EXPECT_EQ(opens.size(), static_cast<std::size_t>(kLaunchersAtOnce));
        for (const StandInCall& open : opens)
            EXPECT_EQ(open.details, OpenedDetails(staged));
        ASSERT_EQ(ReadFileBytes(setup.installed), staged);
        EXPECT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
        EXPECT_EQ(FolderEntries(setup.appFolder),
                  (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP"}));
        EXPECT_EQ(FolderEntries(UserTempFolder()), userTempBefore);
    }
}

}  // namespace
