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
    bool ended = false;  // ended with the command's exit code within the time allowed
    double milliseconds = 0;
    double untilExit = 0;       // TimeToOpen: from the same start to the program's end
    SIZE_T peakWorkingSet = 0;  // the last reading taken while it ran; 0 when not watched
};

// A program and its arguments, as Start takes them, and the exit code of a run as planned.
struct Command {
    std::wstring exe;
    std::wstring arguments = {};
    DWORD exitCode = 0;
};

// What an administrator would use instead of our programs: the system's cscript running
// tests\peers\SCRIPT beside this driver. Wine's cscript ends with 0 even when the script fails,
// so the callers check what it did.
Command ScriptPeer(const std::wstring& script, const std::wstring& arguments);

// Until the program has ended. watchMemory reads its peak working set every few milliseconds:
// Wine answers GetProcessMemoryInfo with zeros once a process has ended.
Timed TimeToExit(const Command& program, bool watchMemory = false);

// Until the stand-in for Access, working in standInFolder, has recorded the program's call of
// OpenCurrentDatabase, and on until the program has ended (untilExit).
Timed TimeToOpen(const Command& program, const std::wstring& standInFolder);

void PrintSample(const std::string& section, const std::string& caseName, double value, int round);
// A failed measurement, on stderr.
void Complain(const std::string& what);

// ---- The measurements ------------------------------------------------------------------------

// Vintrel /s and the script registrar with 0, 10, 100 and 1000 occupied slots in front of the
// first free one, the minimal program, and Vintrel's registry calls for 1000 slots made here, runs
// rounds each.
bool MeasureRegistrar(int runs);
// Tessaly, Renvale (no staged copy), the minimal automation client and the script launcher until
// the stand-in has the OpenCurrentDatabase call and until they end, runs rounds each, with the
// stand-in server already running.
bool MeasureLauncherStart(int runs, const std::wstring& standInFolder);
// One start of appFolder\Renvale.exe (or of the script refresh, for appFolder), without Access,
// to its end; its time and peak working set, as a sample of the caller's round.
bool MeasureRefreshRun(const std::wstring& appFolder, const std::string& caseName, int round,
                       bool scriptPeer);
// The same for appFolder\Renvale.exe /from master /to local: a pull, or a start that finds the
// user's copy current.
bool MeasurePullRun(const std::wstring& appFolder, const std::wstring& master,
                    const std::wstring& local, const std::string& caseName, int round);
// One start of appFolder\Renvale.exe with a staged copy waiting, without Access: the longest time
// its splash went without answering SendMessageTimeout, asked every 15 ms until it was gone.
bool MeasureSplashGaps(const std::wstring& appFolder, const std::string& caseName, int round);
// File size and embedded pictures of Vintrel, Renvale and Tessaly.
bool MeasureSizes();

}  // namespace bench
