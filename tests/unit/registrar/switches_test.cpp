// The switch table, seen through what Main does with each command line: the folder it registers,
// whether it allows subfolders, whether it reports, and in which language.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "basMain.h"
#include "common/log_double.h"
#include "common/policy_double.h"
#include "registrar/registrar_world.h"

namespace {

const std::wstring kSlot0 =
    L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations\\Location0";

struct Settings {
    const wchar_t* commandLine;
    std::wstring folder;  // as written to "Path"
    bool subfolders;
    bool silent;
    bool german;
    bool network = false;
    bool once = false;
    bool quiet = false;
    const wchar_t* log = L"";  // the /log value as given, quotes removed (or the Log policy's)
    // Set as Group Policy would before the run.
    std::vector<std::tuple<platform::PolicyScope, const wchar_t*, doubles::StoredPolicy>> policies =
        {};
    bool eventLog = false;
};

void PrintTo(const Settings& settings, std::ostream* out) {
    for (const wchar_t* c = settings.commandLine; *c; ++c)
        *out << static_cast<char>(*c);
}

class SwitchTable : public ::testing::TestWithParam<Settings> {};

TEST_P(SwitchTable, GivesTheSettings) {
    const Settings& expected = GetParam();
    doubles::World().commandLineArgs = expected.commandLine;
    for (const auto& [scope, name, value] : expected.policies)
        doubles::SetPolicy(scope, name, value);

    basMain::Main();

    const auto path = doubles::GetValue(kSlot0, L"Path");
    ASSERT_TRUE(path);
    EXPECT_EQ(doubles::TextOf(*path), expected.folder);
    EXPECT_EQ(doubles::GetValue(kSlot0, L"AllowSubfolders").has_value(), expected.subfolders);
    EXPECT_EQ(basMain::bMeldung, !expected.silent);
    EXPECT_EQ(basMain::bDeutsch, expected.german);
    EXPECT_EQ(basMain::allowNetworkLocations, expected.network);
    EXPECT_EQ(basMain::registerOnce, expected.once);
    EXPECT_EQ(basMain::quiet, expected.quiet);
    EXPECT_EQ(basMain::logFile, expected.log);
    EXPECT_EQ(basMain::eventLog, expected.eventLog);
    // With /eventlog the run's events are reported, from start (1) to end (8), also without /log.
    const auto& reported = doubles::Log().reported;
    EXPECT_EQ(reported.empty(), !expected.eventLog);
    if (!reported.empty()) {
        EXPECT_EQ(reported.front().eventId, 1u);
        EXPECT_EQ(reported.back().eventId, 8u);
    }
    if (expected.silent || expected.quiet) {
        EXPECT_TRUE(doubles::World().boxes.empty());
    } else {
        ASSERT_EQ(doubles::World().boxes.size(), 1u);
        const std::wstring ending =
            expected.german ? L" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt."
                            : L" added to the trusted locations.";
        EXPECT_EQ(doubles::World().boxes[0].text, L"\"" + expected.folder + L"\"" + ending);
    }

    // The same command line with /remove finds the folder as it was written, and takes it out.
    doubles::World().commandLineArgs = std::wstring(expected.commandLine) + L" /remove";
    EXPECT_EQ(basMain::Main(), basMain::kRegistered);
    EXPECT_FALSE(doubles::KeyExists(kSlot0));
}

// A folder added one way and removed another: letter case, a trailing backslash and quotes do not
// matter; any other difference names another folder, whose entry stays.
struct Removal {
    const wchar_t* added;
    const wchar_t* removing;
    bool removed;
};

void PrintTo(const Removal& row, std::ostream* out) {
    for (const wchar_t* c = row.removing; *c; ++c)
        *out << static_cast<char>(*c);
}

class RemovalSpellings : public ::testing::TestWithParam<Removal> {};

TEST_P(RemovalSpellings, MatchTheFolderAsItWasWritten) {
    doubles::World().commandLineArgs = std::wstring(GetParam().added) + L" /s";
    basMain::Main();
    ASSERT_TRUE(doubles::KeyExists(kSlot0));
    doubles::World().commandLineArgs = std::wstring(GetParam().removing) + L" /s /remove";

    EXPECT_EQ(basMain::Main(), basMain::kRegistered);

    EXPECT_NE(doubles::KeyExists(kSlot0), GetParam().removed);
}

const Removal kRemovals[] = {
    {L"", L"/path D:\\Tools", true},
    {L"/path D:\\Data", L"/path \"d:\\DATA\\\"", true},
    {L"/path \"D:\\My Data\\\"", L"/path D:\\my data", true},
    {L"/path D:\\Data", L"", false},
    {L"/path D:\\Data", L"/path D:\\Dat", false},
    {L"/path D:\\Data", L"/path D:\\Data\\Sub", false},
    {L"/path D:\\Data\\Sub", L"/path D:\\Data", false},
    {L"/path D:\\Data", L"/path D:\\Data.", false},
    {L"/path D:\\Data", L"/path \\\\srv\\d\\Data", false},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, RemovalSpellings, ::testing::ValuesIn(kRemovals));

// The program lies in D:\Tools.
const Settings kTable[] = {
    {L"", L"D:\\Tools\\", true, false, true},
    {L"/s /langen", L"D:\\Tools\\", true, true, false},
    {L"/S/LangEN/NoSubFolder", L"D:\\Tools\\", false, true, false},
    {L"\"/s /langen\"", L"D:\\Tools\\", true, true, false},
    {L"/nosubfolder", L"D:\\Tools\\", false, false, true},
    {L"/silent /-s /ss /lang /langenx /nosubfolders", L"D:\\Tools\\", true, false, true},
    {L"-s", L"D:\\Tools\\", true, false, true},
    {L"/s / /langen", L"D:\\Tools\\", true, true, false},
    {L"/path D:\\My Data", L"D:\\My Data\\", true, false, true},
    {L"/PATH d:\\Daten", L"d:\\Daten\\", true, false, true},
    {L"/pathD:\\Daten", L"D:\\Daten\\", true, false, true},
    {L"/path D:\\Data\\", L"D:\\Data\\", true, false, true},
    {L"/path", L"D:\\Tools\\", true, false, true},
    {L"/path    ", L"D:\\Tools\\", true, false, true},
    {L"/path D:\\A /path", L"D:\\A\\", true, false, true},
    {L"/path D:\\A /path D:\\B", L"D:\\B\\", true, false, true},
    {L"/path D:\\A/B", L"D:\\A\\", true, false, true},
    {L"pathfinder", L"finder\\", true, false, true},
    {L"/path=D:\\X", L"=D:\\X\\", true, false, true},
    {L"/path \"D:\\My Data\"", L"D:\\My Data\\", true, false, true},
    {L"/path   \"D:\\My Data\"  ", L"D:\\My Data\\", true, false, true},
    {L"/path \"\"", L"D:\\Tools\\", true, false, true},
    // A double quote is never part of a folder name: every one is dropped, then the blanks.
    {L"/path \"D:\\My Data", L"D:\\My Data\\", true, false, true},
    {L"/path D:\\My \"Data\"", L"D:\\My Data\\", true, false, true},
    {L"/path \" D:\\X \"", L"D:\\X\\", true, false, true},
    // Each argument quoted: the quoted switch word stays unknown.
    {L"\"/s\" /path \"D:\\My Data\"", L"D:\\My Data\\", true, false, true},
    {L"/network /once /office", L"D:\\Tools\\", true, false, true, true, true},
    {L"/NETWORK /Once", L"D:\\Tools\\", true, false, true, true, true},
    {L"/Network/ONCE", L"D:\\Tools\\", true, false, true, true, true},
    {L"/networks /onc /once2", L"D:\\Tools\\", true, false, true},
    {L"/QUIET", L"D:\\Tools\\", true, false, true, false, false, true},
    {L"/quieter /quit /-quiet", L"D:\\Tools\\", true, false, true},
    {L"/Log \"%TEMP%\\v.log\" /quiet", L"D:\\Tools\\", true, false, true, false, false, true,
     L"%TEMP%\\v.log"},
    {L"/log a.log /log /LOG b.log", L"D:\\Tools\\", true, false, true, false, false, false,
     L"b.log"},
    {L"/path \t D:\\X", L"\t D:\\X\\", true, false, true},
    // The Log and EventLog policies beat /log (machine before user); the other switches stay.
    {L"/log a.log /s",
     L"D:\\Tools\\",
     true,
     true,
     true,
     false,
     false,
     false,
     L"%TEMP%\\m.log",
     {{platform::PolicyScope::Machine, L"Log",
       doubles::PolicyText(L"%TEMP%\\m.log", platform::kRegExpandSz)},
      {platform::PolicyScope::User, L"Log", doubles::PolicyText(L"u.log")},
      {platform::PolicyScope::User, L"EventLog", doubles::PolicyNumber(1)}},
     true},
    // Wrong values count as not set; the Master policy is the launchers' alone.
    {L"/log a.log",
     L"D:\\Tools\\",
     true,
     false,
     true,
     false,
     false,
     false,
     L"a.log",
     {{platform::PolicyScope::Machine, L"Log", doubles::PolicyText(L"")},
      {platform::PolicyScope::User, L"Log", doubles::PolicyNumber(1)},
      {platform::PolicyScope::Machine, L"EventLog", doubles::PolicyNumber(7)},
      {platform::PolicyScope::Machine, L"Master", doubles::PolicyText(L"D:\\Other")}}},
    {L"/EventLog /s", L"D:\\Tools\\", true, true, true, false, false, false, L"", {}, true},
    {L"/eventlogs /event /-eventlog /logevent", L"D:\\Tools\\", true, false, true, false, false,
     false, L"event"},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, SwitchTable, ::testing::ValuesIn(kTable));

}  // namespace
