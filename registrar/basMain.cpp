#include "basMain.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "Boxes.h"
#include "EventLog.h"
#include "Messages.h"
#include "TextHelpers.h"
#include "TrustPolicy.h"
#include "basRegistry.h"

namespace basMain {

bool bDeutsch = true;
bool bMeldung = true;
std::vector<std::wstring> officeVersionsNamed;
bool allowNetworkLocations = false;
bool registerOnce = false;
bool showUsage = false;
bool quiet = false;
std::wstring logFile;
bool eventLog = false;

namespace {

using textHelpers::LowerCase;
using textHelpers::TrimBlanks;

// Serialises the search and the writes among the current user's registrars, so that two of them
// started together never pick the same slot.
const std::wstring kSperre = L"Vintrel.TrustedLocations";

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

// What this run wrote into one slot, so that a failed registration can take it out again.
struct WrittenSlot {
    std::wstring sSchluessel;
    bool keyCreated = false;
    std::vector<std::wstring> values;
};

// A value that could not be written, and why.
struct FailedValue {
    std::wstring sWertName;
    basRegistry::WriteFailure failure;
};

// Writes the slot's values in their order and stops at the first that fails.
std::optional<FailedValue> WriteLocation(const std::wstring& sVersion, const SlotChoice& slot,
                                         const std::wstring& sPfad, std::int32_t lUnterordner,
                                         WrittenSlot& written) {
    const std::uint32_t lRoot = platform::kHkeyCurrentUser;
    written.sSchluessel = LocationKey(slot.lLocation, sVersion);
    written.keyCreated = slot.keyMissing;
    const std::pair<std::wstring, std::wstring> aTexte[] = {
        {L"Date", DateText(platform::Now(), platform::TimeSeparator())},
        {L"Description", L"Set by " + platform::ProgramFileName()},
        {L"Path", sPfad}};
    for (const auto& [sWertName, sText] : aTexte) {
        if (auto failure =
                basRegistry::fnc_Reg_String_Schreiben(lRoot, written.sSchluessel, sWertName, sText))
            return FailedValue{sWertName, *failure};
        written.values.push_back(sWertName);
    }
    if (lUnterordner == 1) {
        if (auto failure = basRegistry::fnc_Reg_Num_Schreiben(lRoot, written.sSchluessel,
                                                              L"AllowSubfolders", 1))
            return FailedValue{L"AllowSubfolders", *failure};
        written.values.push_back(L"AllowSubfolders");
    }
    return std::nullopt;
}

// A slot that this run made is deleted whole; in a slot that was there, only this run's values go.
void RemoveWritten(const std::vector<WrittenSlot>& slots) {
    const std::uint32_t lRoot = platform::kHkeyCurrentUser;
    for (const auto& slot : slots) {
        if (slot.keyCreated) {
            basRegistry::DeleteKey(lRoot, slot.sSchluessel);
            continue;
        }
        for (const auto& sWertName : slot.values)
            basRegistry::DeleteValue(lRoot, slot.sSchluessel, sWertName);
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
    std::vector<WrittenSlot> written;
    for (std::size_t i = 0; i < versions.size(); ++i) {
        std::optional<FailedValue> failed;
        if (!slots[i].alreadyRegistered) {
            failed =
                WriteLocation(versions[i], slots[i], sPfad, lUnterordner, written.emplace_back());
        }
        if (!failed && allowNetworkLocations) {
            if (auto failure = basRegistry::fnc_Reg_Num_Schreiben(platform::kHkeyCurrentUser,
                                                                  TrustedLocationsKey(versions[i]),
                                                                  L"AllowNetworkLocations", 1))
                failed = FailedValue{L"AllowNetworkLocations", *failure};
        }
        if (failed) {
            RemoveWritten(written);
            eventlog::Write(L"write",
                            versions[i] + L" " + failed->sWertName + L": error " +
                                std::to_wstring(failed->failure.number) + L" (" +
                                failed->failure.description +
                                L"); what this run wrote is taken back",
                            eventlog::Level::Error);
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
                        ? messages::InvalidOfficeVersion(bDeutsch, choice.invalidValue)
                        : messages::NoAccessInstalled(bDeutsch),
                    platform::kMbIconError);
        return exitCode(kRefused);
    }

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
    eventlog::Open(logFile.empty() ? std::wstring()
                                   : eventlog::ResolvePath(logFile, platform::AppPath()));
    if (eventLog)
        eventlog::StartWindowsEventLog();
    boxes::SetQuiet(quiet);
    eventlog::Write(L"start", std::wstring(platform::ReleaseText()) + L"; command line: " +
                                  platform::CommandLineArgs() + L"; ignored: " +
                                  (ignored.empty() ? L"none" : Listed(ignored)));
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
            return {lLocation, false, found == basRegistry::Found::NoKey};
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
                choice = {lLocation, false, found == basRegistry::Found::NoKey};
            continue;
        }
        AppendBackslash(stored);
        if (platform::EqualIgnoringCase(stored, sPfad))
            return {lLocation, true, false};
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
    if (sPfad.empty() || sPfad.back() != L'\\')
        sPfad += L'\\';
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

std::wstring DateText(const platform::LocalTime& zeit, const std::wstring& sZeitTrenner) {
    return TwoDigits(zeit.day) + L"." + TwoDigits(zeit.month) + L"." + FourDigits(zeit.year) +
           L" " + TwoDigits(zeit.hour) + sZeitTrenner + TwoDigits(zeit.minute);
}

}  // namespace basMain
