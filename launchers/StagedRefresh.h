// Installs the database copy staged in the TEMP sub-folder of the application folder.
#pragma once

#include <platform.h>

#include <cstdint>
#include <string>

namespace launchers {

enum class RefreshResult { NoneStaged, Installed, Skipped, Failed };

// What one refresh did, for the log.
struct RefreshOutcome {
    RefreshResult result = RefreshResult::Failed;
    std::wstring reason;  // why it was skipped
    platform::ErrorCode error = platform::kNoError;
    std::uint64_t bytes = 0;
    std::uint64_t milliseconds = 0;
};

// One attempt, nothing shown. The installed database is at every moment either the old file or
// the complete staged one; the staged copy is deleted only once it has been installed.
RefreshOutcome RefreshStagedDatabase(const std::wstring& appFolder);

// "none staged", "installed N bytes in T ms", "skipped: REASON" or "failed: ERROR".
std::wstring RefreshDetails(const RefreshOutcome& outcome);

}  // namespace launchers
