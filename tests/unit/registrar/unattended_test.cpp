// Vintrel run by a logon script or Active Setup: /quiet shows no box of any kind and changes no
// outcome, and /log FILE tells an administrator what happened, line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "basMain.h"
#include "common/log_double.h"
#include "common/policy_double.h"
#include "registrar/registrar_world.h"

namespace {

using doubles::World;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::wstring kLog = L"D:\\Tools\\vintrel.log";

std::wstring Slot(int n) {
    return L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations\\Location" +
           std::to_wstring(n);
}

// Each line of the log as its event word and its details (the last two of its seven fields).
std::vector<std::pair<std::string, std::string>> Events(const std::wstring& file = kLog) {
    std::vector<std::pair<std::string, std::string>> events;
    const std::string& text = doubles::Log().files[file];
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        at = end == std::string::npos ? text.size() : end + 2;
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        EXPECT_EQ(fields.size(), 7u) << line;
        if (fields.size() == 7)
            events.emplace_back(fields[5], fields[6]);
    }
    return events;
}

std::vector<std::string> Details(const std::string& event) {
    std::vector<std::string> details;
    for (const auto& [word, text] : Events()) {
        if (word == event)
            details.push_back(text);
    }
    return details;
}

TEST(Log, AStartThatRegistersWritesItsEventsInOrder) {
    World().commandLineArgs = L"/langen /log vintrel.log /nosub";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    using Event = std::pair<std::string, std::string>;
    EXPECT_THAT(
        Events(),
        ElementsAre(
            Event{"start",
                  "Orvantis 9.8.7; command line: /langen /log vintrel.log /nosub; ignored: nosub"},
            Event{"office", "12.0"}, Event{"slot", "12.0: Location0"}, Event{"write", "12.0: ok"},
            Event{"box", "shown: Vintrel: \"D:\\Tools\\\" added to the trusted locations."},
            Event{"end", "exit code 0"}));
}

TEST(Log, TellsWhereAutoFoundTheVersionAndWhichSlotsWereTaken) {
    doubles::SetString(doubles::kClassesRoot + L"Access.Application\\CurVer", L"",
                       L"Access.Application.16");
    doubles::SetString(Slot(0), L"Path", L"C:\\Other\\");
    doubles::SetString(Slot(1), L"Path", L"D:\\Tools\\");
    World().commandLineArgs = L"/s /once /office 12.0 /office auto /log \"%TEMP%\\v.log\"";

    basMain::Main();

    const auto events = Events(L"C:\\Users\\anna\\AppData\\Local\\Temp\\v.log");
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[1].second,
              "12.0, 16.0; auto read \"Access.Application.16\" from "
              "HKEY_CLASSES_ROOT\\Access.Application\\CurVer");
    EXPECT_EQ(events[2].second, "12.0: already registered in Location1");
    EXPECT_EQ(events[3].second, "16.0: Location0");
}

TEST(Log, AFailedWriteNamesTheValueAndWindowsError) {
    World().deniedValues.insert(L"Path");
    World().commandLineArgs = L"/s /log vintrel.log";

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_THAT(Details("write"),
                ElementsAre("12.0 Path: error 5 (Access is denied.); what this run wrote is "
                            "taken back"));
}

// A slot key that cannot be deleted again is named as such, never as taken back; the rest goes.
TEST(Log, ARollbackStepThatFailsIsLoggedAsNotTakenBack) {
    doubles::SetString(Slot(0), L"Path", L"C:\\Other\\");
    World().deniedValues.insert(L"AllowSubfolders");
    World().unbindable.insert("RegDeleteKeyW");
    World().commandLineArgs = L"/s /log vintrel.log";

    EXPECT_EQ(basMain::Main(), basMain::kRegistryError);

    EXPECT_THAT(
        Details("write"),
        ElementsAre("12.0 AllowSubfolders: error 5 (Access is denied.); what this run "
                    "wrote could not all be taken back",
                    "not taken back: Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted "
                    "Locations\\Location1: error 453 (DLL-Einsprungpunkt RegDeleteKeyW "
                    "in advapi32.dll "
                    "nicht gefunden)"));
    EXPECT_FALSE(doubles::GetValue(Slot(1), L"Path")) << "the values went all the same";
}

TEST(Log, WithoutLogNothingIsWrittenAnywhere) {
    World().commandLineArgs = L"/s";

    basMain::Main();

    EXPECT_EQ(doubles::Log().appendCalls, 0);
}

TEST(Log, ALogThatCannotBeWrittenChangesNothingElse) {
    doubles::Log().unwritable.insert(kLog);
    World().commandLineArgs = L"/log vintrel.log";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(doubles::Log().appendCalls, 1) << "given up after the first line failed";
}

// Each run that would show boxes, once as it is and once with /quiet: no box at all then, the
// same exit code, and every box's title and text in the log.
struct BoxedRun {
    const char* name;
    void (*seed)();
    const wchar_t* commandLine;
    std::vector<std::string> slotsLogged;
    std::vector<std::string> boxesLogged;
};

void PrintTo(const BoxedRun& run, std::ostream* out) {
    *out << run.name;
}

class Quiet : public ::testing::TestWithParam<BoxedRun> {};

TEST_P(Quiet, ShowsNoBoxAndEndsAlike) {
    const BoxedRun& run = GetParam();
    run.seed();
    World().commandLineArgs = run.commandLine;
    const int loud = basMain::Main();
    ASSERT_EQ(World().boxes.size(), run.boxesLogged.size());

    doubles::ResetWorld();
    run.seed();
    World().commandLineArgs = std::wstring(run.commandLine) + L" /quiet /log vintrel.log";
    const int quiet = basMain::Main();

    EXPECT_EQ(quiet, loud);
    EXPECT_THAT(World().boxes, IsEmpty());
    EXPECT_EQ(Details("slot"), run.slotsLogged);
    EXPECT_EQ(Details("box"), run.boxesLogged);
    EXPECT_EQ(Details("end"), std::vector<std::string>{"exit code " + std::to_string(loud)});
}

void Nothing() {}
void AllTaken() {
    for (int n = 0; n <= 1000; ++n)
        doubles::SetString(Slot(n), L"Path", L"C:\\Belegt\\");
}
void ZeroBytePath() {
    doubles::SetValue(Slot(0), L"Path", platform::kRegSz, {});
}
void DeniedPath() {
    World().deniedValues.insert(L"Path");
}
void LockHeld() {
    World().lockAvailable = false;
}
void OwnEntryInSlot1() {
    doubles::SetString(Slot(1), L"Path", L"D:\\Tools\\");
    doubles::SetString(Slot(1), L"Description", L"Set by Vintrel");
}

const BoxedRun kBoxedRuns[] = {
    {"Refusal",
     Nothing,
     L"/s /path C:",
     {},
     {"not shown (/quiet): Vintrel: Es ist nicht möglich einen vertrauenswürdigen Speicherort auf "
      "ein Laufwerk direkt anzulegen."}},
    {"AllSlotsTaken",
     AllTaken,
     L"/langen",
     {"12.0: none free"},
     {"not shown (/quiet): Vintrel: All trusted locations are taken. The folder was not added."}},
    {"HelpersErrorBox",
     ZeroBytePath,
     L"",
     {"12.0: Location0"},
     {"not shown (/quiet): Fehler in \"fnc_Reg_String_Lesen\": Es ist ein Fehler aufgetreten.  "
      "In Function: fnc_Reg_String_Lesen Fehlernummer: 5 Beschreibung: Ungültiger "
      "Prozeduraufruf oder ungültiges Argument",
      "not shown (/quiet): Vintrel: \"D:\\Tools\\\" wurde zu den Vertrauenswürdigen "
      "Speicherorten hinzugefügt."}},
    {"FailedWrite",
     DeniedPath,
     L"/s /langen",
     {"12.0: Location0"},
     {"not shown (/quiet): Vintrel: \"D:\\Tools\\\" could not be added to the trusted "
      "locations. Access is denied."}},
    {"LockNotHad",
     LockHeld,
     L"/s /langen",
     {},
     {"not shown (/quiet): Vintrel: Another Vintrel run does not respond. The folder was not "
      "added."}},
};

// With /remove: slots found, what went, and the box; /network is ignored and says so.
const BoxedRun kRemovals[] = {
    {"Removed",
     OwnEntryInSlot1,
     L"/remove /network",
     {"12.0: Location1"},
     {"not shown (/quiet): Vintrel: \"D:\\Tools\\\" wurde aus den Vertrauenswürdigen "
      "Speicherorten entfernt."}},
    {"NotRegistered",
     Nothing,
     L"/remove /langen /office 12.0 /office 16.0",
     {"12.0: none holds the folder", "16.0: none holds the folder"},
     {"not shown (/quiet): Vintrel: \"D:\\Tools\\\" was not a trusted location."}},
    {"LockNotHad",
     LockHeld,
     L"/remove /langen /s",
     {},
     {"not shown (/quiet): Vintrel: Another Vintrel run does not respond. The folder was not "
      "removed."}},
};

INSTANTIATE_TEST_SUITE_P(Removals, Quiet, ::testing::ValuesIn(kRemovals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Log, ARemovalTellsWhatWentAndThatNetworkLocationsWereLeftAlone) {
    OwnEntryInSlot1();
    doubles::SetString(Slot(3), L"Path", L"D:\\Tools\\");
    World().commandLineArgs = L"/s /remove /network /log vintrel.log";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_THAT(Details("write"),
                ElementsAre("AllowNetworkLocations left as it is: /network ignored with /remove",
                            "12.0: Location1 removed"));
}

INSTANTIATE_TEST_SUITE_P(Runs, Quiet, ::testing::ValuesIn(kBoxedRuns),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The Log policy names the log, expanded and taken from the program's folder as /log is; what
// the policies set and set aside follows the start line.
TEST(Log, PoliciesComeBeforeTheSwitchesAndTheLogSaysSo) {
    doubles::SetPolicy(platform::PolicyScope::User, L"Log", doubles::PolicyText(L"logs\\v.log"));
    doubles::SetPolicy(platform::PolicyScope::User, L"EventLog", doubles::PolicyText(L"1"));
    World().commandLineArgs = L"/log vintrel.log /quiet";
    EXPECT_EQ(basMain::Main(), basMain::kRegistered);
    EXPECT_THAT(doubles::Log().files[kLog], IsEmpty());
    const std::vector<std::pair<std::string, std::string>> events =
        Events(L"D:\\Tools\\logs\\v.log");
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events[0].first, "start");
    EXPECT_THAT(std::vector(events.begin() + 1, events.begin() + 4),
                ElementsAre(std::pair{"policy", "Log \"logs\\v.log\" from the user policy"},
                            std::pair{"policy",
                                      "/log \"vintrel.log\" ignored: the user policy "
                                      "Log beats the command line"},
                            std::pair{"policy",
                                      "EventLog in the user policy ignored: not of "
                                      "type REG_DWORD"}));
    EXPECT_EQ(events[4].first, "office");
}

}  // namespace
