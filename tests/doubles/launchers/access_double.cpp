#include "access_double.h"

#include <platform.h>

#include <utility>

#include "common/log_double.h"
#include "files_double.h"
#include "journal.h"
#include "process_double.h"

namespace doubles {
namespace {

struct AccessState {
    AccessBehaviour behaviour;
    int liveReferences = 0;
    int openApartments = 0;
    std::optional<std::string> openedContent;
    platform::AutomationFailure lastFailure;
};

AccessState& State() {
    static AccessState state;
    return state;
}

// Remembers why a call failed, as the automation layer does.
bool Fails(const platform::AutomationFailure& failure) {
    State().lastFailure = failure;
    return false;
}

// Stands for the one Access instance; only its address is handed out.
int accessInstance = 0;

// Automation looks members up without regard to case.
bool IsMember(const std::wstring& name, std::wstring_view expected) {
    return platform::EqualIgnoringCase(name, std::wstring(expected));
}

}  // namespace

void ResetAccess(const AccessBehaviour& behaviour) {
    State() = AccessState{};
    State().behaviour = behaviour;
    ClearJournal();
}

void ResetWorld() {
    ResetFiles();
    ResetAccess();
    ResetLog();
    ResetProcess();
}

int LiveAccessReferences() {
    return State().liveReferences;
}

int OpenComApartments() {
    return State().openApartments;
}

std::optional<std::string> OpenedDatabaseContent() {
    return State().openedContent;
}

}  // namespace doubles

namespace platform {

using doubles::IsMember;
using doubles::Record;
using doubles::State;

ComApartment::ComApartment() : initialised_(true) {
    ++State().openApartments;
    Record({L"ComInit", L"", {}});
}

ComApartment::~ComApartment() {
    --State().openApartments;
    Record({L"ComUninit", L"", {}});
}

void AutomationObject::reset() {
    if (!std::exchange(dispatch_, nullptr))
        return;
    --State().liveReferences;
    Record({L"Release", L"", {}});
}

AutomationObject CreateAutomationObject(const std::wstring& progId) {
    Record({L"CreateObject", L"", {progId}});
    if (!State().behaviour.registered || !IsMember(progId, L"Access.Application")) {
        doubles::Fails(doubles::kClassNotRegistered);
        return {};
    }
    ++State().liveReferences;
    return AutomationObject(&doubles::accessInstance);
}

std::optional<AutomationValue> GetProperty(const AutomationObject& object,
                                           const std::wstring& name) {
    Record({L"Get", name, {}});
    const doubles::AccessBehaviour& access = State().behaviour;
    std::optional<AutomationValue> value;
    if (!object.get()) {
        doubles::Fails(doubles::kNoObject);
    } else if (IsMember(name, L"Version")) {
        value = access.version;
    } else if (IsMember(name, L"hWndAccessApp")) {
        value = access.windowHandle;
    }
    if (object.get() && !value)
        doubles::Fails(doubles::kAccessRaised);
    return value;
}

bool PutProperty(const AutomationObject& object, const std::wstring& name,
                 const AutomationValue& value) {
    Record({L"Put", name, {value}});
    if (!object.get())
        return doubles::Fails(doubles::kNoObject);
    const doubles::AccessBehaviour& access = State().behaviour;
    if (IsMember(name, L"AutomationSecurity"))
        return access.knowsAutomationSecurity || doubles::Fails(doubles::kUnknownName);
    if (IsMember(name, L"Visible"))
        return !access.visibleFails || doubles::Fails(doubles::kAccessRaised);
    return doubles::Fails(doubles::kUnknownName);
}

bool CallMethod(const AutomationObject& object, const std::wstring& name,
                const std::vector<AutomationValue>& arguments) {
    Record({L"Call", name, arguments});
    if (!object.get())
        return doubles::Fails(doubles::kNoObject);
    if (!IsMember(name, L"OpenCurrentDatabase"))
        return doubles::Fails(doubles::kUnknownName);
    if (arguments.size() != 1 || !std::holds_alternative<std::wstring>(arguments[0]))
        return doubles::Fails(doubles::kAccessRaised);
    const std::wstring& path = std::get<std::wstring>(arguments[0]);
    std::optional<std::string> content = doubles::FileContent(path);
    if (State().behaviour.openFails || doubles::IsHeldOpen(path) || !content)
        return doubles::Fails(doubles::kCannotOpen);
    State().openedContent = std::move(content);
    return true;
}

bool ShowWindow(std::int32_t windowHandle, int showCommand) {
    Record({L"ShowWindow", L"", {windowHandle, std::int32_t{showCommand}}});
    return State().behaviour.showWindowBindable;
}

AutomationFailure LastAutomationFailure() {
    return State().lastFailure;
}

}  // namespace platform

const wchar_t* platform::AppTitle() {
    return L"Renvale";
}

const wchar_t* platform::ReleaseText() {
    return L"Orvantis 9.8.7";
}
