#include <windows.h>

#include "platform.h"

namespace platform {

LocalTime Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute};
}

std::wstring TimeSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 1)
        return L":";
    return separator;
}

std::uint64_t TickCountMs() {
    return GetTickCount64();
}

}  // namespace platform
