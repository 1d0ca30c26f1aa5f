// The launch steps both launchers share. Every step absorbs its own failure and the next one runs,
// so the caller always gets control back and the splash form can close.
#include "LaunchDatabase.h"

#include <EventLog.h>
#include <PathNames.h>
#include <platform.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "PerUserCopy.h"
#include "StagedRefresh.h"

namespace launchers {
namespace {

// How Access's answer reads as text for the comparison with the version literal.
std::wstring AsText(const platform::AutomationValue& value) {
    return std::visit(
        [](const auto& v) -> std::wstring {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return L"";
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? L"True" : L"False";
            } else {
                return std::to_wstring(v);
            }
        },
        value);
}

// Decimal digits with an optional sign and surrounding blanks; nullopt when out of range.
std::optional<std::int32_t> ParseLong(const std::wstring& text) {
    std::size_t at = text.find_first_not_of(L' ');
    const std::size_t end = text.find_last_not_of(L' ') + 1;
    if (at == std::wstring::npos)
        return std::nullopt;
    const bool negative = text[at] == L'-';
    if (text[at] == L'-' || text[at] == L'+')
        ++at;
    if (at == end)
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; at < end; ++at) {
        if (text[at] < L'0' || text[at] > L'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > std::int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(result);
}

// The window handle as a 32-bit integer; nullopt when it cannot be converted.
std::optional<std::int32_t> AsLong(const platform::AutomationValue& value) {
    return std::visit(
        [](const auto& v) -> std::optional<std::int32_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0;
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return ParseLong(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? -1 : 0;
            } else {
                if (v < INT32_MIN || v > INT32_MAX)
                    return std::nullopt;
                return static_cast<std::int32_t>(v);
            }
        },
        value);
}

// Why a step on Access failed, for the log. An Access that never started fails every step for
// the reason it did not start.
class AccessFailures {
  public:
    explicit AccessFailures(const platform::AutomationObject& AccessApp)
        : AccessApp_(AccessApp),
          notStarted_(AccessApp.get() ? platform::AutomationFailure{}
                                      : platform::LastAutomationFailure()) {}
    std::wstring LastText() const {
        const platform::AutomationFailure failure =
            AccessApp_.get() ? platform::LastAutomationFailure() : notStarted_;
        return eventlog::HresultText(failure.hresult, failure.description);
    }

  private:
    const platform::AutomationObject& AccessApp_;
    const platform::AutomationFailure notStarted_;
};

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// Gives up on a work that shows no progress for the limit.
class ProgressDeadline {
  public:
    explicit ProgressDeadline(std::uint64_t limitMs)
        : limitMs_(limitMs), since_(platform::TickCountMs()) {}
    bool operator()(std::uint64_t progress) {
        const std::uint64_t now = platform::TickCountMs();
        if (progress != progress_) {
            progress_ = progress;
            since_ = now;
        }
        return now - since_ < limitMs_;
    }

  private:
    std::uint64_t limitMs_;
    std::uint64_t progress_ = 0;
    std::uint64_t since_;
};

// What the worker of a pull leaves for the window thread; it outlives a window thread that gave up.
struct PullOnWorker {
    // Whether the local copy was there before the pull began; unknown until the worker has looked.
    std::atomic<int> localCopyBefore = -1;
    PullOutcome outcome;
};

// The pull runs on a worker: every file call of it, also those into the user's folder. When the
// master stops answering, the copy the user had is opened (the worker can no longer put a new one
// in its place), or there is none.
// A master on a hung server, or a cluster failing over, would keep the splash up for ever: the
// pull is left behind once no file call has returned and nothing has been copied for a while.
PullOutcome PullOrGiveUp(const PerUserFolders& folders) {
    auto pull = std::make_shared<PullOnWorker>();
    const bool finished = platform::RunOnWorker(
        [folders, pull] {
            // A folder that is no path is refused by the pull before any file call.
            pull->localCopyBefore =
                paths::IsUsablePath(folders.local) &&
                platform::FileExists(paths::InFolder(folders.local, L"Orvantis.mde"));
            pull->outcome = PullMasterCopy(folders);
        },
        ProgressDeadline(kMasterDeadlineMs));
    if (finished)
        return pull->outcome;
    PullOutcome stalled;
    stalled.result = PullResult::NoProgress;
    stalled.masterFile = paths::InFolder(folders.master, L"Orvantis.mde");
    stalled.localFile = paths::InFolder(folders.local, L"Orvantis.mde");
    stalled.localCopyExists = pull->localCopyBefore == 1;
    return stalled;
}

// A pull that could not bring the master opens the older local copy: a warning; with nothing to
// open it is a failure.
eventlog::Level PullLevel(const PullOutcome& pulled) {
    switch (pulled.result) {
        case PullResult::Unchanged:
        case PullResult::LocalCopyInUse:
        case PullResult::SameFolder:
            return eventlog::Level::Information;
        case PullResult::Copied:
            return pulled.recordError ? eventlog::Level::Warning : eventlog::Level::Information;
        default:
            return pulled.localCopyExists ? eventlog::Level::Warning : eventlog::Level::Error;
    }
}

// The local copy to open in per-user mode; none, after the one box that says so, when there is
// nothing to open.
std::optional<std::wstring> PulledDatabase(const PerUserFolders& folders) {
    const PullOutcome pulled = PullOrGiveUp(folders);
    eventlog::Write(L"pull", PullDetails(pulled), PullLevel(pulled));
    if (pulled.localCopyExists)
        return pulled.localFile;
    platform::MsgBox(NoLocalCopyText(pulled, platform::UserUiLanguage()), platform::kMbIconError,
                     std::wstring(platform::AppTitle()));
    return std::nullopt;
}

// The staged copy lies beside the database about to be opened: were its folder to stall, so would
// the open. So the refresh is waited for to its end, the splash answering meanwhile.
RefreshOutcome RefreshOnWorker(const std::wstring& appFolder) {
    auto refreshed = std::make_shared<RefreshOutcome>();
    platform::RunOnWorker([appFolder, refreshed] { *refreshed = RefreshStagedDatabase(appFolder); },
                          [](std::uint64_t) { return true; });
    return *refreshed;
}

}  // namespace

bool LaunchAccessDatabase(const std::wstring& versionLiteral, SecurityWhen securityWhen,
                          bool refreshStagedCopy, std::int32_t& hWndAccess,
                          const std::optional<PerUserFolders>& perUser) {
    const std::wstring appFolder = platform::AppPath();
    std::wstring database = appFolder + L"\\Orvantis.mde";
    // The pull runs before Access is created: a start with nothing to open never starts Access.
    if (perUser) {
        const std::optional<std::wstring> local = PulledDatabase(*perUser);
        if (!local)
            return false;
        database = *local;
    }

    const platform::ComApartment apartment;
    platform::AutomationObject AccessApp = platform::CreateAutomationObject(L"Access.Application");
    const AccessFailures failures(AccessApp);

    // A comparison that cannot be evaluated counts as true: an unreadable Version is "equal".
    const std::optional<platform::AutomationValue> version =
        platform::GetProperty(AccessApp, L"Version");
    eventlog::Write(L"access",
                    !AccessApp.get() ? L"not started: " + failures.LastText()
                    : version        ? L"version " + Quoted(AsText(*version))
                                     : L"version unreadable: " + failures.LastText(),
                    eventlog::ErrorIf(!version));
    const bool equals = !version || AsText(*version) == versionLiteral;
    if (equals == (securityWhen == SecurityWhen::VersionEquals)) {
        const bool set = platform::PutProperty(AccessApp, L"AutomationSecurity", std::int16_t{1});
        eventlog::Write(L"security", set ? L"set to 1 (low)" : L"failed: " + failures.LastText(),
                        eventlog::ErrorIf(!set));
    } else {
        eventlog::Write(L"security", L"left alone");
    }

    if (refreshStagedCopy && !perUser) {
        const RefreshOutcome refreshed = RefreshOnWorker(appFolder);
        eventlog::Write(L"refresh", RefreshDetails(refreshed),
                        eventlog::ErrorIf(refreshed.result == RefreshResult::Failed));
    }

    const bool opened = platform::CallMethod(AccessApp, L"OpenCurrentDatabase", {database});
    eventlog::Write(L"open",
                    Quoted(database) + (opened ? L": ok" : L": failed: " + failures.LastText()),
                    eventlog::ErrorIf(!opened));

    std::wstring failed;
    if (!platform::PutProperty(AccessApp, L"Visible", true))
        failed += L"Visible: " + failures.LastText() + L"; ";
    if (const auto handle = platform::GetProperty(AccessApp, L"hWndaccessApp")) {
        if (const auto converted = AsLong(*handle))
            hWndAccess = *converted;
        else
            failed += L"hWndAccessApp: no 32-bit handle; ";
    } else {
        failed += L"hWndAccessApp: " + failures.LastText() + L"; ";
    }
    const bool maximised = platform::ShowWindow(hWndAccess, platform::kSwShowMaximized);
    const std::wstring window =
        hWndAccess == 0 ? L"no window"
                        : L"window " + eventlog::HexText(static_cast<std::uint32_t>(hWndAccess)) +
                              (maximised ? L" maximised" : L", ShowWindow not found");
    eventlog::Write(L"show", (failed.empty() ? L"" : L"failed: " + failed) + window,
                    eventlog::ErrorIf(!failed.empty()));

    AccessApp.reset();
    return opened;
}

}  // namespace launchers
