#include "access_double.h"

#include <platform.h>

#include <cwctype>
#include <utility>

#include "common/log_double.h"
#include "files_double.h"
#include "journal.h"

namespace doubles {
namespace {

struct AccessState {
    AccessBehaviour behaviour;
    int liveReferences = 0;
    int openApartments = 0;
    std::optional<std::string> openedContent;
};

AccessState& State() {
    static AccessState state;
    return state;
}

// Stands for the one Access instance; only its address is handed out.
int accessInstance = 0;

// Automation looks members up without regard to case.
bool IsMember(const std::wstring& name, std::wstring_view expected) {
    if (name.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::towlower(name[i]) != std::towlower(expected[i]))
            return false;
    }
    return true;
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
    if (!State().behaviour.registered || !IsMember(progId, L"Access.Application"))
        return {};
    ++State().liveReferences;
    return AutomationObject(&doubles::accessInstance);
}

std::optional<AutomationValue> GetProperty(const AutomationObject& object,
                                           const std::wstring& name) {
    Record({L"Get", name, {}});
    if (!object.get())
        return std::nullopt;
    const doubles::AccessBehaviour& access = State().behaviour;
    if (IsMember(name, L"Version"))
        return access.version;
    if (IsMember(name, L"hWndAccessApp"))
        return access.windowHandle;
    return std::nullopt;
}

bool PutProperty(const AutomationObject& object, const std::wstring& name,
                 const AutomationValue& value) {
    Record({L"Put", name, {value}});
    if (!object.get())
        return false;
    const doubles::AccessBehaviour& access = State().behaviour;
    if (IsMember(name, L"AutomationSecurity"))
        return access.knowsAutomationSecurity;
    if (IsMember(name, L"Visible"))
        return !access.visibleFails;
    return false;
}

bool CallMethod(const AutomationObject& object, const std::wstring& name,
                const std::vector<AutomationValue>& arguments) {
    Record({L"Call", name, arguments});
    if (!object.get() || !IsMember(name, L"OpenCurrentDatabase"))
        return false;
    if (arguments.size() != 1 || !std::holds_alternative<std::wstring>(arguments[0]))
        return false;
    const std::wstring& path = std::get<std::wstring>(arguments[0]);
    if (State().behaviour.openFails || doubles::IsHeldOpen(path))
        return false;
    std::optional<std::string> content = doubles::FileContent(path);
    if (!content)
        return false;
    State().openedContent = std::move(content);
    return true;
}

bool ShowWindow(std::int32_t windowHandle, int showCommand) {
    Record({L"ShowWindow", L"", {windowHandle, std::int32_t{showCommand}}});
    return State().behaviour.showWindowBindable;
}

}  // namespace platform

const wchar_t* platform::AppTitle() {
    return L"Renvale";
}
