// Several users start Renvale at the same moment while an update is staged, round after round:
// exactly one of them installs it, every one hands Access a whole database (the old or the new
// one), the staged copy is gone once installed, and no temporary file is left anywhere.
// Access reading the old database at the moment of the rename makes the install fail, as any
// process holding the database does; the staged copy then waits for the next round of starts.
// The other way round, a rename holds the file for an instant with the right to delete it, so an
// Access opening it right then without sharing that right is refused ("in use"); that can happen
// only at the one rename that installs.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

constexpr int kLaunchersAtOnce = 6;
constexpr int kReleases = 4;
constexpr int kRoundsPerRelease = 4;

// Large enough that the copies of launchers started together overlap.
Bytes Release(int number) {
    return DatabaseBytes(48 * 1024 * 1024 + static_cast<std::size_t>(number) * 4099,
                         static_cast<std::uint8_t>(number));
}

int InstallsSeen(const std::vector<std::pair<DWORD, std::wstring>>& changes) {
    int installs = 0;
    for (const auto& [action, name] : changes) {
        if ((action == FILE_ACTION_RENAMED_NEW_NAME || action == FILE_ACTION_ADDED) &&
            CompareStringOrdinal(name.c_str(), -1, L"Orvantis.mde", -1, TRUE) == CSTR_EQUAL)
            ++installs;
    }
    return installs;
}

using RenvalesAtOnce = LauncherTest<>;

TEST_F(RenvalesAtOnce, ExactlyOneInstallsEachStagedCopyAndEveryOneOpensAWholeDatabase) {
    const LauncherSetup setup = InstallLauncher(L"stress-renvales-at-once", L"Renvale.exe");
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    Bytes installed = Release(0);
    ASSERT_TRUE(PutFile(setup.installed, installed));
    const std::vector<std::wstring> userTempBefore = FolderEntries(UserTempFolder());

    for (int release = 1; release <= kReleases; ++release) {
        const Bytes staged = Release(release);
        ASSERT_TRUE(PutFile(setup.staged, staged));
        int installs = 0;
        for (int round = 1; round <= kRoundsPerRelease && installs == 0; ++round) {
            SCOPED_TRACE("release " + std::to_string(release) + ", round " + std::to_string(round));
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

            const int installsNow = InstallsSeen(watch.Changes());
            installs += installsNow;
            const std::vector<StandInCall> opens =
                CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
            EXPECT_EQ(opens.size(), static_cast<std::size_t>(kLaunchersAtOnce));
            int refusedAtTheRename = 0;
            for (const StandInCall& open : opens) {
                if (open.details == L"unreadable error=32") {
                    ++refusedAtTheRename;
                    continue;
                }
                EXPECT_TRUE(open.details == OpenedDetails(installed) ||
                            open.details == OpenedDetails(staged))
                    << Narrow(open.details);
            }
            EXPECT_LE(refusedAtTheRename, installsNow);
            // Installed and gone from TEMP, or not installed and still there, whole.
            ASSERT_EQ(ReadFileBytes(setup.installed), installs ? staged : installed);
            EXPECT_EQ(FolderEntries(setup.appFolder + L"\\TEMP"),
                      installs ? std::vector<std::wstring>{}
                               : std::vector<std::wstring>{L"Orvantis.mde"});
            if (!installs) {
                EXPECT_EQ(ReadFileBytes(setup.staged), staged);
            }
            EXPECT_EQ(FolderEntries(setup.appFolder),
                      (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP"}));
            EXPECT_EQ(FolderEntries(UserTempFolder()), userTempBefore);
        }
        EXPECT_EQ(installs, 1) << "release " << release;
        installed = staged;
    }
}

}  // namespace
