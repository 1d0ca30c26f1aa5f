// The registrar's startup module: command-line switches, free-slot search and registration.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

namespace basMain {

// Program-wide flags; only Main and the switch table change them.
extern bool bDeutsch;  // messages in German (false: English)
extern bool bMeldung;  // the success message is shown

// What fnc_Freie_Location_Suchen gives when every slot already holds a folder.
inline constexpr std::int32_t kKeineFreieLocation = -1;
inline constexpr std::int32_t kLetzteLocation = 1000;

void Main();

// The first slot 0..1000 whose "Path" reads empty, or kKeineFreieLocation.
std::int32_t fnc_Freie_Location_Suchen();

// Cuts the process's command-line arguments at every sTrenner into trimmed switch texts.
std::int32_t fnc_Kommandozeile_Zerlegen(std::vector<std::wstring>& aSchalter,
                                        std::wstring sTrenner);

// The switch table: reads one switch text into the settings.
void ApplySwitch(const std::wstring& sSchalter, std::int32_t& lUnterordner, std::wstring& sPfad);

// Gives the folder the trailing backslash it lacks.
void AppendBackslash(std::wstring& sPfad);

// The key of slot n below HKEY_CURRENT_USER, ending in a backslash.
std::wstring LocationKey(std::int32_t lLocation);

// "dd.mm.yyyy hh:mm" with the user's time separator in place of the colon.
std::wstring DateText(const platform::LocalTime& zeit, const std::wstring& sZeitTrenner);

}  // namespace basMain
