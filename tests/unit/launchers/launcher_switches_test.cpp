// The launchers' command line: Windows' splitting rules, then the switches they take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "LauncherSwitches.h"
#include "common/policy_double.h"

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

using platform::PolicyScope;
using Stored = doubles::StoredPolicy;
using Policy = std::tuple<PolicyScope, const wchar_t*, Stored>;
constexpr PolicyScope kMachine = PolicyScope::Machine;
constexpr PolicyScope kUser = PolicyScope::User;

using doubles::PolicyNumber;
using doubles::PolicyText;

struct SwitchRow {
    const char* name;
    Words arguments;
    bool renvale;
    std::optional<std::wstring> from, to, log;
    Words ignored;
    // Set as Group Policy would before the run, and the policy lines the log gets.
    std::vector<Policy> policies = {};
    Words notes = {};
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
    // /from without a usable value keeps per-user mode: the pull then refuses the master.
    {"FromWithoutValueAtTheEnd", {L"/log", L"a", L"/from"}, true, L"", {}, L"a", {}},
    {"EmptyFromKeepsPerUserMode", {L"/from", L"", L"/log", L"a"}, true, L"", {}, L"a", {}},
    {"FromFollowedByASwitch", {L"/from", L"/log", L"x"}, true, L"", {}, L"x", {}},
    {"FromWithAQuote",
     {L"/from", L"\\\\srv\\orvantis\" /log x"},
     true,
     L"\\\\srv\\orvantis\" /log x",
     {},
     {},
     {}},
    {"AValuedFromBeatsALaterBareOne", {L"/from", L"m", L"/from"}, true, L"m", {}, {}, {L"/from"}},
    {"EmptyValueCountsAsNone",
     {L"/to", L"", L"/log", L""},
     true,
     {},
     {},
     {},
     {L"/to", L"", L"/log", L""}},
    // A word that names a launcher switch is never a value: the switch before it has none.
    {"ValueThatIsASwitch", {L"/log", L"/from", L"."}, true, L".", {}, {}, {L"/log"}},
    {"ValueThatIsASwitchInAnyCase",
     {L"/from", L"m", L"/to", L"-LOG", L"/log", L"-TO"},
     true,
     L"m",
     {},
     {},
     {L"/to", L"-LOG", L"/log", L"-TO"}},
    {"TessalyNeverLogsIntoASwitch",
     {L"/log", L"/from", L"/log", L"/eventlog"},
     false,
     {},
     {},
     {},
     {L"/log", L"/from", L"/log"},
     {},
     {},
     true},
    {"ValueThatOnlyLooksLikeASwitch",
     {L"/log", L"-x.log", L"/from", L"/fromm"},
     true,
     L"/fromm",
     {},
     L"-x.log",
     {}},
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
    // Policies: the machine's value before the user's, each before its switch.
    {"MachinePolicyBeatsUserPolicyAndSwitches",
     {L"/from", L"m", L"/to", L"l", L"/log", L"a"},
     true,
     L"\\\\srv\\live",
     L"l",
     L"%TEMP%\\o.log",
     {},
     {{kMachine, L"Master", PolicyText(L"\\\\srv\\live")},
      {kUser, L"Master", PolicyText(L"\\\\srv\\training")},
      {kUser, L"Log", PolicyText(L"%TEMP%\\o.log", platform::kRegExpandSz)},
      {kUser, L"EventLog", PolicyNumber(1)}},
     {L"Master \"\\\\srv\\live\" from the machine policy",
      L"/from \"m\" ignored: the machine policy Master beats the command line",
      L"Log \"%TEMP%\\o.log\" from the user policy",
      L"/log \"a\" ignored: the user policy Log beats the command line",
      L"EventLog 1 (on) from the user policy"},
     true},
    // A Disabled EventLog policy writes 0: off, whatever the user's policy says.
    {"MasterPolicyAloneMeansPerUserMode",
     {L"/to", L"D:\\L"},
     true,
     L"M:\\",
     L"D:\\L",
     {},
     {},
     {{kUser, L"Master", PolicyText(L"M:\\")},
      {kMachine, L"EventLog", PolicyNumber(0)},
      {kUser, L"EventLog", PolicyNumber(1)}},
     {L"Master \"M:\\\" from the user policy", L"EventLog 0 (off) from the machine policy"}},
    {"LocalFolderPolicyBeatsTo",
     {L"/from", L"m", L"/to", L"l"},
     true,
     L"m",
     L"%LOCALAPPDATA%\\O",
     {},
     {},
     {{kMachine, L"LocalFolder", PolicyText(L"%LOCALAPPDATA%\\O", platform::kRegExpandSz)}},
     {L"LocalFolder \"%LOCALAPPDATA%\\O\" from the machine policy",
      L"/to \"l\" ignored: the machine policy LocalFolder beats the command line"}},
    {"LocalFolderPolicyWithoutMaster",
     {},
     true,
     {},
     {},
     {},
     {},
     {{kMachine, L"LocalFolder", PolicyText(L"D:\\O")}},
     {L"LocalFolder \"D:\\O\" from the machine policy ignored: no master folder (the Master "
      L"policy or /from)"}},
    // A value of another type, empty or out of range counts as not set; the next one counts.
    {"WrongValuesCountAsNotSet",
     {L"/from", L"m", L"/log", L"a"},
     true,
     L"\\\\srv\\o",
     {},
     L"a",
     {},
     {{kMachine, L"Master", PolicyNumber(1)},
      {kUser, L"Master", PolicyText(L"\\\\srv\\o")},
      {kMachine, L"LocalFolder", {platform::kRegSz, L"x", 0, 5}},
      {kMachine, L"Log", PolicyText(L"")},
      {kUser, L"Log", {platform::kRegBinary, L"", 0, 0}},
      {kMachine, L"EventLog", PolicyText(L"1")},
      {kUser, L"EventLog", PolicyNumber(2)}},
     {L"Master in the machine policy ignored: not of type REG_SZ or REG_EXPAND_SZ",
      L"Master \"\\\\srv\\o\" from the user policy",
      L"/from \"m\" ignored: the user policy Master beats the command line",
      L"LocalFolder in the machine policy ignored: unreadable: error 5 (Access is denied.)",
      L"Log in the machine policy ignored: empty",
      L"Log in the user policy ignored: not of type REG_SZ or REG_EXPAND_SZ",
      L"EventLog in the machine policy ignored: not of type REG_DWORD",
      L"EventLog in the user policy ignored: 2 is neither 0 (off) nor 1 (on)"}},
    {"TessalyIgnoresTheMasterPolicies",
     {L"/from", L"m", L"/log", L"a"},
     false,
     {},
     {},
     L"D:\\t.log",
     {L"/from", L"m"},
     {{kMachine, L"Master", PolicyText(L"M:\\")},
      {kUser, L"LocalFolder", PolicyText(L"")},
      {kUser, L"Log", PolicyText(L"D:\\t.log")}},
     {L"Master \"M:\\\" from the machine policy ignored: no per-user copies in this launcher",
      L"LocalFolder in the user policy ignored: empty", L"Log \"D:\\t.log\" from the user policy",
      L"/log \"a\" ignored: the user policy Log beats the command line"}},
    // A switch without a value: the next argument is read as usual.
    {"EventLogTakesNoValue",
     {L"/eventlog", L"x", L"-EventLog"},
     false,
     {},
     {},
     {},
     {L"x"},
     {},
     {},
     true},
    {"EventLogBesideTheOthers",
     {L"/from", L"m", L"/eventlog", L"/log", L"a", L"/eventlogs"},
     true,
     L"m",
     {},
     L"a",
     {L"/eventlogs"},
     {},
     {},
     true},
};

class Switches : public testing::TestWithParam<SwitchRow> {};

TEST_P(Switches, AreReadWithTheirValues) {
    const SwitchRow& row = GetParam();
    for (const auto& [scope, name, value] : row.policies)
        doubles::SetPolicy(scope, name, value);
    const launchers::LauncherSwitches read =
        launchers::ReadLauncherSettings(row.arguments, row.renvale);
    EXPECT_EQ(read.from, row.from);
    EXPECT_EQ(read.to, row.to);
    EXPECT_EQ(read.log, row.log);
    EXPECT_EQ(read.ignored, row.ignored);
    EXPECT_EQ(read.policyNotes, row.notes);
    EXPECT_EQ(read.eventLog, row.eventLog);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Switches, testing::ValuesIn(kSwitchRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
