// Plays the user for scripts/demo: starts a program under Wine, looks at what it shows, saves
// screenshots, answers its message box, and says what happened.
//   demo_driver vintrel  PROGRAM_FOLDER ARGUMENTS BOX_PNG
//   demo_driver launcher PROGRAM_FOLDER PROGRAM STANDIN_FOLDER SPLASH_PNG ACCESS_PNG
//                        [ARGUMENTS [COPY_FOLDER]]
// With COPY_FOLDER the splash is shot while a copy into that folder shows its progress.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "launcher_scenario.h"
#include "standin_control.h"

namespace {

void Say(const std::wstring& text) {
    std::printf("%s\n", harness::Narrow(text).c_str());
    std::fflush(stdout);
}

// A screenshot of one colour shows nothing: the demo fails rather than keep it.
// A window that changes all the time (a progress bar) is shot as it is.
bool Shoot(HWND window, const std::wstring& png, bool changing = false) {
    // A window can be visible, its frame drawn, a while before its content is painted: shoot when
    // two looks a moment apart agree.
    harness::Pixels pixels = harness::CaptureWindow(window);
    harness::WaitUntil(
        [&] {
            if (changing)
                return true;
            Sleep(250);
            harness::Pixels before = std::exchange(pixels, harness::CaptureWindow(window));
            return !pixels.Plain() && pixels.rgb == before.rgb;
        },
        5000);
    if (pixels.Plain()) {
        Say(L"  the screenshot for " + png + L" is a single colour: the window shows nothing");
        return false;
    }
    if (!harness::SavePng(pixels, png)) {
        Say(L"  could not save " + png);
        return false;
    }
    Say(L"  screenshot: " + png);
    return true;
}

int DemoRegistrar(const std::wstring& folder, const std::wstring& arguments,
                  const std::wstring& boxPng) {
    harness::Process vintrel = harness::Start(folder + L"\\Vintrel.exe", arguments);
    if (!vintrel.started())
        return 1;
    const std::optional<harness::MessageBoxInfo> box = harness::WaitForMessageBox(vintrel);
    if (!box) {
        Say(L"  Vintrel showed no message box");
        return 1;
    }
    std::printf("  message box \"%s\", icon: %s\n", harness::Narrow(box->title).c_str(),
                harness::BoxIconName(box->icon));
    Say(L"  text: " + box->text);
    const bool shot = Shoot(box->window, boxPng);
    harness::PressOk(box->window);
    Say(L"  pressed OK");
    const std::optional<DWORD> exitCode = vintrel.WaitForExit();
    if (!exitCode)
        return 1;
    std::printf("  Vintrel ended with exit code %lu\n", *exitCode);
    return *exitCode == 0u && shot ? 0 : 1;
}

// Once a copy into the folder shows its progress on the splash: the window's picture changes.
bool WaitForCopyProgress(const harness::Process& launcher, HWND splash,
                         const std::wstring& copyFolder) {
    harness::WaitUntil(
        [&] { return !harness::TempFilesIn(copyFolder).empty() || !launcher.Running(); });
    const std::vector<std::wstring> copying = harness::TempFilesIn(copyFolder);
    if (copying.empty()) {
        Say(L"  no copy into " + copyFolder + L" was seen");
        return false;
    }
    Say(L"  copying into " + copyFolder + L"\\" + copying.front());
    const harness::Pixels before = harness::CaptureWindow(splash);
    if (!harness::WaitUntil([&] { return harness::CaptureWindow(splash).rgb != before.rgb; })) {
        Say(L"  the splash showed no progress");
        return false;
    }
    return true;
}

int DemoLauncher(const std::wstring& folder, const std::wstring& program,
                 const std::wstring& standInFolder, const std::wstring& splashPng,
                 const std::wstring& accessPng, const std::wstring& arguments,
                 const std::wstring& copyFolder) {
    // A slow open keeps the splash on the screen long enough to be seen.
    if (!harness::SwitchStandInTo(standInFolder, {{L"open_delay_ms", L"1500"}})) {
        Say(L"  cannot prepare the stand-in's folder " + standInFolder);
        return 1;
    }
    harness::Process launcher = harness::Start(folder + L"\\" + program, arguments);
    if (!launcher.started())
        return 1;
    const HWND splash = harness::WaitForWindow(launcher);
    Say(splash ? L"  splash window is up" : L"  no splash window");
    bool shot = splash &&
                (copyFolder.empty() || WaitForCopyProgress(launcher, splash, copyFolder)) &&
                Shoot(splash, splashPng, !copyFolder.empty());
    if (launcher.WaitForExit() != 0u) {
        Say(L"  " + program + L" did not end");
        return 1;
    }
    Say(L"  " + program + L" has ended");
    for (const harness::StandInCall& call : harness::ReadStandInCalls(standInFolder)) {
        std::wstring arguments;
        for (const std::wstring& argument : call.arguments)
            arguments += (arguments.empty() ? L"" : L", ") + argument;
        Say(L"  Access was asked: " + call.member + L" (" + call.kind + L") " + arguments + L" " +
            call.details);
    }
    int shown = 0;
    for (const harness::StandInWindow& window : harness::FindStandInWindows()) {
        if (!window.visible)
            continue;
        Say(L"  Access window \"" + window.title + L"\"" +
            (window.maximised ? L", maximised" : L", not maximised"));
        shot = Shoot(window.window, accessPng) && shot;
        ++shown;
    }
    harness::EndAllStandIns();
    if (shown != 1)
        Say(L"  expected one Access window on the screen, found " + std::to_wstring(shown));
    return shot && shown == 1 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"vintrel" && argc == 5)
        return DemoRegistrar(argv[2], argv[3], argv[4]);
    if (mode == L"launcher" && argc >= 7 && argc <= 9)
        return DemoLauncher(argv[2], argv[3], argv[4], argv[5], argv[6], argc > 7 ? argv[7] : L"",
                            argc > 8 ? argv[8] : L"");
    std::fprintf(stderr, "usage: demo_driver vintrel|launcher ...\n");
    return 2;
}
