// What the launchers write to the log given by /log, event by event, and their exit codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "EventLog.h"
#include "LaunchDatabase.h"
#include "LauncherRun.h"
#include "StagedRefresh.h"
#include "common/log_double.h"
#include "launchers/access_double.h"
#include "launchers/files_double.h"
#include "launchers/journal.h"
#include "launchers/process_double.h"

namespace {

using doubles::Log;
using testing::ElementsAre;
using testing::Pair;

const std::wstring kLog = L"C:\\Users\\anna\\AppData\\Local\\Temp\\renvale.log";
const std::wstring kInstalled = L"C:\\App\\Orvantis.mde";
const std::wstring kStaged = L"C:\\App\\TEMP\\Orvantis.mde";
const std::string kRelease = "Orvantis 9.8.7";

class LaunchLog : public testing::Test {
  protected:
    void SetUp() override {
        doubles::PutFile(kInstalled, "installed database");
        Log().errorMessages[0x80040154] = L"Class not registered";
        Log().errorMessages[112] = L"There is not enough space on the disk.";
    }
    // The next test starts without the switches this one read.
    void TearDown() override {
        doubles::Process().commandLine = L"C:\\App\\Renvale.exe";
        Renvale::ReadCommandLine();
    }

    // One whole run of Renvale or Tessaly with this command line: its exit code.
    static int RunRenvale(const std::wstring& commandLine) {
        doubles::Process().commandLine = commandLine;
        Renvale::ReadCommandLine();
        return launchers::EndRun(Renvale::LaunchDatabase() ? 0 : 1);
    }
    static int RunTessaly(const std::wstring& commandLine) {
        doubles::Process().commandLine = commandLine;
        Module1::ReadCommandLine();
        return launchers::EndRun(Module1::LaunchDatabase() ? 0 : 1);
    }
};

// Failures carry their code and the text that explains them, step by step.
TEST_F(LaunchLog, WithoutAccessEveryStepSaysWhy) {
    doubles::AccessBehaviour noAccess;
    noAccess.registered = false;
    doubles::ResetAccess(noAccess);
    EXPECT_EQ(RunRenvale(L"Renvale.exe /log %TEMP%\\renvale.log"), 1);

    const std::string notRegistered = "HRESULT 0x80040154 (Class not registered)";
    EXPECT_THAT(
        doubles::LoggedEvents(kLog),
        ElementsAre(
            Pair("start",
                 kRelease + "; command line: Renvale.exe /log %TEMP%\\renvale.log; ignored: none"),
            Pair("access", "not started: " + notRegistered),
            Pair("security", "failed: " + notRegistered), Pair("refresh", "none staged"),
            Pair("open", "\"C:\\App\\Orvantis.mde\": failed: " + notRegistered),
            // The handle an earlier launch of this module read stays, as in a process that
            // runs it once: only the failures are this launch's.
            Pair("show", testing::StartsWith("failed: Visible: " + notRegistered +
                                             "; hWndAccessApp: " + notRegistered + "; ")),
            Pair("end", "0 ms, exit code 1")));
    std::int32_t noWindowYet = 0;
    launchers::LaunchAccessDatabase(L"11.0", launchers::SecurityWhen::VersionEquals, false,
                                    noWindowYet);
    EXPECT_THAT(doubles::LoggedDetails(kLog, "show").back(), testing::EndsWith("; no window"));
}

TEST_F(LaunchLog, AccessesOwnDescriptionOfAFailureIsLogged) {
    doubles::AccessBehaviour access;
    access.openFails = true;
    access.version = std::nullopt;
    access.knowsAutomationSecurity = false;
    access.showWindowBindable = false;
    doubles::ResetAccess(access);
    EXPECT_EQ(RunRenvale(L"Renvale.exe /log %TEMP%\\renvale.log"), 1);

    EXPECT_THAT(doubles::LoggedDetails(kLog, "access"),
                ElementsAre("version unreadable: HRESULT 0x800A0997 (Access raised an error.)"));
    EXPECT_THAT(doubles::LoggedDetails(kLog, "security"),
                ElementsAre("failed: HRESULT 0x80020006"));
    EXPECT_THAT(doubles::LoggedDetails(kLog, "open"),
                ElementsAre("\"C:\\App\\Orvantis.mde\": failed: HRESULT 0x800A1EBA (Access "
                            "cannot open the database.)"));
    EXPECT_THAT(doubles::LoggedDetails(kLog, "show"),
                ElementsAre("window 0x000A0B2C, ShowWindow not found"));
}

// With /eventlog, also without /log: each event under its ID, a failure as an error, the start on
// the user's older copy when the master cannot be reached as a warning.
TEST_F(LaunchLog, TheEventLogGetsEachEventWithItsType) {
    using Types = std::vector<std::pair<std::uint32_t, std::uint16_t>>;
    struct TypeRow {
        const char* name;
        const wchar_t* commandLine;
        void (*arrange)(doubles::AccessBehaviour&);
        Types reported;  // ID and type: 1 error, 2 warning, 4 information
    };
    const TypeRow rows[] = {
        {"Opened",
         L"Renvale.exe /eventlog",
         [](auto&) {},
         {{1, 4}, {2, 4}, {3, 4}, {4, 4}, {6, 4}, {7, 4}, {8, 4}}},
        {"NoAccessAndAFailedRefresh",
         L"Renvale.exe -EventLog",
         [](auto& a) {
             a.registered = false;
             doubles::PutFile(kStaged, "staged database");
             doubles::SetReadOnly(kInstalled);
         },
         {{1, 4}, {2, 1}, {3, 1}, {4, 1}, {6, 1}, {7, 1}, {8, 1}}},
        {"MasterUnreachable",
         L"Renvale.exe /eventlog /from Z:\\Gone /to C:\\Local",
         [](auto&) { doubles::PutFile(L"C:\\Local\\Orvantis.mde", "older copy"); },
         {{1, 4}, {5, 2}, {2, 4}, {3, 4}, {6, 4}, {7, 4}, {8, 4}}},
    };
    for (const TypeRow& row : rows) {
        doubles::ResetWorld();
        doubles::PutFile(kInstalled, "installed database");
        doubles::AccessBehaviour access;
        row.arrange(access);
        doubles::ResetAccess(access);
        RunRenvale(row.commandLine);
        Types reported;
        for (const auto& event : Log().reported)
            reported.emplace_back(event.eventId, event.type);
        EXPECT_EQ(reported, row.reported) << row.name;
        EXPECT_EQ(Log().appendCalls, 0) << row.name;
    }
}

// 0 only when Access accepted the database.
TEST_F(LaunchLog, TheExitCodeSaysWhetherAccessOpenedTheDatabase) {
    struct ExitRow {
        const char* name;
        void (*arrange)(doubles::AccessBehaviour&);
        int exitCode;
    };
    const ExitRow rows[] = {
        {"Opened", [](auto&) {}, 0},
        {"OpenedButNotShown",
         [](auto& a) {
             a.visibleFails = true;
             a.windowHandle = std::nullopt;
         },
         0},
        {"NoAccess", [](auto& a) { a.registered = false; }, 1},
        {"OpenFails", [](auto& a) { a.openFails = true; }, 1},
        {"DatabaseMissing", [](auto&) { doubles::DeleteFile(kInstalled); }, 1},
    };
    for (const ExitRow& row : rows) {
        doubles::ResetWorld();
        doubles::PutFile(kInstalled, "installed database");
        doubles::AccessBehaviour access;
        row.arrange(access);
        doubles::ResetAccess(access);
        EXPECT_EQ(RunRenvale(L"Renvale.exe"), row.exitCode) << row.name;
        EXPECT_EQ(RunTessaly(L"Tessaly.exe"), row.exitCode) << row.name;
    }
}

TEST_F(LaunchLog, WithoutTheSwitchNothingIsWrittenAnywhere) {
    doubles::PutFile(kStaged, "staged database");
    RunRenvale(L"Renvale.exe /logg x.log log");
    RunTessaly(L"Tessaly.exe /log");
    EXPECT_EQ(Log().appendCalls, 0);
}

// A log in a folder that is missing, or on a full disk: the launch makes the same calls as
// without it, and the log is not tried again after its first line.
TEST_F(LaunchLog, ALogThatCannotBeWrittenChangesNothingElse) {
    RunRenvale(L"Renvale.exe");
    const std::vector<doubles::Call> without = doubles::Journal();
    doubles::ResetAccess();
    Log().unwritable.insert(L"Z:\\missing\\orvantis.log");
    RunRenvale(L"Renvale.exe /log Z:\\missing\\orvantis.log");

    EXPECT_EQ(doubles::Journal(), without);
    EXPECT_EQ(Log().appendCalls, 1);
    EXPECT_TRUE(doubles::Process().boxes.empty());
}

TEST_F(LaunchLog, TheEndGivesTheWholeTimeSinceTheStart) {
    doubles::RunClock(7);
    RunTessaly(L"Tessaly.exe /log %TEMP%\\renvale.log");
    // The clock moves 7 ms at every look: the start's look, and the end's.
    EXPECT_THAT(doubles::LoggedDetails(kLog, "end"), ElementsAre("7 ms, exit code 0"));
}

// Each outcome of a refresh, as the log gives it.
TEST_F(LaunchLog, TheRefreshSaysWhatItDid) {
    struct RefreshRow {
        const char* name;
        void (*arrange)();
        std::string logged;
    };
    const RefreshRow rows[] = {
        {"Installed", [] {}, "installed 15 bytes in 0 ms"},
        {"BeingWritten", [] { doubles::HoldOpen(kStaged); }, "skipped: being written"},
        {"DatabaseInUse", [] { doubles::HoldOpen(kInstalled); }, "skipped: database in use"},
        {"AnotherLauncherNeverFinishes", [] { doubles::HoldForInstall(kStaged); },
         "skipped: waited 30000 ms for another launcher"},
        {"Empty", [] { doubles::PutFile(kStaged, ""); }, "skipped: the staged copy is empty"},
        {"DiskFull", [] { doubles::Inject(&doubles::FileFaults::copyBreaksOffAfter, 4); },
         "failed: error 112 (There is not enough space on the disk.)"},
        {"ReadOnlyDatabase", [] { doubles::SetReadOnly(kInstalled); },
         "failed: error 5 (Access is denied.)"},
    };
    for (const RefreshRow& row : rows) {
        doubles::ResetWorld();
        Log().errorMessages[112] = L"There is not enough space on the disk.";
        doubles::PutFile(kInstalled, "installed database");
        doubles::PutFile(kStaged, "staged database");
        row.arrange();
        eventlog::Open(kLog);
        eventlog::Write(L"refresh",
                        launchers::RefreshDetails(launchers::RefreshStagedDatabase(L"C:\\App")));
        EXPECT_THAT(doubles::LoggedDetails(kLog, "refresh"), ElementsAre(row.logged)) << row.name;
    }
}

}  // namespace
