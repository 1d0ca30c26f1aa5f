// One start of Renvale, or of the script refresh, with (or without) a staged copy waiting, or of
// Renvale pulling a user's copy (or finding it current). No automation server is registered, so
// Renvale's launch fails at once (exit code 1) and the run is the refresh or the pull plus the
// launcher's fixed costs; scripts/bench runs each with and without a copy to make, copies the
// same file with cp between runs, and checks the files afterwards.
#include <cstdio>
#include <string>

#include "bench.h"
#include "harness.h"

namespace bench {

namespace {

// Often enough to see a gap of a tenth of the target.
constexpr DWORD kProbeEveryMs = 15;

bool MeasureRun(const Command& program, const std::wstring& appFolder, const std::string& caseName,
                int round) {
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

}  // namespace

bool MeasureRefreshRun(const std::wstring& appFolder, const std::string& caseName, int round,
                       bool scriptPeer) {
    return MeasureRun(scriptPeer ? ScriptPeer(L"refresh.vbs", harness::Quoted(appFolder))
                                 : Command{appFolder + L"\\Renvale.exe", {}, 1},
                      appFolder, caseName, round);
}

bool MeasurePullRun(const std::wstring& appFolder, const std::wstring& master,
                    const std::wstring& local, const std::string& caseName, int round) {
    return MeasureRun({appFolder + L"\\Renvale.exe",
                       L"/from " + harness::Quoted(master) + L" /to " + harness::Quoted(local), 1},
                      appFolder, caseName, round);
}

bool MeasureSplashGaps(const std::wstring& appFolder, const std::string& caseName, int round) {
    harness::Process renvale = harness::Start(appFolder + L"\\Renvale.exe", L"");
    const HWND form = harness::WaitForWindow(renvale, L"OrvantisSplashForm");
    if (!form) {
        Complain("Renvale showed no splash in " + harness::Narrow(appFolder));
        return false;
    }
    const harness::Answering answering = harness::ProbeUntilGone(form, kProbeEveryMs);
    // Without Access the launch fails once the refresh is done: exit code 1.
    if (renvale.WaitForExit() != 1 || answering.answers == 0) {
        Complain("Renvale did not end well in " + harness::Narrow(appFolder));
        return false;
    }
    PrintSample("splash-gap", caseName, static_cast<double>(answering.longestGapMs), round);
    PrintSample("splash-unanswered", caseName, answering.unanswered, round);
    std::fprintf(stderr,
                 "splash probed for %llu ms, %d answers; the longest gap ended at %llu ms\n",
                 answering.probedMs, answering.answers, answering.longestGapEndedMs);
    for (const auto& [ended, length] : answering.gapsOver100Ms)
        std::fprintf(stderr, "  a gap of %llu ms ended at %llu ms\n", length, ended);
    return true;
}

}  // namespace bench
