// The user's lock against lock objects that others made first: this user's own registrar, an
// elevated run of this user, or another user (a terminal server) who squats the name. Windows
// under Wine shows neither other users nor integrity levels, so the decision is tested here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform.h"
#include "registrar/registrar_world.h"

namespace {

using doubles::LockObjectState;
using doubles::World;

const std::wstring kGlobal = L"Global\\Vintrel.TrustedLocations.S-1-5-21-7-7-7-1001";
const std::wstring kLocal = L"Local\\Vintrel.TrustedLocations.S-1-5-21-7-7-7-1001";

struct Situation {
    const char* name;
    std::optional<LockObjectState> global;
    std::optional<LockObjectState> local;
    const std::wstring* waitedFor;  // nullptr: no wait at all
    bool held;
};

void PrintTo(const Situation& situation, std::ostream* out) {
    *out << situation.name;
}

class UserLock : public ::testing::TestWithParam<Situation> {};

TEST_P(UserLock, WaitsOnlyForThisUsersLockAndNeverRunsWithoutOne) {
    const Situation& situation = GetParam();
    if (situation.global)
        World().lockObjects[kGlobal] = *situation.global;
    if (situation.local)
        World().lockObjects[kLocal] = *situation.local;

    {
        const platform::UserLock lock(L"Vintrel.TrustedLocations", 30000);

        EXPECT_EQ(lock.held(), situation.held);
        EXPECT_EQ(World().locksHeld, situation.held ? 1 : 0);
    }

    std::vector<std::wstring> waits;
    for (const auto& entry : World().journal) {
        if (entry.rfind(L"lock ", 0) == 0)
            waits.push_back(entry);
    }
    if (situation.waitedFor)
        EXPECT_THAT(waits, ::testing::ElementsAre(L"lock " + *situation.waitedFor + L" 30000"));
    else
        EXPECT_THAT(waits, ::testing::IsEmpty());
    EXPECT_FALSE(World().locksHeld) << "released at the end";
    EXPECT_THAT(World().openLocks, ::testing::IsEmpty()) << "a handle was left open";
}

// Made by this user's own registrar (the defaults), by an elevated run of this user (no full
// access), or by another user (another owner), and held or not.
const LockObjectState kOwn{};
const LockObjectState kOwnHeld{.heldByOther = true};
const LockObjectState kElevated{.fullAccess = false};
const LockObjectState kElevatedHeld{.fullAccess = false, .heldByOther = true};
const LockObjectState kOthers{.ownedByUser = false};
const LockObjectState kOthersHeld{.ownedByUser = false, .heldByOther = true};
const LockObjectState kOthersShuttingOut{
    .ownedByUser = false, .fullAccess = false, .waitAccess = false, .heldByOther = true};
const LockObjectState kOthersLettingWait{
    .ownedByUser = false, .fullAccess = false, .heldByOther = true};
const LockObjectState kOtherKind{.ownedByUser = false, .mutex = false};

const Situation kSituations[] = {
    {"NoneYetIsMadeInTheGlobalNamespace", std::nullopt, std::nullopt, &kGlobal, true},
    {"ThisUsersOwnIsTaken", kOwn, std::nullopt, &kGlobal, true},
    {"ThisUsersOwnHeldIsWaitedForInVain", kOwnHeld, std::nullopt, &kGlobal, false},
    {"AnElevatedRunsIsOpenedToWaitOnly", kElevated, std::nullopt, &kGlobal, true},
    {"AnElevatedRunsHeldIsWaitedForNotPassedBy", kElevatedHeld, std::nullopt, &kGlobal, false},
    {"AnotherUsersIsPassedBy", kOthers, std::nullopt, &kLocal, true},
    {"AnotherUsersHeldDoesNotMakeThisUserWait", kOthersHeld, std::nullopt, &kLocal, true},
    {"AnotherUsersThatShutsThisUserOutIsPassedBy", kOthersShuttingOut, std::nullopt, &kLocal, true},
    {"AnotherUsersThatLetsThisUserWaitIsPassedBy", kOthersLettingWait, std::nullopt, &kLocal, true},
    {"ANameTakenByAnotherKindOfObjectIsPassedBy", kOtherKind, std::nullopt, &kLocal, true},
    {"BothNamesSquattedGiveNoLockAtOnce", kOthersHeld, kOthersHeld, nullptr, false},
};

INSTANTIATE_TEST_SUITE_P(LockObjects, UserLock, ::testing::ValuesIn(kSituations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UserLockWithoutSid, NoNameOfTheUsersOwnGivesNoLock) {
    World().userSid.clear();

    const platform::UserLock lock(L"Vintrel.TrustedLocations", 30000);

    EXPECT_FALSE(lock.held());
    EXPECT_THAT(World().journal, ::testing::IsEmpty());
}

}  // namespace
