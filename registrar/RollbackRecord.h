// What a registration changed, kept so that a failure can put everything back exactly: before each
// write, the value's previous state (absent, or its type and bytes) and the keys the write creates.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "basRegistry.h"

namespace rollback {

// A step of the replay that failed: the key, or the key and value name, and why.
struct FailedStep {
    std::wstring what;
    basRegistry::WriteFailure failure;
};

// Writes below one root, remembering each value's and key's state before the first write to it.
class Record {
  public:
    explicit Record(std::uint32_t lRoot) : root_(lRoot) {}

    // Nothing is written when the previous state cannot be read: it could not be put back.
    std::optional<basRegistry::WriteFailure> WriteString(const std::wstring& sSchluessel,
                                                         const std::wstring& sWertName,
                                                         const std::wstring& sText);
    std::optional<basRegistry::WriteFailure> WriteNumber(const std::wstring& sSchluessel,
                                                         const std::wstring& sWertName,
                                                         std::int32_t lZahl);

    // Puts back every value and deletes every key this run created, the last change first. A step
    // that fails does not stop the others; the failed ones are given back.
    std::vector<FailedStep> Replay();

  private:
    struct Step {
        std::wstring key;                                      // without a trailing backslash
        std::optional<std::wstring> valueName;                 // nullopt: the key was created
        std::optional<basRegistry::StoredValue> previousData;  // nullopt: the value was absent
    };

    std::optional<basRegistry::WriteFailure> Remember(const std::wstring& sSchluessel,
                                                      const std::wstring& sWertName);
    std::optional<basRegistry::WriteFailure> RememberMissingKeys(const std::wstring& key);
    bool Remembered(const std::wstring& key, const std::optional<std::wstring>& valueName) const;

    std::uint32_t root_;
    std::vector<Step> steps_;
    std::set<std::wstring> existingKeys_;  // known to have been there before this run
};

}  // namespace rollback
