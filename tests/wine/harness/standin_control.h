// Control of the stand-in for Access (tests/AccessStandIn.exe) from the end-to-end tests: its
// registration, its per-test folder (standin.ini, calls.log), its windows and its processes.
// The protocol is described in tests/standin/README.md.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// ProgramsDir() + "\tests\AccessStandIn.exe".
std::wstring StandInExePath();

// Run the stand-in with "/RegServer" or "/UnregServer" and wait for it; true when it succeeded.
bool RegisterStandIn();
bool UnregisterStandIn();

// standin.ini lines, key and value, e.g. {L"version", L"11.0 "}; written as UTF-8.
using StandInConfig = std::vector<std::pair<std::wstring, std::wstring>>;

// Writes folder\standin.ini from config (an empty config gives the defaults) and removes
// folder\calls.log; true when both worked.
bool PrepareStandInFolder(const std::wstring& folder, const StandInConfig& config = {});

// Ends the running stand-in servers, which keep the folder they started with, prepares folder
// (PrepareStandInFolder) and sets ORVANTIS_STANDIN_DIR in this process, so that programs started
// from now on, and the server COM starts for them, work there. False when the folder could not
// be prepared.
bool SwitchStandInTo(const std::wstring& folder, const StandInConfig& config = {});

// One line of calls.log: "Version", "get", {}, "BSTR:11.0".
struct StandInCall {
    std::wstring member;                  // as the client spelled it
    std::wstring kind;                    // get, put, call, lookup
    std::vector<std::wstring> arguments;  // "TYPE:value", in call order
    std::wstring details;

    bool operator==(const StandInCall&) const = default;
};
void PrintTo(const StandInCall& call, std::ostream* out);

// Every line of folder\calls.log, in order; empty when there is no record.
std::vector<StandInCall> ReadStandInCalls(const std::wstring& folder);

struct StandInWindow {
    HWND window = nullptr;
    DWORD processId = 0;
    bool visible = false;
    bool maximised = false;
    std::wstring title;
};

// The top-level windows of class "AccessStandInWindow" on the screen, hidden ones included.
std::vector<StandInWindow> FindStandInWindows();

// Ends every running stand-in server: WM_CLOSE to its windows first, as a user would close
// Access; a server that does not end from that (or has no window) is terminated, and then
// Wine's rpcss too, which would otherwise hand its dead class object to every later client.
// Waits until all are gone; reports a test failure when one survives.
void EndAllStandIns();

}  // namespace harness
