// What the launchers ask of Access, in which order and with which database path, and how each
// leaves Access behind: visible, maximised, still running. Failures end the launch quietly.
#include <gtest/gtest.h>

#include "launcher_scenario.h"

namespace {

using namespace harness;

std::wstring HandleArgument(HWND window) {
    return L"I4:" + std::to_wstring(HandleToLong(window));
}

// The one stand-in window on the screen, which must be shown and maximised.
void ExpectOneMaximisedStandInWindow(const std::vector<StandInCall>& calls) {
    const std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0].visible);
    EXPECT_TRUE(windows[0].maximised);
    const std::vector<StandInCall> handles = CallsTo(calls, L"hWndAccessApp");
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(handles[0].details, HandleArgument(windows[0].window));
}

using AccessLaunch = LauncherTest<>;

TEST_F(AccessLaunch, RenvaleSetsSecurityOpensShowsAndMaximisesInThatOrder) {
    // A folder name beyond ASCII, with blanks: the path must reach Access character for character.
    const LauncherSetup setup = InstallLauncher(L"launch-Renvale Größe Ærø", L"Renvale.exe");
    const std::vector<std::uint8_t> database = DatabaseBytes(8192, 1);
    ASSERT_TRUE(PutFile(setup.installed, database));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0], (StandInCall{L"Version", L"get", {}, L"BSTR:11.0"}));
    EXPECT_EQ(calls[1], (StandInCall{L"AutomationSecurity", L"put", {L"I2:1"}, L""}));
    EXPECT_EQ(calls[2], (StandInCall{L"OpenCurrentDatabase",
                                     L"call",
                                     {L"BSTR:" + setup.appFolder + L"\\Orvantis.mde"},
                                     OpenedDetails(database)}));
    EXPECT_EQ(calls[3], (StandInCall{L"Visible", L"put", {L"BOOL:-1"}, L""}));
    // The member name exactly as the launcher spells it.
    EXPECT_EQ(calls[4].member, L"hWndaccessApp");
    EXPECT_EQ(calls[4].kind, L"get");
    ExpectOneMaximisedStandInWindow(calls);
}

TEST_F(AccessLaunch, TessalyOpensShowsAndMaximisesWithoutTouchingSecurityOfAccess2000) {
    const LauncherSetup setup =
        InstallLauncher(L"launch-Tessaly Größe Ærø", L"Tessaly.exe", {{L"version", L"9.0"}});
    const std::vector<std::uint8_t> database = DatabaseBytes(8192, 2);
    ASSERT_TRUE(PutFile(setup.installed, database));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    EXPECT_EQ(MemberOrder(calls), (std::vector<std::wstring>{L"Version", L"OpenCurrentDatabase",
                                                             L"Visible", L"hWndaccessApp"}));
    const std::vector<StandInCall> opens = CallsTo(calls, L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].arguments,
              (std::vector<std::wstring>{L"BSTR:" + setup.appFolder + L"\\Orvantis.mde"}));
    EXPECT_EQ(opens[0].details, OpenedDetails(database));
    ExpectOneMaximisedStandInWindow(calls);
}

TEST_F(AccessLaunch, AccessStaysOpenAfterTheLauncherHasEnded) {
    const LauncherSetup setup = InstallLauncher(L"launch-stays-open", L"Tessaly.exe");
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(1024, 3)));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInWindow> windows = FindStandInWindows();
    ASSERT_EQ(windows.size(), 1u);
    HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, windows[0].processId);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(WaitForSingleObject(server, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(server);
    EXPECT_TRUE(windows[0].visible);
    EXPECT_TRUE(windows[0].maximised);
}

TEST_F(AccessLaunch, AMissingDatabaseStillLeavesAccessShownAndMaximised) {
    for (const wchar_t* program : {L"Renvale.exe", L"Tessaly.exe"}) {
        SCOPED_TRACE(Narrow(program));
        const LauncherSetup setup =
            InstallLauncher(std::wstring(L"launch-missing-") + program, program);

        // Access opened no database: a failed launch.
        ASSERT_EQ(RunLauncher(setup), 1u);

        const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
        const std::vector<StandInCall> opens = CallsTo(calls, L"OpenCurrentDatabase");
        ASSERT_EQ(opens.size(), 1u);
        EXPECT_EQ(opens[0].details, L"missing");
        EXPECT_EQ(CallsTo(calls, L"Visible").size(), 1u);
        ExpectOneMaximisedStandInWindow(calls);
        EXPECT_FALSE(PathExists(setup.installed));
        EndAllStandIns();
    }
}

TEST_F(AccessLaunch, AnAccessWithoutAutomationSecurityIsStillLaunched) {
    const LauncherSetup setup =
        InstallLauncher(L"launch-no-security", L"Renvale.exe", {{L"no_automation_security", L"1"}});
    const std::vector<std::uint8_t> database = DatabaseBytes(2048, 4);
    ASSERT_TRUE(PutFile(setup.installed, database));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    EXPECT_EQ(MemberOrder(calls),
              (std::vector<std::wstring>{L"Version", L"AutomationSecurity", L"OpenCurrentDatabase",
                                         L"Visible", L"hWndaccessApp"}));
    const std::vector<StandInCall> security = CallsTo(calls, L"AutomationSecurity");
    ASSERT_EQ(security.size(), 1u);
    EXPECT_EQ(security[0].kind, L"lookup");
    EXPECT_EQ(CallsTo(calls, L"OpenCurrentDatabase").at(0).details, OpenedDetails(database));
    ExpectOneMaximisedStandInWindow(calls);
}

// At a drive root the application folder ends in a backslash, so the path has two in a row.
TEST_F(AccessLaunch, AtADriveRootThePathIsPassedWithTwoBackslashes) {
    const LauncherSetup setup = InstallLauncher(L"launch-drive-root", L"Renvale.exe");
    const std::vector<std::uint8_t> database = DatabaseBytes(2048, 5);
    const std::vector<std::uint8_t> staged = DatabaseBytes(3072, 6);
    ASSERT_TRUE(PutFile(setup.installed, database));
    ASSERT_TRUE(PutFile(setup.staged, staged));
    const wchar_t drive = SpareDriveLetter();
    ASSERT_NE(drive, L'\0');
    ASSERT_TRUE(MapDrive(drive, setup.appFolder));
    const std::wstring root = std::wstring(1, drive) + L":\\";
    LauncherSetup atRoot = setup;
    atRoot.exe = root + L"Renvale.exe";

    const std::optional<DWORD> exitCode = RunLauncher(atRoot);
    UnmapDrive(drive);

    ASSERT_EQ(exitCode, 0u);
    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].arguments, (std::vector<std::wstring>{L"BSTR:" + root + L"\\Orvantis.mde"}));
    // The staged copy was installed there too, and it is what Access opened.
    EXPECT_EQ(opens[0].details, OpenedDetails(staged));
    EXPECT_EQ(ReadFileBytes(setup.installed), staged);
    EXPECT_FALSE(PathExists(setup.staged));
}

// No Access on the machine: no window, no message, and the launcher ends with exit code 1;
// Renvale has still installed the staged copy.
class WithoutAccess : public LauncherTest<> {
  protected:
    void SetUp() override {
        EndAllStandIns();
        ASSERT_TRUE(UnregisterStandIn());
    }
    void TearDown() override {
        EXPECT_TRUE(RegisterStandIn());
        LauncherTest<>::TearDown();
    }
};

TEST_F(WithoutAccess, RenvaleEndsQuietlyAfterInstallingTheStagedCopy) {
    const LauncherSetup setup = InstallLauncher(L"no-access-Renvale", L"Renvale.exe");
    const std::vector<std::uint8_t> staged = DatabaseBytes(4096, 7);
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(4096, 8)));
    ASSERT_TRUE(PutFile(setup.staged, staged));

    ASSERT_EQ(RunLauncher(setup), 1u);

    EXPECT_TRUE(ReadStandInCalls(setup.standInFolder).empty());
    EXPECT_TRUE(FindStandInWindows().empty());
    EXPECT_EQ(ReadFileBytes(setup.installed), staged);
    EXPECT_FALSE(PathExists(setup.staged));
    EXPECT_EQ(FolderEntries(setup.appFolder),
              (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP"}));
}

TEST_F(WithoutAccess, TessalyEndsQuietly) {
    const LauncherSetup setup = InstallLauncher(L"no-access-Tessaly", L"Tessaly.exe");
    const std::vector<std::uint8_t> database = DatabaseBytes(4096, 9);
    ASSERT_TRUE(PutFile(setup.installed, database));

    ASSERT_EQ(RunLauncher(setup), 1u);

    EXPECT_TRUE(ReadStandInCalls(setup.standInFolder).empty());
    EXPECT_TRUE(FindStandInWindows().empty());
    EXPECT_EQ(ReadFileBytes(setup.installed), database);
}

}  // namespace
