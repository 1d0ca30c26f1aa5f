// Which Access versions get AutomationSecurity = 1, for each launcher.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "LaunchDatabase.h"
#include "launchers/access_double.h"
#include "launchers/files_double.h"
#include "launchers/journal.h"

namespace {

using platform::AutomationValue;

struct VersionRow {
    const char* name;
    std::optional<AutomationValue> version;  // nullopt: the Version read fails
    bool renvaleSetsSecurity;
    bool tessalySetsSecurity;
};

void PrintTo(const VersionRow& row, std::ostream* out) {
    *out << row.name;
}

const VersionRow kVersionRows[] = {
    {"Access2000", std::wstring(L"9.0"), false, false},
    {"Access2003", std::wstring(L"11.0"), true, true},
    {"Access2002", std::wstring(L"10.0"), false, true},
    {"Access2007", std::wstring(L"12.0"), false, true},
    {"TrailingBlankAfter11", std::wstring(L"11.0 "), false, true},
    {"TrailingBlankAfter9", std::wstring(L"9.0 "), false, true},
    {"LeadingBlank", std::wstring(L" 11.0"), false, true},
    {"ExtraDigit", std::wstring(L"11.00"), false, true},
    {"MissingDigit", std::wstring(L"11."), false, true},
    {"MissingDigitOf9", std::wstring(L"9."), false, true},
    {"EmptyText", std::wstring(L""), false, true},
    {"NumberNotText", std::int32_t{11}, false, true},
    {"ShortNumber", std::int16_t{9}, false, true},
    {"EmptyValue", std::monostate{}, false, true},
    {"Boolean", true, false, true},
    // A comparison that cannot be evaluated counts as true, that is, as "equal".
    {"VersionReadFails", std::nullopt, true, false},
};

std::vector<doubles::Call> SecurityWrites() {
    std::vector<doubles::Call> writes;
    for (const doubles::Call& call : doubles::CallsOf({L"Put"})) {
        if (call.member == L"AutomationSecurity")
            writes.push_back(call);
    }
    return writes;
}

const doubles::Call kSecurityToLow{L"Put", L"AutomationSecurity", {std::int16_t{1}}};

class VersionRule : public testing::TestWithParam<VersionRow> {
  protected:
    void SetUp() override {
        doubles::AccessBehaviour access;
        access.version = GetParam().version;
        doubles::ResetAccess(access);
    }
};

TEST_P(VersionRule, Renvale) {
    Renvale::LaunchDatabase();
    const auto expected =
        GetParam().renvaleSetsSecurity ? std::vector{kSecurityToLow} : std::vector<doubles::Call>{};
    EXPECT_EQ(SecurityWrites(), expected);
}

TEST_P(VersionRule, Tessaly) {
    Module1::LaunchDatabase();
    const auto expected =
        GetParam().tessalySetsSecurity ? std::vector{kSecurityToLow} : std::vector<doubles::Call>{};
    EXPECT_EQ(SecurityWrites(), expected);
}

INSTANTIATE_TEST_SUITE_P(AccessVersions, VersionRule, testing::ValuesIn(kVersionRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VersionRuleWithoutAccess, RenvaleAttemptsTheWriteTessalyDoesNot) {
    doubles::ResetFiles();
    doubles::AccessBehaviour access;
    access.registered = false;

    doubles::ResetAccess(access);
    Renvale::LaunchDatabase();
    EXPECT_EQ(SecurityWrites(), std::vector{kSecurityToLow});

    doubles::ResetAccess(access);
    Module1::LaunchDatabase();
    EXPECT_EQ(SecurityWrites(), std::vector<doubles::Call>{});
}

}  // namespace
