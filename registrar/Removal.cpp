#include "Removal.h"

#include <cstdint>
#include <optional>

#include "Boxes.h"
#include "EventLog.h"
#include "Messages.h"
#include "basMain.h"
#include "basRegistry.h"
#include "platform.h"

namespace removal {

namespace {

struct Outcome {
    bool lockHad = true;
    int removed = 0;
    std::optional<basRegistry::WriteFailure> failure;  // the first delete that failed
};

// Only an entry this program wrote for the folder: the same "Path" as adding would write it
// (compared as /once compares it) and this program's "Description". An entry of another program,
// or one without a description, is not ours to take back.
bool IsOwnEntry(const std::wstring& sSchluessel, const std::wstring& sPfad) {
    const std::uint32_t lRoot = platform::kHkeyCurrentUser;
    std::wstring stored = basRegistry::fnc_Reg_String_Lesen(lRoot, sSchluessel, L"Path");
    if (stored.empty())
        return false;
    basMain::AppendBackslash(stored);
    return platform::EqualIgnoringCase(stored, sPfad) &&
           platform::EqualIgnoringCase(
               basRegistry::fnc_Reg_String_Lesen(lRoot, sSchluessel, L"Description"),
               basMain::OwnDescription());
}

// Slots free up in any order, so every one is looked at.
std::vector<std::int32_t> OwnSlots(const std::wstring& sVersion, const std::wstring& sPfad) {
    std::vector<std::int32_t> slots;
    for (std::int32_t lLocation = 0; lLocation <= basMain::kLetzteLocation; ++lLocation) {
        if (IsOwnEntry(basMain::LocationKey(lLocation, sVersion), sPfad))
            slots.push_back(lLocation);
    }
    return slots;
}

std::wstring SlotNames(const std::vector<std::int32_t>& slots) {
    std::wstring names;
    for (const auto lLocation : slots)
        names += (names.empty() ? L"Location" : L", Location") + std::to_wstring(lLocation);
    return names;
}

// As for adding: no box while the lock is held, so that another registrar never waits for one.
Outcome RemoveUnderLock(const std::vector<std::wstring>& versions, const std::wstring& sPfad) {
    const platform::UserLock sperre(basMain::kSperre, basMain::kLockWaitMs);
    if (!sperre.held())
        return {false, 0, std::nullopt};
    basRegistry::HoldErrorBoxes();
    Outcome outcome;
    for (const auto& sVersion : versions) {
        const auto slots = OwnSlots(sVersion, sPfad);
        eventlog::Write(L"slot", sVersion + L": " +
                                     (slots.empty() ? L"none holds the folder" : SlotNames(slots)));
        std::vector<std::int32_t> removed;
        for (const auto lLocation : slots) {
            // A slot deleted before a failure stays deleted: the trust is gone where it could go.
            const auto failure = basRegistry::DeleteKey(platform::kHkeyCurrentUser,
                                                        basMain::LocationKey(lLocation, sVersion));
            if (!failure) {
                removed.push_back(lLocation);
                continue;
            }
            eventlog::Write(L"write",
                            sVersion + L" Location" + std::to_wstring(lLocation) + L": " +
                                basRegistry::FailureText(*failure) + L"; not removed",
                            eventlog::Level::Error);
            if (!outcome.failure)
                outcome.failure = failure;
        }
        if (!removed.empty() || slots.empty()) {
            eventlog::Write(L"write", sVersion + L": " +
                                          (slots.empty() ? L"nothing to remove"
                                                         : SlotNames(removed) + L" removed"));
        }
        outcome.removed += static_cast<int>(removed.size());
    }
    return outcome;
}

}  // namespace

basMain::ExitCode RemoveFolder(const std::vector<std::wstring>& versions,
                               const std::wstring& sPfad) {
    using basMain::bDeutsch;
    if (basMain::allowNetworkLocations) {
        // Others may need the network setting: a removal never writes it.
        eventlog::Write(L"write",
                        L"AllowNetworkLocations left as it is: /network ignored with /remove",
                        eventlog::Level::Warning);
    }
    const Outcome outcome = RemoveUnderLock(versions, sPfad);
    basRegistry::ShowHeldErrorBoxes();
    if (!outcome.lockHad) {
        boxes::Show(messages::RemovalLockNotHad(bDeutsch), platform::kMbIconError);
        return basMain::kRegistryError;
    }
    if (outcome.failure) {
        boxes::Show(messages::RemoveFailed(bDeutsch, sPfad, outcome.failure->description),
                    platform::kMbIconError);
        return basMain::kRegistryError;
    }
    if (basMain::bMeldung) {
        boxes::Show(outcome.removed > 0 ? messages::Removed(bDeutsch, sPfad)
                                        : messages::NotRegistered(bDeutsch, sPfad),
                    platform::kMbIconInformation, platform::ProgramFileName());
    }
    return basMain::kRegistered;
}

}  // namespace removal
