// What each member of the stand-in does once its DISPID has been found.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <vector>

#include "settings.h"

enum : DISPID {
    kDispidVersion = 1,
    kDispidAutomationSecurity,
    kDispidOpenCurrentDatabase,
    kDispidVisible,
    kDispidHWndAccessApp,
};

// What one object remembers between calls.
struct ApplicationState {
    LONG automationSecurity = 1;  // msoAutomationSecurityLow, Access's level under automation
};

// One Invoke as it arrived, and what goes into its line of the record.
struct MemberCall {
    DISPID id = DISPID_UNKNOWN;
    const wchar_t* kind = L"";
    WORD flags = 0;
    DISPPARAMS* params = nullptr;
    VARIANT* result = nullptr;
    EXCEPINFO* exception = nullptr;
    UINT* argumentError = nullptr;
    HWND window = nullptr;
    std::vector<std::wstring> arguments;
    std::wstring details;
};

// Access's own error numbers, so clients see what they would see from Access.
inline constexpr LONG kAccessCannotOpenDatabase = 7866;
inline constexpr LONG kAccessInvalidReference = 2455;

HRESULT InvokeMember(MemberCall& call, const StandInSettings& settings, ApplicationState& state);

// Fails the call with DISP_E_EXCEPTION, filling EXCEPINFO as Access would.
HRESULT RaiseError(MemberCall& call, const std::wstring& details, LONG accessError,
                   const std::wstring& description);
