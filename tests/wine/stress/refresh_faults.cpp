// Refreshes that meet faults, again and again: a copy that runs out of space half-way, an
// installed database held open by another process, a scanner that opens every new file. The
// installed database always survives whole and the staged copy stays until it is installed; once
// the fault is gone, the next start installs it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

constexpr int kRepeats = 10;
const Bytes kOld = DatabaseBytes(48 * 1024, 1);

std::uint64_t FreeBytes(const std::wstring& folder) {
    ULARGE_INTEGER free{};
    GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr);
    return free.QuadPart;
}

// Takes space away from the small file system only while the test runs.
struct FileRemovedAtEnd {
    std::wstring path;
    ~FileRemovedAtEnd() { DeleteFileW(path.c_str()); }
};

using RepeatedRefreshFaults = LauncherTest<>;

TEST_F(RepeatedRefreshFaults, CopiesThatRunOutOfSpaceNeverDamageTheDatabaseNorLoseTheStagedCopy) {
    const std::wstring smallFileSystem = WinePathOf(EnvironmentValue(L"ORVANTIS_SMALL_FS_DIR"));
    if (smallFileSystem.empty() || !PathExists(smallFileSystem))
        GTEST_SKIP() << "ORVANTIS_SMALL_FS_DIR names no small file system (the Wine session "
                        "mounts one when it is set up as root)";
    const LauncherSetup setup =
        InstallLauncher(L"stress-out-of-space", L"Renvale.exe", {}, smallFileSystem);
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    const std::size_t stagedSize =
        static_cast<std::size_t>(FreeBytes(setup.appFolder) / 3) & ~std::size_t{4095};
    const Bytes staged = DatabaseBytes(stagedSize, 2);
    ASSERT_TRUE(PutFile(setup.staged, staged));
    // Another file takes the space, but for half of what a copy of the staged file needs.
    const std::wstring filler = smallFileSystem + L"\\stress-filler";
    const FileRemovedAtEnd fillerRemoved{filler};
    ASSERT_TRUE(PutFile(
        filler,
        Bytes(static_cast<std::size_t>(FreeBytes(setup.appFolder)) - stagedSize / 2, 0xEE)));
    const std::uint64_t freeBefore = FreeBytes(setup.appFolder);
    ASSERT_LT(freeBefore, stagedSize);

    for (int attempt = 1; attempt <= kRepeats; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        ASSERT_EQ(RunLauncher(setup), 0u);
        ExpectBothKept(setup, kOld, staged);
        // The broken copy gave its space back.
        EXPECT_EQ(FreeBytes(setup.appFolder), freeBefore);
    }

    // With room again, the kept copy is installed.
    ASSERT_TRUE(DeleteFileW(filler.c_str()));
    ASSERT_EQ(RunLauncher(setup), 0u);
    ExpectInstalled(setup, staged);
}

TEST_F(RepeatedRefreshFaults, AnInstalledDatabaseHeldOpenSurvivesEveryAttempt) {
    const LauncherSetup setup = InstallLauncher(L"stress-held-open", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    const Bytes staged = DatabaseBytes(200 * 1024 + 3, 3);
    ASSERT_TRUE(PutFile(setup.staged, staged));

    for (int attempt = 1; attempt <= kRepeats; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        // Held without sharing, as a copy of Access that has the database open exclusively.
        const HANDLE held = CreateFileW(setup.installed.c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const std::optional<DWORD> exitCode = RunLauncher(setup);
        CloseHandle(held);
        // Access could not open the held database: a failed launch.
        ASSERT_EQ(exitCode, 1u);
        ExpectBothKept(setup, kOld, staged,
                       L"unreadable error=" + std::to_wstring(ERROR_SHARING_VIOLATION));
    }

    ASSERT_EQ(RunLauncher(setup), 0u);
    ExpectInstalled(setup, staged);
}

// Opens each new temporary file of a refresh as soon as it can, as a virus scanner or an indexer
// does, and holds it a moment without letting it be renamed or deleted.
class Scanner {
  public:
    explicit Scanner(std::wstring folder) : folder_(std::move(folder)) {
        thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }
    ~Scanner() {
        stop_ = true;
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

  private:
    static DWORD WINAPI Run(void* self) {
        static_cast<Scanner*>(self)->Scan();
        return 0;
    }
    void Scan() {
        while (!stop_) {
            for (const std::wstring& name : TempFilesIn(folder_))
                OpenAsSoonAsItCan(folder_ + L"\\" + name);
        }
    }
    void OpenAsSoonAsItCan(const std::wstring& path) {
        while (!stop_ && PathExists(path)) {
            const owners::unique_handle scanned(
                CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (scanned.get() != INVALID_HANDLE_VALUE) {
                Sleep(200);
                return;
            }
        }
    }

    std::wstring folder_;
    std::atomic<bool> stop_ = false;
    owners::unique_handle thread_;
};

// Between the end of the copy and the rename, no one else can open the temporary file: a scanner
// never makes the install fail.
TEST_F(RepeatedRefreshFaults, AScannerOpeningEachNewFileNeverKeepsTheInstallOut) {
    const LauncherSetup setup = InstallLauncher(L"stress-scanner", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, kOld));
    const Scanner scanner(setup.appFolder);

    for (int attempt = 1; attempt <= kRepeats; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        const Bytes staged =
            DatabaseBytes(300 * 1024 + attempt, static_cast<std::uint8_t>(attempt));
        ASSERT_TRUE(PutFile(setup.staged, staged));
        ASSERT_EQ(RunLauncher(setup), 0u);
        ExpectInstalled(setup, staged);
    }
}

}  // namespace
