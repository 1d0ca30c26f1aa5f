// The launchers' install of a file against the same work done by Windows: CopyFileW, then
// FlushFileBuffers on the copy. The install copies from the held file on a thread of its own
// while this thread answers its messages, flushes once and renames the copy into place; no splash
// window is up here, so its progress callback finds no bar to draw.
// Built apart from bench_driver, like the programs, since it links their platform layer.
//   copy_bench SOURCE_FILE CASE SIZE ROUND   CASE is windows or install; prints
//                                            "sample copy CASE-SIZE MILLISECONDS ROUND" (bench.h)
#include <windows.h>

#include <platform.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>

#include "TempFileInstall.h"
#include "owners.h"

// The bar is drawn by the splash form, which this driver has not got.
void platform::ShowCopyProgress(double) {}

namespace {

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

enum class Copy { ByWindows, ByInstall };

bool CopyByWindows(const std::wstring& source, const std::wstring& copy) {
    if (!CopyFileW(source.c_str(), copy.c_str(), TRUE))
        return false;
    const owners::unique_handle written(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return written.get() != INVALID_HANDLE_VALUE && FlushFileBuffers(written.get());
}

bool CopyByInstall(const std::wstring& source, const std::wstring& copy,
                   const std::wstring& folder) {
    platform::OpenFile held;
    return platform::OpenToInstall(source, held) == platform::ToInstall::Opened &&
           launchers::InstallThroughTempFile(held, copy, folder).result ==
               launchers::InstallResult::Installed;
}

bool TimeCopy(const std::wstring& source, Copy how, double& ms) {
    const std::wstring folder = source.substr(0, source.find_last_of(L'\\'));
    const std::wstring copy = folder + L"\\bench-copy.mde";
    DeleteFileW(copy.c_str());
    const double start = NowMs();
    const bool copied =
        how == Copy::ByWindows ? CopyByWindows(source, copy) : CopyByInstall(source, copy, folder);
    ms = NowMs() - start;
    DeleteFileW(copy.c_str());
    return copied;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::pair<const wchar_t*, Copy> cases[] = {{L"windows", Copy::ByWindows},
                                                     {L"install", Copy::ByInstall}};
    const auto chosen =
        argc == 5 ? std::find_if(std::begin(cases), std::end(cases),
                                 [&](const auto& c) { return c.first == std::wstring(argv[2]); })
                  : std::end(cases);
    if (chosen == std::end(cases)) {
        std::fprintf(stderr, "usage: copy_bench SOURCE_FILE windows|install SIZE ROUND\n");
        return 2;
    }
    std::wstring source = argv[1];
    if (!source.empty() && source[0] == L'/') {
        source = L"Z:" + source;
        std::replace(source.begin(), source.end(), L'/', L'\\');
    }
    double ms = 0;
    if (!TimeCopy(source, chosen->second, ms)) {
        std::fprintf(stderr, "copy_bench: cannot copy %ls\n", source.c_str());
        return 1;
    }
    std::printf("sample copy %ls-%ls %.3f %ls\n", argv[2], argv[3], ms, argv[4]);
    return 0;
}
