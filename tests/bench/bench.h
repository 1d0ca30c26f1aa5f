// scripts/bench's measurements under Wine. Each prints its results on stdout, one per line:
//   sample SECTION CASE VALUE ROUND   one run's time in milliseconds, or a peak in bytes;
//                                     the cases of one round run one right after the other
//   size PROGRAM FILE_BYTES PICTURE_BYTES
// scripts/bench turns them into medians, ratios, the report and the chart.
//
// Environment, as for the end-to-end tests: ORVANTIS_PROGRAMS_DIR (the Windows build folder) and
// ORVANTIS_WORK_DIR (a scratch folder), both unix paths.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

// ---- Timing of whole program runs (timing.cpp) -------------------------------------------------

// Milliseconds from the performance counter, from an arbitrary start.
double NowMs();

// One run of a program, timed from just before its CreateProcess.
struct Timed {
    bool ended = false;  // ended with exit code 0 within the time allowed
    double milliseconds = 0;
    SIZE_T peakWorkingSet = 0;  // the last reading taken while it ran; 0 when not watched
};

// Until the program has ended. watchMemory reads its peak working set every few milliseconds:
// Wine answers GetProcessMemoryInfo with zeros once a process has ended.
Timed TimeToExit(const std::wstring& exe, const std::wstring& arguments, bool watchMemory = false);

// Until the stand-in for Access, working in standInFolder, has recorded the program's call of
// OpenCurrentDatabase; the program is then let run to its end, untimed.
Timed TimeToOpen(const std::wstring& exe, const std::wstring& standInFolder);

void PrintSample(const std::string& section, const std::string& caseName, double value, int round);
// A failed measurement, on stderr.
void Complain(const std::string& what);

// ---- The measurements ------------------------------------------------------------------------

// Vintrel /s with 0, 10, 100 and 1000 occupied slots in front of the first free one, the
// minimal program, and Vintrel's registry calls for 1000 slots made here, runs rounds each.
bool MeasureRegistrar(int runs);
// Tessaly and Renvale (no staged copy) until the stand-in has the OpenCurrentDatabase call, and
// the minimal automation client, runs rounds each, with the stand-in server already running.
bool MeasureLauncherStart(int runs, const std::wstring& standInFolder);
// One start of appFolder\Renvale.exe, without Access, to its end; its time and peak working set,
// as a sample of the caller's round.
bool MeasureRefreshRun(const std::wstring& appFolder, const std::string& caseName, int round);
// File size and embedded pictures of Vintrel, Renvale and Tessaly.
bool MeasureSizes();

}  // namespace bench
