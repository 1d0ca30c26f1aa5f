#include "harness.h"

#include <algorithm>

namespace harness {

namespace {

struct WindowSearch {
    DWORD processId;
    bool includeHidden;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && (search.includeHidden || IsWindowVisible(window))) {
        search.found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

constexpr int kMessageBoxTextId = 0xFFFF;

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, bool includeHidden) {
    WindowSearch search{processId, includeHidden, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring WindowClass(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND WaitForWindow(const Process& process, const std::wstring& className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(process.id())) {
                if (className.empty() || WindowClass(window) == className) {
                    found = window;
                    return true;
                }
            }
            // One last look after the end: a window may have appeared just before it.
            return !process.Running() && TopLevelWindows(process.id()).empty();
        },
        timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.title = WindowText(box);
    if (HWND text = GetDlgItem(box, kMessageBoxTextId))
        info.text = WindowText(text);
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (WindowClass(child) == L"Button" && IsWindowVisible(child)) {
            info.buttons.push_back(WindowText(child));
        }
    }
    info.icon = IdentifyIcon(box);
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(const Process& process, DWORD timeoutMs) {
    HWND box = WaitForWindow(process, L"#32770", timeoutMs);
    if (!box)
        return std::nullopt;
    return ReadMessageBox(box);
}

bool PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitForWindowGone(box);
}

RunResult AnswerBoxesUntilExit(Process& process, DWORD timeoutMs) {
    RunResult result;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (process.Running() && GetTickCount64() < end) {
        const auto left = static_cast<DWORD>(end - GetTickCount64());
        if (auto box = WaitForMessageBox(process, left)) {
            result.boxes.push_back(*box);
            PressOk(box->window);
        }
    }
    result.exitCode = process.WaitForExit(0);
    if (!result.exitCode)
        process.Terminate();
    return result;
}

RunResult Run(const std::wstring& exePath, const std::wstring& arguments,
              const EnvironmentOverrides& environment) {
    Process process = Start(exePath, arguments, environment);
    if (!process.started())
        return {};
    return AnswerBoxesUntilExit(process);
}

Answering ProbeUntilGone(HWND window, DWORD probeMs, const std::function<void(int)>& between) {
    Answering answering;
    const ULONGLONG began = GetTickCount64();
    ULONGLONG lastAnswer = began;
    while (IsWindow(window)) {
        DWORD_PTR result = 0;
        const bool answered =
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
        const ULONGLONG now = GetTickCount64();
        answering.probedMs = now - began;
        if (now - lastAnswer > 100)
            answering.gapsOver100Ms.emplace_back(now - began, now - lastAnswer);
        if (now - lastAnswer > answering.longestGapMs) {
            answering.longestGapMs = now - lastAnswer;
            answering.longestGapEndedMs = now - began;
        }
        // A window destroyed while it was asked did not fail to answer.
        if (!IsWindow(window))
            break;
        if (!answered) {
            ++answering.unanswered;
            continue;
        }
        lastAnswer = now;
        ++answering.answers;
        if (between)
            between(answering.answers);
        Sleep(probeMs);
    }
    return answering;
}

}  // namespace harness
