// The new file is first copied beside the target and only then put in its place, in one rename
// through the temporary file's own handle: a copy that breaks off half-way damages nothing, no
// other process can open the temporary file between the copy and the rename, and the temporary
// file can always be removed again, whatever permissions it was given.
#include "TempFileInstall.h"

#include <PathNames.h>
#include <platform.h>

#include <cstdint>
#include <cwctype>
#include <string>
#include <utility>

#include "CopyProgress.h"

namespace launchers {
namespace {

// Temporary files are named like GetTempFileNameW's: "orv", one to four hex digits, ".tmp".
constexpr wchar_t kTempPrefix[] = L"orv";
constexpr wchar_t kTempSuffix[] = L".tmp";
constexpr unsigned kTempNumbers = 0x10000;
constexpr platform::ErrorCode kErrorOperationAborted = 995;

constexpr std::uint64_t kMostWaitWithoutGrowthMs = 30000;
constexpr std::uint32_t kLookAgainMs = 50;

std::wstring TempFileName(unsigned number) {
    constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), kHex[number % 16]);
        number /= 16;
    } while (number != 0);
    return kTempPrefix + digits + kTempSuffix;
}

bool SameLetters(const std::wstring& text, std::size_t at, const std::wstring& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (static_cast<wchar_t>(std::towlower(text[at + i])) != expected[i])
            return false;
    }
    return true;
}

// A name of its own, made without GetTempFileNameW, which is bound to MAX_PATH.
platform::ErrorCode CreateTempFile(const std::wstring& folder, platform::OpenFile& temp) {
    const unsigned start = static_cast<unsigned>(platform::TickCountMs());
    for (unsigned tried = 0; tried < kTempNumbers; ++tried) {
        const unsigned number = (start + tried) % kTempNumbers;
        const platform::ErrorCode error =
            platform::CreateNewFile(paths::InFolder(folder, TempFileName(number)), temp);
        if (error != platform::kErrorFileExists)
            return error;
    }
    return platform::kErrorFileExists;
}

// What ReplaceFileW carries over to the replacement, less what describes the old content: the new
// content is not backed up yet (archive) and lies on the disk (never offline).
constexpr std::uint32_t kKeptAttributes =
    platform::kAttributeHidden | platform::kAttributeSystem | platform::kAttributeNotContentIndexed;

}  // namespace

bool IsTempFileName(const std::wstring& name) {
    const std::wstring prefix = kTempPrefix;
    const std::wstring suffix = kTempSuffix;
    if (name.size() <= prefix.size() + suffix.size() ||
        name.size() > prefix.size() + 4 + suffix.size()) {
        return false;
    }
    const std::size_t digitsEnd = name.size() - suffix.size();
    for (std::size_t i = prefix.size(); i < digitsEnd; ++i) {
        if (!std::iswxdigit(name[i]))
            return false;
    }
    return SameLetters(name, 0, prefix) && SameLetters(name, digitsEnd, suffix);
}

std::uint64_t BytesInTempFiles(const std::wstring& folder) {
    std::uint64_t bytes = 0;
    for (const std::wstring& name : platform::FileNamesIn(folder, L"orv*.tmp")) {
        if (IsTempFileName(name))
            bytes += platform::FileSize(paths::InFolder(folder, name)).value_or(0);
    }
    return bytes;
}

AnotherLaunchersCopy::AnotherLaunchersCopy(std::wstring folder)
    : folder_(std::move(folder)),
      began_(platform::TickCountMs()),
      grewAt_(began_),
      lookedAt_(began_) {}

std::uint64_t AnotherLaunchersCopy::Look() {
    const std::uint64_t bytes = BytesInTempFiles(folder_);
    lookedAt_ = platform::TickCountMs();
    if (!lastBytes_ || bytes > *lastBytes_)
        grewAt_ = lookedAt_;
    lastBytes_ = bytes;
    return bytes;
}

bool AnotherLaunchersCopy::WaitMore() {
    if (lookedAt_ - grewAt_ >= kMostWaitWithoutGrowthMs)
        return false;
    platform::Pause(kLookAgainMs);
    return true;
}

std::uint64_t AnotherLaunchersCopy::WaitedMs() const {
    return lookedAt_ - began_;
}

// A launcher killed during its copy, a power cut or a dropped share leaves a temporary file as
// large as the database. Held open, it belongs to a launcher at work and cannot be removed.
void RemoveLeftoverTempFiles(const std::wstring& folder) {
    for (const std::wstring& name : platform::FileNamesIn(folder, L"orv*.tmp")) {
        if (IsTempFileName(name))
            platform::RemoveFile(paths::InFolder(folder, name));
    }
}

InstallOutcome InstallThroughTempFile(const platform::OpenFile& source, const std::wstring& target,
                                      const std::wstring& folder) {
    const bool replacing = platform::FileExists(target);
    // A target that Access holds open cannot be replaced: no copy of it is made in vain.
    if (replacing) {
        if (const platform::ErrorCode blocked = platform::CheckReplaceable(target)) {
            return {blocked == platform::kErrorSharingViolation ? InstallResult::TargetInUse
                                                                : InstallResult::Failed,
                    blocked};
        }
    }
    platform::OpenFile temp;
    if (const platform::ErrorCode error = CreateTempFile(folder, temp))
        return {InstallResult::Failed, error};

    std::uint64_t copied = 0;
    const platform::CopyProgress splash = SplashProgress();
    const auto counted = [&](std::uint64_t done, std::uint64_t total) {
        copied = done;
        splash(done, total);
    };
    platform::ErrorCode error = platform::CopyContent(source, temp, counted);
    // As far as the volume keeps permissions, the new file gets those the administrator gave the
    // old one; and it keeps the old one's attributes, as ReplaceFileW would.
    if (!error && replacing && platform::VolumeKeepsPermissions(temp))
        error = platform::TakeOverPermissions(target, temp);
    if (!error && replacing)
        error = platform::TakeOverAttributes(target, temp, kKeptAttributes,
                                             platform::kAttributeArchive);
    // A launch that gave up on this copy has gone on with the file as it was: it stays so.
    if (!error && platform::WorkAbandoned())
        error = kErrorOperationAborted;
    if (error) {
        platform::DeleteWhenClosed(temp);
        return {InstallResult::Failed, error, copied};
    }
    error = platform::RenameOpenFile(temp, target, replacing);
    if (!error)
        return {InstallResult::Installed, platform::kNoError, copied};
    platform::DeleteWhenClosed(temp);
    // Access may have opened the target since it was looked at: a rename onto an open file fails
    // with a sharing violation, or on Windows with access denied.
    const bool inUse =
        error == platform::kErrorSharingViolation || error == platform::kErrorAccessDenied;
    return {inUse ? InstallResult::TargetInUse : InstallResult::Failed, error, copied};
}

platform::CopyProgress SplashProgress() {
    const std::uint64_t started = platform::TickCountMs();
    return [started](std::uint64_t done, std::uint64_t total) {
        if (const auto shown = ProgressToShow(platform::TickCountMs() - started, done, total))
            platform::ShowCopyProgress(*shown);
    };
}

}  // namespace launchers
