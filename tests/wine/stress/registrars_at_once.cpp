// Many registrars let go at the same moment, round after round, on top of slots that are already
// taken: each registration gets a slot of its own, and nothing written before is lost or
// overwritten.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "vintrel_fixture.h"

namespace vintrel {
namespace {

constexpr int kRegistrarsAtOnce = 16;
constexpr int kRounds = 10;
// Taken before the first round, with free slots between them that the registrars fill first.
const std::vector<int> kTakenBefore = {0, 1, 2, 5, 9, 10, 11, 40};

// Every slot's "Path", by slot number.
std::map<int, std::wstring> RegisteredPaths() {
    std::map<int, std::wstring> paths;
    for (int slot = 0; slot <= 1000; ++slot) {
        if (const auto path = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path"))
            paths[slot] = harness::TextOf(path->data);
    }
    return paths;
}

// The slots taken before the first round and the first free ones after them, one per
// registration: registrars that take turns fill the free slots from the front.
std::set<int> SlotsFilledFromTheFront(int registrations) {
    std::set<int> slots(kTakenBefore.begin(), kTakenBefore.end());
    for (int slot = 0; registrations > 0; ++slot) {
        if (slots.insert(slot).second)
            --registrations;
    }
    return slots;
}

class RegistrarsAtOnce : public VintrelTest {
  protected:
    void TearDown() override { harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations); }
};

TEST_F(RegistrarsAtOnce, EveryRegistrationOfTenRoundsOfSixteenKeepsASlotOfItsOwn) {
    std::map<int, std::wstring> expected;  // slot -> the path it must keep
    for (const int slot : kTakenBefore) {
        expected[slot] = L"C:\\Taken before\\" + std::to_wstring(slot) + L"\\";
        ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path", REG_SZ,
                                        harness::StringBytes(expected[slot])));
    }
    std::set<std::wstring> registeredSoFar;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<harness::Process> registrars;
        for (int n = 0; n < kRegistrarsAtOnce; ++n) {
            const std::wstring path =
                L"D:\\Round " + std::to_wstring(round) + L"\\" + std::to_wstring(n) + L"\\";
            registeredSoFar.insert(path);
            registrars.push_back(harness::StartSuspended(program_, L"/s /path " + path));
        }
        for (harness::Process& registrar : registrars)
            registrar.Resume();
        for (harness::Process& registrar : registrars)
            ASSERT_EQ(registrar.WaitForExit(), 0u);

        const std::map<int, std::wstring> paths = RegisteredPaths();
        // What was there before the round is still there, unchanged.
        for (const auto& [slot, path] : expected) {
            ASSERT_TRUE(paths.count(slot)) << "Location" << slot << " lost";
            EXPECT_EQ(paths.at(slot), path) << "Location" << slot << " overwritten";
        }
        // Every registration so far is in exactly one slot, and the free slots were filled from
        // the front.
        std::multiset<std::wstring> registered;
        std::set<int> slots;
        for (const auto& [slot, path] : paths) {
            slots.insert(slot);
            if (std::find(kTakenBefore.begin(), kTakenBefore.end(), slot) == kTakenBefore.end())
                registered.insert(path);
        }
        EXPECT_EQ(registered,
                  std::multiset<std::wstring>(registeredSoFar.begin(), registeredSoFar.end()));
        ASSERT_EQ(slots, SlotsFilledFromTheFront(round * kRegistrarsAtOnce));
        for (const auto& [slot, path] : paths)
            expected.emplace(slot, path);
    }
}

}  // namespace
}  // namespace vintrel
