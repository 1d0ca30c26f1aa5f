#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "harness.h"

namespace harness {

// The program this one held is ended first, as when it goes out of scope.
Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Terminate();
        handle_ = std::move(other.handle_);
        id_ = other.id_;
        thread_ = std::move(other.thread_);
    }
    return *this;
}

bool Process::Running() const {
    return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(DWORD timeoutMs) const {
    if (!handle_ || WaitForSingleObject(handle_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(handle_.get(), &code);
    return code;
}

void Process::Resume() {
    if (thread_)
        ResumeThread(owners::unique_handle(std::move(thread_)).get());
}

void Process::Terminate() {
    if (Running()) {
        TerminateProcess(handle_.get(), 255);
        WaitForSingleObject(handle_.get(), 5000);
    }
}

namespace {

struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    }
};

// The harness's environment with the overrides applied, as a CREATE_UNICODE_ENVIRONMENT block.
std::wstring EnvironmentBlock(const EnvironmentOverrides& overrides) {
    std::map<std::wstring, std::wstring, NoCaseLess> variables;
    std::vector<std::wstring> driveEntries;  // "=C:=C:\..." entries keep their place in front
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const auto equals = text.find(L'=', 1);
            if (text[0] == L'=' || equals == std::wstring::npos) {
                driveEntries.push_back(text);
            } else {
                variables[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : overrides)
        variables[name] = value;
    std::wstring result;
    for (const auto& entry : driveEntries)
        result += entry + L'\0';
    for (const auto& [name, value] : variables)
        result += name + L'=' + value + L'\0';
    result += L'\0';
    return result;
}

}  // namespace

namespace {

Process CreateChild(const std::wstring& exePath, const std::wstring& commandLine,
                    const EnvironmentOverrides& environment, const std::wstring& currentDirectory,
                    bool suspended) {
    std::wstring mutableLine = commandLine;
    std::wstring block = environment.empty() ? std::wstring() : EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(
            exePath.empty() ? nullptr : exePath.c_str(), mutableLine.data(), nullptr, nullptr,
            FALSE, CREATE_UNICODE_ENVIRONMENT | (suspended ? CREATE_SUSPENDED : 0),
            block.empty() ? nullptr : block.data(),
            currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(exePath.empty() ? commandLine : exePath)
                      << " (error " << GetLastError() << ")";
        return {};
    }
    if (suspended)
        return Process(info.hProcess, info.dwProcessId, info.hThread);
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

std::wstring QuotedProgramAndArguments(const std::wstring& exePath, const std::wstring& arguments) {
    std::wstring commandLine = Quoted(exePath);
    if (!arguments.empty())
        commandLine += L" " + arguments;
    return commandLine;
}

}  // namespace

Process StartWithCommandLine(const std::wstring& exePath, const std::wstring& commandLine,
                             const EnvironmentOverrides& environment,
                             const std::wstring& currentDirectory) {
    return CreateChild(exePath, commandLine, environment, currentDirectory, false);
}

Process Start(const std::wstring& exePath, const std::wstring& arguments,
              const EnvironmentOverrides& environment, const std::wstring& currentDirectory) {
    return CreateChild(exePath, QuotedProgramAndArguments(exePath, arguments), environment,
                       currentDirectory, false);
}

Process StartSuspended(const std::wstring& exePath, const std::wstring& arguments) {
    return CreateChild(exePath, QuotedProgramAndArguments(exePath, arguments), {}, {}, true);
}

}  // namespace harness
