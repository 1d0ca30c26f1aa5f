// The splash window of both launchers. Closing it is what starts the launch: its unload runs the
// launch procedure and waits for it, and the process ends once the window is gone.
#pragma once

#include <windows.h>

namespace frmSplash {

// The deliverable's LaunchDatabase: true when Access accepted the database.
using LaunchProcedure = bool (*)();

// Loads the form and shows it centred, with its picture painted; its timer runs from the load.
// Returns false when the window cannot be made.
bool Show(HINSTANCE instance, LaunchProcedure launchDatabase);

// Shows the form and runs the message loop until the form is gone: the launcher's whole life.
// Returns the process's exit code: 0 when the launch opened the database in Access, 1 otherwise
// (also when the window cannot be made).
int Run(HINSTANCE instance, LaunchProcedure launchDatabase);

}  // namespace frmSplash
