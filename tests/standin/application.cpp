#include "application.h"

#include <oaidl.h>

#include <array>
#include <new>
#include <string>
#include <vector>

#include "call_log.h"
#include "main_window.h"
#include "members.h"
#include "settings.h"

namespace {

struct MemberName {
    const wchar_t* name;
    DISPID id;
};

constexpr std::array<MemberName, 5> memberNames = {{
    {L"Version", kDispidVersion},
    {L"AutomationSecurity", kDispidAutomationSecurity},
    {L"OpenCurrentDatabase", kDispidOpenCurrentDatabase},
    {L"Visible", kDispidVisible},
    {L"hWndAccessApp", kDispidHWndAccessApp},
}};

bool IsKnownMember(DISPID id, const StandInSettings& settings) {
    if (id == kDispidAutomationSecurity && settings.noAutomationSecurity)
        return false;
    return id >= kDispidVersion && id <= kDispidHWndAccessApp;
}

// Member lookup ignores case, as automation does.
DISPID FindMember(const wchar_t* name, const StandInSettings& settings) {
    for (const MemberName& member : memberNames) {
        if (CompareStringOrdinal(name, -1, member.name, -1, TRUE) == CSTR_EQUAL &&
            IsKnownMember(member.id, settings))
            return member.id;
    }
    return DISPID_UNKNOWN;
}

const wchar_t* KindOf(DISPID id, WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return L"put";
    if (id == kDispidOpenCurrentDatabase)
        return L"call";
    if (flags & DISPATCH_PROPERTYGET)
        return L"get";
    // A property called as a method is read, as automation clients expect.
    return (id >= kDispidVersion && id <= kDispidHWndAccessApp) ? L"get" : L"call";
}

class StandInApplication final : public IDispatch {
  public:
    explicit StandInApplication(HWND window) : window_(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = InterlockedDecrement(&references_);
        // The window stays: Access keeps running after its last client lets go.
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids || count == 0 || !names[0])
            return E_INVALIDARG;
        StandInSettings settings = ReadSettings();
        ids[0] = FindMember(names[0], settings);
        // Named parameters are not supported, so every name after the member is unknown.
        for (UINT i = 1; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        if (ids[0] == DISPID_UNKNOWN) {
            RecordCall(names[0], L"lookup", {}, L"unknown name");
            return DISP_E_UNKNOWNNAME;
        }
        namesAsPassed_[static_cast<std::size_t>(ids[0])] = names[0];
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (!params || (params->cArgs > 0 && !params->rgvarg) ||
            (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
            params->cNamedArgs > params->cArgs)
            return E_INVALIDARG;
        StandInSettings settings = ReadSettings();
        MemberCall call;
        call.id = id;
        call.kind = KindOf(id, flags);
        call.flags = flags;
        call.params = params;
        call.result = result;
        call.exception = exception;
        call.argumentError = argumentError;
        call.window = window_;
        // rgvarg holds the arguments last to first.
        for (UINT i = params->cArgs; i > 0; --i)
            call.arguments.push_back(DescribeValue(params->rgvarg[i - 1]));

        HRESULT outcome;
        if (!IsKnownMember(id, settings)) {
            outcome = DISP_E_MEMBERNOTFOUND;
            call.details = L"unknown member";
        } else if (!IsStandInWindowOpen(window_)) {
            outcome = RaiseError(call, L"closed", kAccessInvalidReference,
                                 L"The application window has been closed.");
        } else {
            outcome = InvokeMember(call, settings, state_);
        }
        RecordCall(MemberAsPassed(id), call.kind, call.arguments, call.details);
        return outcome;
    }

  private:
    std::wstring MemberAsPassed(DISPID id) const {
        if (id < kDispidVersion || id > kDispidHWndAccessApp)
            return L"#" + std::to_wstring(id);
        const std::wstring& passed = namesAsPassed_[static_cast<std::size_t>(id)];
        if (!passed.empty())
            return passed;
        return memberNames[static_cast<std::size_t>(id - kDispidVersion)].name;
    }

    LONG references_ = 1;
    HWND window_;
    ApplicationState state_;
    std::array<std::wstring, kDispidHWndAccessApp + 1> namesAsPassed_;
};

}  // namespace

HRESULT CreateApplication(REFIID iid, void** object) {
    HWND window = CreateStandInWindow();
    if (!window)
        return E_FAIL;
    auto* application = new (std::nothrow) StandInApplication(window);
    if (!application) {
        DestroyWindow(window);
        return E_OUTOFMEMORY;
    }
    HRESULT result = application->QueryInterface(iid, object);
    application->Release();
    // Nobody can reach that window: it must not keep the server alive.
    if (FAILED(result))
        DestroyWindow(window);
    return result;
}
