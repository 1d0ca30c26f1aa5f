#include "Policies.h"

#include <type_traits>

#include "EventLog.h"

namespace policies {
namespace {

using platform::PolicyScope;
using platform::PolicyType;
using platform::PolicyValue;

const wchar_t* ScopeName(PolicyScope scope) {
    return scope == PolicyScope::Machine ? L"machine" : L"user";
}

std::wstring WrongText(const wchar_t* name, PolicyScope scope, const std::wstring& why) {
    return std::wstring(name) + L" in the " + ScopeName(scope) + L" policy ignored: " + why;
}

// Why a value that is there cannot be used; empty when it can.
std::wstring Unusable(const PolicyValue& value, PolicyType type) {
    switch (value.state) {
        case PolicyValue::State::OtherType:
            return type == PolicyType::Text ? L"not of type REG_SZ or REG_EXPAND_SZ"
                                            : L"not of type REG_DWORD";
        case PolicyValue::State::Unreadable:
            return L"unreadable: " + eventlog::ErrorText(value.error);
        case PolicyValue::State::Read:
            if (type == PolicyType::Text && value.text.empty())
                return L"empty";
            if (type == PolicyType::Number && value.number > 1)
                return std::to_wstring(value.number) + L" is neither 0 (off) nor 1 (on)";
            return {};
        case PolicyValue::State::NotThere:
            break;
    }
    return {};
}

// The machine's value first; the user's counts only where the machine has none that can be used.
template <typename T>
Policy<T> Read(const wchar_t* name, PolicyType type) {
    Policy<T> policy;
    policy.name = name;
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
        const PolicyValue value = platform::ReadPolicyValue(scope, kKey, name, type);
        if (value.state == PolicyValue::State::NotThere)
            continue;
        const std::wstring why = Unusable(value, type);
        if (!why.empty()) {
            policy.wrong.push_back(WrongText(name, scope, why));
            policy.state = Policy<T>::State::Wrong;
            continue;
        }
        policy.state = Policy<T>::State::Set;
        policy.scope = scope;
        if constexpr (std::is_same_v<T, bool>)
            policy.value = value.number == 1;
        else
            policy.value = value.text;
        break;
    }
    return policy;
}

template <typename T>
std::wstring ValueText(const Policy<T>& policy) {
    if constexpr (std::is_same_v<T, bool>)
        return policy.value ? L"1 (on)" : L"0 (off)";
    else
        return L"\"" + policy.value + L"\"";
}

template <typename T>
std::wstring SetText(const Policy<T>& policy) {
    return std::wstring(policy.name) + L" " + ValueText(policy) + L" from the " +
           ScopeName(policy.scope) + L" policy";
}

template <typename T>
std::wstring BeatText(const Policy<T>& policy, const std::wstring& switchGiven) {
    return switchGiven + L" ignored: the " + ScopeName(policy.scope) + L" policy " + policy.name +
           L" beats the command line";
}

}  // namespace

Policy<std::wstring> Master() {
    return Read<std::wstring>(L"Master", PolicyType::Text);
}

Policy<std::wstring> LocalFolder() {
    return Read<std::wstring>(L"LocalFolder", PolicyType::Text);
}

Policy<std::wstring> Log() {
    return Read<std::wstring>(L"Log", PolicyType::Text);
}

Policy<bool> EventLog() {
    return Read<bool>(L"EventLog", PolicyType::Number);
}

std::optional<std::wstring> Settle(const Policy<std::wstring>& policy,
                                   const std::optional<std::wstring>& given,
                                   const std::wstring& switchWord,
                                   std::vector<std::wstring>& notes) {
    notes.insert(notes.end(), policy.wrong.begin(), policy.wrong.end());
    if (policy.state != Policy<std::wstring>::State::Set)
        return given;
    notes.push_back(SetText(policy));
    if (given)
        notes.push_back(BeatText(policy, switchWord + L" \"" + *given + L"\""));
    return policy.value;
}

bool Settle(const Policy<bool>& policy, bool given, const std::wstring& switchWord,
            std::vector<std::wstring>& notes) {
    notes.insert(notes.end(), policy.wrong.begin(), policy.wrong.end());
    if (policy.state != Policy<bool>::State::Set)
        return given;
    notes.push_back(SetText(policy));
    if (given)
        notes.push_back(BeatText(policy, switchWord));
    return policy.value;
}

void NotUsed(const Policy<std::wstring>& policy, const std::wstring& why,
             std::vector<std::wstring>& notes) {
    notes.insert(notes.end(), policy.wrong.begin(), policy.wrong.end());
    if (policy.state == Policy<std::wstring>::State::Set)
        notes.push_back(SetText(policy) + L" ignored: " + why);
}

bool SetsAside(const std::wstring& note) {
    return note.find(L" ignored") != std::wstring::npos;
}

}  // namespace policies
