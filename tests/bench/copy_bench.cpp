// What the refresh's copy costs against a plain CopyFileW of the same file: the copy in pieces
// from the held staged copy (flushed as it goes), with and without the progress callback that
// lets the splash answer. Here no splash window exists, so the callback dispatches nothing and
// draws no bar; both happen only when there is something to paint.
// Built apart from bench_driver, like the programs, since it links their platform layer.
//   copy_bench STAGED_FILE SIZE ROUND   prints "sample copy CASE-SIZE MILLISECONDS ROUND" for the
//                                       cases plain, pieces and progress (see bench.h)
#include <windows.h>

#include <platform.h>

#include <cstdio>
#include <cwchar>
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

bool TimeCopy(const std::wstring& staged, const std::wstring& copy, Copy how, double& ms) {
    DeleteFileW(copy.c_str());
    const double start = NowMs();
    bool copied = false;
    if (how == Copy::Plain) {
        copied = CopyFileW(staged.c_str(), copy.c_str(), FALSE) != FALSE;
    } else {
        platform::OpenFile source;
        platform::OpenFile destination;
        copied = platform::OpenToInstall(staged, source) == platform::ToInstall::Opened &&
                 platform::CreateNewFile(copy, destination) == platform::NewFile::Created &&
                 (how == Copy::Pieces ? platform::CopyContent(source, destination, nullptr)
                                      : launchers::CopyWithProgress(source, destination));
    }
    ms = NowMs() - start;
    DeleteFileW(copy.c_str());
    return copied;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: copy_bench STAGED_FILE SIZE ROUND\n");
        return 2;
    }
    std::wstring staged = argv[1];
    if (!staged.empty() && staged[0] == L'/') {
        staged = L"Z:" + staged;
        for (wchar_t& c : staged) {
            if (c == L'/')
                c = L'\\';
        }
    }
    const std::wstring copy = staged.substr(0, staged.find_last_of(L'\\')) + L"\\bench-copy.tmp";
    const std::pair<Copy, const char*> cases[] = {
        {Copy::Plain, "plain"}, {Copy::Pieces, "pieces"}, {Copy::PiecesWithProgress, "progress"}};
    for (const auto& [how, name] : cases) {
        double ms = 0;
        if (!TimeCopy(staged, copy, how, ms)) {
            std::fprintf(stderr, "copy_bench: cannot copy %ls\n", staged.c_str());
            return 1;
        }
        std::printf("sample copy %s-%ls %.3f %ls\n", name, argv[2], ms, argv[3]);
    }
    return 0;
}
