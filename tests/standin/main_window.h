// The top-level window each automation object owns, as Access has its main window. The windows
// outlive the objects; closing the last one ends the server.
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kStandInWindowClass[] = L"AccessStandInWindow";

bool RegisterStandInWindowClass(HINSTANCE instance);

// Created hidden; null when the window cannot be made.
HWND CreateStandInWindow();

// False once the window has been closed (a handle value alone may be reused).
bool IsStandInWindowOpen(HWND window);

// The title names the open database's file, as an application's main window does; the window
// shows its full path.
void ShowDatabase(HWND window, const std::wstring& path);
