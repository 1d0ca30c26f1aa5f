// The lock objects behind platform::UserLock (platform/userlock.cpp): named mutexes owned by the
// current user.
#include <windows.h>
// <sddl.h> and <aclapi.h> need the declarations of <windows.h> first.
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

HANDLE MutexOf(const LockObject& lock) {
    return reinterpret_cast<HANDLE>(lock.get());
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return {};
    const owners::unique_hlocal held(text);
    return text;
}

}  // namespace

LockObject::~LockObject() {
    owners::HandleCloser{}(MutexOf(*this));
}

std::uintptr_t* LockObject::put() {
    owners::HandleCloser{}(MutexOf(*this));
    handle_ = 0;
    return &handle_;
}

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
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

LockCreation CreateLockObject(const std::wstring& fullName, LockObject& lock) {
    // The user is set as owner even in an elevated run, whose objects Administrators own otherwise.
    const std::wstring sid = CurrentUserSid();
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    if (sid.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                           (L"O:" + sid + L"D:(A;;GA;;;" + sid + L")").c_str(), SDDL_REVISION_1,
                           &rawDescriptor, nullptr)) {
        return LockCreation::Failed;
    }
    const owners::unique_hlocal descriptor(rawDescriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rawDescriptor, FALSE};
    const HANDLE mutex = CreateMutexW(&attributes, FALSE, fullName.c_str());
    const DWORD error = GetLastError();
    *lock.put() = reinterpret_cast<std::uintptr_t>(mutex);
    if (mutex)
        return error == ERROR_ALREADY_EXISTS ? LockCreation::AlreadyThere : LockCreation::Created;
    return error == ERROR_ACCESS_DENIED ? LockCreation::AccessDenied : LockCreation::Failed;
}

bool OpenLockObjectToWait(const std::wstring& fullName, LockObject& lock) {
    // Rights a higher integrity level does not withhold from a normal run: none of them writes.
    const HANDLE mutex =
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL, FALSE, fullName.c_str());
    *lock.put() = reinterpret_cast<std::uintptr_t>(mutex);
    return mutex != nullptr;
}

bool LockObjectIsCurrentUsers(const LockObject& lock) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    if (GetSecurityInfo(MutexOf(lock), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        nullptr, nullptr, nullptr, &rawDescriptor) != ERROR_SUCCESS) {
        return false;
    }
    const owners::unique_hlocal descriptor(rawDescriptor);
    const std::wstring ownerSid = SidText(owner);
    return !ownerSid.empty() && ownerSid == CurrentUserSid();
}

bool WaitForLockObject(const LockObject& lock, std::uint32_t timeoutMs) {
    const DWORD waited = WaitForSingleObject(MutexOf(lock), timeoutMs);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void ReleaseLockObject(const LockObject& lock) {
    ReleaseMutex(MutexOf(lock));
}

}  // namespace platform
