// The staged copy is first copied beside the installed database and only then put in its place,
// in one step: a copy that breaks off half-way damages nothing, and the staged copy is deleted
// only once it is installed, so a failed attempt can be repeated at the next start.
// The staged copy is held from before the copy until it is deleted: an administrator still
// writing it keeps the refresh out, and of several launchers started together only the one that
// holds it installs it; the others wait for it and then open the new database.
#include "StagedRefresh.h"

#include <platform.h>

#include <cstdint>
#include <cwctype>
#include <string>

#include "CopyProgress.h"

namespace launchers {
namespace {

// Temporary files are named like GetTempFileNameW's: "orv", one to four hex digits, ".tmp".
constexpr wchar_t kTempPrefix[] = L"orv";
constexpr wchar_t kTempSuffix[] = L".tmp";
constexpr unsigned kTempNumbers = 0x10000;
// How long a launcher waits for another one that installs the staged copy, and how often it looks.
constexpr std::uint64_t kMostWaitForAnotherLauncherMs = 120000;
constexpr std::uint32_t kLookAgainMs = 50;
// A piece of the copy takes a few milliseconds; the splash need not answer more often than this.
constexpr std::uint64_t kAnswerEveryMs = 50;

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    return folder + (folder.ends_with(L'\\') ? L"" : L"\\") + name;
}

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

// A launcher killed during its copy, a power cut or a dropped share leaves a temporary file as
// large as the database. Held open, it belongs to a launcher at work and cannot be removed.
void RemoveLeftoverTempFiles(const std::wstring& appFolder) {
    for (const std::wstring& name : platform::FileNamesIn(appFolder, L"orv*.tmp")) {
        if (IsTempFileName(name))
            platform::RemoveFile(InFolder(appFolder, name));
    }
}

// Another launcher installing the staged copy is waited for: this one then opens the new database,
// and its Access does not hold the old one open in the way of the install. A copy still being
// written can take minutes and is not waited for.
bool HoldStagedCopy(const std::wstring& staged, platform::OpenFile& stagedFile) {
    const std::uint64_t began = platform::TickCountMs();
    for (;;) {
        switch (platform::OpenToInstall(staged, stagedFile)) {
            case platform::ToInstall::Opened:
                return true;
            case platform::ToInstall::HeldByAnotherLauncher:
                if (platform::TickCountMs() - began >= kMostWaitForAnotherLauncherMs)
                    return false;
                platform::Pause(kLookAgainMs);
                continue;
            case platform::ToInstall::BeingWritten:
            case platform::ToInstall::Unavailable:
                return false;
        }
    }
}

// A name of its own, made without GetTempFileNameW, which is bound to MAX_PATH.
std::wstring CreateTempFile(const std::wstring& appFolder, platform::OpenFile& temp) {
    const unsigned start = static_cast<unsigned>(platform::TickCountMs());
    for (unsigned tried = 0; tried < kTempNumbers; ++tried) {
        const unsigned number = (start + tried) % kTempNumbers;
        const std::wstring path = InFolder(appFolder, TempFileName(number));
        switch (platform::CreateNewFile(path, temp)) {
            case platform::NewFile::Created:
                return path;
            case platform::NewFile::NameTaken:
                continue;
            case platform::NewFile::Failed:
                return {};
        }
    }
    return {};
}

bool InstallThroughTempFile(const platform::OpenFile& staged, const std::wstring& installed,
                            const std::wstring& appFolder) {
    platform::OpenFile temp;
    const std::wstring tempPath = CreateTempFile(appFolder, temp);
    if (tempPath.empty())
        return false;
    const bool replacing = platform::FileExists(installed);
    bool done = platform::CopyContent(staged, temp, SplashProgress()) &&
                platform::FlushFile(temp) &&
                (!replacing || platform::TakeOverProperties(installed, temp));
    temp.reset();
    done = done && (replacing ? platform::ReplaceFileInOneStep(installed, tempPath)
                              : platform::MoveFileWriteThrough(tempPath, installed));
    if (!done)
        platform::RemoveFile(tempPath);
    return done;
}

}  // namespace

platform::CopyProgress SplashProgress() {
    const std::uint64_t started = platform::TickCountMs();
    return [started, answered = started](std::uint64_t done, std::uint64_t total) mutable {
        const std::uint64_t now = platform::TickCountMs();
        if (now - answered < kAnswerEveryMs && done < total)
            return;
        answered = now;
        platform::LetSplashAnswer();
        if (const auto shown = ProgressToShow(now - started, done, total))
            platform::ShowCopyProgress(*shown);
    };
}

void RefreshStagedDatabase(const std::wstring& appFolder) {
    const std::wstring staged = appFolder + L"\\TEMP\\Orvantis.mde";
    const std::wstring installed = appFolder + L"\\Orvantis.mde";

    if (!platform::FileExists(staged))
        return;
    platform::OpenFile stagedFile;
    if (!HoldStagedCopy(staged, stagedFile))
        return;
    // A database that Access holds open cannot be replaced: no copy of it is made in vain, and
    // launchers waiting for this one are let go at once.
    if (platform::FileExists(installed) && !platform::CanBeReplaced(installed))
        return;
    // Every launcher at work holds the staged copy, so a temporary file now is a leftover.
    RemoveLeftoverTempFiles(appFolder);
    if (!InstallThroughTempFile(stagedFile, installed, appFolder))
        return;
    // Deleted through the handle that holds it: no other launcher can open it in between and
    // install it a second time.
    platform::DeleteWhenClosed(stagedFile);
}

}  // namespace launchers
