#include <windows.h>

#include "owners.h"
#include "platform.h"

namespace platform {

UserLock::UserLock(const std::wstring& name) {
    owners::unique_handle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex)
        return;
    // A lock whose holder ended without releasing it is ours now, and sound to use.
    const DWORD waited = WaitForSingleObject(mutex.get(), INFINITE);
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
