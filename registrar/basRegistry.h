// The registrar's only way into the registry. Each helper opens or creates its own key, does one
// value operation and closes the key; a run-time error inside is shown in an error box there and
// never reaches the caller.
#pragma once

#include <cstdint>
#include <string>

namespace basRegistry {

// The value's text; empty when the key or the value is missing, its type is not read, or an error
// was shown. Never creates or changes anything.
std::wstring fnc_Reg_String_Lesen(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                                  const std::wstring& sWertName);

// Stores lZahl as a REG_DWORD, creating the key when it is missing.
void fnc_Reg_Num_Schreiben(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                           const std::wstring& sWertName, const std::int32_t& lZahl);

// Stores sText as a REG_SZ, creating the key when it is missing.
void fnc_Reg_String_Schreiben(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                              const std::wstring& sWertName, const std::wstring& sText);

// While held, the helpers' error boxes wait instead of being shown, so that no box stands open
// while a lock is held; ShowHeldErrorBoxes shows them in the order they arose and ends the hold.
void HoldErrorBoxes();
void ShowHeldErrorBoxes();
// How many run-time errors the helpers have reported since the process started.
int ErrorCount();

}  // namespace basRegistry
