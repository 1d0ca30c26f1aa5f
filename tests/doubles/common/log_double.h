// What a log line needs from Windows, kept in memory for the native tests: fixed identity and
// time, an environment to expand, and files that record what was appended to them.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"

namespace doubles {

struct LogWorld {
    platform::LogTime now{2026, 12, 8, 14, 3, 7, 123};
    std::wstring computer = L"PC42";
    std::wstring user = L"Anna Berg";
    std::uint32_t processId = 4242;
    std::map<std::wstring, std::wstring> environment{
        {L"TEMP", L"C:\\Users\\anna\\AppData\\Local\\Temp"}};
    // Windows' texts by error code; a code without one has no text.
    std::map<std::uint32_t, std::wstring> errorMessages{{5, L"Access is denied."}};
    // Every file's content, appended in one piece per call.
    std::map<std::wstring, std::string> files;
    // Files that cannot be written (a missing folder, no rights, a full disk).
    std::set<std::wstring> unwritable;
    int appendCalls = 0;
    // What was reported to the Windows Event Log, and whether it refuses (a source that cannot be
    // registered, a full log).
    struct Reported {
        std::uint16_t type;
        std::uint32_t eventId;
        std::wstring text;
        friend bool operator==(const Reported&, const Reported&) = default;
    };
    std::vector<Reported> reported;
    bool eventLogRefuses = false;
    int reportCalls = 0;
    // Whether StartThread makes a thread; without one the log writes on the caller's thread.
    bool threads = false;
};

LogWorld& Log();
// The event word and details of every line of a log file, in order, as UTF-8.
std::vector<std::pair<std::string, std::string>> LoggedEvents(const std::wstring& path);
// The details of the events of one kind, in order.
std::vector<std::string> LoggedDetails(const std::wstring& path, const std::string& event);
// A fresh log world; every part's ResetWorld() calls it. It first lets stalled appends go on and
// waits for the threads StartThread made, so no thread of one test runs into the next.
void ResetLog();

// Appends to the file wait, as on a share that is down, until ReleaseAppends().
void StallAppends(const std::wstring& path);
void ReleaseAppends();
// True once an append is waiting in the stall, within a few seconds.
bool AnAppendStalls();

}  // namespace doubles
