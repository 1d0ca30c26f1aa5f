// Renvale configured by Group Policy alone: each policy's key, value name and type are read from
// the administrative template itself (tests/policies/admx-policies writes them into the file that
// ORVANTIS_ADMX_POLICIES names), set as Group Policy sets them, and must do what the template's
// explain text promises.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

const Bytes kLive = DatabaseBytes(24 * 1024, 5);
const Bytes kTraining = DatabaseBytes(28 * 1024, 6);

// One policy as the template writes it.
struct TemplatePolicy {
    std::wstring key, valueName;
    DWORD type = REG_NONE;
    DWORD enabled = 0;
};

std::wstring Widened(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// name, class, key, value name, type, enabled value, disabled value: one line per policy.
std::map<std::wstring, TemplatePolicy> TemplatePolicies() {
    std::map<std::wstring, TemplatePolicy> policies;
    const std::wstring file = EnvironmentValue(L"ORVANTIS_ADMX_POLICIES");
    const std::optional<Bytes> bytes = ReadFileBytes(WinePathOf(file));
    if (!bytes) {
        ADD_FAILURE() << "ORVANTIS_ADMX_POLICIES names no file (\"" << Narrow(file)
                      << "\"): run this suite through ctest (wine.e2e_group_policy)";
        return policies;
    }
    std::istringstream lines(std::string(bytes->begin(), bytes->end()));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        }
        if (fields.size() != 7)
            continue;
        EXPECT_EQ(fields[1], "Both") << line;
        TemplatePolicy& policy = policies[Widened(fields[0])];
        policy.key = Widened(fields[2]);
        policy.valueName = Widened(fields[3]);
        policy.type = fields[4] == "REG_DWORD"       ? REG_DWORD
                      : fields[4] == "REG_EXPAND_SZ" ? REG_EXPAND_SZ
                                                     : REG_SZ;
        policy.enabled = fields[5].empty() ? 0 : std::stoul(fields[5]);
    }
    return policies;
}

class GroupPolicy : public LauncherTest<> {
  protected:
    void SetUp() override {
        policies_ = TemplatePolicies();
        for (const wchar_t* name : {L"Master", L"LocalFolder", L"Log", L"EventLog"})
            ASSERT_TRUE(policies_.count(name)) << "the template has no policy " << Narrow(name);
        ClearPolicies();
        setup_ = InstallLauncher(CurrentTestName(), L"Renvale.exe");
        const std::wstring root = setup_.appFolder.substr(0, setup_.appFolder.rfind(L'\\'));
        live_ = root + L"\\live";
        training_ = root + L"\\training";
        ASSERT_TRUE(PutFile(live_ + L"\\Orvantis.mde", kLive));
        ASSERT_TRUE(PutFile(training_ + L"\\Orvantis.mde", kTraining));
        ASSERT_TRUE(PutFile(setup_.installed, DatabaseBytes(1024, 7)));
        local_ = ExpandEnvironment(kLocalFolder);
        ASSERT_TRUE(RemoveTree(local_));
    }
    void TearDown() override {
        ClearPolicies();
        RemoveTree(local_);
        LauncherTest<>::TearDown();
    }
    void ClearPolicies() {
        for (const auto& [name, policy] : policies_) {
            DeleteTree(HKEY_LOCAL_MACHINE, policy.key);
            DeleteTree(HKEY_CURRENT_USER, policy.key);
        }
    }
    // As Group Policy writes an enabled policy: its text, or its enabled number.
    void Set(HKEY scope, const wchar_t* name, const std::wstring& text = {}) {
        const TemplatePolicy& policy = policies_.at(name);
        ASSERT_TRUE(
            WriteValue(scope, policy.key, policy.valueName, policy.type,
                       policy.type == REG_DWORD ? DwordBytes(policy.enabled) : StringBytes(text)));
    }
    static std::wstring ExpandEnvironment(const std::wstring& text) {
        wchar_t expanded[MAX_PATH] = {};
        ExpandEnvironmentStringsW(text.c_str(), expanded, MAX_PATH);
        return expanded;
    }
    // The last open Access was asked for, and what it found there.
    StandInCall LastOpen() const {
        const std::vector<StandInCall> opens =
            CallsTo(ReadStandInCalls(setup_.standInFolder), L"OpenCurrentDatabase");
        return opens.empty() ? StandInCall{} : opens.back();
    }
    std::string LogText() const {
        const std::optional<Bytes> bytes = ReadFileBytes(setup_.appFolder + L"\\" + kLogName);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }

    // Written unexpanded into REG_EXPAND_SZ values; a relative log is taken from the program's
    // folder.
    static constexpr wchar_t kLocalFolder[] = L"%LOCALAPPDATA%\\OrvantisGroupPolicyTest";
    static constexpr wchar_t kLogName[] = L"renvale-policy.log";
    std::map<std::wstring, TemplatePolicy> policies_;
    LauncherSetup setup_;
    std::wstring live_, training_, local_;
};

// A plain start pulls from the policy's master into the policy's local folder and logs into the
// policy's log; the machine's master then beats the user's, and a /from on the command line is
// ignored with a line that says why.
TEST_F(GroupPolicy, APlainStartIsConfiguredByPolicyAloneAndTheMachineWins) {
    Set(HKEY_CURRENT_USER, L"Master", training_);
    Set(HKEY_CURRENT_USER, L"LocalFolder", kLocalFolder);
    Set(HKEY_CURRENT_USER, L"Log", kLogName);
    ASSERT_EQ(RunLauncher(setup_), 0u);
    EXPECT_EQ(ReadFileBytes(local_ + L"\\Orvantis.mde"), kTraining);
    EXPECT_EQ(LastOpen().arguments,
              std::vector<std::wstring>{L"BSTR:" + local_ + L"\\Orvantis.mde"});
    EXPECT_EQ(LastOpen().details, OpenedDetails(kTraining));
    const std::string firstLog = LogText();
    EXPECT_NE(firstLog.find("\tstart\t"), std::string::npos) << firstLog;
    EXPECT_NE(firstLog.find("\tpolicy\tMaster \"" + Narrow(training_) + "\" from the user policy"),
              std::string::npos)
        << firstLog;

    Set(HKEY_LOCAL_MACHINE, L"Master", live_);
    Set(HKEY_LOCAL_MACHINE, L"EventLog");
    ASSERT_EQ(RunLauncher(setup_, L"/from " + Quoted(training_) + L" /log other.log"), 0u);
    EXPECT_EQ(ReadFileBytes(local_ + L"\\Orvantis.mde"), kLive);
    EXPECT_EQ(LastOpen().details, OpenedDetails(kLive));
    EXPECT_FALSE(PathExists(setup_.appFolder + L"\\other.log"));
    const std::string log = LogText().substr(firstLog.size());
    for (const std::string& line : std::vector<std::string>{
             "\tpolicy\tMaster \"" + Narrow(live_) + "\" from the machine policy\r\n",
             "\tpolicy\t/from \"" + Narrow(training_) +
                 "\" ignored: the machine policy Master beats the command line\r\n",
             "\tpolicy\t/log \"other.log\" ignored: the user policy Log beats the command line\r\n",
             "\tpolicy\tEventLog 1 (on) from the machine policy\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << " in:\n" << log;
    // The master and the program's folder are never written.
    EXPECT_EQ(ReadFileBytes(training_ + L"\\Orvantis.mde"), kTraining);
    EXPECT_EQ(ReadFileBytes(setup_.installed), DatabaseBytes(1024, 7));
}

}  // namespace
