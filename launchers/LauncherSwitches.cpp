#include "LauncherSwitches.h"

#include <algorithm>
#include <cstddef>
#include <cwctype>

#include "Policies.h"

namespace launchers {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// "/LOG", "-log" and "/Log" name the switch "log".
bool IsSwitch(const std::wstring& argument, const wchar_t* name) {
    if (argument.empty() || (argument[0] != L'/' && argument[0] != L'-'))
        return false;
    std::size_t at = 1;
    for (; name[at - 1] != L'\0'; ++at) {
        if (at >= argument.size() ||
            std::towlower(argument[at]) != static_cast<std::wint_t>(name[at - 1])) {
            return false;
        }
    }
    return at == argument.size();
}

// The switch and its value: the next argument.
struct Given {
    std::size_t at;
    std::optional<std::wstring> value;
    bool valueTaken;  // the next argument was read as the value, even an empty one
};

}  // namespace

// Windows' rules: 2n backslashes before a quote give n and the quote opens or closes a quoted
// part; 2n+1 give n and a literal quote; other backslashes stay as they are. Within a quoted part,
// a doubled quote gives one literal quote and ends the part. The program's name is simpler: up to
// the first blank, or between quotes, without any escaping.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    std::size_t at = 0;
    std::wstring program;
    if (at < commandLine.size() && commandLine[at] == L'"') {
        for (++at; at < commandLine.size() && commandLine[at] != L'"'; ++at)
            program += commandLine[at];
        if (at < commandLine.size())
            ++at;
    } else {
        for (; at < commandLine.size() && !IsBlank(commandLine[at]); ++at)
            program += commandLine[at];
    }
    arguments.push_back(program);

    while (at < commandLine.size() && IsBlank(commandLine[at]))
        ++at;
    while (at < commandLine.size()) {
        std::wstring argument;
        bool quoted = false;
        std::size_t backslashes = 0;
        for (; at < commandLine.size() && (quoted || !IsBlank(commandLine[at])); ++at) {
            const wchar_t c = commandLine[at];
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            if (c != L'"') {
                argument.append(backslashes, L'\\');
                backslashes = 0;
                argument += c;
                continue;
            }
            argument.append(backslashes / 2, L'\\');
            const bool escaped = backslashes % 2 == 1;
            backslashes = 0;
            if (escaped) {
                argument += L'"';
            } else if (quoted && at + 1 < commandLine.size() && commandLine[at + 1] == L'"') {
                argument += L'"';
                quoted = false;
                ++at;
            } else {
                quoted = !quoted;
            }
        }
        argument.append(backslashes, L'\\');
        arguments.push_back(argument);
        while (at < commandLine.size() && IsBlank(commandLine[at]))
            ++at;
    }
    return arguments;
}

namespace {

enum Switch : std::size_t { kLog, kFrom, kTo, kSwitches };
const wchar_t* const kNames[kSwitches] = {L"log", L"from", L"to"};
// Never a value: a word that names a switch of either launcher, the Event Log's too, so that
// "/log /from ." keeps per-user mode instead of logging into a file named "/from".
const wchar_t* const kNeverValues[] = {L"log", L"from", L"to", L"eventlog"};

bool NamesASwitch(const std::wstring& argument) {
    for (const wchar_t* name : kNeverValues) {
        if (IsSwitch(argument, name))
            return true;
    }
    return false;
}

// perUserMode: the Master policy is set, so /to counts without /from.
LauncherSwitches ReadArguments(const std::vector<std::wstring>& arguments, bool perUserCopies,
                               bool perUserMode) {
    const std::size_t known = perUserCopies ? std::size_t{kSwitches} : std::size_t{1};
    // The last of each switch that came with a value counts; /from without one still means
    // per-user mode when no /from has a value.
    std::optional<Given> last[kSwitches];
    // /eventlog takes no value.
    std::vector<std::size_t> flags;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        if (IsSwitch(arguments[at], L"eventlog")) {
            flags.push_back(at);
            continue;
        }
        for (std::size_t name = 0; name < known; ++name) {
            if (!IsSwitch(arguments[at], kNames[name]))
                continue;
            const bool valueFollows = at + 1 < arguments.size() && !NamesASwitch(arguments[at + 1]);
            if (valueFollows && !arguments[at + 1].empty())
                last[name] = Given{at, arguments[at + 1], true};
            else if (name == kFrom && (!last[kFrom] || last[kFrom]->value->empty()))
                last[name] = Given{at, L"", valueFollows};
            if (valueFollows)
                ++at;  // the value, even an empty one, is not read as a switch of its own
            break;
        }
    }
    if (!last[kFrom] && !perUserMode)
        last[kTo].reset();

    LauncherSwitches switches;
    switches.log = last[kLog] ? last[kLog]->value : std::nullopt;
    switches.from = last[kFrom] ? last[kFrom]->value : std::nullopt;
    switches.to = last[kTo] ? last[kTo]->value : std::nullopt;
    switches.eventLog = !flags.empty();
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        bool used = std::find(flags.begin(), flags.end(), at) != flags.end();
        for (const std::optional<Given>& given : last) {
            used =
                used || (given && (at == given->at || (given->valueTaken && at == given->at + 1)));
        }
        if (!used)
            switches.ignored.push_back(arguments[at]);
    }
    return switches;
}

}  // namespace

LauncherSwitches ReadLauncherSwitches(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies) {
    return ReadArguments(arguments, perUserCopies, false);
}

LauncherSwitches ReadLauncherSettings(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies) {
    using State = policies::Policy<std::wstring>::State;
    const policies::Policy<std::wstring> master = policies::Master();
    const policies::Policy<std::wstring> localFolder = policies::LocalFolder();
    LauncherSwitches settings =
        ReadArguments(arguments, perUserCopies, perUserCopies && master.state == State::Set);
    std::vector<std::wstring>& notes = settings.policyNotes;
    if (!perUserCopies) {
        policies::NotUsed(master, L"no per-user copies in this launcher", notes);
        policies::NotUsed(localFolder, L"no per-user copies in this launcher", notes);
    } else {
        settings.from = policies::Settle(master, settings.from, L"/from", notes);
        if (settings.from)
            settings.to = policies::Settle(localFolder, settings.to, L"/to", notes);
        else
            policies::NotUsed(localFolder, L"no master folder (the Master policy or /from)", notes);
    }
    settings.log = policies::Settle(policies::Log(), settings.log, L"/log", notes);
    settings.eventLog =
        policies::Settle(policies::EventLog(), settings.eventLog, L"/eventlog", notes);
    return settings;
}

}  // namespace launchers
