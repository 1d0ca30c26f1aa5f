#include "log_double.h"

namespace doubles {

LogWorld& Log() {
    static LogWorld world;
    return world;
}

void ResetLog() {
    Log() = LogWorld();
}

}  // namespace doubles

namespace platform {

using doubles::Log;

LogTime NowForLog() {
    return Log().now;
}

std::wstring ComputerName() {
    return Log().computer;
}

std::wstring UserName() {
    return Log().user;
}

std::uint32_t ProcessId() {
    return Log().processId;
}

std::wstring ErrorMessage(std::uint32_t code) {
    const auto found = Log().errorMessages.find(code);
    return found == Log().errorMessages.end() ? std::wstring() : found->second;
}

// %NAME% with a known name is replaced; anything else stays as written, as Windows leaves it.
std::wstring ExpandEnvironment(const std::wstring& text) {
    std::wstring expanded;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(L'%', at);
        const std::size_t close =
            open == std::wstring::npos ? std::wstring::npos : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            expanded += text.substr(at);
            break;
        }
        const auto value = Log().environment.find(text.substr(open + 1, close - open - 1));
        if (value == Log().environment.end()) {
            expanded += text.substr(at, close - at);
            at = close;
            continue;
        }
        expanded += text.substr(at, open - at) + value->second;
        at = close + 1;
    }
    return expanded;
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    ++Log().appendCalls;
    if (Log().unwritable.count(path))
        return false;
    Log().files[path] += bytes;
    return true;
}

}  // namespace platform
