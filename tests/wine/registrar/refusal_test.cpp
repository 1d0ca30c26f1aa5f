// A folder of three characters (a drive root) is refused with a box, whatever "s" says, and the
// registry is left alone.
#include <utility>

#include "vintrel_fixture.h"

namespace vintrel {
namespace {

using harness::BoxIcon;

// This test's folder appears as the root of a spare drive letter.
class DriveRoot : public VintrelTest {
  protected:
    void SetUp() override {
        VintrelTest::SetUp();
        letter_ = harness::SpareDriveLetter();
        ASSERT_NE(letter_, L'\0') << "no spare drive letter";
        ASSERT_TRUE(harness::MapDrive(letter_, folder_));
        root_ = std::wstring(1, letter_) + L":\\";
        ASSERT_TRUE(harness::PathExists(root_ + L"Vintrel.exe"));
    }
    void TearDown() override {
        if (letter_)
            harness::UnmapDrive(letter_);
    }

    harness::RunResult RunFromRoot(const std::wstring& arguments, DWORD expectedExitCode) {
        harness::RunResult result = harness::Run(root_ + L"Vintrel.exe", arguments);
        EXPECT_EQ(result.exitCode, expectedExitCode);
        return result;
    }

    wchar_t letter_ = L'\0';
    std::wstring root_;
};

TEST_F(DriveRoot, ARootFolderIsRefusedInGermanAndNothingIsWritten) {
    const auto result = RunFromRoot(L"", 1);

    ExpectOnlyBox(result, kRefusalGerman, BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
}

TEST_F(DriveRoot, TheRefusalIsShownEvenWhenSilentAndInEnglishWhenAsked) {
    const auto result = RunFromRoot(L"/s /langen", 1);

    ExpectOnlyBox(result, kRefusalEnglish, BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
}

TEST_F(DriveRoot, APathSwitchFromARootFolderIsRegistered) {
    const auto result = RunFromRoot(L"/path D:\\Data", 0);

    ExpectRegistered(0, L"D:\\Data\\", true);
    ExpectOnlyBox(result, SuccessGerman(L"D:\\Data\\"), BoxIcon::Information);
}

class Refusal : public VintrelTest {};

// A drive given by /path, a folder of three characters, and other spellings of a root (each names
// the whole of drive C: once made absolute): one error box, even when silent, and nothing written.
TEST_F(Refusal, AFolderNamingAWholeDriveIsRefusedAlsoWhenSilent) {
    const std::pair<std::wstring, std::wstring> runs[] = {
        {L"/langen /s /path C:", kRefusalEnglish}, {L"/path ab", kRefusalGerman},
        {L"/s /path C:\\\\", kRefusalGerman},      {L"/s /path C:\\.", kRefusalGerman},
        {L"/s /path C:/", kRefusalGerman},         {L"/s /path C:\\..", kRefusalGerman}};
    for (const auto& [arguments, text] : runs) {
        SCOPED_TRACE(harness::Narrow(arguments));
        ExpectOnlyBox(RunVintrel(arguments, 1), text, BoxIcon::Error);
    }
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
}

}  // namespace
}  // namespace vintrel
