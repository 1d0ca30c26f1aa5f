#include <windows.h>

#include "platform.h"

namespace platform {

int MsgBox(const std::wstring& text, std::uint32_t style,
           const std::optional<std::wstring>& title) {
    return MessageBoxW(nullptr, text.c_str(), title ? title->c_str() : AppTitle(), style);
}

}  // namespace platform
