// The staged copy is first copied beside the installed database and only then put in its place,
// in one step: a copy that breaks off half-way damages nothing, and the staged copy is deleted
// only once it is installed, so a failed attempt can be repeated at the next start.
#include "StagedRefresh.h"

#include <platform.h>

#include <optional>
#include <string>

namespace launchers {
namespace {

bool InstallThroughTempFile(const std::wstring& staged, const std::wstring& installed,
                            const std::wstring& appFolder) {
    const std::optional<std::wstring> temp = platform::CreateTempFileIn(appFolder);
    if (!temp)
        return false;
    const bool done =
        platform::CopyFileOver(staged, *temp) && platform::ClearReadOnly(*temp) &&
        platform::FlushFile(*temp) &&
        (platform::FileExists(installed) ? platform::ReplaceFileInOneStep(installed, *temp)
                                         : platform::MoveFileWriteThrough(*temp, installed));
    if (!done)
        platform::RemoveFile(*temp);
    return done;
}

}  // namespace

void RefreshStagedDatabase(const std::wstring& appFolder) {
    const std::wstring staged = appFolder + L"\\TEMP\\Orvantis.mde";
    const std::wstring installed = appFolder + L"\\Orvantis.mde";
    const std::wstring stagedDeleteTarget = appFolder + L"\\temp\\Orvantis.mde";

    if (!platform::FileExists(staged))
        return;
    if (!InstallThroughTempFile(staged, installed, appFolder))
        return;
    platform::RemoveFile(stagedDeleteTarget);
}

}  // namespace launchers
