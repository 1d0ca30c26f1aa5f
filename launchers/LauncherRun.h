// One run of a launcher as its log tells it: the start, with the command line, and the end.
#pragma once

#include "LauncherSwitches.h"

namespace launchers {

// Reads the run's settings from the policies and the process's command line (/from and /to only
// when perUserCopies), starts the log when the Log policy or /log names a file and the Event Log
// when the EventLog policy or /eventlog asks for it, and writes the start event (the release, the
// whole command line and what of it was ignored), then one policy event for each thing the
// policies set or set aside.
LauncherSwitches StartRun(bool perUserCopies);

// Writes the end event, the whole time since the start and the exit code, waits until the log has
// written it or given it up, and gives the code back.
int EndRun(int exitCode);

}  // namespace launchers
