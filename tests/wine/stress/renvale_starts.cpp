// Two hundred starts of Renvale in a row, with a new staged copy put in place every few starts:
// every start hands Access a complete database, the newest staged one or else the one installed
// before, and no staged copy is lost and no temporary file is left behind at any point.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

constexpr int kStarts = 200;
constexpr int kStartsPerStagedCopy = 3;

// Each release differs in size and content from the one before.
Bytes Release(int number) {
    return DatabaseBytes(32 * 1024 + static_cast<std::size_t>(number % 7) * 4099,
                         static_cast<std::uint8_t>(number));
}

// Closes the stand-in windows the starts leave open, all but the first one, which keeps the
// server running for the next start as a running Access would.
void CloseStandInWindowsBut(HWND keeper) {
    for (const StandInWindow& window : FindStandInWindows()) {
        if (window.window != keeper)
            PostMessageW(window.window, WM_CLOSE, 0, 0);
    }
}

using LongRun = LauncherTest<>;

TEST_F(LongRun, TwoHundredRenvaleStartsEachOpenACompleteDatabase) {
    const LauncherSetup setup = InstallLauncher(L"stress-renvale-starts", L"Renvale.exe");
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    int release = 0;
    Bytes installed = Release(release);
    ASSERT_TRUE(PutFile(setup.installed, installed));
    const std::vector<std::wstring> userTempBefore = FolderEntries(UserTempFolder());
    HWND keeper = nullptr;

    for (int start = 1; start <= kStarts; ++start) {
        SCOPED_TRACE("start " + std::to_string(start) + ", release " + std::to_string(release));
        if (start % kStartsPerStagedCopy == 0) {
            installed = Release(++release);
            ASSERT_TRUE(PutFile(setup.staged, installed));
        }
        ASSERT_TRUE(DeleteFileW((setup.standInFolder + L"\\calls.log").c_str()) ||
                    GetLastError() == ERROR_FILE_NOT_FOUND);

        ASSERT_EQ(RunLauncher(setup), 0u);

        const std::vector<StandInCall> opens =
            CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
        ASSERT_EQ(opens.size(), 1u);
        ASSERT_EQ(opens[0].details, OpenedDetails(installed));
        ASSERT_EQ(FolderEntries(setup.appFolder),
                  (std::vector<std::wstring>{L"Orvantis.mde", L"Renvale.exe", L"TEMP"}));
        ASSERT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
        ASSERT_EQ(FolderEntries(UserTempFolder()), userTempBefore);

        if (!keeper) {
            const std::vector<StandInWindow> windows = FindStandInWindows();
            ASSERT_FALSE(windows.empty());
            keeper = windows[0].window;
        }
        CloseStandInWindowsBut(keeper);
    }
    EXPECT_EQ(ReadFileBytes(setup.installed), installed);
}

}  // namespace
