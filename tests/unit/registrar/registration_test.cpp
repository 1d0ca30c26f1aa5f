// Main from start to end against the in-memory registry: which slot it takes, what it writes there
// and in which order, the boxes it shows, and what it refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "basMain.h"
#include "registrar/registrar_world.h"

namespace {

using doubles::World;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::PrintToString;

std::wstring TrustedLocations(const std::wstring& version = L"12.0") {
    return L"Software\\Microsoft\\Office\\" + version + L"\\Access\\Security\\Trusted Locations";
}
const std::wstring kLocations = TrustedLocations();
const std::wstring kRefusalGerman =
    L"Es ist nicht möglich einen vertrauenswürdigen Speicherort auf ein Laufwerk direkt anzulegen.";
const std::wstring kRefusalEnglish = L"A root folder cannot add to the trusted locations.";

std::wstring Slot(int n, const std::wstring& version = L"12.0") {
    return TrustedLocations(version) + L"\\Location" + std::to_wstring(n);
}

void Occupy(int first, int last, const std::wstring& version = L"12.0") {
    for (int n = first; n <= last; ++n)
        doubles::SetString(Slot(n, version), L"Path", L"C:\\Belegt\\");
}

// The journal entries that start with the given text.
std::vector<std::wstring> Journal(const std::wstring& start) {
    std::vector<std::wstring> entries;
    for (const auto& entry : World().journal) {
        if (entry.rfind(start, 0) == 0)
            entries.push_back(entry);
    }
    return entries;
}

std::wstring StringAt(int slot, const std::wstring& name, const std::wstring& version = L"12.0") {
    const auto value = doubles::GetValue(Slot(slot, version), name);
    return value ? doubles::TextOf(*value) : L"(missing)";
}

class Registration : public ::testing::Test {};

TEST_F(Registration, WritesTheFourValuesInOrderIntoTheFirstSlotAndReportsInGerman) {
    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_THAT(Journal(L"RegSetValueExW"),
                ElementsAre(L"RegSetValueExW Date type 1 size 34",
                            L"RegSetValueExW Description type 1 size 30",
                            L"RegSetValueExW Path type 1 size 20",
                            L"RegSetValueExW AllowSubfolders type 4 size 4"));
    EXPECT_THAT(Journal(L"RegCreateKeyW"), ::testing::Each(L"RegCreateKeyW " + Slot(0) + L"\\"));
    EXPECT_EQ(StringAt(0, L"Date"), L"06.12.2026 21:07");
    EXPECT_EQ(StringAt(0, L"Description"), L"Set by Vintrel");
    EXPECT_EQ(StringAt(0, L"Path"), L"D:\\Tools\\");
    EXPECT_EQ(doubles::GetValue(Slot(0), L"AllowSubfolders"),
              (doubles::StoredValue{platform::kRegDword, doubles::DwordBytes(1)}));

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"D:\\Tools\\\" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
    EXPECT_EQ(World().boxes[0].title, L"Vintrel");
    EXPECT_THAT(World().openKeys, IsEmpty());
}

TEST_F(Registration, ARenamedProgramNamesItselfInDescriptionAndTitle) {
    World().programFileName = L"Vertrauen";
    World().commandLineArgs = L"/langen";

    basMain::Main();

    EXPECT_EQ(StringAt(0, L"Description"), L"Set by Vertrauen");
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].title, L"Vertrauen");
    EXPECT_EQ(World().boxes[0].text, L"\"D:\\Tools\\\" added to the trusted locations.");
}

TEST_F(Registration, TheDateHasLeadingZerosAndTheUsersTimeSeparator) {
    World().now = {2027, 2, 1, 5, 3};
    World().timeSeparator = L".";

    basMain::Main();

    EXPECT_EQ(StringAt(0, L"Date"), L"01.02.2027 05.03");
}

TEST_F(Registration, DateTextFormatsDayMonthYearHourMinute) {
    EXPECT_EQ(basMain::DateText({2026, 12, 6, 21, 7}, L":"), L"06.12.2026 21:07");
    EXPECT_EQ(basMain::DateText({2026, 1, 31, 0, 0}, L":"), L"31.01.2026 00:00");
    EXPECT_EQ(basMain::DateText({999, 10, 10, 23, 59}, L"h"), L"10.10.0999 23h59");
}

TEST_F(Registration, AFolderOutsideTheCodePageIsWrittenAndShownExactly) {
    World().appPath = L"D:\\Данные\\数据";

    basMain::Main();

    EXPECT_EQ(doubles::GetValue(Slot(0), L"Path")->data, doubles::Utf16(L"D:\\Данные\\数据\\"));
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"D:\\Данные\\数据\\\" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt.");
}

TEST_F(Registration, TheSearchStopsAtTheFirstFreeSlotInAGap) {
    Occupy(0, 0);
    Occupy(2, 3);

    basMain::Main();

    EXPECT_EQ(StringAt(1, L"Path"), L"D:\\Tools\\");
    EXPECT_THAT(Journal(L"RegOpenKeyW"),
                ElementsAre(L"RegOpenKeyW " + Slot(0) + L"\\", L"RegOpenKeyW " + Slot(1) + L"\\"));
    EXPECT_FALSE(doubles::KeyExists(Slot(4)));
}

TEST_F(Registration, ASlotWithAnEmptyPathIsTakenOverAndAnOldAllowSubfoldersKept) {
    Occupy(0, 2);
    doubles::SetString(Slot(3), L"Path", L"");
    doubles::SetString(Slot(3), L"Date", L"01.01.2000 00:00");
    doubles::SetString(Slot(3), L"Description", L"alt");
    doubles::SetValue(Slot(3), L"AllowSubfolders", platform::kRegDword, doubles::DwordBytes(7));
    World().commandLineArgs = L"/nosubfolder";

    basMain::Main();

    EXPECT_EQ(StringAt(3, L"Path"), L"D:\\Tools\\");
    EXPECT_EQ(StringAt(3, L"Date"), L"06.12.2026 21:07");
    EXPECT_EQ(StringAt(3, L"Description"), L"Set by Vintrel");
    EXPECT_EQ(doubles::GetValue(Slot(3), L"AllowSubfolders")->data, doubles::DwordBytes(7));
    EXPECT_THAT(Journal(L"RegSetValueExW AllowSubfolders"), IsEmpty());
}

TEST_F(Registration, AnyNonEmptyPathCountsAsOccupied) {
    doubles::SetString(Slot(0), L"Path", L" ");
    doubles::SetValue(Slot(1), L"Path", platform::kRegBinary, {0x00});
    doubles::SetValue(Slot(2), L"Path", platform::kRegExpandSz, doubles::Utf16(L"%TEMP%"));

    basMain::Main();

    EXPECT_EQ(StringAt(3, L"Path"), L"D:\\Tools\\");
    EXPECT_EQ(StringAt(0, L"Path"), L" ");
}

TEST_F(Registration, SilentWritesTheSameAndShowsNothing) {
    World().commandLineArgs = L"/s";

    basMain::Main();

    EXPECT_EQ(StringAt(0, L"Path"), L"D:\\Tools\\");
    EXPECT_TRUE(doubles::GetValue(Slot(0), L"AllowSubfolders"));
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Registration, TheSearchAndTheWritesHoldTheUserLockAndTheBoxComesAfter) {
    Occupy(0, 1);

    basMain::Main();

    const auto& journal = World().journal;
    const auto lock =
        std::find(journal.begin(), journal.end(), L"lock Vintrel.TrustedLocations 30000");
    const auto unlock = std::find(journal.begin(), journal.end(), L"unlock");
    ASSERT_NE(lock, journal.end());
    ASSERT_NE(unlock, journal.end());
    for (auto entry = journal.begin(); entry != journal.end(); ++entry) {
        if (entry->rfind(L"Reg", 0) == 0) {
            EXPECT_TRUE(entry > lock && entry < unlock)
                << "outside the lock: " << ::testing::PrintToString(*entry);
        }
    }
    EXPECT_EQ(journal.back(), L"MsgBox 64");
    EXPECT_FALSE(World().lockHeld);
}

class Refusal : public Registration {};

TEST_F(Refusal, ADriveRootIsRefusedInGermanWithoutTouchingTheRegistry) {
    World().appPath = L"E:\\";

    EXPECT_EQ(basMain::Main(), basMain::kRefused);

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text, kRefusalGerman);
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
    EXPECT_EQ(World().boxes[0].title, std::nullopt);
    EXPECT_THAT(World().journal, ElementsAre(L"MsgBox 16"));
}

TEST_F(Refusal, ADriveGivenByPathIsRefusedInEnglishEvenWhenSilent) {
    World().commandLineArgs = L"/langen /s /path C:";

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text, kRefusalEnglish);
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
    EXPECT_THAT(World().journal, ElementsAre(L"MsgBox 16"));
}

TEST_F(Refusal, AnyFolderOfThreeCharactersIsRefused) {
    World().commandLineArgs = L"/path ab";

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text, kRefusalGerman);
}

TEST_F(Refusal, OnlyTheFolderAfterTheSwitchesIsLookedAt) {
    World().appPath = L"E:\\";
    World().commandLineArgs = L"/path D:\\Data";

    basMain::Main();

    EXPECT_EQ(StringAt(0, L"Path"), L"D:\\Data\\");
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
}

class AllSlotsTaken : public Registration {
  protected:
    void SetUp() override { Occupy(0, 1000); }
};

TEST_F(AllSlotsTaken, NothingIsWrittenAndTheErrorIsShownInGerman) {
    EXPECT_EQ(basMain::Main(), basMain::kNoFreeSlot);

    EXPECT_THAT(Journal(L"RegCreateKeyW"), IsEmpty());
    EXPECT_THAT(Journal(L"RegSetValueExW"), IsEmpty());
    EXPECT_EQ(Journal(L"RegOpenKeyW").size(), 1001u);
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"Alle vertrauenswürdigen Speicherorte sind belegt. Der Ordner wurde nicht "
              L"eingetragen.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
    EXPECT_EQ(World().boxes[0].title, std::nullopt);
    EXPECT_FALSE(World().lockHeld);
}

TEST_F(AllSlotsTaken, TheErrorIsShownInEnglishAlsoWhenSilent) {
    World().commandLineArgs = L"/s /langen";

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text, L"All trusted locations are taken. The folder was not added.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
}

TEST_F(AllSlotsTaken, TheLastSlotIsUsedWhenItIsFree) {
    World().keys.erase(Slot(1000));

    EXPECT_EQ(basMain::fnc_Freie_Location_Suchen(), 1000);
    basMain::Main();

    EXPECT_EQ(StringAt(1000, L"Path"), L"D:\\Tools\\");
    EXPECT_FALSE(doubles::KeyExists(Slot(1001)));
}

TEST_F(AllSlotsTaken, TheSearchSaysSo) {
    EXPECT_EQ(basMain::fnc_Freie_Location_Suchen(), basMain::kKeineFreieLocation);
}

class FailingRegistry : public Registration {};

TEST_F(FailingRegistry, AFailedWriteGoesUnnoticedAndSuccessIsStillReported) {
    World().deniedKeys.push_back(kLocations);

    basMain::Main();

    EXPECT_FALSE(doubles::KeyExists(Slot(0)));
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
}

TEST_F(FailingRegistry, AWriterThatCannotBindShowsItsErrorBoxBeforeTheSuccessBox) {
    World().unbindable.insert("RegSetValueExW");

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    ASSERT_EQ(World().boxes.size(), 5u) << "three string writes, one number write, success";
    const auto unlock = std::find(World().journal.begin(), World().journal.end(), L"unlock");
    EXPECT_EQ(std::count(World().journal.begin(), unlock, L"MsgBox 16"), 0)
        << "no box while the lock is held";
    EXPECT_EQ(World().boxes[0].title, L"Fehler in \"fnc_Reg_String_Schreiben\"");
    EXPECT_EQ(World().boxes[3].title, L"Fehler in \"fnc_Reg_Num_Schreiben\"");
    EXPECT_EQ(World().boxes[4].style, platform::kMbIconInformation);
    EXPECT_THAT(World().openKeys, IsEmpty());
}

TEST_F(FailingRegistry, TheHelpersErrorBoxesAreShownAlsoWhenSilent) {
    World().unbindable.insert("RegSetValueExW");
    World().commandLineArgs = L"/s /nosubfolder";

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 3u);
    for (const auto& box : World().boxes)
        EXPECT_EQ(box.style, platform::kMbIconError);
}

class ForScripts : public Registration {};

TEST_F(ForScripts, AHelpersErrorDuringTheSearchIsShownOnlyAfterTheLockIsReleased) {
    doubles::SetValue(Slot(0), L"Path", platform::kRegSz, {});  // zero bytes: error 5

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    const auto& journal = World().journal;
    const auto unlock = std::find(journal.begin(), journal.end(), L"unlock");
    ASSERT_NE(unlock, journal.end());
    EXPECT_THAT(std::vector<std::wstring>(unlock + 1, journal.end()),
                ElementsAre(L"MsgBox 16", L"MsgBox 64"));
    EXPECT_EQ(World().boxes[0].title, L"Fehler in \"fnc_Reg_String_Lesen\"");
}

TEST_F(ForScripts, ALockNotHadWithinItsWaitWritesNothingAndSaysSo) {
    World().lockAvailable = false;
    World().commandLineArgs = L"/s /langen";

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_THAT(Journal(L"Reg"), IsEmpty());
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"Another Vintrel run does not respond. The folder was not added.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
}

TEST_F(ForScripts, UsageWinsOverEveryOtherSwitchAndWritesNothing) {
    World().commandLineArgs = L"/s /path C: /HELP /office 3";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_THAT(World().journal, ElementsAre(L"MsgBox 64"));
}

TEST_F(ForScripts, OtherSpellingsOfADriveRootAreRefused) {
    World().fullPaths = {{L"C:\\\\", L"C:\\"},
                         {L"C:\\.\\", L"C:\\"},
                         {L"C:/\\", L"C:\\"},
                         {L"C:\\..\\", L"C:\\"},
                         {L"..\\", L"D:\\"}};
    for (const auto& [folder, root] : World().fullPaths) {
        World().boxes.clear();
        World().commandLineArgs = L"/s /path " + folder;

        EXPECT_EQ(basMain::Main(), basMain::kRefused) << PrintToString(folder);

        ASSERT_EQ(World().boxes.size(), 1u);
        EXPECT_EQ(World().boxes[0].text, kRefusalGerman);
    }
    EXPECT_FALSE(doubles::KeyExists(kLocations));
}

TEST_F(ForScripts, ARelativeFolderIsStoredAsGiven) {
    World().fullPaths = {{L"data\\", L"D:\\Tools\\data\\"}};
    World().commandLineArgs = L"/s /path data";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(StringAt(0, L"Path"), L"data\\");
}

class OfficeVersions : public Registration {};

TEST_F(OfficeVersions, EachVersionNamedGetsItsOwnFirstFreeSlotAndOnlyThose) {
    Occupy(0, 1, L"14.0");
    World().commandLineArgs = L"/s /office 14.0 /OFFICE \"16.0\" /office 14.0 /office";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(StringAt(2, L"Path", L"14.0"), L"D:\\Tools\\");
    EXPECT_EQ(StringAt(0, L"Path", L"16.0"), L"D:\\Tools\\");
    EXPECT_EQ(Journal(L"RegSetValueExW Path").size(), 2u);
    EXPECT_FALSE(doubles::KeyExists(kLocations));
    EXPECT_FALSE(doubles::GetValue(TrustedLocations(L"16.0"), L"AllowNetworkLocations"));
}

TEST_F(OfficeVersions, AutoIsTheInstalledAccessAndCountsOnceWithItsNumber) {
    doubles::SetString(doubles::kClassesRoot + L"Access.Application\\CurVer", L"",
                       L"Access.Application.16");
    World().commandLineArgs = L"/s /office Auto /office 16.0 /network";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(StringAt(0, L"Path", L"16.0"), L"D:\\Tools\\");
    EXPECT_EQ(Journal(L"RegSetValueExW Path").size(), 1u);
    EXPECT_EQ(doubles::GetValue(TrustedLocations(L"16.0"), L"AllowNetworkLocations"),
              (doubles::StoredValue{platform::kRegDword, doubles::DwordBytes(1)}));
}

TEST_F(OfficeVersions, AnInvalidValueIsRefusedAsGivenWithoutItsQuotes) {
    World().commandLineArgs = L"/s /langen /office 16.0 /office \"x16.0\"";

    EXPECT_EQ(basMain::Main(), basMain::kRefused);

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"x16.0\" is not a valid Office version (for example 16.0 or auto). The folder was "
              L"not added.");
    EXPECT_THAT(Journal(L"RegCreateKeyW"), IsEmpty());
}

TEST_F(OfficeVersions, WhenOneVersionIsFullNothingIsWrittenForAny) {
    Occupy(0, 1000, L"16.0");
    World().commandLineArgs = L"/s /office 12.0 /office 16.0 /network";

    EXPECT_EQ(basMain::Main(), basMain::kNoFreeSlot);

    EXPECT_THAT(Journal(L"RegCreateKeyW"), IsEmpty());
}

TEST_F(OfficeVersions, TheRulesOfAVersionAndOfCurVer) {
    for (const wchar_t* valid : {L"12.0", L"16.0", L"12.5", L"99.9"})
        EXPECT_TRUE(officeVersions::IsOfficeVersion(valid)) << PrintToString(valid);
    for (const wchar_t* invalid :
         {L"11.0", L"9.0", L"16", L"16.", L"16.00", L"016.0", L"1a.0", L".0", L" 16.0", L"auto"})
        EXPECT_FALSE(officeVersions::IsOfficeVersion(invalid)) << PrintToString(invalid);
    EXPECT_EQ(officeVersions::VersionOfCurVer(L"Access.Application.16"), L"16.0");
    EXPECT_EQ(officeVersions::VersionOfCurVer(L"access.application.12"), L"12.0");
    for (const wchar_t* none : {L"Access.Application.11", L"Access.Application",
                                L"Access.Application.160", L"Excel.Application.16", L""})
        EXPECT_EQ(officeVersions::VersionOfCurVer(none), L"") << PrintToString(none);
}

class Once : public Registration {};

TEST_F(Once, AFolderAlreadyThereInAnyCaseIsNotWrittenAgainAndThatIsSuccess) {
    Occupy(0, 0);
    doubles::SetString(Slot(2), L"Path", L"d:\\TOOLS");
    World().commandLineArgs = L"/once /network";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_FALSE(doubles::KeyExists(Slot(1)));
    EXPECT_THAT(Journal(L"RegSetValueExW"),
                ElementsAre(L"RegSetValueExW AllowNetworkLocations type 4 size 4"));
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
}

TEST_F(Once, ANewFolderTakesTheFirstFreeSlotAfterEverySlotWasLookedAt) {
    Occupy(0, 0);
    Occupy(2, 2);
    World().commandLineArgs = L"/once /s";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(StringAt(1, L"Path"), L"D:\\Tools\\");
    EXPECT_EQ(Journal(L"RegOpenKeyW").size(), 1001u);
}

}  // namespace
