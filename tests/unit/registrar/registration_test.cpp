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
    EXPECT_THAT(Journal(L"RegOpenKeyW " + Slot(0)), ::testing::SizeIs(1));
    EXPECT_THAT(Journal(L"RegOpenKeyW " + Slot(2)), IsEmpty()) << "read no further than needed";
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

// Only a "Path" that is missing or holds no characters frees a slot. One that cannot be read may
// hold another program's folder (a text stored without its NUL, which Access reads): it stays.
TEST_F(Registration, APathThatCannotBeReadKeepsItsSlot) {
    struct Stored {
        const char* name;
        void (*seed)();
        int failingQuery;
        int slotTaken;
    };
    const Stored rows[] = {
        {"zero-byte text", [] { doubles::SetValue(Slot(0), L"Path", platform::kRegSz, {}); }, 0, 0},
        {"no Path value", [] { doubles::SetString(Slot(0), L"Date", L"x"); }, 0, 0},
        {"a number", [] { doubles::SetValue(Slot(0), L"Path", 4, doubles::DwordBytes(1)); }, 0, 0},
        {"text without its NUL",
         [] {
             doubles::SetValue(Slot(0), L"Path", platform::kRegSz,
                               doubles::Utf16(L"C:\\Other\\", false));
         },
         0, 1},
        {"size query denied", [] { Occupy(0, 0); }, 1, 1},
        {"value query denied", [] { Occupy(0, 0); }, 2, 1},
    };
    for (const wchar_t* once : {L"/s", L"/s /once"}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + " " + PrintToString(once));
            doubles::ResetWorld();
            row.seed();
            World().failingQuery = row.failingQuery;
            World().commandLineArgs = once;
            const auto before = doubles::GetValue(Slot(0), L"Path");

            basMain::Main();

            EXPECT_EQ(StringAt(row.slotTaken, L"Path"), L"D:\\Tools\\");
            if (row.slotTaken != 0) {
                EXPECT_EQ(doubles::GetValue(Slot(0), L"Path"), before);
            }
        }
    }
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
    const auto lock = std::find(journal.begin(), journal.end(),
                                L"lock Global\\Vintrel.TrustedLocations.S-1-5-21-7-7-7-1001 30000");
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
    EXPECT_FALSE(World().locksHeld);
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
    EXPECT_THAT(Journal(L"RegOpenKeyW " + Slot(1000)), ::testing::SizeIs(1));
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"Alle vertrauenswürdigen Speicherorte sind belegt. Der Ordner wurde nicht "
              L"eingetragen.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
    EXPECT_EQ(World().boxes[0].title, std::nullopt);
    EXPECT_FALSE(World().locksHeld);
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

class FailingRegistry : public Registration {
  protected:
    static void ExpectOneWriteFailedBox(const std::wstring& text) {
        ASSERT_EQ(World().boxes.size(), 1u);
        EXPECT_EQ(World().boxes[0].text, text);
        EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
        EXPECT_EQ(World().boxes[0].title, std::nullopt);
    }
};

TEST_F(FailingRegistry, AKeyThatMayNotBeCreatedIsReportedWithWindowsMessage) {
    World().deniedKeys.push_back(kLocations);

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_FALSE(doubles::KeyExists(Slot(0)));
    ExpectOneWriteFailedBox(
        L"\"D:\\Tools\\\" konnte nicht zu den Vertrauenswürdigen Speicherorten hinzugefügt "
        L"werden.\r\nAccess is denied.");
    EXPECT_THAT(Journal(L"RegSetValueExW"), IsEmpty());
}

// Also when silent, and in English with /langen.
TEST_F(FailingRegistry, AValueThatMayNotBeSetIsReportedWithWindowsMessage) {
    World().deniedValues.insert(L"AllowSubfolders");
    World().commandLineArgs = L"/s /langen";

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    ExpectOneWriteFailedBox(
        L"\"D:\\Tools\\\" could not be added to the trusted locations.\r\nAccess is denied.");
}

// A failure takes back everything the run changed before it, in every version: values that were
// there get their own type and bytes again, absent ones go, and keys the run made are deleted.
struct FailedRun {
    const char* name;
    const wchar_t* commandLine;
    void (*seed)();
};

void ReusedSlotWithItsOwnValues() {
    doubles::SetString(Slot(0), L"Path", L"");
    doubles::SetString(Slot(0), L"Owner", L"another tool");
    doubles::SetValue(Slot(0), L"Date", platform::kRegBinary, {1, 2, 3});
    doubles::SetValue(Slot(0), L"Description", platform::kRegExpandSz, doubles::Utf16(L"%X%"));
    doubles::SetValue(Slot(0), L"AllowSubfolders", platform::kRegDword, doubles::DwordBytes(7));
    doubles::SetValue(kLocations, L"AllowNetworkLocations", platform::kRegDword,
                      doubles::DwordBytes(0));
}

const FailedRun kFailedRuns[] = {
    {"NewSlotAndItsKeys", L"/s", [] { World().deniedValues.insert(L"AllowSubfolders"); }},
    {"ReusedSlot", L"/s",
     [] {
         ReusedSlotWithItsOwnValues();
         World().deniedValues.insert(L"AllowSubfolders");
     }},
    {"ForbiddenNetworkStaysForbidden", L"/s /network /office 12.0 /office 16.0",
     [] {
         ReusedSlotWithItsOwnValues();
         World().deniedKeys.push_back(TrustedLocations(L"16.0"));
     }},
    {"AbsentNetworkStaysAbsent", L"/s /network /office 12.0 /office 16.0",
     [] {
         Occupy(0, 0);
         World().deniedKeys.push_back(TrustedLocations(L"16.0"));
     }},
    {"NetworkWriteFails", L"/s /network",
     [] {
         Occupy(0, 0);
         World().deniedValues.insert(L"AllowNetworkLocations");
     }},
};

void PrintTo(const FailedRun& run, std::ostream* out) {
    *out << run.name;
}

class Rollback : public ::testing::TestWithParam<FailedRun> {};

TEST_P(Rollback, LeavesTheRegistryAsItWas) {
    GetParam().seed();
    World().commandLineArgs = GetParam().commandLine;
    const auto before = World().keys;

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_EQ(World().keys, before);
    EXPECT_EQ(World().boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(FailingRegistry, Rollback, ::testing::ValuesIn(kFailedRuns),
                         [](const auto& info) { return std::string(info.param.name); });

// The helper's own error box, held until the lock is released, comes before the one that says
// the folder was not added.
TEST_F(FailingRegistry, AWriterThatCannotBindShowsItsErrorBoxThenTheFailure) {
    World().unbindable.insert("RegSetValueExW");

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    ASSERT_EQ(World().boxes.size(), 2u);
    EXPECT_EQ(World().boxes[0].locksHeld + World().boxes[1].locksHeld, 0);
    EXPECT_EQ(World().boxes[0].title, L"Fehler in \"fnc_Reg_String_Schreiben\"");
    EXPECT_EQ(World().boxes[1].text,
              L"\"D:\\Tools\\\" konnte nicht zu den Vertrauenswürdigen Speicherorten hinzugefügt "
              L"werden.\r\nDLL-Einsprungpunkt RegSetValueExW in advapi32.dll nicht gefunden");
    EXPECT_FALSE(doubles::KeyExists(Slot(0)));
    EXPECT_THAT(World().openKeys, IsEmpty());
}

TEST_F(FailingRegistry, TheHelpersErrorBoxesAreShownAlsoWhenSilent) {
    World().unbindable.insert("RegSetValueExW");
    World().commandLineArgs = L"/s /nosubfolder";

    basMain::Main();

    ASSERT_EQ(World().boxes.size(), 2u);
    for (const auto& box : World().boxes)
        EXPECT_EQ(box.style, platform::kMbIconError);
}

// Policy that lets Access trust only locations set by policy.
std::wstring PolicyKey(const std::wstring& version) {
    return L"Software\\Policies\\Microsoft\\Office\\" + version +
           L"\\Common\\Security\\Trusted Locations";
}
void SetPolicy(const std::wstring& version, std::uint32_t type, std::vector<std::uint8_t> data) {
    doubles::SetValue(PolicyKey(version), L"Allow User Locations", type, std::move(data));
}

class Policy : public Registration {};

TEST_F(Policy, OnlyPolicyLocationsTurnTheSuccessIntoAWarningAlsoWhenSilent) {
    SetPolicy(L"12.0", platform::kRegDword, doubles::DwordBytes(0));
    for (const wchar_t* commandLine : {L"", L"/s"}) {
        SCOPED_TRACE(PrintToString(commandLine));
        World().boxes.clear();
        World().keys.erase(Slot(0));
        World().commandLineArgs = commandLine;

        EXPECT_EQ(basMain::Main(), basMain::kIgnoredByPolicy);

        EXPECT_EQ(StringAt(0, L"Path"), L"D:\\Tools\\");
        ASSERT_EQ(World().boxes.size(), 1u);
        EXPECT_EQ(World().boxes[0].text,
                  L"\"D:\\Tools\\\" wurde eingetragen, aber eine Richtlinie lässt für Access 12.0 "
                  L"nur von der Richtlinie gesetzte vertrauenswürdige Speicherorte gelten.");
        EXPECT_EQ(World().boxes[0].style, platform::kMbIconWarning);
        EXPECT_EQ(World().boxes[0].title, std::nullopt);
    }
}

TEST_F(Policy, EachVersionConcernedIsNamedInTheOrderGiven) {
    SetPolicy(L"16.0", platform::kRegDword, doubles::DwordBytes(0));
    SetPolicy(L"15.0", platform::kRegDword, doubles::DwordBytes(1));
    SetPolicy(L"14.0", platform::kRegDword, doubles::DwordBytes(0));
    World().commandLineArgs = L"/langen /office 14.0 /office 15.0 /office 16.0 /once";

    EXPECT_EQ(basMain::Main(), basMain::kIgnoredByPolicy);

    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"D:\\Tools\\\" was added, but a policy lets Access 14.0, "
              L"16.0 trust only locations set by policy.");
}

// Only a REG_DWORD of 0 is the policy; anything else, like none at all, changes nothing.
TEST_F(Policy, AnyOtherValueLeavesTheSuccessAsItIs) {
    const std::pair<std::uint32_t, std::vector<std::uint8_t>> others[] = {
        {platform::kRegDword, doubles::DwordBytes(1)},
        {platform::kRegDword, doubles::DwordBytes(2)},
        {platform::kRegSz, doubles::Utf16(L"0")},
        {platform::kRegBinary, {0, 0, 0, 0}},
        {11, {0, 0, 0, 0, 0, 0, 0, 0}}};
    for (const auto& [type, data] : others) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        doubles::ResetWorld();
        SetPolicy(L"12.0", type, data);

        EXPECT_EQ(basMain::Main(), basMain::kRegistered);

        ASSERT_EQ(World().boxes.size(), 1u);
        EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
    }
}

// Which outcome a script learns when several apply: a helper's error box outranks the rest.
struct Precedence {
    const char* name;
    void (*seed)();
    const wchar_t* commandLine;
    int exitCode;
    std::vector<std::uint32_t> boxStyles;
};

void PrintTo(const Precedence& row, std::ostream* out) {
    *out << row.name;
}

class ExitCodes : public Registration, public ::testing::WithParamInterface<Precedence> {};

TEST_P(ExitCodes, TellTheOutcomeThatOutranks) {
    GetParam().seed();
    World().commandLineArgs = GetParam().commandLine;

    EXPECT_EQ(basMain::Main(), GetParam().exitCode);

    std::vector<std::uint32_t> styles;
    for (const auto& box : World().boxes)
        styles.push_back(box.style);
    EXPECT_EQ(styles, GetParam().boxStyles);
}

void UnreadableCurVer() {
    doubles::SetValue(doubles::kClassesRoot + L"Access.Application\\CurVer", L"", platform::kRegSz,
                      {});
}
void PolicyOnly() {
    SetPolicy(L"12.0", platform::kRegDword, doubles::DwordBytes(0));
}
void PolicyAndAZeroBytePath() {
    PolicyOnly();
    doubles::SetValue(Slot(0), L"Path", platform::kRegSz, {});
}
void FullWithAnUnreadablePath() {
    Occupy(0, 1000);
    doubles::SetValue(Slot(500), L"Path", platform::kRegSz, doubles::Utf16(L"C:\\X", false));
}
void PolicyAndADeniedWrite() {
    PolicyOnly();
    World().deniedValues.insert(L"Path");
}

const Precedence kPrecedence[] = {
    {"AutoWithAnUnreadableCurVerIsAnError", UnreadableCurVer, L"/s /office auto", 3, {16, 16}},
    {"AFullSetWithAnUnreadablePathIsAnError", FullWithAnUnreadablePath, L"/s", 3, {16, 16}},
    {"APolicyAloneIsItsOwnCode", PolicyOnly, L"/s", 4, {48}},
    {"APolicyWithAHelpersErrorIsAnError", PolicyAndAZeroBytePath, L"/s", 3, {16, 48}},
    {"APolicyWithAFailedWriteIsAFailedWrite", PolicyAndADeniedWrite, L"", 3, {16}},
};

INSTANTIATE_TEST_SUITE_P(Registration, ExitCodes, ::testing::ValuesIn(kPrecedence),
                         [](const auto& info) { return std::string(info.param.name); });

class ForScripts : public Registration {};

TEST_F(ForScripts, AHelpersErrorDuringTheSearchIsShownOnlyAfterTheLockIsReleased) {
    doubles::SetValue(Slot(0), L"Path", platform::kRegSz, {});  // zero bytes: error 5

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    ASSERT_EQ(World().boxes.size(), 2u);
    EXPECT_EQ(World().boxes[0].locksHeld + World().boxes[1].locksHeld, 0);
    EXPECT_EQ(World().boxes[0].title, L"Fehler in \"fnc_Reg_String_Lesen\"");
    EXPECT_EQ(World().boxes[1].style, platform::kMbIconInformation);
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

    // A removal is refused alike, and says what did not happen.
    World().boxes.clear();
    World().commandLineArgs = L"/remove /office x16.0";
    EXPECT_EQ(basMain::Main(), basMain::kRefused);
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"x16.0\" ist keine gültige Office-Version (zum Beispiel 16.0 oder auto). Der "
              L"Ordner wurde nicht entfernt.");
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
    EXPECT_THAT(Journal(L"RegOpenKeyW " + Slot(1000)), ::testing::SizeIs(1));
}

class Remove : public Registration {
  protected:
    static void Entry(int slot, const std::wstring& path, const std::optional<std::wstring>& by,
                      const std::wstring& version = L"12.0") {
        doubles::SetString(Slot(slot, version), L"Path", path);
        if (by)
            doubles::SetString(Slot(slot, version), L"Description", L"Set by " + *by);
    }
};

// Only this program's own entries of the folder go, in the versions chosen; the others, and
// network locations, stay as they were. Run again, it finds nothing and says so: both are success.
TEST_F(Remove, TakesOnlyItsOwnEntriesOfTheFolderAndSaysSoEachTime) {
    Entry(0, L"D:\\Tools\\", L"Vintrel");
    Entry(1, L"D:\\Tools\\", L"Other");
    Entry(2, L"D:\\Tools\\", std::nullopt);
    Entry(3, L"D:\\Tools\\Sub\\", L"Vintrel");
    Entry(5, L"d:\\tools", L"VINTREL");
    Entry(0, L"D:\\Tools\\", L"Vintrel", L"16.0");
    doubles::SetValue(kLocations, L"AllowNetworkLocations", platform::kRegDword,
                      doubles::DwordBytes(1));
    World().commandLineArgs = L"/remove /network /once";
    auto expected = World().keys;
    expected.erase(Slot(0));
    expected.erase(Slot(5));

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(World().keys, expected);
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"D:\\Tools\\\" wurde aus den Vertrauenswürdigen Speicherorten entfernt.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
    EXPECT_EQ(World().boxes[0].title, L"Vintrel");
    EXPECT_FALSE(World().locksHeld);

    World().boxes.clear();
    World().commandLineArgs = L"/remove /langen";
    EXPECT_EQ(basMain::Main(), basMain::kRegistered);
    EXPECT_EQ(World().keys, expected);
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text, L"\"D:\\Tools\\\" was not a trusted location.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconInformation);
}

// A slot that cannot be deleted (it has a sub-key) is reported with Windows' message; the other
// slots of the folder go all the same. With /s as without: the failure is always shown.
TEST_F(Remove, ADeleteThatFailsIsReportedAndTheOthersStayDeleted) {
    Entry(0, L"D:\\Tools\\", L"Vintrel");
    doubles::SetString(Slot(0) + L"\\Sub", L"x", L"y");
    Entry(1, L"D:\\Tools\\", L"Vintrel");
    World().commandLineArgs = L"/remove /s /langen";

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_TRUE(doubles::KeyExists(Slot(0)));
    EXPECT_FALSE(doubles::KeyExists(Slot(1)));
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].text,
              L"\"D:\\Tools\\\" could not be removed from the trusted locations.\r\nAccess is "
              L"denied.");
    EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
}

}  // namespace
