// What closes the splash window and so starts the launch: a key that gives a character or a close
// request does, before the first tick; keys without a character and clicks do not. Once the launch
// runs, nothing the form is sent starts a second one.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "launcher_scenario.h"

namespace {

using namespace harness;

enum class Input { Character, Key, Click, CloseRequest };

struct EarlyInput {
    const char* name;
    Input input;
    unsigned code;   // the character, or the virtual key
    bool toPicture;  // to Picture1, which has the focus, instead of the form
    bool launches;
};

const EarlyInput kEarlyInputs[] = {
    {"PrintableCharacter", Input::Character, 'x', false, true},
    {"PrintableCharacterInThePicture", Input::Character, 'x', true, true},
    {"Enter", Input::Character, '\r', true, true},
    {"Escape", Input::Character, 0x1B, true, true},
    {"Backspace", Input::Character, '\b', true, true},
    {"ControlC", Input::Character, 0x03, true, true},
    // Key presses go through the message loop, which turns those with a character into one.
    {"LetterKey", Input::Key, 'A', true, true},
    {"EnterKey", Input::Key, VK_RETURN, true, true},
    {"EscapeKey", Input::Key, VK_ESCAPE, true, true},
    {"LeftArrowKey", Input::Key, VK_LEFT, true, false},
    {"LeftArrowKeyOnTheForm", Input::Key, VK_LEFT, false, false},
    {"F1Key", Input::Key, VK_F1, true, false},
    {"ShiftKey", Input::Key, VK_SHIFT, true, false},
    {"ControlKey", Input::Key, VK_CONTROL, true, false},
    {"ClickOnThePicture", Input::Click, 0, true, false},
    {"ClickOnTheForm", Input::Click, 0, false, false},
    // A close request from the platform unloads the form like its own handlers do.
    {"CloseRequest", Input::CloseRequest, 0, false, true},
};

void Post(HWND target, const EarlyInput& early) {
    switch (early.input) {
        case Input::Character:
            PostMessageW(target, WM_CHAR, early.code, 1);
            break;
        case Input::Key: {
            // Repeat count 1 and the scan code; a release also has the previous-state and
            // transition bits.
            const DWORD keyData = 1 | MapVirtualKeyW(early.code, MAPVK_VK_TO_VSC) << 16;
            PostMessageW(target, WM_KEYDOWN, early.code, static_cast<LPARAM>(keyData));
            PostMessageW(target, WM_KEYUP, early.code, static_cast<LPARAM>(keyData | 0xC0000000));
            break;
        }
        case Input::Click:
            PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
            PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            break;
        case Input::CloseRequest:
            PostMessageW(target, WM_CLOSE, 0, 0);
            break;
    }
}

using InputBeforeTheFirstTick = LauncherTest<testing::TestWithParam<EarlyInput>>;

// The launcher is held before its first tick; the input is followed by a request to end the
// message loop. Both are handled ahead of any tick, so the launch happens only if the input
// closed the form.
TEST_P(InputBeforeTheFirstTick, ClosesTheFormOnlyForACharacterOrACloseRequest) {
    const EarlyInput& early = GetParam();
    const LauncherSetup setup = InstallLauncher(
        L"early-" + std::wstring(early.name, early.name + strlen(early.name)), L"Tessaly.exe");
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(1024, 1)));

    ASSERT_TRUE(RunWithInputBeforeTheFirstTick(setup, [&](HWND form, HWND picture) {
                    Post(early.toPicture ? picture : form, early);
                }).has_value());
    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    EXPECT_EQ(CallsTo(calls, L"OpenCurrentDatabase").size(), early.launches ? 1u : 0u);
    EXPECT_EQ(CallsTo(calls, L"Version").size(), early.launches ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Tessaly, InputBeforeTheFirstTick, testing::ValuesIn(kEarlyInputs),
                         [](const testing::TestParamInfo<EarlyInput>& info) {
                             return std::string(info.param.name);
                         });

using InputDuringTheLaunch = LauncherTest<>;

// The launch waits for Access, and while it waits the form handles what it is sent: a tick, keys
// and a close request then find the unload already under way.
TEST_F(InputDuringTheLaunch, StartsNeitherASecondUnloadNorASecondLaunch) {
    const LauncherSetup setup =
        InstallLauncher(L"during-launch", L"Renvale.exe", {{L"open_delay_ms", L"3000"}});
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(1024, 1)));
    Process launcher = Start(setup.exe, L"");
    const HWND form = WaitForWindow(launcher, kSplashFormClass);
    ASSERT_NE(form, nullptr);
    const HWND picture = GetWindow(form, GW_CHILD);
    ASSERT_TRUE(WaitUntil([&] { return !ReadStandInCalls(setup.standInFolder).empty(); }))
        << "the launch did not begin";

    struct Extra {
        const char* what;
        HWND target;
        UINT message;
        WPARAM wParam;
    };
    const Extra extras[] = {
        {"a tick", form, WM_TIMER, 1},
        {"a character", form, WM_CHAR, 'x'},
        {"Enter in the picture", picture, WM_CHAR, '\r'},
        {"a close request", form, WM_CLOSE, 0},
        {"another tick", form, WM_TIMER, 1},
    };
    for (const Extra& extra : extras) {
        // Returns once the form has handled it: the form still exists, so the launch still runs.
        DWORD_PTR result = 0;
        EXPECT_NE(SendMessageTimeoutW(extra.target, extra.message, extra.wParam, 0, SMTO_NORMAL,
                                      kDefaultTimeoutMs, &result),
                  0)
            << extra.what << " was not handled during the launch (error " << GetLastError() << ")";
    }

    ASSERT_EQ(launcher.WaitForExit(), 0u);
    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    EXPECT_EQ(MemberOrder(calls),
              (std::vector<std::wstring>{L"Version", L"AutomationSecurity", L"OpenCurrentDatabase",
                                         L"Visible", L"hWndaccessApp"}));
    EXPECT_EQ(FindStandInWindows().size(), 1u);
}

}  // namespace
