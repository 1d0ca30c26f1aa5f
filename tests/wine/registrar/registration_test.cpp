// Vintrel run for real: which slot it writes, what it writes there, and the box it shows.
#include "vintrel_fixture.h"

namespace vintrel {
namespace {

using harness::BoxIcon;

class Registration : public VintrelTest {};

enum class Box { None, German, English };

struct OneRun {
    const char* name;
    const wchar_t* arguments;
    const wchar_t* folder;  // nullptr: the program's own folder
    bool allowSubfolders;
    Box box;
};

void PrintTo(const OneRun& run, std::ostream* out) {
    *out << run.name;
}

class SwitchesOfOneRun : public VintrelTest, public ::testing::WithParamInterface<OneRun> {};

// One run registers its folder in the first slot, the only one, and shows the box its switches ask.
TEST_P(SwitchesOfOneRun, RegisterTheFolderAndShowTheBox) {
    const OneRun& run = GetParam();
    const auto result = RunVintrel(run.arguments);

    const std::wstring folder = run.folder ? run.folder : folder_ + L"\\";
    ExpectRegistered(0, folder, run.allowSubfolders);
    EXPECT_EQ(harness::SubKeyNames(HKEY_CURRENT_USER, kTrustedLocations),
              std::vector<std::wstring>{L"Location0"});
    if (run.box == Box::None)
        EXPECT_TRUE(result.boxes.empty());
    else
        ExpectOnlyBox(result,
                      run.box == Box::German ? SuccessGerman(folder) : SuccessEnglish(folder),
                      BoxIcon::Information);
}

INSTANTIATE_TEST_SUITE_P(
    Registration, SwitchesOfOneRun,
    ::testing::Values(OneRun{"OwnFolderWithTheGermanBox", L"", nullptr, true, Box::German},
                      OneRun{"LangenGivesTheEnglishBox", L"/langen", nullptr, true, Box::English},
                      OneRun{"SilentShowsNoBox", L"/s", nullptr, true, Box::None},
                      OneRun{"NosubfolderLeavesOutAllowSubfolders", L"/nosubfolder /s", nullptr,
                             false, Box::None},
                      OneRun{"SwitchesMatchInAnyCase",
                             L"/NoSubFolder /LangEN /PATH Z:\\Daten\\Mixed Case",
                             L"Z:\\Daten\\Mixed Case\\", false, Box::English},
                      OneRun{"AnUpperCaseSilentSwitchSilences", L"/S", nullptr, true, Box::None},
                      OneRun{"AWholeCommandLineInQuotesReadsAsWithout",
                             L"\"/langen /path D:\\My Data\"", L"D:\\My Data\\", true,
                             Box::English},
                      OneRun{"AQuotedPathLosesItsQuotes", L"/s /path \"D:\\My Data\"",
                             L"D:\\My Data\\", true, Box::None},
                      OneRun{"APathWithItsBackslashIsKeptAsItIs", L"/s /path D:\\Data\\",
                             L"D:\\Data\\", true, Box::None},
                      OneRun{"AFolderOfAnotherDriveIsNotChecked", L"/s /path Q:\\Does not exist",
                             L"Q:\\Does not exist\\", true, Box::None},
                      OneRun{"UnknownSwitchesChangeNothing", L"/silent -s /ss /lang /", nullptr,
                             true, Box::German}),
    [](const auto& info) { return std::string(info.param.name); });

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

// A key under a volatile parent must be volatile too: creating a slot's key there fails, as it
// fails where policy or permissions deny the write.
class FailedWrite : public VintrelTest {
  protected:
    static void MakeVolatile(const std::wstring& key) {
        ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, key));
        // Only the key itself: keys above it that it creates would be volatile too.
        ASSERT_TRUE(harness::CreateKey(HKEY_CURRENT_USER, key.substr(0, key.rfind(L'\\'))));
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(created);
    }
};

TEST_F(FailedWrite, IsReportedWithWindowsMessageAlsoWhenSilent) {
    MakeVolatile(kTrustedLocations);

    const auto result = RunVintrel(L"/s", 3);

    ExpectOnlyBox(result,
                  L"\"" + folder_ +
                      L"\\\" konnte nicht zu den Vertrauenswürdigen Speicherorten hinzugefügt "
                      L"werden.\r\n" +
                      harness::WindowsMessage(ERROR_CHILD_MUST_BE_VOLATILE),
                  BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(0)));
}

// The first version's slot was written before the second failed: it is taken back.
TEST_F(FailedWrite, OfOneVersionTakesBackTheSlotOfAnother) {
    MakeVolatile(TrustedLocationsOf(L"16.0"));

    const auto result = RunVintrel(L"/langen /office 12.0 /office 16.0", 3);

    ExpectOnlyBox(result,
                  L"\"" + folder_ + L"\\\" could not be added to the trusted locations.\r\n" +
                      harness::WindowsMessage(ERROR_CHILD_MUST_BE_VOLATILE),
                  BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(0)));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations)) << "made by this run";
}

// A rollback puts back exactly what was there: 12.0 had network locations forbidden (0) and a
// reused slot with its own values, 14.0 had nothing at all; 16.0 fails after both were written.
TEST_F(FailedWrite, PutsBackEveryValueAsItWasAndLogsItTakenBack) {
    const auto slot = LocationKey(0);
    const std::pair<const wchar_t*, harness::RegValue> before[] = {
        {L"Path", {REG_SZ, harness::StringBytes(L"")}},
        {L"Date", {REG_SZ, harness::StringBytes(L"01.01.2000 00:00")}},
        {L"Description", {REG_EXPAND_SZ, harness::StringBytes(L"old %X%")}},
        {L"AllowSubfolders", {REG_DWORD, harness::DwordBytes(0)}}};
    for (const auto& [name, value] : before)
        ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, slot, name, value.type, value.data));
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, kTrustedLocations, L"AllowNetworkLocations",
                                    REG_DWORD, harness::DwordBytes(0)));
    MakeVolatile(TrustedLocationsOf(L"16.0"));

    RunVintrel(L"/quiet /network /office 12.0 /office 14.0 /office 16.0 /log rollback.log", 3);

    for (const auto& [name, value] : before) {
        SCOPED_TRACE(harness::Narrow(name));
        const auto now =
            harness::ReadValue(HKEY_CURRENT_USER, slot, name).value_or(harness::RegValue{});
        EXPECT_EQ(now.type, value.type);
        EXPECT_EQ(now.data, value.data) << harness::Narrow(harness::TextOf(now.data));
    }
    EXPECT_EQ(SlotValueNames(0).size(), 4u);
    const auto network =
        harness::ReadValue(HKEY_CURRENT_USER, kTrustedLocations, L"AllowNetworkLocations");
    EXPECT_EQ(network.value_or(harness::RegValue{}).data, harness::DwordBytes(0));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\14.0"));
    const auto bytes = harness::ReadFileBytes(folder_ + L"\\rollback.log");
    ASSERT_TRUE(bytes);
    const std::string text(bytes->begin(), bytes->end());
    EXPECT_NE(text.find("16.0 Date: error 1021 "), std::string::npos) << text;
    EXPECT_NE(text.find("what this run wrote is taken back\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace vintrel
