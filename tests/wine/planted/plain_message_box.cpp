// The control of the planted-DLL tests: a program of the same build that shows one message box, as
// the programs do, but leaves the DLL search as Windows sets it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MessageBoxW(nullptr, L"Planted DLLs", L"plain_message_box", MB_OK);
    return 0;
}
