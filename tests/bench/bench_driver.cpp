// Measures the programs under Wine for scripts/bench (see bench.h for what it prints).
//   bench_driver registrar RUNS
//   bench_driver launcher RUNS STANDIN_FOLDER
//   bench_driver refresh|script-refresh APP_FOLDER CASE ROUND
//   bench_driver pull APP_FOLDER MASTER_FOLDER LOCAL_FOLDER CASE ROUND
//   bench_driver splash-gaps APP_FOLDER CASE ROUND
//   bench_driver sizes
// Folders may be given as unix paths.
#include <cstdio>
#include <cwchar>
#include <string>

#include "bench.h"
#include "harness.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_driver registrar RUNS | launcher RUNS STANDIN_FOLDER | "
                 "refresh|script-refresh APP_FOLDER CASE ROUND | "
                 "pull APP_FOLDER MASTER_FOLDER LOCAL_FOLDER CASE ROUND | "
                 "splash-gaps APP_FOLDER CASE ROUND | sizes\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    const auto argument = [&](int index) { return std::wstring(index < argc ? argv[index] : L""); };
    const int runs = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 0;
    bool ok = false;
    if (command == L"registrar" && argc == 3 && runs > 0) {
        ok = bench::MeasureRegistrar(runs);
    } else if (command == L"launcher" && argc == 4 && runs > 0) {
        ok = bench::MeasureLauncherStart(runs, harness::WinePathOf(argument(3)));
    } else if ((command == L"refresh" || command == L"script-refresh") && argc == 5) {
        ok =
            bench::MeasureRefreshRun(harness::WinePathOf(argument(2)), harness::Narrow(argument(3)),
                                     std::wcstol(argv[4], nullptr, 10), command != L"refresh");
    } else if (command == L"pull" && argc == 7) {
        ok = bench::MeasurePullRun(harness::WinePathOf(argument(2)),
                                   harness::WinePathOf(argument(3)),
                                   harness::WinePathOf(argument(4)), harness::Narrow(argument(5)),
                                   std::wcstol(argv[6], nullptr, 10));
    } else if (command == L"splash-gaps" && argc == 5) {
        ok =
            bench::MeasureSplashGaps(harness::WinePathOf(argument(2)), harness::Narrow(argument(3)),
                                     std::wcstol(argv[4], nullptr, 10));
    } else if (command == L"sizes" && argc == 2) {
        ok = bench::MeasureSizes();
    } else {
        return Usage();
    }
    return ok ? 0 : 1;
}
