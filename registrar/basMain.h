// The registrar's startup module: command-line switches, free-slot search and registration.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OfficeVersions.h"
#include "platform.h"

namespace basMain {

// Program-wide flags; only Main and the switch table change them.
extern bool bDeutsch;  // messages in German (false: English)
extern bool bMeldung;  // the success message is shown

// Set by the switch table like the flags above; Main resets them.
extern std::vector<std::wstring> officeVersionsNamed;  // /office values, quotes removed
extern bool allowNetworkLocations;                     // /network
extern bool registerOnce;                              // /once
extern bool removeTrust;                               // /remove
extern bool showUsage;                                 // /? or /help
extern bool quiet;                                     // /quiet: no box of any kind
extern std::wstring logFile;                           // /log: as given, quotes removed
extern bool eventLog;                                  // /eventlog: the log's lines reported too
// The Log and EventLog policies then beat the two switches above (Main).

// What fnc_Freie_Location_Suchen gives when every slot already holds a folder.
inline constexpr std::int32_t kKeineFreieLocation = -1;
inline constexpr std::int32_t kLetzteLocation = 1000;

// The process's exit code, for scripts. A registry helper's error box outranks the others.
enum ExitCode : int {
    kRegistered = 0,       // also: already there with /once, or the usage box was shown
    kRefused = 1,          // a drive root, an invalid /office value, "auto" without Access
    kNoFreeSlot = 2,       // for some version; then nothing was written for any
    kRegistryError = 3,    // a helper's error box was shown, a write failed, or no lock was had
    kIgnoredByPolicy = 4,  // written, but policy lets Access trust only locations set by policy
};

// Serialises the search and the writes among the current user's registrars, so that two of them
// started together never pick the same slot, nor remove one that the other is writing.
inline constexpr wchar_t kSperre[] = L"Vintrel.TrustedLocations";
// How long a registrar waits for another one that holds the lock.
inline constexpr std::uint32_t kLockWaitMs = 30000;

int Main();

// The first slot 0..1000 of the Office version whose "Path" is missing or holds no characters, or
// kKeineFreieLocation. A "Path" that cannot be read may hold another program's folder: occupied.
std::int32_t fnc_Freie_Location_Suchen(const std::wstring& sVersion = officeVersions::kStandard);

// With /once: the slot that already holds sPfad (compared without regard to case, both with a
// trailing backslash) when there is one, else the first free slot.
struct SlotChoice {
    std::int32_t lLocation = kKeineFreieLocation;
    bool alreadyRegistered = false;
};
// The first free slot as fnc_Freie_Location_Suchen finds it, and whether its key exists.
SlotChoice FirstFreeSlot(const std::wstring& sVersion);
SlotChoice ChooseSlot(const std::wstring& sVersion, const std::wstring& sPfad);

// Cuts the process's command-line arguments at every sTrenner into trimmed switch texts.
std::int32_t fnc_Kommandozeile_Zerlegen(std::vector<std::wstring>& aSchalter,
                                        std::wstring sTrenner);

// The switch table: reads one switch text into the settings; false when it matches no switch.
bool ApplySwitch(const std::wstring& sSchalter, std::int32_t& lUnterordner, std::wstring& sPfad);

// Gives the folder the trailing backslash it lacks.
void AppendBackslash(std::wstring& sPfad);

// True for a folder that names a whole drive: three characters, or a full path such as C:\.
bool IsDriveRoot(const std::wstring& sPfad);

// The key of slot n below HKEY_CURRENT_USER, ending in a backslash.
std::wstring LocationKey(std::int32_t lLocation,
                         const std::wstring& sVersion = officeVersions::kStandard);

// The "Description" this program writes: "Set by " and its file name without extension.
std::wstring OwnDescription();

// "dd.mm.yyyy hh:mm" with the user's time separator in place of the colon.
std::wstring DateText(const platform::LocalTime& zeit, const std::wstring& sZeitTrenner);

}  // namespace basMain
