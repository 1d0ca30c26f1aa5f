// What Windows reads from Vintrel.exe itself: its version resource and its manifest.
#include "vintrel_fixture.h"

namespace vintrel {
namespace {

TEST(Resources, TheVersionResourceNamesVersionAndPurposeWithItsUmlauts) {
    const std::wstring program = harness::ProgramPath(L"Vintrel.exe");

    EXPECT_EQ(harness::Narrow(harness::VersionString(program, L"FileDescription").value_or(L"")),
              "Fügt das aktuelle Verzeichnis zu den MS Access Vertrauenswürdigen Speicherorte "
              "hinzu");
    EXPECT_EQ(harness::VersionString(program, L"FileVersion"), L"1.01");
    EXPECT_EQ(harness::VersionString(program, L"ProductVersion"), L"1.01");
    const auto fixed = harness::FixedVersion(program);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(1, 1))) << "1.1";
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(1, 1))) << "1.1";
}

TEST(Resources, TheManifestRunsAsTheInvokingUser) {
    const std::string manifest = harness::Manifest(harness::ProgramPath(L"Vintrel.exe"));

    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("supportedOS"), std::string::npos);
}

}  // namespace
}  // namespace vintrel
