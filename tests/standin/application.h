// The automation object clients get for "Access.Application": a hand-written IDispatch that
// answers Version, AutomationSecurity, OpenCurrentDatabase, Visible and hWndAccessApp by name.
#pragma once

#include <windows.h>

// A new object with its own hidden window, as CoCreateInstance hands it out.
HRESULT CreateApplication(REFIID iid, void** object);
