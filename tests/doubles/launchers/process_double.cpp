#include "process_double.h"

#include <platform.h>

#include "journal.h"

namespace doubles {

LauncherProcess& Process() {
    static LauncherProcess process;
    return process;
}

void ResetProcess() {
    Process() = LauncherProcess();
}

ProcessFacts& CurrentProcess() {
    return Process();
}

void JournalBox(const ShownBox& box) {
    Record({L"MsgBox", L"", {box.text}});
}

}  // namespace doubles

namespace platform {

using doubles::Process;

std::wstring CommandLine() {
    return Process().commandLine;
}

std::uint16_t UserUiLanguage() {
    return Process().uiLanguage;
}

std::wstring LocalAppDataFolder() {
    return Process().localAppData;
}

LockObject::~LockObject() = default;

std::uintptr_t* LockObject::put() {
    handle_ = 0;
    return &handle_;
}

UserLock::UserLock(const std::wstring& name, std::uint32_t /*timeoutMs*/) {
    doubles::Record({L"UserLock", L"", {name}});
    if (++Process().lockAttempts <= Process().lockHeldElsewhereFor)
        return;
    *lock_.put() = 1;
    ++Process().locksHeld;
}

UserLock::~UserLock() {
    if (held())
        --Process().locksHeld;
}

}  // namespace platform
