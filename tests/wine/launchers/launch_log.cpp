// The launchers' /log FILE: one whole tab-separated line per event, appended by every start, even
// by several at once; a log that cannot be written changes nothing else.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "launcher_scenario.h"
#include "version.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;
using Fields = std::vector<std::string>;

const Bytes kDatabase = DatabaseBytes(16 * 1024, 1);
const Bytes kStaged = DatabaseBytes(20 * 1024, 2);

std::vector<Fields> LogLines(const std::wstring& path) {
    const std::optional<Bytes> bytes = ReadFileBytes(path);
    if (!bytes) {
        ADD_FAILURE() << "no log at " << Narrow(path);
        return {};
    }
    const std::string text(bytes->begin(), bytes->end());
    EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF")) << "a byte-order mark";
    EXPECT_TRUE(text.ends_with("\r\n"));
    std::vector<Fields> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        Fields fields(1);
        for (const char c : text.substr(at, end - at)) {
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back() += c;
        }
        lines.push_back(fields);
        at = end + 2;
    }
    return lines;
}

template <typename Query>
std::string NameOf(Query query) {
    wchar_t name[257] = {};
    DWORD size = 257;
    return query(name, &size) ? Narrow(name) : std::string();
}

// Every line whole: seven fields, the time to the millisecond, who wrote it.
void ExpectWholeLine(const Fields& line, DWORD processId, const std::string& program) {
    ASSERT_EQ(line.size(), 7u) << testing::PrintToString(line);
    const std::string& time = line[0];
    EXPECT_EQ(time.size(), 23u) << time;
    for (std::size_t i = 0; i < time.size(); ++i) {
        const char expected = std::string("0000-00-00 00:00:00.000")[i];
        EXPECT_TRUE(expected == '0' ? std::isdigit(static_cast<unsigned char>(time[i]))
                                    : time[i] == expected)
            << time;
    }
    EXPECT_EQ(line[1], NameOf([](wchar_t* n, DWORD* s) { return GetComputerNameW(n, s); }));
    EXPECT_EQ(line[2], NameOf([](wchar_t* n, DWORD* s) { return GetUserNameW(n, s); }));
    EXPECT_EQ(line[3], std::to_string(processId));
    EXPECT_EQ(line[4], program);
}

// The event words of one process's lines, in order.
std::vector<std::string> EventsOf(const std::vector<Fields>& lines, DWORD processId) {
    std::vector<std::string> events;
    for (const Fields& line : lines) {
        if (line.size() == 7 && line[3] == std::to_string(processId))
            events.push_back(line[5]);
    }
    return events;
}

const std::vector<std::string> kRenvaleEvents = {"start", "access", "security", "refresh",
                                                 "open",  "show",   "end"};

using LaunchLog = LauncherTest<>;

// A normal start, a refresh and a per-user pull append to one log, named through an environment
// variable as a shortcut that does not expand it would pass it.
TEST_F(LaunchLog, ANormalStartARefreshAndAPullEachLogTheirEvents) {
    const LauncherSetup setup = InstallLauncher(L"log-three-starts", L"Renvale.exe");
    const std::wstring root = setup.appFolder.substr(0, setup.appFolder.rfind(L'\\'));
    const std::wstring logFolder = root + L"\\log folder";
    ASSERT_TRUE(CreateDirectoryW(logFolder.c_str(), nullptr));
    ASSERT_TRUE(PutFile(setup.installed, kDatabase));
    ASSERT_TRUE(PutFile(root + L"\\master\\Orvantis.mde", kStaged));
    const EnvironmentOverrides environment = {{L"ORVANTIS_LOGS", logFolder}};
    const std::wstring log = L"-LOG \"%ORVANTIS_LOGS%\\launchers.log\"";

    std::vector<DWORD> processes;
    const auto start = [&](const std::wstring& arguments) {
        Process launcher = harness::Start(setup.exe, arguments, environment);
        processes.push_back(launcher.id());
        const RunResult run = AnswerBoxesUntilExit(launcher);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(run.boxes.empty());
    };
    start(log);
    ASSERT_TRUE(PutFile(setup.staged, kStaged));
    start(log);
    start(log + L" /from ..\\master /to ..\\local");

    const std::vector<Fields> lines = LogLines(logFolder + L"\\launchers.log");
    ASSERT_EQ(lines.size(), 21u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        ExpectWholeLine(lines[i], processes[i / 7], "Renvale");
    EXPECT_EQ(EventsOf(lines, processes[0]), kRenvaleEvents);
    EXPECT_EQ(EventsOf(lines, processes[1]), kRenvaleEvents);
    EXPECT_EQ(
        EventsOf(lines, processes[2]),
        (std::vector<std::string>{"start", "pull", "access", "security", "open", "show", "end"}));
    EXPECT_EQ(lines[0][6], std::string(ORVANTIS_RELEASE_TEXT) + "; command line: \"" +
                               Narrow(setup.exe) + "\" " + Narrow(log) + "; ignored: none");
    EXPECT_EQ(lines[1][6], "version \"11.0\"");
    EXPECT_EQ(lines[2][6], "set to 1 (low)");
    EXPECT_EQ(lines[3][6], "none staged");
    EXPECT_EQ(lines[4][6], "\"" + Narrow(setup.installed) + "\": ok");
    EXPECT_TRUE(lines[5][6].starts_with("window 0x")) << lines[5][6];
    EXPECT_TRUE(lines[5][6].ends_with(" maximised")) << lines[5][6];
    EXPECT_TRUE(lines[6][6].ends_with(" ms, exit code 0")) << lines[6][6];
    EXPECT_TRUE(lines[10][6].starts_with("installed 20480 bytes in ")) << lines[10][6];
    EXPECT_TRUE(lines[15][6].starts_with("copied 20480 bytes in ")) << lines[15][6];
    EXPECT_EQ(lines[18][6], "\"" + Narrow(root) + "\\local\\Orvantis.mde\": ok");
}

// A failure carries its code and Windows' text.
TEST_F(LaunchLog, AStartWithoutADatabaseLogsWhyItFailed) {
    const LauncherSetup setup = InstallLauncher(L"log-no-database", L"Tessaly.exe");
    const std::wstring log = setup.appFolder + L"\\tessaly.log";

    ASSERT_EQ(RunLauncher(setup, L"/log tessaly.log /bogus"), 1u);

    const std::vector<Fields> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(lines[0][6].ends_with("; ignored: \"/bogus\"")) << lines[0][6];
    EXPECT_EQ(lines[3][5], "open");
    // Access's own description of the failure, where it gives one.
    EXPECT_EQ(lines[3][6], "\"" + Narrow(setup.installed) +
                               "\": failed: HRESULT 0x800A1EBA (Microsoft Access can't open the "
                               "database '" +
                               Narrow(setup.installed) + "'.)");
    EXPECT_TRUE(lines[5][6].ends_with(" ms, exit code 1")) << lines[5][6];
}

// A log in a folder that does not exist: the start is as it would be without it, without a box.
TEST_F(LaunchLog, ALogInAMissingFolderChangesNothing) {
    const LauncherSetup setup = InstallLauncher(L"log-missing-folder", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kDatabase));
    ASSERT_TRUE(PutFile(setup.staged, kStaged));
    const std::wstring missing = setup.appFolder + L"\\no such folder";

    ASSERT_EQ(RunLauncher(setup, L"/log " + Quoted(missing + L"\\renvale.log")), 0u);

    EXPECT_FALSE(PathExists(missing));
    ExpectInstalled(setup, kStaged);
    EXPECT_EQ(CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase").at(0).details,
              OpenedDetails(kStaged));
}

// A log on a share that does not answer must not keep the splash from the screen. Here the log is
// held without sharing until the splash is up, then let go: the whole run is in it, since the log
// was still being opened when the splash appeared. A start that waited for its log would have
// shown the splash only after giving the log up.
TEST_F(LaunchLog, TheSplashAppearsWhileTheLogIsStillBeingOpened) {
    const LauncherSetup setup = InstallLauncher(L"log-held", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kDatabase));
    const std::wstring log = setup.appFolder + L"\\held.log";
    owners::unique_handle held = HoldFile(log, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);

    Process launcher = harness::Start(setup.exe, L"/log held.log");
    EXPECT_NE(WaitForWindow(launcher, kSplashFormClass), nullptr);
    held.reset();
    ASSERT_EQ(launcher.WaitForExit(), 0u);

    EXPECT_EQ(EventsOf(LogLines(log), launcher.id()), kRenvaleEvents);
}

// Two of each launcher write one log at the same moment: every line whole, each start's lines
// in its order.
TEST_F(LaunchLog, FourLaunchersWritingOneLogLeaveEveryLineWhole) {
    const LauncherSetup setup = InstallLauncher(L"log-four-at-once", L"Renvale.exe");
    const std::wstring tessaly = CopyProgram(L"Tessaly.exe", setup.appFolder);
    ASSERT_TRUE(PutFile(setup.installed, kDatabase));
    const std::wstring log = setup.appFolder + L"\\shared.log";

    std::map<DWORD, std::string> programs;
    std::vector<Process> launchers;
    for (const std::wstring& exe : {setup.exe, tessaly, setup.exe, tessaly}) {
        launchers.push_back(StartSuspended(exe, L"/log " + Quoted(log)));
        programs[launchers.back().id()] = exe == tessaly ? "Tessaly" : "Renvale";
    }
    for (Process& launcher : launchers)
        launcher.Resume();
    for (Process& launcher : launchers)
        EXPECT_EQ(launcher.WaitForExit(), 0u);

    const std::vector<Fields> lines = LogLines(log);
    EXPECT_EQ(lines.size(), 2u * 7 + 2u * 6);
    for (const Fields& line : lines) {
        ASSERT_EQ(line.size(), 7u) << testing::PrintToString(line);
        ASSERT_EQ(programs.count(std::stoul(line[3])), 1u) << line[3];
        ExpectWholeLine(line, std::stoul(line[3]), programs[std::stoul(line[3])]);
    }
    for (const auto& [processId, program] : programs) {
        EXPECT_EQ(EventsOf(lines, processId),
                  program == "Renvale" ? kRenvaleEvents
                                       : (std::vector<std::string>{"start", "access", "security",
                                                                   "open", "show", "end"}));
    }
}

}  // namespace
