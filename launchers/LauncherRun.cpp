#include "LauncherRun.h"

#include <EventLog.h>
#include <PathNames.h>
#include <Policies.h>
#include <platform.h>

#include <cstdint>
#include <string>
#include <vector>

namespace launchers {
namespace {

std::uint64_t startedAt = 0;

std::wstring IgnoredText(const std::vector<std::wstring>& ignored) {
    if (ignored.empty())
        return L"none";
    std::wstring text;
    for (const std::wstring& argument : ignored)
        text += (text.empty() ? L"\"" : L" \"") + argument + L"\"";
    return text;
}

}  // namespace

LauncherSwitches StartRun(bool perUserCopies) {
    startedAt = platform::TickCountMs();
    const std::wstring commandLine = platform::CommandLine();
    const std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
    const LauncherSwitches switches = ReadLauncherSettings(
        std::vector<std::wstring>(arguments.begin() + 1, arguments.end()), perUserCopies);
    eventlog::Open(switches.log ? paths::ResolvePath(*switches.log, platform::AppPath()) : L"");
    if (switches.eventLog)
        eventlog::StartWindowsEventLog();
    eventlog::Write(L"start", std::wstring(platform::ReleaseText()) + L"; command line: " +
                                  commandLine + L"; ignored: " + IgnoredText(switches.ignored));
    for (const std::wstring& note : switches.policyNotes)
        eventlog::Write(
            L"policy", note,
            policies::SetsAside(note) ? eventlog::Level::Warning : eventlog::Level::Information);
    return switches;
}

int EndRun(int exitCode) {
    eventlog::Write(L"end",
                    std::to_wstring(platform::TickCountMs() - startedAt) + L" ms, exit code " +
                        std::to_wstring(exitCode),
                    eventlog::ErrorIf(exitCode != 0));
    eventlog::Close();
    return exitCode;
}

}  // namespace launchers
