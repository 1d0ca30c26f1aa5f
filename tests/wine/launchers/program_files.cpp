// What each launcher file carries: version 1.00, the release, the programs' common manifest, and
// its names.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using namespace harness;

class LauncherFile : public testing::TestWithParam<const wchar_t*> {};

TEST_P(LauncherFile, CarriesVersionOneAndTheCommonManifest) {
    const std::wstring name = GetParam();
    const std::wstring file = ProgramPath(name + L".exe");

    const std::optional<VS_FIXEDFILEINFO> fixed = FixedVersion(file);
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(VersionString(file, L"FileVersion"), L"1.00");
    EXPECT_EQ(VersionString(file, L"ProductVersion"), L"1.00");
    EXPECT_EQ(VersionString(file, L"ProductName"), L"Orvantis");
    EXPECT_TRUE(VersionString(file, L"Comments").value_or(L"").starts_with(L"Orvantis "));
    EXPECT_EQ(VersionString(file, L"InternalName"), name);
    EXPECT_EQ(VersionString(file, L"OriginalFilename"), name + L".exe");
    const std::optional<std::wstring> description = VersionString(file, L"FileDescription");
    ASSERT_TRUE(description.has_value());
    EXPECT_NE(description->find(L"Orvantis"), std::wstring::npos);

    const std::string manifest = Manifest(file);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    // The same manifest as the registrar's, when that program is built beside it.
    const std::wstring registrar = ProgramPath(L"Vintrel.exe");
    if (PathExists(registrar)) {
        EXPECT_EQ(manifest, Manifest(registrar));
    }
}

INSTANTIATE_TEST_SUITE_P(BothLaunchers, LauncherFile, testing::Values(L"Renvale", L"Tessaly"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

}  // namespace
