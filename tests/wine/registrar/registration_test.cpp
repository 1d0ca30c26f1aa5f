// Vintrel run for real: which slot it writes, what it writes there, and the box it shows.
#include "vintrel_fixture.h"

namespace vintrel {
namespace {

using harness::BoxIcon;

class Registration : public VintrelTest {};

TEST_F(Registration, OwnFolderGoesIntoTheFirstSlotWithTheGermanSuccessBox) {
    const auto result = RunVintrel(L"");

    ExpectRegistered(0, folder_ + L"\\", true);
    ExpectOnlyBox(result, SuccessGerman(folder_ + L"\\"), BoxIcon::Information);
    EXPECT_EQ(harness::SubKeyNames(HKEY_CURRENT_USER, kTrustedLocations),
              std::vector<std::wstring>{L"Location0"});
}

TEST_F(Registration, LangenGivesTheEnglishSuccessBox) {
    const auto result = RunVintrel(L"/langen");

    ExpectRegistered(0, folder_ + L"\\", true);
    ExpectOnlyBox(result, SuccessEnglish(folder_ + L"\\"), BoxIcon::Information);
}

TEST_F(Registration, SilentWritesTheSameValuesAndShowsNoBox) {
    const auto result = RunVintrel(L"/s");

    ExpectRegistered(0, folder_ + L"\\", true);
    EXPECT_TRUE(result.boxes.empty());
}

TEST_F(Registration, NosubfolderLeavesOutAllowSubfolders) {
    const auto result = RunVintrel(L"/nosubfolder /s");

    ExpectRegistered(0, folder_ + L"\\", false);
    EXPECT_TRUE(result.boxes.empty());
}

TEST_F(Registration, SwitchesMatchInAnyCase) {
    const auto result = RunVintrel(L"/NoSubFolder /LangEN /PATH Z:\\Daten\\Mixed Case");

    ExpectRegistered(0, L"Z:\\Daten\\Mixed Case\\", false);
    ExpectOnlyBox(result, SuccessEnglish(L"Z:\\Daten\\Mixed Case\\"), BoxIcon::Information);
}

TEST_F(Registration, AnUpperCaseSilentSwitchSilences) {
    EXPECT_TRUE(RunVintrel(L"/S").boxes.empty());
    ExpectRegistered(0, folder_ + L"\\", true);
}

TEST_F(Registration, AWholeCommandLineInQuotesReadsAsWithout) {
    const auto result = RunVintrel(L"\"/langen /path D:\\My Data\"");

    ExpectRegistered(0, L"D:\\My Data\\", true);
    ExpectOnlyBox(result, SuccessEnglish(L"D:\\My Data\\"), BoxIcon::Information);
}

TEST_F(Registration, AQuotedPathLosesItsQuotes) {
    const auto result = RunVintrel(L"/s /path \"D:\\My Data\"");

    ExpectRegistered(0, L"D:\\My Data\\", true);
    EXPECT_TRUE(result.boxes.empty());
}

TEST_F(Registration, APathWithItsBackslashIsKeptAsItIs) {
    RunVintrel(L"/s /path D:\\Data\\");
    ExpectRegistered(0, L"D:\\Data\\", true);
}

TEST_F(Registration, TheFolderOfAnotherDriveIsRegisteredWithoutBeingChecked) {
    RunVintrel(L"/s /path Q:\\Does not exist");
    ExpectRegistered(0, L"Q:\\Does not exist\\", true);
}

TEST_F(Registration, UnknownSwitchesChangeNothing) {
    const auto result = RunVintrel(L"/silent -s /ss /lang /");

    ExpectRegistered(0, folder_ + L"\\", true);
    ExpectOnlyBox(result, SuccessGerman(folder_ + L"\\"), BoxIcon::Information);
}

TEST_F(Registration, ARenamedProgramNamesItselfInDescriptionAndTitle) {
    const std::wstring renamed = harness::CopyProgram(L"Vintrel.exe", folder_, L"Vertrauen.exe");
    const auto result = harness::Run(renamed, L"");

    ExpectRegistered(0, folder_ + L"\\", true, L"Vertrauen");
    ASSERT_EQ(result.boxes.size(), 1u);
    ExpectBox(result.boxes[0], L"Vertrauen", SuccessGerman(folder_ + L"\\"), BoxIcon::Information);
}

TEST_F(Registration, TheSameFolderTwiceTakesTwoSlots) {
    RunVintrel(L"/s");
    RunVintrel(L"/s");

    ExpectRegistered(0, folder_ + L"\\", true);
    ExpectRegistered(1, folder_ + L"\\", true);
}

TEST_F(Registration, AFolderOutsideTheCodePageIsRegisteredExactly) {
    const std::wstring unusual =
        harness::MakeTestFolder(harness::CurrentTestName() + L"\\Данные 数据 Ωμέγα");
    const std::wstring copy = harness::CopyProgram(L"Vintrel.exe", unusual);
    const auto result = harness::Run(copy, L"");

    ExpectRegistered(0, unusual + L"\\", true);
    ExpectOnlyBox(result, SuccessGerman(unusual + L"\\"), BoxIcon::Information);
}

TEST_F(Registration, APathSwitchOutsideTheCodePageIsRegisteredExactly) {
    const auto result = RunVintrel(L"/langen /path D:\\Ärzte\\Καλημέρα\\日本");

    ExpectRegistered(0, L"D:\\Ärzte\\Καλημέρα\\日本\\", true);
    ExpectOnlyBox(result, SuccessEnglish(L"D:\\Ärzte\\Καλημέρα\\日本\\"), BoxIcon::Information);
}

// The switches start after the program's name, however the name was written.
TEST_F(Registration, TheProgramsNameIsSkippedAsWindowsWritesIt) {
    for (const std::wstring& commandLine : std::vector<std::wstring>{
             L"Vintrel /langen", L"Vintrel.exe\t /langen", L"\"" + program_ + L"\"   /langen",
             L"\"Z:\\some where\\Vintrel.exe\" /langen"}) {
        SCOPED_TRACE(harness::Narrow(commandLine));
        ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations));
        harness::Process process = harness::StartWithCommandLine(program_, commandLine);
        const auto result = harness::AnswerBoxesUntilExit(process);

        ExpectOnlyBox(result, SuccessEnglish(folder_ + L"\\"), BoxIcon::Information);
    }
}

}  // namespace
}  // namespace vintrel
