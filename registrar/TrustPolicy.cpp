#include "TrustPolicy.h"

#include "basRegistry.h"
#include "platform.h"

namespace trustPolicy {

// Policy stores the switch as a REG_DWORD; a value of any other type or size is not one Office
// honours, and counts as no policy.
std::vector<std::wstring> VersionsIgnoringUserLocations(const std::vector<std::wstring>& versions) {
    std::vector<std::wstring> ignoring;
    for (const auto& version : versions) {
        const auto allowed =
            basRegistry::ReadNumber(platform::kHkeyCurrentUser,
                                    L"Software\\Policies\\Microsoft\\Office\\" + version +
                                        L"\\Common\\Security\\Trusted Locations",
                                    L"Allow User Locations");
        if (allowed == 0u)
            ignoring.push_back(version);
    }
    return ignoring;
}

}  // namespace trustPolicy
