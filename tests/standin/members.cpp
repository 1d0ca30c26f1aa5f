#include "members.h"

#include <cstdio>

#include "call_log.h"
#include "crc32.h"
#include "main_window.h"
#include "owners.h"

namespace {

bool IsPut(const MemberCall& call) {
    return (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

HRESULT Fail(MemberCall& call, HRESULT error, const wchar_t* details) {
    call.details = details;
    return error;
}

HRESULT CheckGet(MemberCall& call) {
    if (call.params->cNamedArgs != 0)
        return Fail(call, DISP_E_NONAMEDARGS, L"named arguments");
    if (call.params->cArgs != 0)
        return Fail(call, DISP_E_BADPARAMCOUNT, L"bad parameter count");
    return S_OK;
}

HRESULT CheckPut(MemberCall& call) {
    if (!(call.flags & DISPATCH_PROPERTYPUT))
        return Fail(call, DISP_E_MEMBERNOTFOUND, L"not a value put");
    if (call.params->cArgs != 1)
        return Fail(call, DISP_E_BADPARAMCOUNT, L"bad parameter count");
    if (call.params->cNamedArgs != 1 || call.params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return Fail(call, DISP_E_PARAMNOTFOUND, L"value not named DISPID_PROPERTYPUT");
    return S_OK;
}

// Converts the argument at rgvarg[index] the way Access accepts its arguments.
HRESULT Coerce(MemberCall& call, UINT index, VARTYPE type, owners::unique_variant& converted) {
    VARIANT& source = call.params->rgvarg[index];
    VARTYPE base = source.vt & VT_TYPEMASK;
    HRESULT result = DISP_E_TYPEMISMATCH;
    // Objects are not asked for their default value: that would call back into the client.
    if (!(source.vt & VT_ARRAY) && base != VT_DISPATCH && base != VT_UNKNOWN)
        result = VariantChangeTypeEx(converted.get(), &source, LOCALE_USER_DEFAULT, 0, type);
    if (SUCCEEDED(result))
        return S_OK;
    if (call.argumentError)
        *call.argumentError = index;
    if (result == DISP_E_OVERFLOW)
        return Fail(call, DISP_E_OVERFLOW, L"overflow");
    return Fail(call, DISP_E_TYPEMISMATCH, L"type mismatch");
}

bool IsMissing(const VARIANT& argument) {
    return argument.vt == VT_ERROR && argument.scode == DISP_E_PARAMNOTFOUND;
}

// The argument at 1-based position `position` in call order, when the client passed it.
HRESULT CoerceOptional(MemberCall& call, UINT position, VARTYPE type,
                       owners::unique_variant& converted) {
    UINT count = call.params->cArgs;
    if (position > count || IsMissing(call.params->rgvarg[count - position]))
        return S_OK;
    return Coerce(call, count - position, type, converted);
}

// Hands the value to the client and writes it into the record.
HRESULT Answer(MemberCall& call, owners::unique_variant& value) {
    call.details = DescribeValue(*value.get());
    if (call.result) {
        *call.result = *value.get();
        value.get()->vt = VT_EMPTY;
    }
    return S_OK;
}

HRESULT Version(MemberCall& call, const StandInSettings& settings) {
    if (IsPut(call))
        return Fail(call, DISP_E_MEMBERNOTFOUND, L"read-only");
    if (HRESULT checked = CheckGet(call); FAILED(checked))
        return checked;
    if (settings.versionFails)
        return RaiseError(call, L"fails (version_fails)", kAccessInvalidReference,
                          L"Version cannot be read (told so by standin.ini).");
    owners::unique_variant value;
    value.get()->vt = VT_BSTR;
    value.get()->bstrVal =
        SysAllocStringLen(settings.version.data(), static_cast<UINT>(settings.version.size()));
    if (!value.get()->bstrVal)
        return Fail(call, E_OUTOFMEMORY, L"out of memory");
    return Answer(call, value);
}

HRESULT AutomationSecurity(MemberCall& call, ApplicationState& state) {
    if (IsPut(call)) {
        if (HRESULT checked = CheckPut(call); FAILED(checked))
            return checked;
        owners::unique_variant level;
        if (HRESULT coerced = Coerce(call, 0, VT_I4, level); FAILED(coerced))
            return coerced;
        // msoAutomationSecurityLow, ...ByUI and ...ForceDisable are the only levels.
        if (level.get()->lVal < 1 || level.get()->lVal > 3)
            return RaiseError(call, L"invalid level", kAccessInvalidReference,
                              L"AutomationSecurity takes 1, 2 or 3.");
        state.automationSecurity = level.get()->lVal;
        return S_OK;
    }
    if (HRESULT checked = CheckGet(call); FAILED(checked))
        return checked;
    owners::unique_variant value;
    value.get()->vt = VT_I4;
    value.get()->lVal = state.automationSecurity;
    return Answer(call, value);
}

HRESULT Visible(MemberCall& call) {
    if (IsPut(call)) {
        if (HRESULT checked = CheckPut(call); FAILED(checked))
            return checked;
        owners::unique_variant visible;
        if (HRESULT coerced = Coerce(call, 0, VT_BOOL, visible); FAILED(coerced))
            return coerced;
        ShowWindow(call.window, visible.get()->boolVal ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    if (HRESULT checked = CheckGet(call); FAILED(checked))
        return checked;
    owners::unique_variant value;
    value.get()->vt = VT_BOOL;
    value.get()->boolVal = IsWindowVisible(call.window) ? VARIANT_TRUE : VARIANT_FALSE;
    return Answer(call, value);
}

HRESULT HWndAccessApp(MemberCall& call) {
    if (IsPut(call))
        return Fail(call, DISP_E_MEMBERNOTFOUND, L"read-only");
    if (HRESULT checked = CheckGet(call); FAILED(checked))
        return checked;
    owners::unique_variant value;
    value.get()->vt = VT_I4;
    value.get()->lVal = HandleToLong(call.window);
    return Answer(call, value);
}

bool IsMissingFileError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_INVALID_DRIVE ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

// Reads the whole file and lets go of it again: the database is not held open.
DWORD ReadDatabaseFile(const std::wstring& path, unsigned long long& size, std::uint32_t& crc) {
    owners::unique_handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return GetLastError();
    size = 0;
    crc = kCrc32Start;
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return GetLastError();
        if (read == 0)
            return ERROR_SUCCESS;
        crc = UpdateCrc32(crc, buffer.data(), read);
        size += read;
    }
}

HRESULT OpenCurrentDatabase(MemberCall& call, const StandInSettings& settings) {
    if (!(call.flags & DISPATCH_METHOD))
        return Fail(call, DISP_E_MEMBERNOTFOUND, L"not a method call");
    if (call.params->cNamedArgs != 0)
        return Fail(call, DISP_E_NONAMEDARGS, L"named arguments");
    // filepath, and the optional Exclusive and bstrPassword of Access's own signature.
    UINT count = call.params->cArgs;
    if (count < 1 || count > 3)
        return Fail(call, DISP_E_BADPARAMCOUNT, L"bad parameter count");
    if (IsMissing(call.params->rgvarg[count - 1]))
        return Fail(call, DISP_E_PARAMNOTOPTIONAL, L"filepath missing");
    owners::unique_variant path;
    if (HRESULT coerced = Coerce(call, count - 1, VT_BSTR, path); FAILED(coerced))
        return coerced;
    owners::unique_variant exclusive;
    if (HRESULT coerced = CoerceOptional(call, 2, VT_BOOL, exclusive); FAILED(coerced))
        return coerced;
    owners::unique_variant password;
    if (HRESULT coerced = CoerceOptional(call, 3, VT_BSTR, password); FAILED(coerced))
        return coerced;

    if (settings.openDelayMs > 0)
        Sleep(settings.openDelayMs);

    std::wstring file(path.get()->bstrVal, SysStringLen(path.get()->bstrVal));
    unsigned long long size = 0;
    std::uint32_t crc = 0;
    DWORD error = ReadDatabaseFile(file, size, crc);
    if (error != ERROR_SUCCESS) {
        std::wstring description = L"Microsoft Access can't open the database '" + file + L"'.";
        if (IsMissingFileError(error))
            return RaiseError(call, L"missing", kAccessCannotOpenDatabase, description);
        return RaiseError(call, L"unreadable error=" + std::to_wstring(error),
                          kAccessCannotOpenDatabase, description);
    }
    ShowDatabase(call.window, file);
    wchar_t details[64];
    swprintf(details, 64, L"ok size=%llu crc32=%08lX", size, static_cast<unsigned long>(crc));
    call.details = details;
    if (call.result)
        VariantInit(call.result);
    return S_OK;
}

}  // namespace

HRESULT RaiseError(MemberCall& call, const std::wstring& details, LONG accessError,
                   const std::wstring& description) {
    call.details = details;
    if (call.exception) {
        *call.exception = {};
        call.exception->bstrSource = SysAllocString(L"Orvantis stand-in");
        call.exception->bstrDescription = SysAllocString(description.c_str());
        call.exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, accessError);
    }
    return DISP_E_EXCEPTION;
}

HRESULT InvokeMember(MemberCall& call, const StandInSettings& settings, ApplicationState& state) {
    switch (call.id) {
        case kDispidVersion:
            return Version(call, settings);
        case kDispidAutomationSecurity:
            return AutomationSecurity(call, state);
        case kDispidOpenCurrentDatabase:
            return OpenCurrentDatabase(call, settings);
        case kDispidVisible:
            return Visible(call);
        case kDispidHWndAccessApp:
            return HWndAccessApp(call);
        default:
            return Fail(call, DISP_E_MEMBERNOTFOUND, L"unknown member");
    }
}
