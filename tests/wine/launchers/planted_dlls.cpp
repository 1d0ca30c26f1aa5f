// The programs' folder may be written by every user: a DLL dropped there under the name of one
// that Windows loads on demand must not run in any of the three programs.
//
// A marker DLL (tests/wine/planted) is planted beside each program under such a name; it leaves
// "NAME.dll.loaded" beside itself when a process loads it. Wine prefers its built-in DLLs; the
// program's own DLL overrides ("NAME=native,builtin") make it search the program folder first for
// those names, as Windows does. They go into the registry, because Wine takes WINEDLLOVERRIDES only
// from the environment its first process was started with, not from the one a child is given.
//
// Planted: uxtheme, which a program loads once it shows a window. Left out, because under Wine they
// come from the program folder whatever a program does, unlike on Windows:
//   - version and imm32: Wine's own user32 imports them (on Windows user32 does not import
//     version, and imm32 is a known DLL, always taken from the system folder);
//   - ole32, combase, rpcrt4 and msimg32: Wine's comctl32 delay-loads ole32 (which imports the
//     other two) and msimg32 for a message box, and its delay loads ignore the restricted search;
//     on Windows the first three are known DLLs and the delay-load helper honours the restriction.
// The COM proxies (actxprxy) are loaded by their registered full path, never by name.
#include <gtest/gtest.h>

#include <windows.h>

#include "launcher_scenario.h"

namespace {

using namespace harness;

const wchar_t* const kPlantedNames[] = {L"uxtheme"};

const std::wstring kTrustedLocations =
    L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations";
const std::wstring kWineAppDefaults = L"Software\\Wine\\AppDefaults\\";

// The planted names that a process has loaded.
std::vector<std::wstring> LoadedFrom(const std::wstring& folder) {
    std::vector<std::wstring> loaded;
    for (const wchar_t* name : kPlantedNames) {
        if (PathExists(folder + L"\\" + name + L".dll.loaded"))
            loaded.push_back(name);
    }
    return loaded;
}

class PlantedDlls : public LauncherTest<> {
  protected:
    // Plants the marker under every name beside the program, and makes Wine look there first for
    // them when it starts a program of that file name.
    void Plant(const std::wstring& folder, const std::wstring& exeName) {
        overridden_.push_back(kWineAppDefaults + exeName);
        for (const wchar_t* name : kPlantedNames) {
            CopyProgram(L"tests\\marker_dll.dll", folder, name + std::wstring(L".dll"));
            ASSERT_TRUE(WriteValue(user_, overridden_.back() + L"\\DllOverrides", name, REG_SZ,
                                   StringBytes(L"native,builtin")));
        }
    }

    void TearDown() override {
        for (const std::wstring& key : overridden_)
            DeleteTree(user_, key);
        DeleteTree(user_, kTrustedLocations);
        RegCloseKey(user_);
        LauncherTest::TearDown();
    }

    void SetUp() override {
        LauncherTest::SetUp();
        // A key of its own for the user: once, late in this suite, writes through the process's
        // cached HKEY_CURRENT_USER failed, as if that handle had been closed.
        ASSERT_EQ(RegOpenCurrentUser(KEY_READ | KEY_WRITE, &user_), ERROR_SUCCESS);
    }

  private:
    HKEY user_ = nullptr;
    std::vector<std::wstring> overridden_;
};

// Proves the planting: without the restriction every planted DLL is loaded.
TEST_F(PlantedDlls, AreLoadedByAProgramThatKeepsTheUsualSearch) {
    const std::wstring folder = MakeTestFolder(L"planted\\control");
    const std::wstring exe =
        CopyProgram(L"tests\\plain_message_box.exe", folder, L"plain_message_box.exe");
    ASSERT_NO_FATAL_FAILURE(Plant(folder, L"plain_message_box.exe"));

    const RunResult result = harness::Run(exe, L"");

    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(LoadedFrom(folder),
              std::vector<std::wstring>(std::begin(kPlantedNames), std::end(kPlantedNames)));
}

TEST_F(PlantedDlls, AreNotLoadedByTheRegistrar) {
    const std::wstring folder = MakeTestFolder(L"planted\\Vintrel");
    const std::wstring exe = CopyProgram(L"Vintrel.exe", folder);
    ASSERT_NO_FATAL_FAILURE(Plant(folder, L"Vintrel.exe"));

    const RunResult result = harness::Run(exe, L"/langen");

    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(Narrow(result.boxes[0].text),
              Narrow(L"\"" + folder + L"\\\" added to the trusted locations."));
    EXPECT_EQ(LoadedFrom(folder), std::vector<std::wstring>{});
}

class PlantedDllsInLauncher : public PlantedDlls,
                              public testing::WithParamInterface<const wchar_t*> {};

TEST_P(PlantedDllsInLauncher, AreNotLoaded) {
    const std::wstring program = GetParam();
    const LauncherSetup setup = InstallLauncher(L"planted-" + program, program + L".exe");
    const auto database = DatabaseBytes(4096, 3);
    ASSERT_TRUE(PutFile(setup.installed, database));
    ASSERT_NO_FATAL_FAILURE(Plant(setup.appFolder, program + L".exe"));

    EXPECT_EQ(RunLauncher(setup), 0u);

    EXPECT_EQ(LoadedFrom(setup.appFolder), std::vector<std::wstring>{});
    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].details, OpenedDetails(database));
}

INSTANTIATE_TEST_SUITE_P(BothLaunchers, PlantedDllsInLauncher,
                         testing::Values(L"Renvale", L"Tessaly"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

}  // namespace
