// The registrar's only way into the registry. Each helper opens or creates its own key, does one
// value operation and closes the key; a run-time error inside is shown in an error box there and
// never reaches the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace basRegistry {

// What fnc_Reg_String_Lesen found, where its text alone does not tell: an empty text that may hide
// a value (Unreadable: a read that failed other than for a missing key or value, or a text
// without a NUL to cut at) and one that holds nothing (a text of zero bytes is Read).
enum class Found { NoKey, NoValue, Read, Unreadable };

// The value's text; empty when the key or the value is missing, its type is not read, or an error
// was shown. Never creates or changes anything.
std::wstring fnc_Reg_String_Lesen(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                                  const std::wstring& sWertName, Found* found = nullptr);

// Why a write failed: Windows' error code and message, or the run-time error that the helper's
// error box showed.
using WriteFailure = platform::RuntimeError;
// "error 5 (Access is denied.)", as the log gives a failure.
std::wstring FailureText(const WriteFailure& failure);

// Stores lZahl as a REG_DWORD, creating the key when it is missing; nullopt when it was stored.
std::optional<WriteFailure> fnc_Reg_Num_Schreiben(const std::uint32_t& lRoot,
                                                  const std::wstring& sSchluessel,
                                                  const std::wstring& sWertName,
                                                  const std::int32_t& lZahl);

// Stores sText as a REG_SZ, creating the key when it is missing; nullopt when it was stored.
std::optional<WriteFailure> fnc_Reg_String_Schreiben(const std::uint32_t& lRoot,
                                                     const std::wstring& sSchluessel,
                                                     const std::wstring& sWertName,
                                                     const std::wstring& sText);

// A REG_DWORD value; nullopt when the key or the value is missing, or it is no REG_DWORD.
std::optional<std::uint32_t> ReadNumber(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName);

// A value exactly as stored: its type and bytes.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Whether the key exists; a failure when that cannot be told (the open failed for another reason).
std::optional<WriteFailure> KeyExists(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                      bool& exists);
// What the value holds, in stored: nullopt when its key or the value is missing.
std::optional<WriteFailure> ReadStored(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                       const std::wstring& sWertName,
                                       std::optional<StoredValue>& stored);
// Stores the value with exactly this type and these bytes, creating the key when it is missing.
std::optional<WriteFailure> WriteStored(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName, const StoredValue& stored);

// A value or key that is missing already counts as deleted; a key with sub-keys stays (failure).
std::optional<WriteFailure> DeleteValue(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName);
std::optional<WriteFailure> DeleteKey(std::uint32_t lRoot, const std::wstring& sSchluessel);

// While held, the helpers' error boxes wait instead of being shown, so that no box stands open
// while a lock is held; ShowHeldErrorBoxes shows them in the order they arose and ends the hold.
void HoldErrorBoxes();
void ShowHeldErrorBoxes();
// How many run-time errors the helpers have reported since the process started.
int ErrorCount();

}  // namespace basRegistry
