#include "LauncherSwitches.h"

#include <algorithm>
#include <cstddef>
#include <cwctype>

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

LauncherSwitches ReadLauncherSwitches(const std::vector<std::wstring>& arguments,
                                      bool perUserCopies) {
    const wchar_t* const names[] = {L"log", L"from", L"to"};
    const std::size_t known = perUserCopies ? 3 : 1;
    // The last of each switch that came with a value counts.
    std::optional<Given> last[3];
    std::vector<std::size_t> flags;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        if (IsSwitch(arguments[at], L"eventlog")) {
            flags.push_back(at);
            continue;
        }
        for (std::size_t name = 0; name < known; ++name) {
            if (!IsSwitch(arguments[at], names[name]))
                continue;
            if (at + 1 < arguments.size() && !arguments[at + 1].empty())
                last[name] = Given{at, arguments[at + 1]};
            ++at;  // the value, even an empty one, is not read as a switch of its own
            break;
        }
    }
    if (!last[1])
        last[2].reset();

    LauncherSwitches switches;
    switches.log = last[0] ? last[0]->value : std::nullopt;
    switches.from = last[1] ? last[1]->value : std::nullopt;
    switches.to = last[2] ? last[2]->value : std::nullopt;
    switches.eventLog = !flags.empty();
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        bool used = std::find(flags.begin(), flags.end(), at) != flags.end();
        for (const std::optional<Given>& given : last)
            used = used || (given && (at == given->at || at == given->at + 1));
        if (!used)
            switches.ignored.push_back(arguments[at]);
    }
    return switches;
}

}  // namespace launchers
