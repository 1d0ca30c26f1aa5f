// The launchers' command line: Windows' splitting rules, then the switches they take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "LauncherSwitches.h"

namespace {

using Words = std::vector<std::wstring>;

struct SplitRow {
    const wchar_t* commandLine;
    Words arguments;
};

// Microsoft's documented examples, and what Windows does with quotes the documents leave open.
TEST(CommandLine, IsSplitByWindowsRules) {
    const SplitRow rows[] = {
        {L"R.exe", {L"R.exe"}},
        {L"\"C:\\Program Files\\R.exe\" /log x", {L"C:\\Program Files\\R.exe", L"/log", L"x"}},
        // The program's name knows no escapes.
        {L"\"C:\\Dir\\\" a", {L"C:\\Dir\\", L"a"}},
        {L"R.exe \"abc\" d e", {L"R.exe", L"abc", L"d", L"e"}},
        {L"R.exe a\\\\b d\"e f\"g h", {L"R.exe", L"a\\\\b", L"de fg", L"h"}},
        {L"R.exe a\\\\\\\"b c d", {L"R.exe", L"a\\\"b", L"c", L"d"}},
        {L"R.exe a\\\\\\\\\"b c\" d e", {L"R.exe", L"a\\\\b c", L"d", L"e"}},
        // A doubled quote inside a quoted part is one quote, and ends the part.
        {L"R.exe a\"b\"\" c d", {L"R.exe", L"ab\"", L"c", L"d"}},
        {L"R.exe \"a\"\"\"b c\"", {L"R.exe", L"a\"b c"}},
        {L"R.exe \"\"\"", {L"R.exe", L"\""}},
        {L"R.exe \"\"", {L"R.exe", L""}},
        // Blanks and tabs separate; a folder ending in a backslash before its closing quote.
        {L"R.exe\t /from \t\"\\\\srv\\share\\\\\"  ", {L"R.exe", L"/from", L"\\\\srv\\share\\"}},
        {L"R.exe /from \"D:\\Orvantis\\\"", {L"R.exe", L"/from", L"D:\\Orvantis\""}},
        {L"R.exe C:\\a\\ b", {L"R.exe", L"C:\\a\\", L"b"}},
        {L"R.exe /log \"%TEMP%\\r l.log\"", {L"R.exe", L"/log", L"%TEMP%\\r l.log"}},
    };
    for (const SplitRow& row : rows)
        EXPECT_EQ(launchers::SplitCommandLine(row.commandLine), row.arguments) << row.commandLine;
}

struct SwitchRow {
    const char* name;
    Words arguments;
    bool renvale;
    std::optional<std::wstring> from, to, log;
    Words ignored;
    bool eventLog = false;
};

void PrintTo(const SwitchRow& row, std::ostream* out) {
    *out << row.name;
}

const SwitchRow kSwitchRows[] = {
    {"None", {}, true, {}, {}, {}, {}},
    {"AllThree",
     {L"/from", L"\\\\srv\\o", L"/to", L"D:\\L", L"/log", L"x.log"},
     true,
     L"\\\\srv\\o",
     L"D:\\L",
     L"x.log",
     {}},
    {"AnyCaseAndDash", {L"-FROM", L".", L"/To", L"l", L"-Log", L"y"}, true, L".", L"l", L"y", {}},
    {"UnknownWordsAreIgnored",
     {L"x", L"/from", L"m", L"/fromm", L"/", L"-", L"from", L"/f"},
     true,
     L"m",
     {},
     {},
     {L"x", L"/fromm", L"/", L"-", L"from", L"/f"}},
    {"SwitchWithoutValueAtTheEnd", {L"/log", L"a", L"/from"}, true, {}, {}, L"a", {L"/from"}},
    {"EmptyValueCountsAsNone", {L"/from", L"", L"/log", L"a"}, true, {}, {}, L"a", {L"/from", L""}},
    // The next argument is the value, whatever it looks like.
    {"ValueThatLooksLikeASwitch", {L"/log", L"/from", L"m"}, true, {}, {}, L"/from", {L"m"}},
    {"LastOneCounts",
     {L"/log", L"a", L"/log", L"b", L"/log"},
     true,
     {},
     {},
     L"b",
     {L"/log", L"a", L"/log"}},
    {"ToWithoutFrom", {L"/to", L"D:\\L", L"/log", L"a"}, true, {}, {}, L"a", {L"/to", L"D:\\L"}},
    {"TessalyTakesOnlyTheLog",
     {L"/from", L"m", L"/to", L"l", L"/log", L"a"},
     false,
     {},
     {},
     L"a",
     {L"/from", L"m", L"/to", L"l"}},
    // A switch without a value: the next argument is read as usual.
    {"EventLogTakesNoValue", {L"/eventlog", L"x", L"-EventLog"}, false, {}, {}, {}, {L"x"}, true},
    {"EventLogBesideTheOthers",
     {L"/from", L"m", L"/eventlog", L"/log", L"a", L"/eventlogs"},
     true,
     L"m",
     {},
     L"a",
     {L"/eventlogs"},
     true},
};

class Switches : public testing::TestWithParam<SwitchRow> {};

TEST_P(Switches, AreReadWithTheirValues) {
    const SwitchRow& row = GetParam();
    const launchers::LauncherSwitches read =
        launchers::ReadLauncherSwitches(row.arguments, row.renvale);
    EXPECT_EQ(read.from, row.from);
    EXPECT_EQ(read.to, row.to);
    EXPECT_EQ(read.log, row.log);
    EXPECT_EQ(read.ignored, row.ignored);
    EXPECT_EQ(read.eventLog, row.eventLog);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Switches, testing::ValuesIn(kSwitchRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
