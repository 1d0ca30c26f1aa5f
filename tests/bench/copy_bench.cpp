// What the refresh's copy costs against a plain CopyFileW of the same file: the copy in pieces
// from the held staged copy (flushed as it goes), with and without the progress callback that
// lets the splash answer, and the time spent inside that callback (less what timing an empty
// callback costs), which the disk's ups and downs do not blur. Here no splash window exists, so the
// callback dispatches nothing and draws no bar; both happen only when there is something to paint.
// Built apart from bench_driver, like the programs, since it links their platform layer.
//   copy_bench STAGED_FILE CASE SIZE ROUND   CASE is plain, pieces or progress; prints
//                                            "sample copy CASE-SIZE MILLISECONDS ROUND" (bench.h)
#include <windows.h>

#include <platform.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>

#include "StagedRefresh.h"

// The bar is drawn by the splash form, which this driver has not got.
void platform::ShowCopyProgress(double) {}

namespace {

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

enum class Copy { Plain, Pieces, PiecesWithProgress };

// ms: the whole copy; inCallback: the part of it spent in the progress callback.
bool TimeCopy(const std::wstring& staged, const std::wstring& copy, Copy how, double& ms,
              double& inCallback) {
    DeleteFileW(copy.c_str());
    const double start = NowMs();
    bool copied = false;
    if (how == Copy::Plain) {
        copied = CopyFileW(staged.c_str(), copy.c_str(), FALSE) != FALSE;
    } else {
        platform::OpenFile source;
        platform::OpenFile destination;
        // Without the callback the same timing runs around nothing: what it measures then is the
        // cost of the timing itself.
        const platform::CopyProgress splash =
            how == Copy::Pieces ? [](std::uint64_t, std::uint64_t) {} : launchers::SplashProgress();
        const auto timed = [&](std::uint64_t done, std::uint64_t total) {
            const double called = NowMs();
            splash(done, total);
            inCallback += NowMs() - called;
        };
        copied = platform::OpenToInstall(staged, source) == platform::ToInstall::Opened &&
                 platform::CreateNewFile(copy, destination) == platform::NewFile::Created &&
                 platform::CopyContent(source, destination, timed);
    }
    ms = NowMs() - start;
    DeleteFileW(copy.c_str());
    return copied;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::pair<const wchar_t*, Copy> cases[] = {{L"plain", Copy::Plain},
                                                     {L"pieces", Copy::Pieces},
                                                     {L"progress", Copy::PiecesWithProgress}};
    const auto chosen =
        argc == 5 ? std::find_if(std::begin(cases), std::end(cases),
                                 [&](const auto& c) { return c.first == std::wstring(argv[2]); })
                  : std::end(cases);
    if (chosen == std::end(cases)) {
        std::fprintf(stderr, "usage: copy_bench STAGED_FILE plain|pieces|progress SIZE ROUND\n");
        return 2;
    }
    // A thread of Renvale's has a message queue, made by its window; here the first peek makes it.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    std::wstring staged = argv[1];
    if (!staged.empty() && staged[0] == L'/') {
        staged = L"Z:" + staged;
        for (wchar_t& c : staged) {
            if (c == L'/')
                c = L'\\';
        }
    }
    const std::wstring copy = staged.substr(0, staged.find_last_of(L'\\')) + L"\\bench-copy.tmp";
    double ms = 0;
    double inCallback = 0;
    if (!TimeCopy(staged, copy, chosen->second, ms, inCallback)) {
        std::fprintf(stderr, "copy_bench: cannot copy %ls\n", staged.c_str());
        return 1;
    }
    std::printf("sample copy %ls-%ls %.3f %ls\n", argv[2], argv[3], ms, argv[4]);
    if (chosen->second != Copy::Plain) {
        std::printf("sample copy %ls-%ls %.3f %ls\n",
                    chosen->second == Copy::Pieces ? L"timing" : L"callback", argv[3], inCallback,
                    argv[4]);
    }
    return 0;
}
