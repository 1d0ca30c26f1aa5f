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

const std::wstring kLocations =
    L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations";
const std::wstring kRefusalGerman =
    L"Es ist nicht möglich einen vertrauenswürdigen Speicherort auf ein Laufwerk direkt anzulegen.";
const std::wstring kRefusalEnglish = L"A root folder cannot add to the trusted locations.";

std::wstring Slot(int n) {
    return kLocations + L"\\Location" + std::to_wstring(n);
}

void Occupy(int first, int last) {
    for (int n = first; n <= last; ++n)
        doubles::SetString(Slot(n), L"Path", L"C:\\Belegt\\");
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

std::wstring StringAt(int slot, const std::wstring& name) {
    const auto value = doubles::GetValue(Slot(slot), name);
    return value ? doubles::TextOf(*value) : L"(missing)";
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override { doubles::ResetWorld(); }
};

TEST_F(Registration, WritesTheFourValuesInOrderIntoTheFirstSlotAndReportsInGerman) {
    basMain::Main();

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
        std::find(journal.begin(), journal.end(), L"lock Local\\Vintrel.TrustedLocations");
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

    basMain::Main();

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
    void SetUp() override {
        Registration::SetUp();
        Occupy(0, 1000);
    }
};

TEST_F(AllSlotsTaken, NothingIsWrittenAndTheErrorIsShownInGerman) {
    basMain::Main();

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

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 5u) << "three string writes, one number write, success";
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

}  // namespace
