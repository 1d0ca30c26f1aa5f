// The steps of the launch: their order and arguments, and that every failing step is absorbed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "LaunchDatabase.h"
#include "launchers/access_double.h"
#include "launchers/files_double.h"
#include "launchers/journal.h"

namespace {

using doubles::Call;
using platform::AutomationValue;
using testing::Contains;
using testing::ElementsAre;

class LaunchSteps : public testing::Test {
  protected:
    void SetUp() override { doubles::PutFile(L"C:\\App\\Orvantis.mde", "installed database"); }

    // Whatever happened, every reference is released and COM is left as it was found.
    void TearDown() override {
        EXPECT_EQ(doubles::LiveAccessReferences(), 0);
        EXPECT_EQ(doubles::OpenComApartments(), 0);
        const int release = doubles::PositionOf(L"Release");
        if (release >= 0) {
            EXPECT_LT(release, doubles::PositionOf(L"ComUninit"));
        }
    }

    static void Launch(const doubles::AccessBehaviour& access, std::int32_t& hWndAccess,
                       launchers::SecurityWhen rule = launchers::SecurityWhen::VersionEquals,
                       bool refresh = true) {
        doubles::ResetAccess(access);
        launchers::LaunchAccessDatabase(L"11.0", rule, refresh, hWndAccess);
    }
};

std::vector<Call> AccessAndWindowCalls() {
    return doubles::CallsOf({L"ComInit", L"CreateObject", L"Get", L"Put", L"Call", L"ShowWindow",
                             L"Release", L"ComUninit"});
}

const Call kComInit{L"ComInit", L"", {}};
const Call kCreate{L"CreateObject", L"", {std::wstring(L"Access.Application")}};
const Call kReadVersion{L"Get", L"Version", {}};
const Call kSecurityToLow{L"Put", L"AutomationSecurity", {std::int16_t{1}}};
const Call kOpen{L"Call", L"OpenCurrentDatabase", {std::wstring(L"C:\\App\\Orvantis.mde")}};
const Call kVisible{L"Put", L"Visible", {true}};
const Call kReadWindow{L"Get", L"hWndaccessApp", {}};
const Call kRelease{L"Release", L"", {}};
const Call kComUninit{L"ComUninit", L"", {}};

Call Maximise(std::int32_t window) {
    return {L"ShowWindow", L"", {window, std::int32_t{3}}};
}

TEST_F(LaunchSteps, RenvaleMakesEveryCallInOrderWithTypedArguments) {
    Renvale::LaunchDatabase();
    EXPECT_THAT(
        doubles::Journal(),
        ElementsAre(kComInit, kCreate, kReadVersion, kSecurityToLow,
                    Call{L"FileExists", L"", {std::wstring(L"C:\\App\\TEMP\\Orvantis.mde")}}, kOpen,
                    kVisible, kReadWindow, Maximise(0x000A0B2C), kRelease, kComUninit));
    EXPECT_EQ(doubles::OpenedDatabaseContent(), "installed database");
}

TEST_F(LaunchSteps, TessalyMakesTheSameCallsWithoutAnyFileOperation) {
    Module1::LaunchDatabase();
    EXPECT_THAT(doubles::Journal(),
                ElementsAre(kComInit, kCreate, kReadVersion, kSecurityToLow, kOpen, kVisible,
                            kReadWindow, Maximise(0x000A0B2C), kRelease, kComUninit));
}

TEST_F(LaunchSteps, RefreshRunsAfterTheSecuritySettingAndBeforeTheOpen) {
    doubles::PutFile(L"C:\\App\\TEMP\\Orvantis.mde", "staged database");
    Renvale::LaunchDatabase();

    // The journal as a sequence of phases: Access steps, file steps, Access steps.
    std::vector<std::wstring> phases;
    for (const Call& call : doubles::Journal()) {
        const bool fileStep = call.member.empty() && call.operation != L"ComInit" &&
                              call.operation != L"ComUninit" && call.operation != L"CreateObject" &&
                              call.operation != L"ShowWindow" && call.operation != L"Release";
        std::wstring phase = fileStep ? L"files" : call.operation + L" " + call.member;
        if (phases.empty() || phases.back() != phase || phase != L"files") {
            phases.push_back(phase);
        }
    }
    EXPECT_THAT(
        phases,
        ElementsAre(L"ComInit ", L"CreateObject ", L"Get Version", L"Put AutomationSecurity",
                    L"files", L"Call OpenCurrentDatabase", L"Put Visible", L"Get hWndaccessApp",
                    L"ShowWindow ", L"Release ", L"ComUninit "));
    EXPECT_EQ(doubles::OpenedDatabaseContent(), "staged database");
}

TEST_F(LaunchSteps, WithoutAccessRenvaleStillRefreshesAndCallsShowWindowWithZero) {
    doubles::PutFile(L"C:\\App\\TEMP\\Orvantis.mde", "staged database");
    doubles::AccessBehaviour noAccess;
    noAccess.registered = false;
    std::int32_t hWndAccess = 0;
    Launch(noAccess, hWndAccess);

    EXPECT_THAT(AccessAndWindowCalls(),
                ElementsAre(kComInit, kCreate, kReadVersion, kSecurityToLow, kOpen, kVisible,
                            kReadWindow, Maximise(0), kComUninit));
    EXPECT_EQ(doubles::FilesBelow(L"C:\\App"),
              (std::map<std::wstring, std::string>{{L"Orvantis.mde", "staged database"}}));
    EXPECT_EQ(doubles::OpenedDatabaseContent(), std::nullopt);
}

// Each failure is absorbed where it happens; the launch makes all of its later steps.
struct FailureRow {
    const char* name;
    void (*arrange)(doubles::AccessBehaviour&);
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    *out << row.name;
}

const FailureRow kFailureRows[] = {
    {"AutomationSecurityUnknown", [](auto& a) { a.knowsAutomationSecurity = false; }},
    {"OpenFails", [](auto& a) { a.openFails = true; }},
    {"DatabaseMissing", [](auto&) { doubles::ResetFiles(); }},
    {"VisibleFails", [](auto& a) { a.visibleFails = true; }},
    {"WindowHandleReadFails", [](auto& a) { a.windowHandle = std::nullopt; }},
    {"ShowWindowCannotBeBound", [](auto& a) { a.showWindowBindable = false; }},
    {"EverythingFails",
     [](auto& a) {
         a.knowsAutomationSecurity = false;
         a.openFails = true;
         a.visibleFails = true;
         a.windowHandle = std::nullopt;
         a.showWindowBindable = false;
     }},
};

class FailingStep : public LaunchSteps, public testing::WithParamInterface<FailureRow> {};

TEST_P(FailingStep, LaterStepsStillRun) {
    doubles::AccessBehaviour access;
    GetParam().arrange(access);
    std::int32_t hWndAccess = 0;
    Launch(access, hWndAccess);

    const std::int32_t window = access.windowHandle ? 0x000A0B2C : 0;
    EXPECT_THAT(AccessAndWindowCalls(),
                ElementsAre(kComInit, kCreate, kReadVersion, kSecurityToLow, kOpen, kVisible,
                            kReadWindow, Maximise(window), kRelease, kComUninit));
}

INSTANTIATE_TEST_SUITE_P(Failures, FailingStep, testing::ValuesIn(kFailureRows),
                         [](const auto& info) { return std::string(info.param.name); });

// What hWndAccessApp answers, and the handle ShowWindow then gets when hWndAccess held 99.
struct HandleRow {
    const char* name;
    std::optional<AutomationValue> answer;
    std::int32_t shown;
};

void PrintTo(const HandleRow& row, std::ostream* out) {
    *out << row.name;
}

const HandleRow kHandleRows[] = {
    {"Long", std::int32_t{0x00120034}, 0x00120034},
    {"Integer", std::int16_t{77}, 77},
    {"LongLongInRange", std::int64_t{5000}, 5000},
    {"LongLongTooLarge", std::int64_t{1} << 40, 99},
    {"NegativeLong", std::int32_t{-2}, -2},
    {"DigitsText", std::wstring(L"4660"), 4660},
    {"SignedTextWithBlanks", std::wstring(L" -12 "), -12},
    {"LargestLongAsText", std::wstring(L"2147483647"), 2147483647},
    {"TextTooLarge", std::wstring(L"2147483648"), 99},
    {"TextWithLetters", std::wstring(L"12ab"), 99},
    {"EmptyText", std::wstring(L""), 99},
    {"BooleanTrue", true, -1},
    {"ReadFails", std::nullopt, 99},
};

class WindowHandle : public LaunchSteps, public testing::WithParamInterface<HandleRow> {};

TEST_P(WindowHandle, IsConvertedToLongOrKeepsItsEarlierValue) {
    doubles::AccessBehaviour access;
    access.windowHandle = GetParam().answer;
    std::int32_t hWndAccess = 99;
    Launch(access, hWndAccess);

    EXPECT_EQ(hWndAccess, GetParam().shown);
    EXPECT_THAT(doubles::CallsOf({L"ShowWindow"}), ElementsAre(Maximise(GetParam().shown)));
}

INSTANTIATE_TEST_SUITE_P(Answers, WindowHandle, testing::ValuesIn(kHandleRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchSteps, EachLauncherKeepsItsWindowHandleInItsOwnModule) {
    doubles::AccessBehaviour access;
    access.windowHandle = std::int32_t{0x5501};
    doubles::ResetAccess(access);
    Renvale::LaunchDatabase();
    access.windowHandle = std::int32_t{0x5502};
    doubles::ResetAccess(access);
    Module1::LaunchDatabase();

    access.windowHandle = std::nullopt;
    doubles::ResetAccess(access);
    Renvale::LaunchDatabase();
    EXPECT_THAT(doubles::CallsOf({L"ShowWindow"}), ElementsAre(Maximise(0x5501)));
    doubles::ResetAccess(access);
    Module1::LaunchDatabase();
    EXPECT_THAT(doubles::CallsOf({L"ShowWindow"}), ElementsAre(Maximise(0x5502)));
}

TEST_F(LaunchSteps, DriveRootFolderGivesTwoBackslashesPassedUnchanged) {
    doubles::ResetFiles(L"D:\\");
    doubles::PutFile(L"D:\\Orvantis.mde", "installed database");
    doubles::PutFile(L"D:\\TEMP\\Orvantis.mde", "staged database");
    Renvale::LaunchDatabase();

    EXPECT_THAT(
        doubles::CallsOf({L"Call"}),
        ElementsAre(Call{L"Call", L"OpenCurrentDatabase", {std::wstring(L"D:\\\\Orvantis.mde")}}));
    EXPECT_THAT(doubles::CallsOf({L"FileExists"}),
                Contains(Call{L"FileExists", L"", {std::wstring(L"D:\\\\TEMP\\Orvantis.mde")}}));
    EXPECT_THAT(
        doubles::CallsOf({L"OpenToInstall"}),
        ElementsAre(Call{L"OpenToInstall", L"", {std::wstring(L"D:\\\\TEMP\\Orvantis.mde")}}));
    EXPECT_EQ(doubles::OpenedDatabaseContent(), "staged database");
    EXPECT_EQ(doubles::FilesBelow(L"D:\\"),
              (std::map<std::wstring, std::string>{{L"Orvantis.mde", "staged database"}}));
}

// However slow the files are, the window thread makes no file call of the refresh or the pull: it
// only waits. The refresh has no deadline (its folder is the one Access opens next), so 20 s per
// piece is waited for; the pull's pieces, within its deadline, too.
TEST_F(LaunchSteps, FileCallsOfTheRefreshAndThePullRunOnTheWorker) {
    doubles::PutFile(L"C:\\App\\TEMP\\Orvantis.mde", "staged database");
    doubles::Inject(&doubles::FileFaults::copyPieceMs, 20000);
    std::int32_t hWndAccess = 0;
    Launch({}, hWndAccess);
    EXPECT_EQ(doubles::FileContent(L"C:\\App\\Orvantis.mde"), "staged database");
    EXPECT_EQ(doubles::ClockNow(), 2 * 20000u);  // two pieces

    doubles::PutFile(L"S:\\Orvantis\\Orvantis.mde", "master database");
    doubles::Inject(&doubles::FileFaults::copyPieceMs, 10000);
    doubles::ResetAccess({});
    launchers::LaunchAccessDatabase(L"11.0", launchers::SecurityWhen::VersionEquals, true,
                                    hWndAccess,
                                    launchers::PerUserFolders{L"S:\\Orvantis", L"C:\\Mine"});
    EXPECT_EQ(doubles::OpenedDatabaseContent(), "master database");
    EXPECT_THAT(doubles::FileCallsOffWorker(), testing::IsEmpty());
}

}  // namespace
