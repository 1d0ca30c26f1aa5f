// The launchers' start, up to the moment Access is asked to open the database and to their end,
// against a minimal client that creates the same automation object and calls that one member, and
// against the script launcher; and Renvale's start with a log, with the Windows Event Log, per-user
// with its copy current (pulled in the uncounted first round), and with the policy keys present but
// no policy set, against its plain start. The stand-in server is started once before the first
// counted run and serves every run after it, as a running Access would; its record goes to a folder
// the caller chooses (a RAM file system keeps the stand-in's flushes of its record out of the
// figures).
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bench.h"
#include "harness.h"
#include "launcher_scenario.h"
#include "standin_control.h"

namespace bench {
namespace {

constexpr std::size_t kDatabaseBytes = 64 * 1024;

// The stand-in's windows all belong to one process when no run had to start a server of its own.
bool OneServerServedAll() {
    std::set<DWORD> servers;
    for (const harness::StandInWindow& window : harness::FindStandInWindows())
        servers.insert(window.processId);
    return servers.size() == 1;
}

// Group Policy's keys of the machine and of the user, without a value: what a site has when it
// imported the templates and set no policy yet.
constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\Orvantis";
const std::string kWithPolicyKeys = "Renvale-policy-keys";

bool PolicyKeys(bool present) {
    bool ok = true;
    for (const HKEY scope : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        ok = (present ? harness::CreateKey(scope, kPolicyKey)
                      : harness::DeleteTree(scope, kPolicyKey)) &&
             ok;
    return ok;
}

}  // namespace

bool MeasureLauncherStart(int runs, const std::wstring& standInFolder) {
    const std::wstring app = harness::MakeTestFolder(L"launcher");
    const std::wstring master = harness::MakeTestFolder(L"launcher-master");
    const std::wstring local = harness::MakeTestFolder(L"launcher-local");
    const std::vector<std::pair<std::string, Command>> programs = {
        {"minimal-client",
         {harness::CopyProgram(L"tests\\minimal_automation_client.exe", app,
                               L"minimal_automation_client.exe")}},
        {"Tessaly", {harness::CopyProgram(L"Tessaly.exe", app)}},
        {"Renvale", {harness::CopyProgram(L"Renvale.exe", app)}},
        // Right after the plain start, which it is held against.
        {kWithPolicyKeys, {app + L"\\Renvale.exe"}},
        {"Renvale-log", {app + L"\\Renvale.exe", L"/log " + harness::Quoted(app + L"\\bench.log")}},
        {"Renvale-eventlog", {app + L"\\Renvale.exe", L"/eventlog"}},
        {"Renvale-per-user",
         {app + L"\\Renvale.exe",
          L"/from " + harness::Quoted(master) + L" /to " + harness::Quoted(local)}},
        {"script", ScriptPeer(L"launcher.vbs", harness::Quoted(app + L"\\Orvantis.mde"))},
    };
    for (const auto& [name, program] : programs) {
        if (program.exe.empty())
            return false;
    }
    if (!harness::PutFile(app + L"\\Orvantis.mde", harness::DatabaseBytes(kDatabaseBytes, 1)) ||
        !harness::PutFile(master + L"\\Orvantis.mde", harness::DatabaseBytes(kDatabaseBytes, 1)) ||
        !harness::RegisterStandIn()) {
        Complain("cannot prepare the database or register the stand-in");
        return false;
    }
    if (!harness::SwitchStandInTo(standInFolder)) {
        Complain("cannot prepare the stand-in's folder " + harness::Narrow(standInFolder));
        return false;
    }

    bool ok = true;
    // Round 0 is not counted: it starts the stand-in server and fills the file cache.
    for (int round = 0; round <= runs && ok; ++round) {
        for (const auto& [name, program] : programs) {
            const bool policyKeys = name == kWithPolicyKeys;
            ok = (!policyKeys || PolicyKeys(true)) && ok;
            const Timed run = TimeToOpen(program, standInFolder);
            ok = (!policyKeys || PolicyKeys(false)) && run.ended && ok;
            if (round > 0) {
                PrintSample("launcher", name, run.milliseconds, round);
                PrintSample("launcher-whole", name, run.untilExit, round);
            }
        }
    }
    if (ok && !OneServerServedAll()) {
        Complain("the stand-in server was started more than once: the runs were not all warm");
        ok = false;
    }
    harness::EndAllStandIns();
    harness::UnregisterStandIn();
    return ok;
}

}  // namespace bench
