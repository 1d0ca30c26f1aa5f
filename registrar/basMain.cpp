#include "basMain.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "Boxes.h"
#include "EventLog.h"
#include "Messages.h"
#include "PathNames.h"
#include "Policies.h"
#include "Removal.h"
#include "RollbackRecord.h"
#include "TextHelpers.h"
#include "TrustPolicy.h"
#include "basRegistry.h"

namespace basMain {

bool bDeutsch = true;
bool bMeldung = true;
std::vector<std::wstring> officeVersionsNamed;
bool allowNetworkLocations = false;
bool registerOnce = false;
bool removeTrust = false;
bool showUsage = false;
bool quiet = false;
std::wstring logFile;
bool eventLog = false;

namespace {

using textHelpers::LowerCase;
using textHelpers::TrimBlanks;

std::wstring TrustedLocationsKey(const std::wstring& sVersion) {
    return L"Software\\Microsoft\\Office\\" + sVersion + L"\\Access\\Security\\Trusted Locations\\";
}

// A switch's value after its word: no Windows folder name holds a double quote, so every quote is
// quoting, not part of it.
std::wstring SwitchValue(const std::wstring& sSchalter, std::size_t wordLength) {
    std::wstring sWert = sSchalter.substr(std::min(wordLength, sSchalter.size()));
    sWert.erase(std::remove(sWert.begin(), sWert.end(), L'"'), sWert.end());
    return TrimBlanks(sWert);
}

std::wstring TwoDigits(int lZahl) {
    return std::wstring(lZahl < 10 ? L"0" : L"") + std::to_wstring(lZahl);
}

std::wstring FourDigits(int lZahl) {
    std::wstring sZahl = std::to_wstring(lZahl);
    return std::wstring(sZahl.size() < 4 ? 4 - sZahl.size() : 0, L'0') + sZahl;
}

// A slot is free when its "Path" is missing or holds no characters; one that could not be read may
// hold another program's folder.
bool IsFree(const std::wstring& sGelesen, basRegistry::Found found) {
    return sGelesen.empty() && found != basRegistry::Found::Unreadable;
}

// A value that could not be written, and why.
struct FailedValue {
    std::wstring sWertName;
    basRegistry::WriteFailure failure;
};

// Writes the slot's values in their order and stops at the first that fails.
std::optional<FailedValue> WriteLocation(rollback::Record& record, const std::wstring& sVersion,
                                         const SlotChoice& slot, const std::wstring& sPfad,
                                         std::int32_t lUnterordner) {
    const std::wstring sSchluessel = LocationKey(slot.lLocation, sVersion);
    const std::pair<std::wstring, std::wstring> aTexte[] = {
        {L"Date", DateText(platform::Now(), platform::TimeSeparator())},
        {L"Description", OwnDescription()},
        {L"Path", sPfad}};
    for (const auto& [sWertName, sText] : aTexte) {
        if (auto failure = record.WriteString(sSchluessel, sWertName, sText))
            return FailedValue{sWertName, *failure};
    }
    if (lUnterordner == 1) {
        if (auto failure = record.WriteNumber(sSchluessel, L"AllowSubfolders", 1))
            return FailedValue{L"AllowSubfolders", *failure};
    }
    return std::nullopt;
}

// Puts back what the run changed before the failure, and says in the log whether all of it went.
void TakeBack(rollback::Record& record, const std::wstring& sVersion, const FailedValue& failed) {
    const auto notTakenBack = record.Replay();
    eventlog::Write(L"write",
                    sVersion + L" " + failed.sWertName + L": " +
                        basRegistry::FailureText(failed.failure) + L"; " +
                        (notTakenBack.empty() ? L"what this run wrote is taken back"
                                              : L"what this run wrote could not all be taken back"),
                    eventlog::Level::Error);
    for (const auto& step : notTakenBack) {
        eventlog::Write(
            L"write",
            L"not taken back: " + step.what + L": " + basRegistry::FailureText(step.failure),
            eventlog::Level::Error);
    }
}

std::wstring SlotDetails(const SlotChoice& slot) {
    if (slot.lLocation == kKeineFreieLocation)
        return L"none free";
    const std::wstring sLocation = L"Location" + std::to_wstring(slot.lLocation);
    return slot.alreadyRegistered ? L"already registered in " + sLocation : sLocation;
}

enum class Registration { Done, NoFreeSlot, LockNotHad, WriteFailed };

struct Outcome {
    Registration registration = Registration::Done;
    std::optional<basRegistry::WriteFailure> failure;  // with WriteFailed
    std::vector<std::wstring> ignoringVersions;        // with Done: Access ignores the entry
};

// The slots of every version are chosen before anything is written, so a version without a free
// slot leaves all of them untouched, and a write that fails takes back what the run wrote before
// it. No box is shown while the lock is held: another registrar of the same user would wait for
// as long as the box stands open.
Outcome RegisterUnderLock(const std::vector<std::wstring>& versions, const std::wstring& sPfad,
                          std::int32_t lUnterordner) {
    const platform::UserLock sperre(kSperre, kLockWaitMs);
    if (!sperre.held())
        return {Registration::LockNotHad, std::nullopt, {}};
    basRegistry::HoldErrorBoxes();
    std::vector<SlotChoice> slots;
    for (const auto& sVersion : versions) {
        slots.push_back(registerOnce ? ChooseSlot(sVersion, sPfad) : FirstFreeSlot(sVersion));
        eventlog::Write(L"slot", sVersion + L": " + SlotDetails(slots.back()),
                        eventlog::ErrorIf(slots.back().lLocation == kKeineFreieLocation));
    }
    const bool noFreeSlot = std::any_of(slots.begin(), slots.end(), [](const SlotChoice& slot) {
        return slot.lLocation == kKeineFreieLocation;
    });
    if (noFreeSlot)
        return {Registration::NoFreeSlot, std::nullopt, {}};
    rollback::Record record(platform::kHkeyCurrentUser);
    for (std::size_t i = 0; i < versions.size(); ++i) {
        std::optional<FailedValue> failed;
        if (!slots[i].alreadyRegistered)
            failed = WriteLocation(record, versions[i], slots[i], sPfad, lUnterordner);
        if (!failed && allowNetworkLocations) {
            if (auto failure = record.WriteNumber(TrustedLocationsKey(versions[i]),
                                                  L"AllowNetworkLocations", 1))
                failed = FailedValue{L"AllowNetworkLocations", *failure};
        }
        if (failed) {
            TakeBack(record, versions[i], *failed);
            return {Registration::WriteFailed, failed->failure, {}};
        }
        eventlog::Write(L"write", versions[i] + L": ok");
    }
    // The entry stays written all the same: the policy may be lifted later.
    return {Registration::Done, std::nullopt, trustPolicy::VersionsIgnoringUserLocations(versions)};
}

// "16.0", or "14.0, 16.0" for several.
std::wstring Listed(const std::vector<std::wstring>& items) {
    std::wstring sListe;
    for (const auto& item : items)
        sListe += (sListe.empty() ? L"" : L", ") + item;
    return sListe;
}

// The versions to write, and what "auto" read.
std::wstring OfficeDetails(const officeVersions::Choice& choice) {
    using Problem = officeVersions::Choice::Problem;
    std::wstring details = choice.problem == Problem::InvalidValue
                               ? L"invalid version \"" + choice.invalidValue + L"\""
                           : choice.problem == Problem::NoAccessInstalled
                               ? std::wstring(L"no installed Access")
                               : Listed(choice.versions);
    if (choice.curVer) {
        details += L"; auto read \"" + *choice.curVer + L"\" from HKEY_CLASSES_ROOT\\" +
                   officeVersions::kCurVerKey;
    }
    return details;
}

// Everything after the switches: the checks, the registration and the one box that reports it.
int Register(std::wstring sPfad, std::int32_t lUnterordner) {
    const int errorsBefore = basRegistry::ErrorCount();
    const auto exitCode = [errorsBefore](ExitCode code) {
        return basRegistry::ErrorCount() > errorsBefore ? kRegistryError : code;
    };
    if (showUsage) {
        boxes::Show(messages::Usage(bDeutsch), platform::kMbIconInformation,
                    platform::ProgramFileName());
        return kRegistered;
    }

    AppendBackslash(sPfad);
    if (IsDriveRoot(sPfad)) {
        boxes::Show(messages::Refusal(bDeutsch), platform::kMbIconError);
        return kRefused;
    }

    const officeVersions::Choice choice = officeVersions::Choose(officeVersionsNamed);
    using Problem = officeVersions::Choice::Problem;
    eventlog::Write(L"office", OfficeDetails(choice),
                    eventlog::ErrorIf(choice.problem != Problem::None));
    if (choice.problem != Problem::None) {
        boxes::Show(choice.problem == Problem::InvalidValue
                        ? messages::InvalidOfficeVersion(bDeutsch, choice.invalidValue, removeTrust)
                        : messages::NoAccessInstalled(bDeutsch, removeTrust),
                    platform::kMbIconError);
        return exitCode(kRefused);
    }

    if (removeTrust)
        return exitCode(removal::RemoveFolder(choice.versions, sPfad));

    const Outcome outcome = RegisterUnderLock(choice.versions, sPfad, lUnterordner);
    basRegistry::ShowHeldErrorBoxes();
    switch (outcome.registration) {
        case Registration::LockNotHad:
            boxes::Show(messages::LockNotHad(bDeutsch), platform::kMbIconError);
            return kRegistryError;
        case Registration::NoFreeSlot:
            boxes::Show(messages::AllSlotsTaken(bDeutsch), platform::kMbIconError);
            return exitCode(kNoFreeSlot);
        case Registration::WriteFailed:
            boxes::Show(messages::WriteFailed(bDeutsch, sPfad, outcome.failure->description),
                        platform::kMbIconError);
            return kRegistryError;
        case Registration::Done:
            break;
    }
    if (!outcome.ignoringVersions.empty()) {
        boxes::Show(
            messages::OnlyPolicyLocations(bDeutsch, sPfad, Listed(outcome.ignoringVersions)),
            platform::kMbIconWarning);
        return exitCode(kIgnoredByPolicy);
    }
    if (bMeldung) {
        boxes::Show(messages::Success(bDeutsch, sPfad), platform::kMbIconInformation,
                    platform::ProgramFileName());
    }
    return exitCode(kRegistered);
}

}  // namespace

int Main() {
    bDeutsch = true;
    bMeldung = true;
    officeVersionsNamed.clear();
    allowNetworkLocations = false;
    registerOnce = false;
    removeTrust = false;
    showUsage = false;
    quiet = false;
    logFile.clear();
    eventLog = false;
    std::int32_t lUnterordner = 1;
    std::wstring sPfad = platform::AppPath();

    std::vector<std::wstring> aSchalter;
    std::vector<std::wstring> ignored;
    if (fnc_Kommandozeile_Zerlegen(aSchalter, L"/") > 0) {
        for (const auto& sSchalter : aSchalter) {
            if (!ApplySwitch(sSchalter, lUnterordner, sPfad) && !sSchalter.empty())
                ignored.push_back(sSchalter);
        }
    }
    std::vector<std::wstring> policyNotes;
    logFile =
        policies::Settle(policies::Log(), logFile.empty() ? std::nullopt : std::optional(logFile),
                         L"/log", policyNotes)
            .value_or(L"");
    eventLog = policies::Settle(policies::EventLog(), eventLog, L"/eventlog", policyNotes);
    eventlog::Open(logFile.empty() ? std::wstring()
                                   : paths::ResolvePath(logFile, platform::AppPath()));
    if (eventLog)
        eventlog::StartWindowsEventLog();
    boxes::SetQuiet(quiet);
    eventlog::Write(L"start", std::wstring(platform::ReleaseText()) + L"; command line: " +
                                  platform::CommandLineArgs() + L"; ignored: " +
                                  (ignored.empty() ? L"none" : Listed(ignored)));
    for (const auto& note : policyNotes)
        eventlog::Write(
            L"policy", note,
            policies::SetsAside(note) ? eventlog::Level::Warning : eventlog::Level::Information);
    const int code = Register(sPfad, lUnterordner);
    eventlog::Write(L"end", L"exit code " + std::to_wstring(code),
                    code == kRegistered        ? eventlog::Level::Information
                    : code == kIgnoredByPolicy ? eventlog::Level::Warning
                                               : eventlog::Level::Error);
    eventlog::Close();
    return code;
}

std::int32_t fnc_Freie_Location_Suchen(const std::wstring& sVersion) {
    return FirstFreeSlot(sVersion).lLocation;
}

SlotChoice FirstFreeSlot(const std::wstring& sVersion) {
    for (std::int32_t lLocation = 0; lLocation <= kLetzteLocation; ++lLocation) {
        basRegistry::Found found = basRegistry::Found::Unreadable;
        const std::wstring sGelesen = basRegistry::fnc_Reg_String_Lesen(
            platform::kHkeyCurrentUser, LocationKey(lLocation, sVersion), L"Path", &found);
        if (IsFree(sGelesen, found))
            return {lLocation, false};
    }
    return {};
}

SlotChoice ChooseSlot(const std::wstring& sVersion, const std::wstring& sPfad) {
    SlotChoice choice;
    for (std::int32_t lLocation = 0; lLocation <= kLetzteLocation; ++lLocation) {
        basRegistry::Found found = basRegistry::Found::Unreadable;
        std::wstring stored = basRegistry::fnc_Reg_String_Lesen(
            platform::kHkeyCurrentUser, LocationKey(lLocation, sVersion), L"Path", &found);
        if (stored.empty()) {
            if (choice.lLocation == kKeineFreieLocation && IsFree(stored, found))
                choice = {lLocation, false};
            continue;
        }
        AppendBackslash(stored);
        if (platform::EqualIgnoringCase(stored, sPfad))
            return {lLocation, true};
    }
    return choice;
}

std::int32_t fnc_Kommandozeile_Zerlegen(std::vector<std::wstring>& aSchalter,
                                        std::wstring sTrenner) {
    std::int32_t lAnzahl = 0;
    const std::wstring sKommando = platform::CommandLineArgs();
    if (sKommando.empty())
        return 0;

    // A lone quote is both first and last character; it stays as it is.
    std::wstring sText = sKommando;
    if (sText.size() >= 2 && sText.front() == L'"' && sText.back() == L'"') {
        sText = sText.substr(1, sText.size() - 2);
    }

    std::vector<std::wstring> aStuecke;
    if (!sText.empty()) {
        std::size_t lAnfang = 0;
        for (;;) {
            const std::size_t lTreffer =
                sTrenner.empty() ? std::wstring::npos : sText.find(sTrenner, lAnfang);
            if (lTreffer == std::wstring::npos) {
                aStuecke.push_back(sText.substr(lAnfang));
                break;
            }
            aStuecke.push_back(sText.substr(lAnfang, lTreffer - lAnfang));
            lAnfang = lTreffer + sTrenner.size();
        }
    }

    // The list keeps one spare empty entry at its end while it is filled.
    aSchalter.assign(1, std::wstring());
    for (const auto& sStueck : aStuecke) {
        if (sStueck.empty())
            continue;
        aSchalter[static_cast<std::size_t>(lAnzahl)] = TrimBlanks(sStueck);
        ++lAnzahl;
        aSchalter.resize(static_cast<std::size_t>(lAnzahl) + 1);
    }
    if (lAnzahl > 0)
        aSchalter.resize(static_cast<std::size_t>(lAnzahl));
    return lAnzahl;
}

bool ApplySwitch(const std::wstring& sSchalter, std::int32_t& lUnterordner, std::wstring& sPfad) {
    const std::wstring sKlein = LowerCase(sSchalter);
    bool erkannt = true;
    if (sKlein == L"s")
        bMeldung = false;
    else if (sKlein == L"langen")
        bDeutsch = false;
    else if (sKlein == L"nosubfolder")
        lUnterordner = 0;
    else if (sKlein == L"network")
        allowNetworkLocations = true;
    else if (sKlein == L"once")
        registerOnce = true;
    else if (sKlein == L"remove")
        removeTrust = true;
    else if (sKlein == L"quiet")
        quiet = true;
    else if (sKlein == L"eventlog")
        eventLog = true;
    else if (sKlein == L"?" || sKlein == L"help")
        showUsage = true;
    else
        erkannt = false;
    // The words with a value are prefixes, tried whatever the others said.
    if (sKlein.substr(0, 4) == L"path") {
        erkannt = true;
        const std::wstring sWert = SwitchValue(sSchalter, 4);
        if (!sWert.empty())
            sPfad = sWert;
    }
    if (sKlein.substr(0, 6) == L"office") {
        erkannt = true;
        const std::wstring sWert = SwitchValue(sSchalter, 6);
        if (!sWert.empty())
            officeVersionsNamed.push_back(sWert);
    }
    if (sKlein.substr(0, 3) == L"log") {
        erkannt = true;
        const std::wstring sWert = SwitchValue(sSchalter, 3);
        if (!sWert.empty())
            logFile = sWert;
    }
    return erkannt;
}

void AppendBackslash(std::wstring& sPfad) {
    sPfad = paths::WithTrailingBackslash(sPfad);
}

bool IsDriveRoot(const std::wstring& sPfad) {
    if (sPfad.size() == 3)
        return true;
    // Other spellings of a root (C:\\, C:\., C:/, C:\..) trust the whole drive just the same.
    const auto sVoll = platform::FullPathName(sPfad);
    return sVoll && sVoll->size() == 3 && (*sVoll)[1] == L':' && (*sVoll)[2] == L'\\';
}

std::wstring LocationKey(std::int32_t lLocation, const std::wstring& sVersion) {
    return TrustedLocationsKey(sVersion) + L"Location" + std::to_wstring(lLocation) + L"\\";
}

std::wstring OwnDescription() {
    return L"Set by " + platform::ProgramFileName();
}

std::wstring DateText(const platform::LocalTime& zeit, const std::wstring& sZeitTrenner) {
    return TwoDigits(zeit.day) + L"." + TwoDigits(zeit.month) + L"." + FourDigits(zeit.year) +
           L" " + TwoDigits(zeit.hour) + sZeitTrenner + TwoDigits(zeit.minute);
}

}  // namespace basMain
