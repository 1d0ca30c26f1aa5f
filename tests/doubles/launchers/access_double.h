// A recording Access behind the automation functions, and user32's ShowWindow.
#pragma once

#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

namespace doubles {

struct AccessBehaviour {
    // False: "Access.Application" is not registered and creation gives an empty object.
    bool registered = true;
    // What Version answers; nullopt: reading it fails.
    std::optional<platform::AutomationValue> version = std::wstring(L"11.0");
    // False: an Access that does not know AutomationSecurity.
    bool knowsAutomationSecurity = true;
    // OpenCurrentDatabase also fails, as Access does, when the file is missing or held.
    bool openFails = false;
    bool visibleFails = false;
    // What hWndAccessApp answers; nullopt: reading it fails.
    std::optional<platform::AutomationValue> windowHandle = std::int32_t{0x000A0B2C};
    // False: ShowWindow cannot be bound.
    bool showWindowBindable = true;
};

// Why a creation or call failed, as the double reports it.
inline const platform::AutomationFailure kClassNotRegistered{0x80040154, L""};
inline const platform::AutomationFailure kNoObject{0x80004003, L""};
inline const platform::AutomationFailure kUnknownName{0x80020006, L""};
inline const platform::AutomationFailure kAccessRaised{0x800A0997, L"Access raised an error."};
inline const platform::AutomationFailure kCannotOpen{0x800A1EBA,
                                                     L"Access cannot open the database."};

// Forgets every call and every Access instance, and behaves as told from now on.
void ResetAccess(const AccessBehaviour& behaviour = {});
// A fresh world for every test (tests/unit/fresh_world.cpp): an empty file tree holding C:\App,
// and an Access that behaves as by default.
void ResetWorld();
// References handed out by CreateAutomationObject and not yet released.
int LiveAccessReferences();
// Apartments entered and not yet left.
int OpenComApartments();
// The content of the database file at the moment OpenCurrentDatabase opened it.
std::optional<std::string> OpenedDatabaseContent();

}  // namespace doubles
