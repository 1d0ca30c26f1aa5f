// The administrators' log: the shape of its lines, and a log that cannot be written.
#include <gtest/gtest.h>

#include "EventLog.h"
#include "common/log_double.h"

namespace {

using doubles::Log;

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
