// One start of Renvale with (or without) a staged copy waiting. No automation server is
// registered, so the launch fails at once and the run is the refresh plus the launcher's fixed
// costs; scripts/bench runs it with and without a staged copy, copies the same file with cp
// between runs, and checks the files afterwards.
#include <string>

#include "bench.h"
#include "harness.h"

namespace bench {

bool MeasureRefreshRun(const std::wstring& appFolder, const std::string& caseName, int round) {
    const Timed run = TimeToExit(appFolder + L"\\Renvale.exe", L"", true);
    if (!run.ended) {
        Complain("Renvale did not end well in " + harness::Narrow(appFolder));
        return false;
    }
    PrintSample("refresh", caseName, run.milliseconds, round);
    PrintSample("memory", caseName, static_cast<double>(run.peakWorkingSet), round);
    return true;
}

}  // namespace bench
