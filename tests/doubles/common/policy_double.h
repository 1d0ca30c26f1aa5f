// The policy keys of the machine and of the user as Group Policy would have written them, kept in
// memory for the native tests of all three programs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "platform.h"

namespace doubles {

// A value as it is stored: its registry type and its text or number.
struct StoredPolicy {
    std::uint32_t type = platform::kRegSz;
    std::wstring text;
    std::uint32_t number = 0;
    std::uint32_t unreadable = 0;  // a read fails with this error (5: access denied)
};

inline StoredPolicy PolicyText(const wchar_t* text, std::uint32_t type = platform::kRegSz) {
    return {type, text, 0, 0};
}
inline StoredPolicy PolicyNumber(std::uint32_t number) {
    return {platform::kRegDword, L"", number, 0};
}

struct PolicyWorld {
    // By scope, key (as written by Group Policy) and value name.
    std::map<std::tuple<platform::PolicyScope, std::wstring, std::wstring>, StoredPolicy> values;
    int reads = 0;
};

PolicyWorld& Policies();
// Stores a value below Software\Policies\Orvantis of the machine or of the user.
void SetPolicy(platform::PolicyScope scope, const std::wstring& name, const StoredPolicy& value);
// No policy at all; every test starts so.
void ResetPolicies();

}  // namespace doubles
