#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench.h"
#include "harness.h"

namespace bench {
namespace {

constexpr DWORD kRunTimeoutMs = 10 * 60 * 1000;
constexpr DWORD kMemoryPollMs = 2;
constexpr DWORD kLogPollMs = 1;

SIZE_T PeakWorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

bool EndedWell(const harness::Process& process, DWORD exitCode) {
    return process.WaitForExit(kRunTimeoutMs) == exitCode;
}

// The stand-in appends its record of a call before it answers; a line for OpenCurrentDatabase
// means the call has arrived.
bool OpenRecorded(const std::wstring& logPath, ULONGLONG& lastSize) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(logPath.c_str(), GetFileExInfoStandard, &attributes))
        return false;
    const ULONGLONG size = (ULONGLONG{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
    if (size == lastSize)
        return false;
    lastSize = size;
    const std::optional<std::vector<std::uint8_t>> bytes = harness::ReadFileBytes(logPath);
    return bytes && std::string(bytes->begin(), bytes->end()).find("OpenCurrentDatabase|call|") !=
                        std::string::npos;
}

}  // namespace

double NowMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

Timed TimeToExit(const Command& program, bool watchMemory) {
    Timed timed;
    const double start = NowMs();
    harness::Process process = harness::Start(program.exe, program.arguments);
    if (!process.started())
        return timed;
    if (watchMemory) {
        while (WaitForSingleObject(process.handle(), kMemoryPollMs) == WAIT_TIMEOUT) {
            if (const SIZE_T peak = PeakWorkingSet(process.handle()))
                timed.peakWorkingSet = peak;
        }
    }
    timed.ended = EndedWell(process, program.exitCode);
    timed.milliseconds = NowMs() - start;
    return timed;
}

Command ScriptPeer(const std::wstring& script, const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return {std::wstring(system, length) + L"\\cscript.exe",
            L"//nologo " + harness::Quoted(harness::ProgramPath(L"tests\\peers\\" + script)) +
                L" " + arguments};
}

Timed TimeToOpen(const Command& program, const std::wstring& standInFolder) {
    Timed timed;
    const std::wstring logPath = standInFolder + L"\\calls.log";
    if (!DeleteFileW(logPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        Complain("cannot clear " + harness::Narrow(logPath));
        return timed;
    }
    ULONGLONG lastSize = 0;
    const double start = NowMs();
    harness::Process process = harness::Start(program.exe, program.arguments);
    if (!process.started())
        return timed;
    bool opened = false;
    const ULONGLONG end = GetTickCount64() + kRunTimeoutMs;
    for (;;) {
        opened = OpenRecorded(logPath, lastSize);
        if (opened || GetTickCount64() >= end)
            break;
        if (WaitForSingleObject(process.handle(), kLogPollMs) == WAIT_OBJECT_0) {
            // Ended between two looks: one last look at the record.
            opened = OpenRecorded(logPath, lastSize);
            break;
        }
    }
    timed.milliseconds = NowMs() - start;
    timed.ended = EndedWell(process, program.exitCode) && opened;
    timed.untilExit = NowMs() - start;
    if (!opened)
        Complain(harness::Narrow(program.exe) + " never called OpenCurrentDatabase");
    return timed;
}

void PrintSample(const std::string& section, const std::string& caseName, double value, int round) {
    std::printf("sample %s %s %.3f %d\n", section.c_str(), caseName.c_str(), value, round);
    std::fflush(stdout);
}

void Complain(const std::string& what) {
    std::fprintf(stderr, "bench_driver: %s\n", what.c_str());
    std::fflush(stderr);
}

}  // namespace bench
