// The launchers' settings: the policies (Policies.h), then the command line for what no policy
// sets: /from FOLDER and /to FOLDER (Renvale's per-user copies), /log FILE and /eventlog (both).
// Anything else on the command line is ignored, as the launchers have always ignored it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace launchers {

// The arguments of a whole command line by the rules of CommandLineToArgvW, the program's own
// name first.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The one settings record of a launcher run.
struct LauncherSwitches {
    // The values as written; they are resolved against the program's folder where they are used.
    // A from that is there means per-user mode, even when it is empty (/from without a value) or
    // not a usable folder: it then fails as an unreachable master, never opens the shared database.
    std::optional<std::wstring> from;
    std::optional<std::wstring> to;
    std::optional<std::wstring> log;
    // /eventlog: each line of the log is reported to the Windows Event Log too.
    bool eventLog = false;
    // What was left unused, in order: unknown words, a switch without its value, a switch this
    // launcher does not take, a switch given again (the last one counts).
    std::vector<std::wstring> ignored;
    // For the log, one `policy` line each: what the policies set, the values they could not use,
    // and the switches they beat.
    std::vector<std::wstring> policyNotes;
};

// Reads the arguments after the program's name. Switch names in any letter case, after "/" or
// "-"; each value is the next argument, but never a word that names a launcher switch, and an
// empty one counts as none (for /from: per-user mode without a master). /from and /to only when
// perUserCopies (Renvale), and /to only beside /from.
LauncherSwitches ReadLauncherSwitches(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies);

// The run's settings: each policy that is set beats its switch; /to also counts beside the Master
// policy. Tessaly notes the Master and LocalFolder policies as unused.
LauncherSwitches ReadLauncherSettings(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies);

}  // namespace launchers
