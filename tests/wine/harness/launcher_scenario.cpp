#include "launcher_scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "crc32.h"

namespace harness {

namespace {

// The first tick comes 100 ms after the timer is set, which the form does while it is created,
// just before its creation is announced; a hold this soon after the announcement is before it.
constexpr DWORD kHoldMarginMs = 50;
constexpr int kHoldAttempts = 5;
// Enough to keep the launcher busy while this harness, polling, notices the first marker. When it
// was too slow all the same, the second marker shows it and the run starts again.
constexpr int kQueueFillers = 6000;

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A launcher's user-interface thread, stopped at the creation of its splash window.
struct Hold {
    DWORD processId = 0;
    HWND form = nullptr;
    DWORD threadId = 0;
    HANDLE thread = nullptr;
    bool suspended = false;
    bool inTime = false;

    Hold() = default;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold() {
        if (thread) {
            if (suspended)
                ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    void Suspend() { suspended = SuspendThread(thread) != static_cast<DWORD>(-1); }
    void Resume() {
        if (suspended)
            ResumeThread(thread);
        suspended = false;
    }
};
Hold* currentHold = nullptr;

void CALLBACK OnWindowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child,
                              DWORD threadId, DWORD eventTime) {
    Hold* hold = currentHold;
    if (!hold || hold->form || object != OBJID_WINDOW || child != CHILDID_SELF)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != hold->processId || WindowClass(window) != kSplashFormClass)
        return;
    hold->thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
    if (!hold->thread)
        return;
    hold->Suspend();
    hold->inTime = hold->suspended && GetTickCount() - eventTime < kHoldMarginMs;
    hold->form = window;
    hold->threadId = threadId;
}

// Handles window events until the hold has its form or the process has ended.
void AwaitForm(const Process& process, Hold& hold) {
    const ULONGLONG end = GetTickCount64() + kDefaultTimeoutMs;
    HANDLE processHandle = process.handle();
    currentHold = &hold;
    while (!hold.form && GetTickCount64() < end) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &processHandle, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (woken == WAIT_OBJECT_0)
            break;
    }
    currentHold = nullptr;
}

bool Shown(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

enum class Outcome { Ended, TooLate };

// The held launcher handles the posted input, then its loop ends. Two markers show how far it
// has come: a message that hides the picture box's visible flag, behind the input, and one that
// sets it again behind a long run of harmless messages. Between the two the queue cannot run
// empty, so no tick can come, and whatever the input added to the queue lies ahead of the second.
Outcome HandleInputThenEnd(Hold& hold, HWND picture) {
    PostMessageW(picture, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < kQueueFillers; ++i)
        PostMessageW(hold.form, WM_NULL, 0, 0);
    PostMessageW(picture, WM_SETREDRAW, TRUE, 0);
    hold.Resume();
    // The input may have closed the form already, and the launch run while this waits.
    WaitUntil([&] { return !IsWindow(picture) || !Shown(picture); });
    if (!IsWindow(picture))
        return Outcome::Ended;
    hold.Suspend();
    if (IsWindow(picture) && Shown(picture))
        return Outcome::TooLate;
    PostThreadMessageW(hold.threadId, WM_QUIT, 0, 0);
    hold.Resume();
    return Outcome::Ended;
}

}  // namespace

LauncherSetup InstallLauncher(const std::wstring& test, const std::wstring& program,
                              const StandInConfig& config, const std::wstring& base) {
    const std::wstring root = MakeTestFolder(test);
    LauncherSetup setup;
    setup.appFolder = (base.empty() ? root : base + L"\\" + test) + L"\\app";
    setup.standInFolder = root + L"\\standin";
    setup.installed = setup.appFolder + L"\\Orvantis.mde";
    setup.staged = setup.appFolder + L"\\TEMP\\Orvantis.mde";
    if (!base.empty() && (!RemoveTree(base + L"\\" + test) ||
                          !CreateDirectoryW((base + L"\\" + test).c_str(), nullptr)))
        ADD_FAILURE() << "cannot make the test folder below " << Narrow(base);
    if (!CreateDirectoryW(setup.appFolder.c_str(), nullptr) ||
        !CreateDirectoryW(setup.standInFolder.c_str(), nullptr))
        ADD_FAILURE() << "cannot make the folders of " << Narrow(test);
    setup.exe = CopyProgram(program, setup.appFolder);
    EXPECT_TRUE(SwitchStandInTo(setup.standInFolder, config));
    return setup;
}

std::optional<DWORD> RunLauncher(const LauncherSetup& setup, const std::wstring& arguments) {
    const RunResult result = Run(setup.exe, arguments);
    for (const MessageBoxInfo& box : result.boxes)
        ADD_FAILURE() << "the launcher showed a message box: " << Narrow(box.text);
    return result.exitCode;
}

std::vector<std::uint8_t> DatabaseBytes(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8) + seed * 101u);
    return bytes;
}

bool PutFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    if (!PathExists(folder))
        CreateDirectoryW(folder.c_str(), nullptr);
    return WriteFileBytes(path, bytes);
}

std::wstring OpenedDetails(const std::vector<std::uint8_t>& bytes) {
    wchar_t details[64];
    swprintf(details, 64, L"ok size=%llu crc32=%08lX",
             static_cast<unsigned long long>(bytes.size()),
             static_cast<unsigned long>(UpdateCrc32(kCrc32Start, bytes.data(), bytes.size())));
    return details;
}

namespace {

std::vector<std::uint8_t> LargeDatabasePiece(std::size_t index, std::uint8_t seed) {
    return DatabaseBytes(1024 * 1024, static_cast<std::uint8_t>(seed + index * 7));
}

}  // namespace

bool PutLargeDatabase(const std::wstring& path, std::size_t mib, std::uint8_t seed) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (std::size_t i = 0; i < mib && ok; ++i) {
        const std::vector<std::uint8_t> piece = LargeDatabasePiece(i, seed);
        DWORD written = 0;
        ok = WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
             written == piece.size();
    }
    CloseHandle(file);
    return ok;
}

bool HoldsLargeDatabase(const std::wstring& path, std::size_t mib, std::uint8_t seed) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<std::uint8_t> piece(1024 * 1024);
    bool same = true;
    // One piece more than the database has: it must read nothing.
    for (std::size_t i = 0; i <= mib && same; ++i) {
        DWORD got = 0;
        same = ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) &&
               (i == mib ? got == 0 : got == piece.size() && piece == LargeDatabasePiece(i, seed));
    }
    CloseHandle(file);
    return same;
}

std::vector<std::wstring> TempFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> found;
    for (const std::wstring& name : FolderEntries(folder)) {
        if (name.size() > 7 &&
            CompareStringOrdinal(name.c_str(), 3, L"orv", 3, TRUE) == CSTR_EQUAL &&
            CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".tmp", 4, TRUE) == CSTR_EQUAL)
            found.push_back(name);
    }
    return found;
}

FolderWatch::FolderWatch(const std::wstring& folder) : buffer_(64 * 1024) {
    folder_ = CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (folder_ == INVALID_HANDLE_VALUE || !Arm())
        ADD_FAILURE() << "cannot watch " << Narrow(folder) << " (error " << GetLastError() << ")";
}

FolderWatch::~FolderWatch() {
    if (folder_ != INVALID_HANDLE_VALUE) {
        CancelIo(folder_);
        CloseHandle(folder_);
    }
    CloseHandle(overlapped_.hEvent);
}

bool FolderWatch::Arm() {
    ResetEvent(overlapped_.hEvent);
    return ReadDirectoryChangesW(folder_, buffer_.data(), static_cast<DWORD>(buffer_.size()), FALSE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped_,
                                 nullptr) != FALSE;
}

std::vector<std::pair<DWORD, std::wstring>> FolderWatch::Changes() {
    DWORD size = 0;
    while (folder_ != INVALID_HANDLE_VALUE &&
           WaitForSingleObject(overlapped_.hEvent, 500) == WAIT_OBJECT_0 &&
           GetOverlappedResult(folder_, &overlapped_, &size, FALSE)) {
        for (std::size_t at = 0; size > 0;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(&buffer_[at]);
            changes_.emplace_back(
                change->Action,
                std::wstring(change->FileName, change->FileNameLength / sizeof(wchar_t)));
            if (change->NextEntryOffset == 0)
                break;
            at += change->NextEntryOffset;
        }
        if (!Arm())
            break;
    }
    return changes_;
}

int TimesPutInPlace(const std::vector<std::pair<DWORD, std::wstring>>& changes,
                    const std::wstring& name) {
    int times = 0;
    for (const auto& [action, changed] : changes) {
        if ((action == FILE_ACTION_RENAMED_NEW_NAME || action == FILE_ACTION_ADDED) &&
            SameText(changed, name))
            ++times;
    }
    return times;
}

std::wstring UserTempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    std::wstring folder(path, length);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<StandInCall> CallsTo(const std::vector<StandInCall>& calls,
                                 const std::wstring& member) {
    std::vector<StandInCall> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&](const StandInCall& call) { return SameText(call.member, member); });
    return found;
}

std::vector<std::wstring> MemberOrder(const std::vector<StandInCall>& calls) {
    std::vector<std::wstring> members;
    for (const StandInCall& call : calls)
        members.push_back(call.member);
    return members;
}

namespace {

// What a launcher's folder holds beside nothing else: the database, the program and TEMP, sorted
// as FolderEntries sorts.
std::vector<std::wstring> DatabaseProgramAndTemp(const LauncherSetup& setup) {
    std::vector<std::wstring> names = {L"Orvantis.mde",
                                       setup.exe.substr(setup.exe.rfind(L'\\') + 1), L"TEMP"};
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

void ExpectBothKept(const LauncherSetup& setup, const std::vector<std::uint8_t>& installed,
                    const std::vector<std::uint8_t>& staged,
                    const std::optional<std::wstring>& openDetails) {
    EXPECT_EQ(ReadFileBytes(setup.installed), installed);
    EXPECT_EQ(ReadFileBytes(setup.staged), staged);
    EXPECT_EQ(FolderEntries(setup.appFolder), DatabaseProgramAndTemp(setup));
    EXPECT_EQ(FolderEntries(setup.appFolder + L"\\TEMP"),
              (std::vector<std::wstring>{L"Orvantis.mde"}));
    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup.standInFolder), L"OpenCurrentDatabase");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens.back().details, openDetails.value_or(OpenedDetails(installed)));
}

void ExpectInstalled(const LauncherSetup& setup, const std::vector<std::uint8_t>& staged) {
    EXPECT_EQ(ReadFileBytes(setup.installed), staged);
    EXPECT_EQ(FolderEntries(setup.appFolder), DatabaseProgramAndTemp(setup));
    EXPECT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
}

std::optional<DWORD> RunWithInputBeforeTheFirstTick(const LauncherSetup& setup,
                                                    const PostInput& post) {
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr,
                                         OnWindowCreated, 0, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook) {
        ADD_FAILURE() << "cannot watch for window creation (error " << GetLastError() << ")";
        return std::nullopt;
    }
    std::optional<DWORD> exitCode;
    bool done = false;
    for (int attempt = 0; attempt < kHoldAttempts && !done; ++attempt) {
        Process process = Start(setup.exe, L"");
        Hold hold;
        hold.processId = process.id();
        AwaitForm(process, hold);
        const HWND picture = hold.form ? GetWindow(hold.form, GW_CHILD) : nullptr;
        if (hold.inTime && picture) {
            post(hold.form, picture);
            done = HandleInputThenEnd(hold, picture) == Outcome::Ended;
        }
        if (done) {
            exitCode = process.WaitForExit();
        } else {
            // Whatever that start did reaches the record: begin a new one.
            hold.Resume();
            process.Terminate();
            EndAllStandIns();
            DeleteFileW((setup.standInFolder + L"\\calls.log").c_str());
        }
    }
    UnhookWinEvent(hook);
    if (!done)
        ADD_FAILURE() << "could not get input to " << Narrow(setup.exe) << " before its first tick";
    return exitCode;
}

}  // namespace harness
