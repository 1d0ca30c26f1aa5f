#include "standin_control.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>

#include "harness.h"
#include "owners.h"

namespace harness {

namespace {

constexpr wchar_t kStandInExe[] = L"AccessStandIn.exe";
constexpr wchar_t kStandInWindowClass[] = L"AccessStandInWindow";
constexpr DWORD kCloseTimeoutMs = 10000;

bool RunStandIn(const wchar_t* switchText) {
    Process server = Start(StandInExePath(), switchText);
    if (!server.started())
        return false;
    std::optional<DWORD> exitCode = server.WaitForExit();
    if (!exitCode)
        ADD_FAILURE() << "AccessStandIn.exe " << Narrow(switchText) << " did not end";
    return exitCode == 0u;
}

std::wstring Wide(const std::string& text) {
    if (text.empty())
        return {};
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// Undoes the server's escapes of %, |, ",", CR and LF (written as %25, %7C, %2C, %0D, %0A).
std::wstring Unescape(const std::string& field) {
    std::string plain;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            char hex[3] = {field[i + 1], field[i + 2], '\0'};
            char* end = nullptr;
            long code = std::strtol(hex, &end, 16);
            if (end == hex + 2) {
                plain += static_cast<char>(code);
                i += 2;
                continue;
            }
        }
        plain += field[i];
    }
    return Wide(plain);
}

std::vector<std::string> Split(const std::string& text, char separator, size_t maxParts) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < maxParts) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            break;
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

StandInCall ParseCallLine(const std::string& line) {
    std::vector<std::string> fields = Split(line, '|', 4);
    fields.resize(4);
    StandInCall call;
    call.member = Unescape(fields[0]);
    call.kind = Unescape(fields[1]);
    if (!fields[2].empty()) {
        for (const std::string& argument : Split(fields[2], ',', std::string::npos))
            call.arguments.push_back(Unescape(argument));
    }
    call.details = Unescape(fields[3]);
    return call;
}

BOOL CALLBACK CollectStandInWindow(HWND window, LPARAM parameter) {
    if (WindowClass(window) == kStandInWindowClass) {
        StandInWindow found;
        found.window = window;
        GetWindowThreadProcessId(window, &found.processId);
        found.visible = IsWindowVisible(window) != FALSE;
        found.maximised = IsZoomed(window) != FALSE;
        found.title = WindowText(window);
        reinterpret_cast<std::vector<StandInWindow>*>(parameter)->push_back(found);
    }
    return TRUE;
}

struct RunningProcess {
    DWORD id;
    owners::unique_handle handle;
};

std::vector<RunningProcess> ProcessesNamed(const wchar_t* exeName) {
    std::vector<RunningProcess> running;
    const owners::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot list processes (error " << GetLastError() << ")";
        return running;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, exeName, -1, TRUE) != CSTR_EQUAL)
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process)
            running.push_back({entry.th32ProcessID, owners::unique_handle(process)});
    }
    return running;
}

bool Terminate(const RunningProcess& process) {
    TerminateProcess(process.handle.get(), 255);
    if (WaitForSingleObject(process.handle.get(), kCloseTimeoutMs) == WAIT_OBJECT_0)
        return true;
    ADD_FAILURE() << "process " << process.id << " does not end";
    return false;
}

// Wine's rpcss keeps the class registration of a server that was terminated and hands it to
// every later client, which then fails with RPC_S_SERVER_UNAVAILABLE. Ending rpcss forgets it;
// COM starts rpcss again at its next use.
void ForgetStaleClassRegistrations() {
    for (const RunningProcess& rpcss : ProcessesNamed(L"rpcss.exe"))
        Terminate(rpcss);
}

}  // namespace

std::wstring StandInExePath() {
    return ProgramPath(L"tests\\AccessStandIn.exe");
}

bool RegisterStandIn() {
    return RunStandIn(L"/RegServer");
}

bool UnregisterStandIn() {
    return RunStandIn(L"/UnregServer");
}

bool PrepareStandInFolder(const std::wstring& folder, const StandInConfig& config) {
    std::string ini;
    for (const auto& [key, value] : config)
        ini += Narrow(key) + "=" + Narrow(value) + "\r\n";
    bool written = WriteFileBytes(folder + L"\\standin.ini", {ini.begin(), ini.end()});
    std::wstring log = folder + L"\\calls.log";
    bool cleared = (DeleteFileW(log.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    return written && cleared;
}

bool SwitchStandInTo(const std::wstring& folder, const StandInConfig& config) {
    EndAllStandIns();
    SetEnvironmentVariableW(L"ORVANTIS_STANDIN_DIR", folder.c_str());
    return PrepareStandInFolder(folder, config);
}

void PrintTo(const StandInCall& call, std::ostream* out) {
    *out << Narrow(call.member) << "|" << Narrow(call.kind) << "|";
    for (size_t i = 0; i < call.arguments.size(); ++i)
        *out << (i > 0 ? "," : "") << Narrow(call.arguments[i]);
    *out << "|" << Narrow(call.details);
}

std::vector<StandInCall> ReadStandInCalls(const std::wstring& folder) {
    std::vector<StandInCall> calls;
    std::optional<std::vector<std::uint8_t>> bytes = ReadFileBytes(folder + L"\\calls.log");
    if (!bytes)
        return calls;
    std::string text(bytes->begin(), bytes->end());
    for (std::string line : Split(text, '\n', std::string::npos)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            calls.push_back(ParseCallLine(line));
    }
    return calls;
}

std::vector<StandInWindow> FindStandInWindows() {
    std::vector<StandInWindow> windows;
    EnumWindows(CollectStandInWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void EndAllStandIns() {
    std::vector<RunningProcess> running = ProcessesNamed(kStandInExe);
    if (running.empty())
        return;
    std::vector<DWORD> withWindows;
    for (const StandInWindow& window : FindStandInWindows()) {
        PostMessageW(window.window, WM_CLOSE, 0, 0);
        withWindows.push_back(window.processId);
    }
    bool terminated = false;
    for (const RunningProcess& process : running) {
        // Only a window's WM_CLOSE ends a server; one without a window has nothing to wait for.
        bool closing =
            std::find(withWindows.begin(), withWindows.end(), process.id) != withWindows.end();
        if (closing && WaitForSingleObject(process.handle.get(), kCloseTimeoutMs) == WAIT_OBJECT_0)
            continue;
        Terminate(process);
        terminated = true;
    }
    if (terminated)
        ForgetStaleClassRegistrations();
}

}  // namespace harness
