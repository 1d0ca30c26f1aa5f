// The launchers' command line: /from FOLDER and /to FOLDER (Renvale's per-user copies),
// /log FILE and /eventlog (both). Anything else on it is ignored, as the launchers have always
// ignored it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace launchers {

// The arguments of a whole command line by the rules of CommandLineToArgvW, the program's own
// name first.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

struct LauncherSwitches {
    // The values as written; they are resolved against the program's folder where they are used.
    std::optional<std::wstring> from;
    std::optional<std::wstring> to;
    std::optional<std::wstring> log;
    // /eventlog: each line of the log is reported to the Windows Event Log too.
    bool eventLog = false;
    // What was left unused, in order: unknown words, a switch without its value, a switch this
    // launcher does not take, a switch given again (the last one counts).
    std::vector<std::wstring> ignored;
};

// Reads the arguments after the program's name. Switch names in any letter case, after "/" or
// "-"; each value is the next argument, and an empty one counts as none. /from and /to only when
// perUserCopies (Renvale), and /to only beside /from.
LauncherSwitches ReadLauncherSwitches(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies);

}  // namespace launchers
