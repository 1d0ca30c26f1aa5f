#include <windows.h>

#include <string>

#include "owners.h"
#include "platform.h"

namespace platform {

std::wstring SystemErrorText(std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const owners::unique_hlocal held(text);
    std::wstring message = length ? std::wstring(text, length) : std::to_wstring(code);
    // Windows ends its messages with a line break, sometimes after a blank.
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace platform
