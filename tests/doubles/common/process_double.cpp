#include "process_double.h"

#include <platform.h>

#include <cwctype>

namespace platform {

using doubles::CurrentProcess;

int MsgBox(const std::wstring& text, std::uint32_t style,
           const std::optional<std::wstring>& title) {
    CurrentProcess().boxes.push_back({text, style, title, doubles::LocksHeldNow()});
    doubles::JournalBox(CurrentProcess().boxes.back());
    return 1;
}

std::optional<std::wstring> FullPathName(const std::wstring& path) {
    const auto full = CurrentProcess().fullPaths.find(path);
    return full == CurrentProcess().fullPaths.end() ? path : full->second;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

}  // namespace platform
