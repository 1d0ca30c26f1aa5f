// The log administrators ask for with /log FILE: one line per event of a run, appended to a file
// that many computers may share, and with /eventlog reported to the Windows Event Log. Without
// either nothing is written anywhere.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

namespace eventlog {

// Seven fields joined by single tabs, UTF-8 without a byte-order mark, ended by CRLF: local time
// to the millisecond, computer, user, process id, program, event word, details. A tab, carriage
// return or line feed inside a field is written as a blank, so every line has the same shape.
std::string FormatLine(const platform::LogTime& time, const std::wstring& computer,
                       const std::wstring& user, std::uint32_t processId,
                       const std::wstring& program, const std::wstring& event,
                       const std::wstring& details);

// How an event reads in the Windows Event Log: a failure, a warning, or information.
enum class Level { Information, Warning, Error };
inline Level ErrorIf(bool failed) {
    return failed ? Level::Error : Level::Information;
}

// Starts this run's log in the file (already resolved); an empty name writes no file.
void Open(const std::wstring& path);
// Reports each later line to the Windows Event Log as well, also when no file is written.
void StartWindowsEventLog();
bool IsOpen();
// Appends one line for the event, and reports it when the Windows Event Log is on. The lines are
// written by threads of their own, in order, so that a file on a share that is down never holds up
// the caller. A file or Event Log that refuses a line, or takes a second over it, is given up for
// the rest of the run, so a locked file costs one wait, not one per line.
void Write(const std::wstring& event, const std::wstring& details,
           Level level = Level::Information);
// Waits until every line is written or given up, at most a second for each line, then ends the
// log: lines written after it go nowhere until the next Open.
void Close();

// The event's fixed ID in the Windows Event Log (its message table holds one per event word);
// kOtherEventId for a word without one.
inline constexpr std::uint32_t kOtherEventId = 100;
std::uint32_t EventId(const std::wstring& event);

// A failure as the log gives it, with its number and Windows' own text:
// "error 5 (Access is denied.)", "HRESULT 0x80040154 (Class not registered)". An automation
// server's own description of its failure, when it gave one, takes the place of Windows' text.
std::wstring ErrorText(std::uint32_t code);
// "0x000A0B2C": a window handle or an HRESULT as Windows' tools show them.
std::wstring HexText(std::uint32_t value);
std::wstring HresultText(std::uint32_t hresult, const std::wstring& description = {});

}  // namespace eventlog
