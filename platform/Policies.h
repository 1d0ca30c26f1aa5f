// Every policy the three programs obey, in one place: Group Policy (or Intune) writes them into one
// key of the machine and of the user; the machine's value wins, and a policy beats the switch
// that would set the same thing, so that editing a shortcut cannot undo what was set centrally.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace policies {

// Outside Software\Policies\Microsoft on purpose: cloud management refuses imported templates that
// write there.
inline constexpr wchar_t kKey[] = L"Software\\Policies\\Orvantis";

// One policy as the programs take it. Wrong: a value is there but cannot be used (another type,
// empty, a number out of range); it counts as not configured, and wrong says why for the log.
template <typename T>
struct Policy {
    enum class State { NotConfigured, Set, Wrong };
    const wchar_t* name = L"";
    State state = State::NotConfigured;
    T value{};
    platform::PolicyScope scope = platform::PolicyScope::Machine;  // where a Set value came from
    std::vector<std::wstring> wrong;  // each unusable value met, machine before user
};

// The master folder of the per-user copies, as Renvale's /from.
Policy<std::wstring> Master();
// The user's folder for them, as /to.
Policy<std::wstring> LocalFolder();
// The log file, as /log.
Policy<std::wstring> Log();
// 1 turns the Event Log on, as /eventlog; 0 (what a Disabled policy writes) turns it off even
// when /eventlog is given.
Policy<bool> EventLog();

// The value that counts: the policy's when it is set, otherwise what the switch gave. notes gets
// one line for the log per thing an administrator should know: a wrong value, the value set, and
// the switch that the policy beat.
std::optional<std::wstring> Settle(const Policy<std::wstring>& policy,
                                   const std::optional<std::wstring>& given,
                                   const std::wstring& switchWord,
                                   std::vector<std::wstring>& notes);
bool Settle(const Policy<bool>& policy, bool given, const std::wstring& switchWord,
            std::vector<std::wstring>& notes);
// Whether a note tells of something set aside (a wrong value, a beaten switch, an unused
// policy): a warning in the Windows Event Log; a value in force is information.
bool SetsAside(const std::wstring& note);

// A policy this program does not act on: its wrong values, and the value with why it is unused.
void NotUsed(const Policy<std::wstring>& policy, const std::wstring& why,
             std::vector<std::wstring>& notes);

}  // namespace policies
