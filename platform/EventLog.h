// The log administrators ask for with /log FILE: one line per event of a run, appended to a file
// that many computers may share. Without a file nothing is written anywhere.
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

// Starts this run's log in the file (already resolved); an empty name turns the log off.
void Open(const std::wstring& path);
bool IsOpen();
// Appends one line for the event. A log that cannot be written changes nothing else: it is given
// up for the rest of the run, so a locked file costs one wait, not one per line.
void Write(const std::wstring& event, const std::wstring& details);

// A failure as the log gives it, with its number and Windows' own text:
// "error 5 (Access is denied.)", "HRESULT 0x80040154 (Class not registered)". An automation
// server's own description of its failure, when it gave one, takes the place of Windows' text.
std::wstring ErrorText(std::uint32_t code);
// "0x000A0B2C": a window handle or an HRESULT as Windows' tools show them.
std::wstring HexText(std::uint32_t value);
std::wstring HresultText(std::uint32_t hresult, const std::wstring& description = {});

}  // namespace eventlog
