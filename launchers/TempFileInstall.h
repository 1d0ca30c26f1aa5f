// The steps that put a new database file in place safely: a temporary copy beside the target,
// flushed to disk, then one rename onto the target. Shared by every way a launcher installs a file.
#pragma once

#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>

namespace launchers {

enum class InstallResult {
    Installed,
    // Another process (an Access) holds the target: the temporary file is gone, both files stay.
    TargetInUse,
    // The temporary file is gone and the target is as it was.
    Failed,
};

struct InstallOutcome {
    InstallResult result = InstallResult::Failed;
    // The Windows error code of the step that failed; kNoError once installed.
    platform::ErrorCode error = platform::kNoError;
    std::uint64_t bytesCopied = 0;
};

// Removes the temporary files ("orv", one to four hex digits, ".tmp") that an interrupted install
// left in folder. Call it only while no other launcher can be installing into that folder.
void RemoveLeftoverTempFiles(const std::wstring& folder);

// Whether a file name is one of the temporary files' names.
bool IsTempFileName(const std::wstring& name);

// The bytes in the temporary files of the folder: they grow while a launcher copies into it.
std::uint64_t BytesInTempFiles(const std::wstring& folder);

// Another launcher's copy into a folder, watched while this one waits for it to finish: worth
// waiting for while its temporary files grow, and for 30 s after they last did (a share may report
// a file's size up to 10 s late).
class AnotherLaunchersCopy {
  public:
    explicit AnotherLaunchersCopy(std::wstring folder);
    // Looks at the temporary files again: the bytes in them now.
    std::uint64_t Look();
    // After a look: pauses a moment and answers true while still worth waiting for.
    bool WaitMore();
    bool Looked() const { return lastBytes_.has_value(); }
    std::uint64_t WaitedMs() const;

  private:
    std::wstring folder_;
    std::uint64_t began_;
    std::uint64_t grewAt_;
    std::uint64_t lookedAt_;
    std::optional<std::uint64_t> lastBytes_;
};

// Copies the held source into a new temporary file in folder with the splash showing the progress,
// flushes it, and renames it onto target in one step. A target that exists keeps its permissions
// and attributes, and is not copied for when another process holds it.
InstallOutcome InstallThroughTempFile(const platform::OpenFile& source, const std::wstring& target,
                                      const std::wstring& folder);

// The progress callback of an install: the splash shows the progress once the copy has run for
// half a second.
platform::CopyProgress SplashProgress();

}  // namespace launchers
