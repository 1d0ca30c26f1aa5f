// /eventlog: what the three programs report to the Windows Event Log, read from Wine's trace of
// ReportEventW (Wine keeps no Event Log), and the message table each program carries for it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

const Bytes kDatabase = DatabaseBytes(16 * 1024, 1);
const Bytes kStaged = DatabaseBytes(20 * 1024, 2);

// The IDs sites filter on, as the README's table gives them; 100 for an event of a newer release.
const DWORD kEventIds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 100};

// Event Viewer shows each event's own text, nothing around it.
TEST(EventMessages, EveryProgramHoldsTheTextOfEveryEvent) {
    for (const wchar_t* program : {L"Renvale.exe", L"Tessaly.exe", L"Vintrel.exe"}) {
        SCOPED_TRACE(Narrow(program));
        const owners::unique_hmodule module(
            LoadLibraryExW(ProgramPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module);
        const auto text = [&](DWORD id) -> std::wstring {
            DWORD_PTR inserts[] = {
                reinterpret_cast<DWORD_PTR>(L"Renvale: installed 20480 bytes in 9 ms")};
            wchar_t buffer[256] = {};
            const DWORD length = FormatMessageW(
                FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module.get(), id, 0,
                buffer, 256, reinterpret_cast<va_list*>(inserts));
            return length ? std::wstring(buffer, length) : L"(none)";
        };
        for (const DWORD id : kEventIds)
            EXPECT_EQ(text(id), L"Renvale: installed 20480 bytes in 9 ms\r\n") << id;
        EXPECT_EQ(text(14), L"(none)");
    }
}

// One ReportEventW as Wine traces it: a fixme line with the type and the ID, then the text on the
// eventlog channel, as trace (information), warn (warning) or err (error).
struct Traced {
    unsigned long type = 0;
    unsigned long id = 0;
    std::string channel;
    std::string text;
};

std::wstring OutputFile() {
    return WinePathOf(EnvironmentValue(L"WINE_SESSION_OUTPUT"));
}

std::size_t OutputSize() {
    const auto bytes = ReadFileBytes(OutputFile());
    return bytes ? bytes->size() : 0;
}

// The events reported since the run's output had `from` bytes.
std::vector<Traced> TracedSince(std::size_t from) {
    const auto bytes = ReadFileBytes(OutputFile());
    const std::string text = bytes ? std::string(bytes->begin() + from, bytes->end()) : "";
    std::vector<Traced> events;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t call = line.find(":advapi:ReportEventW (");
        if (call != std::string::npos) {
            // (handle,type,category,id,...)
            std::vector<std::string> fields(1);
            for (const char c : line.substr(line.find('(', call) + 1)) {
                if (c == ',')
                    fields.emplace_back();
                else
                    fields.back() += c;
            }
            if (fields.size() > 3)
                events.push_back({std::strtoul(fields[1].c_str(), nullptr, 16),
                                  std::strtoul(fields[3].c_str(), nullptr, 16), "", ""});
            continue;
        }
        const std::size_t report = line.find(":eventlog:ReportEventW ");
        if (report != std::string::npos && !events.empty() && events.back().channel.empty()) {
            const std::size_t channel = line.rfind(':', report - 1) + 1;
            events.back().channel = line.substr(channel, report - channel);
            events.back().text = line.substr(report + 23);
        }
    }
    return events;
}

std::vector<unsigned long> IdsOf(const std::vector<Traced>& events) {
    std::vector<unsigned long> ids;
    for (const Traced& event : events)
        ids.push_back(event.id);
    return ids;
}

using EventLogTrace = LauncherTest<>;

// A refresh (information throughout), a pull that fell back to the user's older copy (a warning),
// and Vintrel under a policy that lets Access ignore the entry (the warning box, and its end).
TEST_F(EventLogTrace, ARefreshAPullThatFellBackAndAPolicyWarningAreReported) {
    ASSERT_FALSE(EnvironmentValue(L"WINE_SESSION_OUTPUT").empty())
        << "run through ctest's wine.e2e_eventlog, which traces the Event Log";
    const LauncherSetup setup = InstallLauncher(L"eventlog-trace", L"Renvale.exe");
    const std::wstring root = setup.appFolder.substr(0, setup.appFolder.rfind(L'\\'));
    ASSERT_TRUE(PutFile(setup.installed, kDatabase));
    ASSERT_TRUE(PutFile(setup.staged, kStaged));

    std::size_t from = OutputSize();
    ASSERT_EQ(RunLauncher(setup, L"/eventlog"), 0u);
    std::vector<Traced> events = TracedSince(from);
    ASSERT_EQ(IdsOf(events), (std::vector<unsigned long>{1, 2, 3, 4, 6, 7, 8}));
    for (const Traced& event : events) {
        EXPECT_EQ(event.type, 4u) << event.text;
        EXPECT_EQ(event.channel, "trace") << event.text;
    }
    EXPECT_TRUE(events[0].text.starts_with("L\"Renvale: Orvantis ")) << events[0].text;
    EXPECT_TRUE(events[3].text.starts_with("L\"Renvale: installed 20480 bytes in "))
        << events[3].text;

    ASSERT_TRUE(PutFile(root + L"\\local\\Orvantis.mde", kDatabase));
    from = OutputSize();
    ASSERT_EQ(RunLauncher(setup, L"/from ..\\no-master /to ..\\local -EVENTLOG"), 0u);
    events = TracedSince(from);
    ASSERT_EQ(IdsOf(events), (std::vector<unsigned long>{1, 5, 2, 3, 6, 7, 8}));
    EXPECT_EQ(events[1].type, 2u);
    EXPECT_EQ(events[1].channel, "warn");
    EXPECT_TRUE(events[1].text.starts_with("L\"Renvale: unreachable: error ")) << events[1].text;
    EXPECT_TRUE(events[1].text.ends_with("; local copy used\"")) << events[1].text;
    EXPECT_EQ(events[6].type, 4u);

    const std::wstring policy =
        L"Software\\Policies\\Microsoft\\Office\\16.0\\Common\\Security\\Trusted Locations";
    ASSERT_TRUE(
        WriteValue(HKEY_CURRENT_USER, policy, L"Allow User Locations", REG_DWORD, DwordBytes(0)));
    const std::wstring vintrel = CopyProgram(L"Vintrel.exe", root);
    from = OutputSize();
    const RunResult registered = harness::Run(vintrel, L"/eventlog /quiet /office 16.0");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Office\\16.0");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\16.0");
    EXPECT_EQ(registered.exitCode, 4u);
    EXPECT_TRUE(registered.boxes.empty());
    events = TracedSince(from);
    ASSERT_EQ(IdsOf(events), (std::vector<unsigned long>{1, 9, 10, 11, 12, 8}));
    EXPECT_EQ(events[4].type, 2u);
    EXPECT_EQ(events[4].channel, "warn");
    EXPECT_TRUE(events[4].text.starts_with("L\"Vintrel: not shown (/quiet): Vintrel: \\\""))
        << events[4].text;
    EXPECT_EQ(events[5].type, 2u);
    EXPECT_EQ(events[5].text, "L\"Vintrel: exit code 4\"");
}

}  // namespace
