// What a line of the administrators' log needs from Windows, and the one write that appends it.
#include <windows.h>

#include <cstdint>
#include <string>

#include "owners.h"
#include "platform.h"

namespace platform {
namespace {

// A file another process keeps to itself (an editor, a spreadsheet) is tried again meanwhile.
constexpr DWORD kMostWaitForLogMs = 1000;
constexpr DWORD kLookAgainMs = 50;

// Writers on one computer take turns: a file system that appends in two steps (Wine's looks up
// the end of the file, then writes there) would otherwise let two lines land in one place. A
// turn that cannot be had within a second is not waited for: the line is written all the same,
// and so are the run's later lines, so that a name another user squats costs one second at most.
class AppendTurn {
  public:
    AppendTurn() {
        // Made once per process: every line of a run takes its turn on the same lock.
        static const owners::unique_handle mutex(
            CreateMutexW(nullptr, FALSE, L"Global\\OrvantisLogAppend"));
        static bool givenUp = false;
        if (!mutex || givenUp)
            return;
        const DWORD waited = WaitForSingleObject(mutex.get(), kMostWaitForLogMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            held_ = mutex.get();
        else
            givenUp = true;
    }
    ~AppendTurn() {
        if (held_)
            ReleaseMutex(held_);
    }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;

  private:
    HANDLE held_ = nullptr;
};

template <typename Query>
std::wstring NameFrom(Query query) {
    wchar_t name[257] = {};
    DWORD size = 257;
    return query(name, &size) ? std::wstring(name) : std::wstring();
}

// Opened once for the run's lines, with only the right to append: each write lands at the file's
// end as one piece, also when other computers append to the same file on a share.
HANDLE OpenToAppend(const std::wstring& path) {
    static owners::unique_handle file;
    static std::wstring openPath;
    if (file && openPath == path)
        return file.get();
    file.reset();
    const DWORD began = GetTickCount();
    for (;;) {
        const HANDLE opened = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            file.reset(opened);
            openPath = path;
            return opened;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - began >= kMostWaitForLogMs) {
            return INVALID_HANDLE_VALUE;
        }
        Sleep(kLookAgainMs);
    }
}

}  // namespace

LogTime NowForLog() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

std::wstring ComputerName() {
    return NameFrom([](wchar_t* name, DWORD* size) { return GetComputerNameW(name, size); });
}

std::wstring UserName() {
    return NameFrom([](wchar_t* name, DWORD* size) { return GetUserNameW(name, size); });
}

std::uint32_t ProcessId() {
    return GetCurrentProcessId();
}

std::wstring ErrorMessage(std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text)
        return {};
    std::wstring message(text, length);
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    return message;
}

std::wstring ExpandEnvironment(const std::wstring& text) {
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::wstring expanded(needed, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed)
        return text;
    expanded.resize(written - 1);
    return expanded;
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    const HANDLE file = OpenToAppend(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const AppendTurn turn;
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace platform
