// Where the stand-in keeps its files, and what a test told it to do in standin.ini.
#pragma once

#include <windows.h>

#include <string>

struct StandInSettings {
    std::wstring version = L"11.0";
    bool versionFails = false;
    bool noAutomationSecurity = false;
    DWORD openDelayMs = 0;
};

// ORVANTIS_STANDIN_DIR when set, otherwise the folder of the exe; ends in a backslash.
std::wstring StandInFolder();

// standin.ini of the stand-in folder, read afresh at every call so a test may change it at any
// time; what the file does not say (or a missing file) keeps the defaults.
StandInSettings ReadSettings();

std::wstring ExePath();
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
