// Which Access versions get the low automation security: Renvale sets it for "11.0" only, Tessaly
// for everything but "9.0"; the comparison is exact, and an unreadable Version counts as equal.
#include <gtest/gtest.h>

#include <cstring>

#include "launcher_scenario.h"

namespace {

using namespace harness;

struct VersionCase {
    const char* name;
    const wchar_t* program;
    StandInConfig config;
    bool securitySet;
};

const VersionCase kVersionCases[] = {
    {"Renvale_Access2003", L"Renvale.exe", {{L"version", L"11.0"}}, true},
    {"Renvale_Access2000", L"Renvale.exe", {{L"version", L"9.0"}}, false},
    {"Renvale_Access2007", L"Renvale.exe", {{L"version", L"12.0"}}, false},
    {"Renvale_TrailingBlank", L"Renvale.exe", {{L"version", L"11.0 "}}, false},
    {"Renvale_LeadingBlank", L"Renvale.exe", {{L"version", L" 11.0"}}, false},
    {"Renvale_MissingDigit", L"Renvale.exe", {{L"version", L"11."}}, false},
    {"Renvale_ExtraDigit", L"Renvale.exe", {{L"version", L"11.00"}}, false},
    {"Renvale_Empty", L"Renvale.exe", {{L"version", L""}}, false},
    {"Renvale_VersionUnreadable", L"Renvale.exe", {{L"version_fails", L"1"}}, true},
    {"Tessaly_Access2000", L"Tessaly.exe", {{L"version", L"9.0"}}, false},
    {"Tessaly_Access2003", L"Tessaly.exe", {{L"version", L"11.0"}}, true},
    {"Tessaly_Access2007", L"Tessaly.exe", {{L"version", L"12.0"}}, true},
    {"Tessaly_TrailingBlank", L"Tessaly.exe", {{L"version", L"9.0 "}}, true},
    {"Tessaly_MissingDigit", L"Tessaly.exe", {{L"version", L"9"}}, true},
    {"Tessaly_ExtraDigit", L"Tessaly.exe", {{L"version", L"9.00"}}, true},
    {"Tessaly_VersionUnreadable", L"Tessaly.exe", {{L"version_fails", L"1"}}, false},
};

using VersionRule = LauncherTest<testing::TestWithParam<VersionCase>>;

TEST_P(VersionRule, SetsTheLowAutomationSecurityOrLeavesItAlone) {
    const VersionCase& rule = GetParam();
    const std::wstring test = L"version-" + std::wstring(rule.name, rule.name + strlen(rule.name));
    const LauncherSetup setup = InstallLauncher(test, rule.program, rule.config);
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(4096, 1)));

    ASSERT_EQ(RunLauncher(setup), 0u);

    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    ASSERT_EQ(CallsTo(calls, L"Version").size(), 1u);
    const std::vector<StandInCall> security = CallsTo(calls, L"AutomationSecurity");
    if (rule.securitySet) {
        EXPECT_EQ(security,
                  (std::vector<StandInCall>{{L"AutomationSecurity", L"put", {L"I2:1"}, L""}}));
    } else {
        EXPECT_TRUE(security.empty());
    }
    // Either way the launch goes on to the open.
    EXPECT_EQ(CallsTo(calls, L"OpenCurrentDatabase").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothLaunchers, VersionRule, testing::ValuesIn(kVersionCases),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
