// One start of Renvale, or of the script refresh, with (or without) a staged copy waiting. No
// automation server is registered, so Renvale's launch fails at once and the run is the refresh
// plus the launcher's fixed costs; scripts/bench runs each with and without a staged copy, copies
// the same file with cp between runs, and checks the files afterwards.
#include <string>

#include "bench.h"
#include "harness.h"

namespace bench {

bool MeasureRefreshRun(const std::wstring& appFolder, const std::string& caseName, int round,
                       bool scriptPeer) {
    const Command program = scriptPeer ? ScriptPeer(L"refresh.vbs", harness::Quoted(appFolder))
                                       : Command{appFolder + L"\\Renvale.exe"};
    const Timed run = TimeToExit(program, true);
    if (!run.ended) {
        Complain(harness::Narrow(program.exe) + " did not end well in " +
                 harness::Narrow(appFolder));
        return false;
    }
    PrintSample("refresh", caseName, run.milliseconds, round);
    PrintSample("memory", caseName, static_cast<double>(run.peakWorkingSet), round);
    return true;
}

}  // namespace bench
