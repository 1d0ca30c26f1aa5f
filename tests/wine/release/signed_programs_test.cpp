// The programs as signed by tests/release/signing_test: they still start and do their work, and
// the signature changed nothing of what their version resources say.
#include <gtest/gtest.h>

#include <cstring>

#include "launcher_scenario.h"
#include "release_files.h"

namespace release {
namespace {

using namespace harness;

class SignedProgram : public testing::TestWithParam<const wchar_t*> {};

TEST_P(SignedProgram, KeepsItsVersionResourceAndManifest) {
    const std::wstring unsigned_ = ReleaseFolder(L"older") + L"\\" + GetParam();
    const std::wstring signed_ = ReleaseFolder(L"signed") + L"\\" + GetParam();
    ASSERT_FALSE(ReadFileBytes(unsigned_) == ReadFileBytes(signed_)) << "not signed";

    const auto fixedUnsigned = FixedVersion(unsigned_);
    const auto fixedSigned = FixedVersion(signed_);
    ASSERT_TRUE(fixedUnsigned && fixedSigned);
    EXPECT_EQ(std::memcmp(&*fixedUnsigned, &*fixedSigned, sizeof(VS_FIXEDFILEINFO)), 0);
    for (const wchar_t* name : {L"Comments", L"FileDescription", L"FileVersion", L"InternalName",
                                L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        EXPECT_TRUE(VersionString(unsigned_, name).has_value()) << Narrow(name);
        EXPECT_EQ(VersionString(signed_, name), VersionString(unsigned_, name)) << Narrow(name);
    }
    EXPECT_EQ(Manifest(signed_), Manifest(unsigned_));
}

INSTANTIATE_TEST_SUITE_P(EachProgram, SignedProgram,
                         testing::Values(L"Renvale.exe", L"Tessaly.exe", L"Vintrel.exe"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             std::string name = Narrow(info.param);
                             return name.substr(0, name.find('.'));
                         });

TEST(SignedVintrel, RegistersItsFolderSilently) {
    const std::wstring locations = L"Software\\Microsoft\\Office\\12.0";
    DeleteTree(HKEY_CURRENT_USER, locations);
    const std::wstring folder = MakeTestFolder(L"signed-Vintrel");
    const std::wstring program = folder + L"\\Vintrel.exe";
    ASSERT_TRUE(
        CopyFileW((ReleaseFolder(L"signed") + L"\\Vintrel.exe").c_str(), program.c_str(), FALSE));

    const RunResult result = harness::Run(program, L"/s");

    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.boxes.empty());
    const auto path =
        ReadValue(HKEY_CURRENT_USER,
                  locations + L"\\Access\\Security\\Trusted Locations\\Location0", L"Path");
    EXPECT_EQ(path ? TextOf(path->data) : L"(none)", folder + L"\\");
    DeleteTree(HKEY_CURRENT_USER, locations);
}

using SignedLauncher = LauncherTest<>;

TEST_F(SignedLauncher, RenvaleOpensTheDatabaseInAccess) {
    const LauncherSetup setup = InstallLauncher(L"signed-Renvale", L"Renvale.exe");
    ASSERT_TRUE(
        CopyFileW((ReleaseFolder(L"signed") + L"\\Renvale.exe").c_str(), setup.exe.c_str(), FALSE));
    const std::vector<std::uint8_t> database = DatabaseBytes(8192, 4);
    ASSERT_TRUE(PutFile(setup.installed, database));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].arguments, (std::vector<std::wstring>{L"BSTR:" + setup.installed}));
    EXPECT_EQ(opens[0].details, OpenedDetails(database));
}

}  // namespace
}  // namespace release
