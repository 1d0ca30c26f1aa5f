#include <windows.h>

#include "platform.h"

namespace platform {

std::wstring AnsiBytesToWide(const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0)
        return {};
    const auto* bytes = reinterpret_cast<const char*>(data);
    const int length = static_cast<int>(size);
    const int needed = MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, length, text.data(), needed);
    return text;
}

}  // namespace platform
