// The one call that reports an event to the Windows Event Log.
#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

struct EventSourceCloser {
    void operator()(HANDLE source) const noexcept { DeregisterEventSource(source); }
};
using unique_event_source = std::unique_ptr<std::remove_pointer_t<HANDLE>, EventSourceCloser>;

// The user the program runs as, so that a collector on another computer sees whose run it was.
owners::unique_hlocal CurrentUserSidBinary() {
    PSID sid = nullptr;
    const std::wstring text = CurrentUserSid();
    if (text.empty() || !ConvertStringSidToSidW(text.c_str(), &sid))
        return nullptr;
    return owners::unique_hlocal(sid);
}

}  // namespace

bool ReportToEventLog(std::uint16_t type, std::uint32_t eventId, const std::wstring& text) {
    static const unique_event_source source(RegisterEventSourceW(nullptr, L"Orvantis"));
    static const owners::unique_hlocal user = CurrentUserSidBinary();
    if (!source)
        return false;
    const wchar_t* strings[] = {text.c_str()};
    return ReportEventW(source.get(), type, 0, eventId, user.get(), 1, 0, strings, nullptr) !=
           FALSE;
}

}  // namespace platform
