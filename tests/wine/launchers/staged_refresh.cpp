// Renvale's refresh, as scenarios of the two database files before and after one start: the staged
// copy in TEMP replaces the installed database whole or not at all, it is deleted only once it is
// installed, and no temporary file is left anywhere. Tessaly never looks at TEMP.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

const Bytes kOld = DatabaseBytes(48 * 1024, 1);
const Bytes kNew = DatabaseBytes(64 * 1024 + 17, 2);

// The files before the start, and what the start must leave.
struct RefreshCase {
    const char* name;
    const wchar_t* stagingFolder;  // the sub-folder as it is spelled on disk; nullptr: none
    const Bytes* installedBefore;  // nullptr: absent
    const Bytes* stagedBefore;     // nullptr: absent
    const Bytes* installedAfter;
};

const RefreshCase kRefreshCases[] = {
    {"NoTempFolder", nullptr, &kOld, nullptr, &kOld},
    {"EmptyTempFolder", L"TEMP", &kOld, nullptr, &kOld},
    {"StagedOverInstalled", L"TEMP", &kOld, &kNew, &kNew},
    {"StagedWithoutInstalled", L"TEMP", nullptr, &kNew, &kNew},
    // File names are not case-sensitive: "\TEMP\" and "\temp\" name the same staged copy.
    {"StagedInLowerCaseTemp", L"temp", &kOld, &kNew, &kNew},
};

using StagedRefresh = LauncherTest<testing::TestWithParam<RefreshCase>>;

TEST_P(StagedRefresh, LeavesTheFilesAsTheScenarioSays) {
    const RefreshCase& scenario = GetParam();
    const LauncherSetup setup = InstallLauncher(
        L"refresh-" + std::wstring(scenario.name, scenario.name + strlen(scenario.name)),
        L"Renvale.exe");
    const std::wstring stagingFolder =
        scenario.stagingFolder ? setup.appFolder + L"\\" + scenario.stagingFolder : L"";
    if (scenario.stagingFolder) {
        ASSERT_TRUE(CreateDirectoryW(stagingFolder.c_str(), nullptr));
    }
    if (scenario.installedBefore) {
        ASSERT_TRUE(PutFile(setup.installed, *scenario.installedBefore));
    }
    if (scenario.stagedBefore) {
        ASSERT_TRUE(PutFile(stagingFolder + L"\\Orvantis.mde", *scenario.stagedBefore));
    }
    const std::vector<std::wstring> userTempBefore = FolderEntries(UserTempFolder());

    ASSERT_EQ(RunLauncher(setup), 0u);

    EXPECT_EQ(ReadFileBytes(setup.installed), *scenario.installedAfter);
    std::vector<std::wstring> appFolderAfter = {L"Orvantis.mde", L"Renvale.exe"};
    if (scenario.stagingFolder) {
        // The folder itself stays; only the staged file may go.
        appFolderAfter.push_back(scenario.stagingFolder);
        EXPECT_TRUE(FolderEntries(stagingFolder).empty());
    }
    std::sort(appFolderAfter.begin(), appFolderAfter.end());
    EXPECT_EQ(FolderEntries(setup.appFolder), appFolderAfter);
    EXPECT_EQ(FolderEntries(UserTempFolder()), userTempBefore);
    // Access opened the database as the refresh left it.
    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].details, OpenedDetails(*scenario.installedAfter));
}

INSTANTIATE_TEST_SUITE_P(Renvale, StagedRefresh, testing::ValuesIn(kRefreshCases),
                         [](const testing::TestParamInfo<RefreshCase>& info) {
                             return std::string(info.param.name);
                         });

using RefreshFailure = LauncherTest<>;

// Another process holds the installed database without sharing: the install fails, and both files
// stay as they were for the next start.
TEST_F(RefreshFailure, AnInstalledDatabaseHeldOpenKeepsBothFiles) {
    const LauncherSetup setup = InstallLauncher(L"refresh-held-open", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));
    HANDLE held = CreateFileW(setup.installed.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    const std::optional<DWORD> exitCode = RunLauncher(setup);
    CloseHandle(held);

    // Access could not open the held database: a failed launch.
    ASSERT_EQ(exitCode, 1u);
    ExpectBothKept(setup, kOld, kNew,
                   L"unreadable error=" + std::to_wstring(ERROR_SHARING_VIOLATION));
    // The launch went on to Access all the same.
    EXPECT_EQ(CallsTo(ReadStandInCalls(setup.standInFolder), L"Visible").size(), 1u);
}

// Not even a temporary copy is made for a rename that must fail.
TEST_F(RefreshFailure, AReadOnlyInstalledDatabaseKeepsBothFiles) {
    const LauncherSetup setup = InstallLauncher(L"refresh-read-only", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));
    ASSERT_TRUE(SetFileAttributesW(setup.installed.c_str(), FILE_ATTRIBUTE_READONLY));
    FolderWatch watch(setup.appFolder);

    ASSERT_EQ(RunLauncher(setup), 0u);

    ExpectBothKept(setup, kOld, kNew);
    EXPECT_EQ(watch.Changes(), (std::vector<std::pair<DWORD, std::wstring>>{}));
}

// A staged copy of zero bytes is a copy that failed, never a database.
TEST_F(RefreshFailure, AnEmptyStagedCopyIsNeitherInstalledNorDeleted) {
    const LauncherSetup setup = InstallLauncher(L"refresh-empty", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, {}));

    ASSERT_EQ(RunLauncher(setup), 0u);

    ExpectBothKept(setup, kOld, {});
}

// Something that is no launcher holds the staged copy (a virus scanner) while an Access has the
// database open: the install could not replace it anyway, so the launcher does not wait.
TEST_F(RefreshFailure, AScannersHoldIsNotWaitedForWhileTheDatabaseIsInUse) {
    const LauncherSetup setup = InstallLauncher(L"refresh-scanner-and-access", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));
    const owners::unique_handle scanner = HoldFile(setup.staged, GENERIC_READ, FILE_SHARE_READ);
    const owners::unique_handle access = HoldFile(setup.installed, GENERIC_READ, 0);
    ASSERT_NE(scanner.get(), INVALID_HANDLE_VALUE);
    ASSERT_NE(access.get(), INVALID_HANDLE_VALUE);

    // Within the harness's usual time, far below the two minutes it once waited; Access could not
    // open the held database, so the launch failed.
    EXPECT_EQ(RunLauncher(setup), 1u);
}

// A user with modify rights on the folder makes TEMP, or the staged copy, a link to another
// folder's database (here from the server's side): it is neither installed here nor deleted there.
TEST_F(RefreshFailure, AStagedCopyReachedThroughALinkIsNeitherInstalledNorDeleted) {
    for (const bool linkedFolder : {true, false}) {
        SCOPED_TRACE(linkedFolder ? "TEMP is a link" : "TEMP\\Orvantis.mde is a link");
        const LauncherSetup setup = InstallLauncher(
            linkedFolder ? L"refresh-linked-temp" : L"refresh-linked-staged", L"Renvale.exe");
        const std::wstring elsewhere = setup.appFolder + L"\\..\\elsewhere";
        const std::wstring theirs = elsewhere + L"\\Orvantis.mde";
        ASSERT_TRUE(PutFile(setup.installed, kOld));
        ASSERT_TRUE(PutFile(theirs, kNew));
        if (linkedFolder) {
            ASSERT_TRUE(MakeUnixLink(setup.appFolder + L"\\TEMP", elsewhere));
        } else {
            ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
            ASSERT_TRUE(MakeUnixLink(setup.staged, theirs));
        }

        ASSERT_EQ(RunLauncher(setup), 0u);

        EXPECT_EQ(ReadFileBytes(setup.installed), kOld);
        EXPECT_EQ(ReadFileBytes(theirs), kNew);
        EXPECT_EQ(TempFilesIn(setup.appFolder), std::vector<std::wstring>{});
        EXPECT_EQ(
            CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase").at(0).details,
            OpenedDetails(kOld));
    }
}

// The copy runs out of space half-way: the old database survives whole, the staged copy stays, and
// the space the broken copy took is given back.
TEST_F(RefreshFailure, ACopyThatRunsOutOfSpaceLeavesTheOldDatabaseWhole) {
    const std::wstring smallFileSystem = WinePathOf(EnvironmentValue(L"ORVANTIS_SMALL_FS_DIR"));
    if (smallFileSystem.empty() || !PathExists(smallFileSystem))
        GTEST_SKIP() << "ORVANTIS_SMALL_FS_DIR names no small file system (the Wine session "
                        "mounts one when it is set up as root)";
    const LauncherSetup setup =
        InstallLauncher(L"refresh-out-of-space", L"Renvale.exe", {}, smallFileSystem);
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(setup.appFolder.c_str(), &free, nullptr, nullptr));
    // Room for the staged copy itself, but not for a second copy of it beside the database.
    const std::size_t stagedSize = static_cast<std::size_t>(free.QuadPart * 3 / 4 / 4096 * 4096);
    const Bytes staged = DatabaseBytes(stagedSize, 3);
    ASSERT_TRUE(PutFile(setup.staged, staged));
    ULARGE_INTEGER freeBefore{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(setup.appFolder.c_str(), &freeBefore, nullptr, nullptr));
    ASSERT_LT(freeBefore.QuadPart, stagedSize);

    ASSERT_EQ(RunLauncher(setup), 0u);

    ExpectBothKept(setup, kOld, staged);
    ULARGE_INTEGER freeAfter{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(setup.appFolder.c_str(), &freeAfter, nullptr, nullptr));
    EXPECT_EQ(freeAfter.QuadPart, freeBefore.QuadPart);
    // The small file system is shared by the whole session: give its space back.
    EXPECT_TRUE(RemoveTree(smallFileSystem + L"\\refresh-out-of-space"));
}

// An administrator's copy into TEMP still under way: the launcher leaves the half-written file
// alone, and the start after the copy has ended installs it.
TEST_F(RefreshFailure, AStagedCopyStillBeingWrittenWaitsForTheNextStart) {
    const LauncherSetup setup = InstallLauncher(L"refresh-being-written", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    // Written as a file copy writes, letting others read what is there so far.
    const HANDLE writer = CreateFileW(setup.staged.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(writer, kNew.data(), static_cast<DWORD>(kNew.size() / 2), &written, nullptr));

    const std::optional<DWORD> exitCode = RunLauncher(setup);
    EXPECT_EQ(ReadFileBytes(setup.installed), kOld);
    EXPECT_EQ(FolderEntries(setup.appFolder),
              (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP"}));
    EXPECT_EQ(CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase").at(0).details,
              OpenedDetails(kOld));
    ASSERT_TRUE(WriteFile(writer, kNew.data() + written, static_cast<DWORD>(kNew.size() - written),
                          &written, nullptr));
    CloseHandle(writer);
    ASSERT_EQ(exitCode, 0u);

    ASSERT_EQ(RunLauncher(setup), 0u);
    ExpectInstalled(setup, kNew);
}

// A launcher killed during its copy leaves a temporary file as large as the database. The next
// refresh removes it, but not a file of that pattern that is held open (another launcher at work),
// nor other files.
TEST_F(RefreshFailure, TheNextRefreshRemovesWhatAKilledOneLeft) {
    constexpr std::size_t kMiB = 512;
    const LauncherSetup setup = InstallLauncher(L"refresh-killed", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(setup.staged, kMiB, 4));
    {
        Process killed = Start(setup.exe, L"");
        ASSERT_TRUE(WaitUntil([&] { return !TempFilesIn(setup.appFolder).empty(); }));
        killed.Terminate();
    }
    const std::vector<std::wstring> leftovers = TempFilesIn(setup.appFolder);
    ASSERT_EQ(leftovers.size(), 1u);
    const HANDLE atWork = CreateFileW((setup.appFolder + L"\\orvBEEF.tmp").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(atWork, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(PutFile(setup.appFolder + L"\\orvantis-notes.tmp", kOld));
    EndAllStandIns();

    const std::optional<DWORD> exitCode = RunLauncher(setup);
    CloseHandle(atWork);

    ASSERT_EQ(exitCode, 0u);
    EXPECT_TRUE(HoldsLargeDatabase(setup.installed, kMiB, 4));
    EXPECT_EQ(FolderEntries(setup.appFolder),
              (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP", L"orvBEEF.tmp",
                                         L"orvantis-notes.tmp"}))
        << "left over: " << Narrow(leftovers[0]);
    EXPECT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
}

// As ReplaceFileW keeps them: the attributes the administrator gave the database stay, and the
// new file keeps the time its content was last written, as a copy does. Wine lets no more be seen:
// it keeps no creation time (it reports the last-write time), and it answers a file's permissions
// from its Unix mode, whatever was set.
TEST_F(RefreshFailure, TheInstalledDatabaseKeepsItsAttributes) {
    const LauncherSetup setup = InstallLauncher(L"refresh-attributes", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));
    constexpr DWORD kGiven = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(setup.installed.c_str(), kGiven));
    constexpr ULONGLONG kBuilt = 0x01D9A4B25A3C0000;  // 2023
    ASSERT_TRUE(SetLastWrite(setup.staged, kBuilt));

    ASSERT_EQ(RunLauncher(setup), 0u);

    EXPECT_EQ(ReadFileBytes(setup.installed), kNew);
    WIN32_FILE_ATTRIBUTE_DATA installed{};
    ASSERT_TRUE(GetFileAttributesExW(setup.installed.c_str(), GetFileExInfoStandard, &installed));
    EXPECT_EQ(installed.dwFileAttributes, kGiven);
    EXPECT_EQ(LastWrite(setup.installed), kBuilt);
    ExpectInstalled(setup, kNew);
}

// Copied from a release share or a medium, the staged copy is read-only. It is installed and
// deleted, so that no later start installs it again over what the users entered since.
TEST_F(RefreshFailure, AReadOnlyStagedCopyIsInstalledOnce) {
    const LauncherSetup setup = InstallLauncher(L"refresh-read-only-staged", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));
    ASSERT_TRUE(SetFileAttributesW(setup.staged.c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_EQ(RunLauncher(setup), 0u);
    ExpectInstalled(setup, kNew);
    Bytes entered = kNew;
    entered.back() ^= 0xFF;
    ASSERT_TRUE(PutFile(setup.installed, entered));
    ASSERT_EQ(RunLauncher(setup), 0u);

    EXPECT_EQ(ReadFileBytes(setup.installed), entered);
    SetFileAttributesW(setup.staged.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The folder's own files lie beyond MAX_PATH, where GetTempFileNameW gives up. (Wine starts no
// program whose path reaches MAX_PATH, so the launcher goes by a short name here.)
TEST_F(RefreshFailure, AnApplicationFolderOf250CharactersIsRefreshed) {
    constexpr std::size_t kFolderLength = 250;
    const std::wstring tail = L"\\refresh-long\\app";
    std::wstring relative = L"refresh-long-folder";
    while (WorkDir().size() + 1 + relative.size() + tail.size() < kFolderLength) {
        const std::size_t left =
            kFolderLength - WorkDir().size() - 1 - relative.size() - tail.size();
        relative += L"\\" + std::wstring(std::min<std::size_t>(40, left - 1),
                                         static_cast<wchar_t>(L'a' + relative.size() % 26));
    }
    const std::wstring base = MakeTestFolder(relative);
    LauncherSetup setup = InstallLauncher(L"refresh-long", L"Renvale.exe", {}, base);
    ASSERT_EQ(setup.appFolder.size(), kFolderLength);
    setup.exe = CopyProgram(L"Renvale.exe", setup.appFolder, L"R.exe");
    ASSERT_TRUE(DeleteFileW((setup.appFolder + L"\\Renvale.exe").c_str()));
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));

    ASSERT_EQ(RunLauncher(setup), 0u);

    EXPECT_EQ(ReadFileBytes(setup.installed), kNew);
    EXPECT_EQ(FolderEntries(setup.appFolder),
              (std::vector<std::wstring>{L"Orvantis.mde", L"R.exe", L"TEMP"}));
    EXPECT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
}

using TessalyAndTemp = LauncherTest<>;

TEST_F(TessalyAndTemp, TessalyLeavesAStagedCopyAlone) {
    const LauncherSetup setup = InstallLauncher(L"tessaly-temp", L"Tessaly.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    ASSERT_TRUE(PutFile(setup.staged, kNew));

    ASSERT_EQ(RunLauncher(setup), 0u);

    ExpectBothKept(setup, kOld, kNew);
}

}  // namespace
