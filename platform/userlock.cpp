// The current user's lock: one named object per user, looked for first in the global namespace,
// which all of the user's sessions share, then in this session's. Anyone may create an object of
// that name first (another user on a terminal server): an object this user does not own is no
// lock of this user's programs and is passed over, so it can neither make them wait nor fail.
// An object that this user owns but may not open with full rights was made by an elevated run of
// the same user: it is opened with just the rights to wait and release, so both still take turns.
#include "platform.h"

namespace platform {
namespace {

// False when the name is taken by what is not this user's lock, or nothing can be had there.
bool OpenUsersLockObject(const std::wstring& fullName, LockObject& lock) {
    switch (CreateLockObject(fullName, lock)) {
        case LockCreation::Created:
            return true;
        case LockCreation::AlreadyThere:
            return LockObjectIsCurrentUsers(lock);
        case LockCreation::AccessDenied:
            return OpenLockObjectToWait(fullName, lock) && LockObjectIsCurrentUsers(lock);
        case LockCreation::Failed:
            break;
    }
    return false;
}

}  // namespace

UserLock::UserLock(const std::wstring& name, std::uint32_t timeoutMs) {
    const std::wstring sid = CurrentUserSid();
    if (sid.empty())
        return;
    const std::wstring usersName = name + L"." + sid;
    LockObject lock;
    if (!OpenUsersLockObject(L"Global\\" + usersName, lock) &&
        !OpenUsersLockObject(L"Local\\" + usersName, lock)) {
        return;
    }
    if (WaitForLockObject(lock, timeoutMs))
        lock_.swap(lock);
}

UserLock::~UserLock() {
    if (lock_.get())
        ReleaseLockObject(lock_);
}

}  // namespace platform
