// The administrators' log: the shape of its lines, and a log that cannot be written.
#include <gtest/gtest.h>

#include "EventLog.h"
#include "common/log_double.h"

namespace {

using doubles::Log;
using Reported = doubles::LogWorld::Reported;

TEST(LogLine, SevenFieldsJoinedByTabsEndedByCrLf) {
    EXPECT_EQ(eventlog::FormatLine({2026, 12, 8, 14, 3, 7, 123}, L"PC42", L"Anna Berg", 4242,
                                   L"Renvale", L"refresh", L"installed 268435456 bytes in 812 ms"),
              "2026-12-08 14:03:07.123\tPC42\tAnna Berg\t4242\tRenvale\trefresh\t"
              "installed 268435456 bytes in 812 ms\r\n");
    EXPECT_EQ(eventlog::FormatLine({2027, 1, 2, 3, 4, 5, 6}, L"", L"", 0, L"Vintrel", L"end", L""),
              "2027-01-02 03:04:05.006\t\t\t0\tVintrel\tend\t\r\n");
}

TEST(LogLine, TabsAndLineBreaksInsideAFieldBecomeBlanks) {
    EXPECT_EQ(eventlog::FormatLine({2026, 12, 8, 9, 0, 0, 0}, L"PC\t1", L"Anna\r\nBerg", 1,
                                   L"Vintrel", L"box", L"first line\r\nsecond\tline"),
              "2026-12-08 09:00:00.000\tPC 1\tAnna  Berg\t1\tVintrel\tbox\t"
              "first line  second line\r\n");
}

TEST(LogLine, NamesBeyondAsciiAreWrittenAsUtf8) {
    // U+1F600 given as the UTF-16 pair Windows holds it in, and a lone half of a pair.
    const std::wstring names = std::wstring(L"M\u00fcller \u03a9 ") + wchar_t(0xD83D) +
                               wchar_t(0xDE00) + L" " + wchar_t(0xDC00);
    EXPECT_EQ(eventlog::FormatLine({2026, 12, 8, 9, 0, 0, 0}, L"PC", names, 1, L"R", L"e", L""),
              "2026-12-08 09:00:00.000\tPC\tM\xC3\xBCller \xCE\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD"
              "\t1\tR\te\t\r\n");
}

TEST(EventLog, WritesNothingUntilOpenedWithAFile) {
    eventlog::Open(L"");
    eventlog::Write(L"start", L"Orvantis 1.0.0");
    EXPECT_FALSE(eventlog::IsOpen());
    EXPECT_EQ(Log().appendCalls, 0);
}

TEST(EventLog, AppendsOneLinePerEventWithTheRunsIdentity) {
    Log().files[L"C:\\log.txt"] = "earlier line\r\n";
    eventlog::Open(L"C:\\log.txt");
    eventlog::Write(L"start", L"Orvantis 1.0.0");
    Log().now.millisecond = 999;
    eventlog::Write(L"end", L"812");
    EXPECT_EQ(Log().files[L"C:\\log.txt"],
              "earlier line\r\n"
              "2026-12-08 14:03:07.123\tPC42\tAnna Berg\t4242\tRenvale\tstart\tOrvantis 1.0.0\r\n"
              "2026-12-08 14:03:07.999\tPC42\tAnna Berg\t4242\tRenvale\tend\t812\r\n");
}

TEST(EventLog, AnUnwritableLogIsGivenUpAfterItsFirstLine) {
    Log().unwritable.insert(L"Z:\\missing\\log.txt");
    eventlog::Open(L"Z:\\missing\\log.txt");
    eventlog::Write(L"start", L"");
    eventlog::Write(L"access", L"");
    eventlog::Write(L"end", L"");
    EXPECT_EQ(Log().appendCalls, 1);
    EXPECT_FALSE(eventlog::IsOpen());
}

// The IDs and types the README's table gives sites to filter on: 1 error, 2 warning, 4 information.
TEST(WindowsEventLog, EachEventHasItsFixedIdAndEachLevelItsType) {
    using eventlog::Level;
    struct Row {
        const wchar_t* event;
        Level level;
        Reported expected;
    };
    const Row rows[] = {
        {L"start", Level::Information, {4, 1, L"Renvale: a"}},
        {L"access", Level::Error, {1, 2, L"Renvale: a"}},
        {L"security", Level::Information, {4, 3, L"Renvale: a"}},
        {L"refresh", Level::Error, {1, 4, L"Renvale: a"}},
        {L"pull", Level::Warning, {2, 5, L"Renvale: a"}},
        {L"open", Level::Information, {4, 6, L"Renvale: a"}},
        {L"show", Level::Information, {4, 7, L"Renvale: a"}},
        {L"end", Level::Error, {1, 8, L"Renvale: a"}},
        {L"office", Level::Information, {4, 9, L"Renvale: a"}},
        {L"slot", Level::Information, {4, 10, L"Renvale: a"}},
        {L"write", Level::Error, {1, 11, L"Renvale: a"}},
        {L"box", Level::Warning, {2, 12, L"Renvale: a"}},
        {L"policy", Level::Warning, {2, 13, L"Renvale: a"}},
        // A word of a newer release shares one ID and says what it is.
        {L"rollback", Level::Information, {4, 100, L"Renvale rollback: a"}},
        {L"Start", Level::Information, {4, 100, L"Renvale Start: a"}},
    };
    // Also without a file: the Event Log alone.
    eventlog::StartWindowsEventLog();
    for (const Row& row : rows)
        eventlog::Write(row.event, L"a", row.level);
    eventlog::Close();
    ASSERT_EQ(Log().reported.size(), std::size(rows));
    for (std::size_t at = 0; at < std::size(rows); ++at)
        EXPECT_EQ(Log().reported[at], rows[at].expected) << at;
    EXPECT_EQ(Log().appendCalls, 0);
}

// A source that cannot be registered is tried once, and the file is written all the same; the
// reverse holds for a file that cannot be written.
TEST(WindowsEventLog, ARefusalGivesUpTheEventLogAloneForTheRun) {
    Log().eventLogRefuses = true;
    eventlog::Open(L"C:\\log.txt");
    eventlog::StartWindowsEventLog();
    for (const wchar_t* event : {L"start", L"pull", L"end"})
        eventlog::Write(event, L"");
    EXPECT_EQ(Log().reportCalls, 1);
    EXPECT_EQ(doubles::LoggedEvents(L"C:\\log.txt").size(), 3u);
    eventlog::Close();

    Log().eventLogRefuses = false;
    const int appendedBefore = Log().appendCalls;
    Log().unwritable.insert(L"Z:\\log.txt");
    eventlog::Open(L"Z:\\log.txt");
    eventlog::StartWindowsEventLog();
    for (const wchar_t* event : {L"start", L"pull", L"end"})
        eventlog::Write(event, L"");
    EXPECT_EQ(Log().appendCalls - appendedBefore, 1);
    EXPECT_EQ(Log().reported.size(), 3u);
}

// With threads of their own: each line keeps the time of its event however late it is written,
// in order, and Close returns once the last one is in the file.
TEST(LogThread, WritesEveryLineInOrderBeforeCloseReturns) {
    Log().threads = true;
    eventlog::Open(L"C:\\log.txt");
    eventlog::StartWindowsEventLog();
    for (int line = 0; line < 100; ++line) {
        Log().now.millisecond = line;
        eventlog::Write(L"show", std::to_wstring(line));
    }
    eventlog::Close();
    const auto events = doubles::LoggedEvents(L"C:\\log.txt");
    ASSERT_EQ(events.size(), 100u);
    ASSERT_EQ(Log().reported.size(), 100u);
    for (int line = 0; line < 100; ++line) {
        EXPECT_EQ(events[line].second, std::to_string(line));
        EXPECT_EQ(Log().reported[line].text, L"Renvale: " + std::to_wstring(line));
    }
    EXPECT_EQ(Log().files[L"C:\\log.txt"].substr(0, 24), "2026-12-08 14:03:07.000\t");
    EXPECT_EQ(Log().files[L"C:\\log.txt"].substr(Log().files[L"C:\\log.txt"].rfind("2026")),
              "2026-12-08 14:03:07.099\tPC42\tAnna Berg\t4242\tRenvale\tshow\t99\r\n");
}

// A share that is down: the caller never waits for the file (it would wait here for ever), the
// Event Log still gets every line, and Close gives the file up after its second, more lines than
// the queue holds included.
TEST(LogThread, AFileThatStallsHoldsUpNeitherTheCallerNorTheEventLog) {
    Log().threads = true;
    doubles::StallAppends(L"\\\\down\\share\\log.txt");
    eventlog::Open(L"\\\\down\\share\\log.txt");
    eventlog::StartWindowsEventLog();
    eventlog::Write(L"start", L"");
    ASSERT_TRUE(doubles::AnAppendStalls());
    EXPECT_TRUE(eventlog::IsOpen());
    for (int line = 0; line < 100; ++line)
        eventlog::Write(L"show", std::to_wstring(line));
    eventlog::Write(L"end", L"");
    eventlog::Close();
    EXPECT_FALSE(eventlog::IsOpen());
    EXPECT_EQ(Log().appendCalls, 1);
    EXPECT_EQ(Log().reported.size(), 102u);
}

TEST(EventLog, FailuresCarryTheirNumberAndWindowsText) {
    Log().errorMessages[0x80040154] = L"Class not registered";
    EXPECT_EQ(eventlog::ErrorText(5), L"error 5 (Access is denied.)");
    EXPECT_EQ(eventlog::ErrorText(1234), L"error 1234");
    EXPECT_EQ(eventlog::HresultText(0x80040154), L"HRESULT 0x80040154 (Class not registered)");
    EXPECT_EQ(eventlog::HresultText(0x8000FFFF), L"HRESULT 0x8000FFFF");
    // An automation server's own description says more than Windows' text of its code.
    EXPECT_EQ(eventlog::HresultText(0x800A1EBA, L"Access cannot open the database."),
              L"HRESULT 0x800A1EBA (Access cannot open the database.)");
    EXPECT_EQ(eventlog::HresultText(0x80040154, L""), L"HRESULT 0x80040154 (Class not registered)");
}

}  // namespace
