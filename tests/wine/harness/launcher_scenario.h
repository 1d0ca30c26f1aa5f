// Running the launchers (Renvale, Tessaly) in folders of their own, with the stand-in for Access,
// and looking at what they left behind: the database files and the stand-in's record of calls.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "standin_control.h"

namespace harness {

inline constexpr wchar_t kSplashFormClass[] = L"OrvantisSplashForm";

// One launcher installed for one test:
//   <work>\<test>\app\<program>    the application folder, where Orvantis.mde lives
//   <work>\<test>\standin          the stand-in's folder (standin.ini, calls.log)
struct LauncherSetup {
    std::wstring appFolder;
    std::wstring exe;
    std::wstring standInFolder;
    std::wstring installed;  // appFolder\Orvantis.mde
    std::wstring staged;     // appFolder\TEMP\Orvantis.mde
};

// Makes the folders below WorkDir() (the application folder below base, a Windows path, when
// given), copies the program (e.g. L"Renvale.exe"), writes standin.ini from config and points the
// stand-in at its folder.
// Stand-in servers still running are ended first, so the next one starts in the new folder.
LauncherSetup InstallLauncher(const std::wstring& test, const std::wstring& program,
                              const StandInConfig& config = {}, const std::wstring& base = {});

// Starts the launcher (with arguments when given) and waits for it to end: its exit code, or
// nullopt when it did not end in time (it is ended then). A message box from it is a test failure:
// the launchers show none where they have a database to open.
std::optional<DWORD> RunLauncher(const LauncherSetup& setup, const std::wstring& arguments = {});

// size bytes of database content that differ from those of any other seed.
std::vector<std::uint8_t> DatabaseBytes(std::size_t size, std::uint8_t seed);
// Writes the file, making its folder when missing.
bool PutFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
// "ok size=N crc32=XXXXXXXX", as the stand-in reports a database it opened with these bytes.
std::wstring OpenedDetails(const std::vector<std::uint8_t>& bytes);

// A database of mib MiB written piece by piece (the harness cannot hold it in memory), and
// whether a file holds exactly that database.
bool PutLargeDatabase(const std::wstring& path, std::size_t mib, std::uint8_t seed);
bool HoldsLargeDatabase(const std::wstring& path, std::size_t mib, std::uint8_t seed);

// The names in the folder of Renvale's temporary files ("orv*.tmp").
std::vector<std::wstring> TempFilesIn(const std::wstring& folder);

// Records the changes to the names in a folder from its construction until Changes() is asked.
class FolderWatch {
  public:
    explicit FolderWatch(const std::wstring& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    // Waits a moment for the last changes to arrive; each is an action (FILE_ACTION_ADDED, ...)
    // and a name.
    std::vector<std::pair<DWORD, std::wstring>> Changes();

  private:
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    std::vector<std::uint8_t> buffer_;
    std::vector<std::pair<DWORD, std::wstring>> changes_;
    bool Arm();
};

// How often a watched folder's file got its name by a rename or a creation: each time a copy was
// put in place.
int TimesPutInPlace(const std::vector<std::pair<DWORD, std::wstring>>& changes,
                    const std::wstring& name);

// The user's %TEMP% folder, without a trailing backslash: a refresh must leave nothing there.
std::wstring UserTempFolder();

// The names in a folder (files and folders, without "." and ".."), sorted; empty when it is
// missing.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);

// The calls of the record that name member, ignoring case as automation does.
std::vector<StandInCall> CallsTo(const std::vector<StandInCall>& calls, const std::wstring& member);
// The members of the record in order, e.g. {"Version", "AutomationSecurity", ...}.
std::vector<std::wstring> MemberOrder(const std::vector<StandInCall>& calls);

// After a refresh that must not install (or a launcher that never refreshes): both files as they
// were, nothing else in the launcher's folders, and Access handed the installed database (what the
// stand-in then recorded of its open, when not the installed database's details).
void ExpectBothKept(const LauncherSetup& setup, const std::vector<std::uint8_t>& installed,
                    const std::vector<std::uint8_t>& staged,
                    const std::optional<std::wstring>& openDetails = std::nullopt);
// After an install: the staged copy is the database, and nothing is left beside it or in TEMP.
void ExpectInstalled(const LauncherSetup& setup, const std::vector<std::uint8_t>& staged);

// Ends every stand-in server after each test, whatever its outcome.
template <typename Base = testing::Test>
class LauncherTest : public Base {
  protected:
    void TearDown() override { EndAllStandIns(); }
};

// Input for a launcher's splash window: posts messages to the form or to its picture box.
using PostInput = std::function<void(HWND form, HWND picture)>;

// Runs the launcher with input that comes before its first timer tick, and returns its exit code.
// The launcher's user-interface thread is stopped right after its splash window is created, the
// input is posted, and the launcher goes on: it handles the input, and whatever the input adds to
// its queue in turn (the character of a key press), and then its message loop is ended before a
// tick could come. So it launches only if the input closed the form. Starts again when this harness
// was too slow to be sure of that order; reports a test failure when it never managed.
std::optional<DWORD> RunWithInputBeforeTheFirstTick(const LauncherSetup& setup,
                                                    const PostInput& post);

}  // namespace harness
