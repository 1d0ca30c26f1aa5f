#include <windows.h>
// <sddl.h> needs the declarations of <windows.h> first.
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

// "S-1-5-21-...", the current user's SID as text; empty when it cannot be had.
std::wstring CurrentUserSid() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return {};
    const owners::unique_handle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    // 8-byte units keep the pointers inside TOKEN_USER aligned.
    std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);
    if (!size || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    const std::wstring sid(text);
    LocalFree(text);
    return sid;
}

}  // namespace

UserLock::UserLock(const std::wstring& name, std::uint32_t timeoutMs) {
    // Named after the user so that each user has a lock of their own in the global namespace,
    // which the user's sessions (console, remote desktop) share.
    const std::wstring sid = CurrentUserSid();
    const std::wstring userName = sid.empty() ? name : name + L"." + sid;
    owners::unique_handle mutex;
    if (!sid.empty())
        mutex.reset(CreateMutexW(nullptr, FALSE, (L"Global\\" + userName).c_str()));
    if (!mutex)
        mutex.reset(CreateMutexW(nullptr, FALSE, (L"Local\\" + userName).c_str()));
    if (!mutex)
        return;
    // A lock whose holder ended without releasing it is ours now, and sound to use.
    const DWORD waited = WaitForSingleObject(mutex.get(), timeoutMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        handle_ = reinterpret_cast<std::uintptr_t>(mutex.release());
    }
}

UserLock::~UserLock() {
    if (!handle_)
        return;
    const owners::unique_handle mutex(reinterpret_cast<HANDLE>(handle_));
    ReleaseMutex(mutex.get());
}

}  // namespace platform
