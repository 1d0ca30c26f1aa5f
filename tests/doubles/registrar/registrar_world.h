// The world as the registrar sees it through platform.h, kept in memory for the native tests: an
// HKEY_CURRENT_USER that records every call, and the process facts only the registrar asks for.
// Faults can be injected (a function that cannot be bound, a key that may not be created, a
// failing query).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/process_double.h"
#include "platform.h"

namespace doubles {

// Registry names compare as Windows compares them: without regard to case.
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const StoredValue&) const = default;
};

using Values = std::map<std::wstring, StoredValue, NoCaseLess>;

// A lock object made before the run: by this user's own registrar (the defaults), by an elevated
// run of this user (no full access), or by another user (not owned by this user).
struct LockObjectState {
    bool ownedByUser = true;
    bool fullAccess = true;  // this user may open it with all rights
    bool waitAccess = true;  // this user may open it to wait and release
    bool mutex = true;       // false: the name is taken by another kind of object
    bool heldByOther = false;
};

struct RegistrarWorld : ProcessFacts {
    int locksHeld = 0;  // user locks the process holds now
    std::wstring commandLineArgs;
    std::wstring appPath = L"D:\\Tools";
    std::wstring programFileName = L"Vintrel";
    platform::LocalTime now{2026, 12, 6, 21, 7};
    std::wstring timeSeparator = L":";

    std::wstring userSid = L"S-1-5-21-7-7-7-1001";  // empty: the user's SID cannot be had
    // Lock objects that exist, by full name ("Global\Vintrel.TrustedLocations.S-1-5-21-...").
    std::map<std::wstring, LockObjectState> lockObjects;
    // False: another registrar holds the lock for longer than the wait.
    bool lockAvailable = true;

    // HKEY_CURRENT_USER: every existing key by its path, without a trailing backslash. Keys of
    // HKEY_CLASSES_ROOT are kept here too, below kClassesRoot.
    std::map<std::wstring, Values, NoCaseLess> keys;
    // Keys that may not be created, with everything below them.
    std::vector<std::wstring> deniedKeys;
    // Registry functions whose binding by name fails ("RegOpenKeyW", "RegCloseKey", ...).
    std::set<std::string> unbindable;
    // Registry functions that run out of memory (throw std::bad_alloc) when called.
    std::set<std::string> outOfMemory;
    // The n-th RegQueryValueExW call (counted from 1) fails with ERROR_ACCESS_DENIED; 0: none.
    int failingQuery = 0;
    // Value names whose RegSetValueExW fails with ERROR_ACCESS_DENIED, in any key.
    std::set<std::wstring, NoCaseLess> deniedValues;

    // What happened, in order: registry calls, the lock, boxes. Entries read like
    // "RegOpenKeyW Software\X\", "RegQueryValueExW Path size", "RegQueryValueExW Path into 255",
    // "RegSetValueExW Date type 1 size 34", "RegCloseKey", "create lock Global\...",
    // "open lock to wait Global\...", "lock Global\... 30000", "unlock", "MsgBox 64".
    std::vector<std::wstring> journal;
    std::map<std::uintptr_t, std::wstring> openKeys;   // handle -> key path
    std::map<std::uintptr_t, std::wstring> openLocks;  // handle -> lock object name
    int queries = 0;
};

inline const std::wstring kClassesRoot = L"HKEY_CLASSES_ROOT\\";

// The one world of the test process; ResetWorld() gives a fresh one.
RegistrarWorld& World();
void ResetWorld();

// UTF-16LE bytes of a text, with its terminating NUL unless told otherwise.
std::vector<std::uint8_t> Utf16(const std::wstring& text, bool withTerminator = true);
std::vector<std::uint8_t> DwordBytes(std::uint32_t number);

// Direct access to the in-memory HKEY_CURRENT_USER, creating keys as needed; not journalled.
void SetValue(const std::wstring& key, const std::wstring& name, std::uint32_t type,
              const std::vector<std::uint8_t>& data);
void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& text);
std::optional<StoredValue> GetValue(const std::wstring& key, const std::wstring& name);
bool KeyExists(const std::wstring& key);
// The UTF-16 text of a stored value, cut at its first NUL.
std::wstring TextOf(const StoredValue& value);

}  // namespace doubles
