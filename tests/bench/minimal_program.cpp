// Baseline of the registrar's timings: a program of the same build that only starts and ends, so
// its time is what Wine spends on starting and ending a process.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
