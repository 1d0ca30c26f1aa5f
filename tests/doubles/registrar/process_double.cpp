#include "registrar_world.h"

namespace doubles {

ProcessFacts& CurrentProcess() {
    return World();
}

void JournalBox(const ShownBox& box) {
    World().journal.push_back(L"MsgBox " + std::to_wstring(box.style));
}

int LocksHeldNow() {
    return World().locksHeld;
}

}  // namespace doubles

namespace platform {

using doubles::World;

LocalTime Now() {
    return World().now;
}

std::wstring TimeSeparator() {
    return World().timeSeparator;
}

std::wstring CommandLineArgs() {
    return World().commandLineArgs;
}

std::wstring AppPath() {
    return World().appPath;
}

std::wstring ProgramFileName() {
    return World().programFileName;
}

const wchar_t* AppTitle() {
    return L"Vintrel";
}

const wchar_t* ReleaseText() {
    return L"Orvantis 9.8.7";
}

LockObject::~LockObject() {
    World().openLocks.erase(handle_);
}

std::uintptr_t* LockObject::put() {
    World().openLocks.erase(handle_);
    handle_ = 0;
    return &handle_;
}

namespace {

void HandOutLock(const std::wstring& fullName, LockObject& lock) {
    static std::uintptr_t next = 0x1000;
    *lock.put() = next;
    World().openLocks[next++] = fullName;
}

const doubles::LockObjectState& StateOf(const LockObject& lock) {
    return World().lockObjects.at(World().openLocks.at(lock.get()));
}

}  // namespace

std::wstring CurrentUserSid() {
    return World().userSid;
}

LockCreation CreateLockObject(const std::wstring& fullName, LockObject& lock) {
    World().journal.push_back(L"create lock " + fullName);
    lock.put();
    const auto found = World().lockObjects.find(fullName);
    if (found == World().lockObjects.end()) {
        World().lockObjects[fullName] = {};
        HandOutLock(fullName, lock);
        return LockCreation::Created;
    }
    if (!found->second.mutex)
        return LockCreation::Failed;
    if (!found->second.fullAccess)
        return LockCreation::AccessDenied;
    HandOutLock(fullName, lock);
    return LockCreation::AlreadyThere;
}

bool OpenLockObjectToWait(const std::wstring& fullName, LockObject& lock) {
    World().journal.push_back(L"open lock to wait " + fullName);
    lock.put();
    const auto found = World().lockObjects.find(fullName);
    if (found == World().lockObjects.end() || !found->second.mutex || !found->second.waitAccess)
        return false;
    HandOutLock(fullName, lock);
    return true;
}

bool LockObjectIsCurrentUsers(const LockObject& lock) {
    return StateOf(lock).ownedByUser;
}

bool WaitForLockObject(const LockObject& lock, std::uint32_t timeoutMs) {
    World().journal.push_back(L"lock " + World().openLocks.at(lock.get()) + L" " +
                              std::to_wstring(timeoutMs));
    if (!World().lockAvailable || StateOf(lock).heldByOther)
        return false;
    ++World().locksHeld;
    return true;
}

void ReleaseLockObject(const LockObject&) {
    World().journal.push_back(L"unlock");
    --World().locksHeld;
}

}  // namespace platform
