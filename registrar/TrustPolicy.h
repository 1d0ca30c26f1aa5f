// Group policy that makes Access ignore the trusted locations a user records.
#pragma once

#include <string>
#include <vector>

namespace trustPolicy {

// The versions, of those given and in their order, for which a policy lets Access trust only
// locations set by policy ("Allow User Locations" = 0), so that the user's entry has no effect.
std::vector<std::wstring> VersionsIgnoringUserLocations(const std::vector<std::wstring>& versions);

}  // namespace trustPolicy
