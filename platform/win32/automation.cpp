// Late-bound automation through IDispatch: members are looked up by name at every call.
#include <windows.h>

#include <oleauto.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

// Only the launch's own thread makes automation calls.
AutomationFailure lastFailure;

bool Failed(HRESULT hr, std::wstring description = {}) {
    if (SUCCEEDED(hr))
        return false;
    lastFailure = {static_cast<std::uint32_t>(hr), std::move(description)};
    return true;
}

IDispatch* AsDispatch(const AutomationObject& object) {
    return static_cast<IDispatch*>(object.get());
}

void ToVariant(const AutomationValue& value, VARIANT* target) {
    std::visit(
        [target](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                target->vt = VT_EMPTY;
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                target->vt = VT_BSTR;
                target->bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                target->vt = VT_I2;
                target->iVal = v;
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                target->vt = VT_I4;
                target->lVal = v;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                target->vt = VT_I8;
                target->llVal = v;
            } else {
                target->vt = VT_BOOL;
                target->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
            }
        },
        value);
}

// Kinds the launchers can use directly; anything else is read as text, and a value that cannot
// be read as text counts as a failed call.
std::optional<AutomationValue> FromVariant(VARIANT* value) {
    switch (value->vt) {
        case VT_EMPTY:
            return std::monostate{};
        case VT_BSTR:
            return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
        case VT_I2:
            return std::int16_t{value->iVal};
        case VT_UI1:
            return std::int16_t{value->bVal};
        case VT_I4:
            return std::int32_t{value->lVal};
        case VT_INT:
            return std::int32_t{value->intVal};
        case VT_UI2:
            return std::int32_t{value->uiVal};
        case VT_UI4:
            return std::int64_t{value->ulVal};
        case VT_I8:
            return std::int64_t{value->llVal};
        case VT_BOOL:
            return value->boolVal != VARIANT_FALSE;
        default:
            if (Failed(VariantChangeType(value, value, 0, VT_BSTR)))
                return std::nullopt;
            return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
    }
}

std::optional<DISPID> MemberId(IDispatch* dispatch, const std::wstring& name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = DISPID_UNKNOWN;
    if (Failed(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return std::nullopt;
    return id;
}

// One call by member name; the arguments are given in their written order.
bool Invoke(const AutomationObject& object, const std::wstring& name, WORD flags,
            const std::vector<AutomationValue>& arguments, VARIANT* result) {
    IDispatch* dispatch = AsDispatch(object);
    if (!dispatch) {
        Failed(E_POINTER);
        return false;
    }
    const std::optional<DISPID> id = MemberId(dispatch, name);
    if (!id)
        return false;

    // The owners clear the arguments; the array handed to Invoke holds them last to first.
    std::vector<owners::unique_variant> owned(arguments.size());
    std::vector<VARIANT> reversed(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        ToVariant(arguments[i], owned[i].get());
        reversed[arguments.size() - 1 - i] = *owned[i].get();
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = reversed.empty() ? nullptr : reversed.data();
    parameters.cArgs = static_cast<UINT>(reversed.size());
    if (flags == DISPATCH_PROPERTYPUT) {
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }

    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = dispatch->Invoke(*id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                        result, &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn)
        exception.pfnDeferredFillIn(&exception);
    const owners::unique_bstr source(exception.bstrSource);
    const owners::unique_bstr description(exception.bstrDescription);
    const owners::unique_bstr helpFile(exception.bstrHelpFile);
    if (hr != DISP_E_EXCEPTION)
        return !Failed(hr);
    // Access raises its errors as exceptions: their own code says what went wrong.
    const HRESULT raised = exception.scode ? exception.scode
                           : exception.wCode > 0
                               ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception.wCode)
                               : hr;
    Failed(raised, description ? std::wstring(description.get(), SysStringLen(description.get()))
                               : std::wstring());
    return false;
}

}  // namespace

ComApartment::ComApartment() {
    // S_FALSE (already initialised on this thread) must be balanced as well.
    initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment() {
    if (initialised_)
        CoUninitialize();
}

void AutomationObject::reset() {
    if (dispatch_)
        static_cast<IDispatch*>(std::exchange(dispatch_, nullptr))->Release();
}

AutomationObject CreateAutomationObject(const std::wstring& progId) {
    CLSID clsid{};
    if (Failed(CLSIDFromProgID(progId.c_str(), &clsid)))
        return {};
    owners::com_ptr<IDispatch> dispatch;
    if (Failed(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(dispatch.put())))) {
        return {};
    }
    return AutomationObject(dispatch.release());
}

std::optional<AutomationValue> GetProperty(const AutomationObject& object,
                                           const std::wstring& name) {
    // Late binding reads a property as a property or as a method without arguments.
    owners::unique_variant result;
    if (!Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, result.get())) {
        return std::nullopt;
    }
    return FromVariant(result.get());
}

bool PutProperty(const AutomationObject& object, const std::wstring& name,
                 const AutomationValue& value) {
    return Invoke(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

bool CallMethod(const AutomationObject& object, const std::wstring& name,
                const std::vector<AutomationValue>& arguments) {
    owners::unique_variant result;
    return Invoke(object, name, DISPATCH_METHOD, arguments, result.get());
}

AutomationFailure LastAutomationFailure() {
    return lastFailure;
}

}  // namespace platform
