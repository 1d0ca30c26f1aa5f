// The splash window as the user sees it while the launch runs: a picture in a dialog frame without
// a title bar, centred, out of the taskbar, on the screen until Access has been launched.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "launcher_scenario.h"

namespace {

using namespace harness;

constexpr int kTwipsPerInch = 1440;

int TwipsToPixels(int twips, int dotsPerInch) {
    return MulDiv(twips, dotsPerInch, kTwipsPerInch);
}

// The splash picture as the program carries it, from its bitmap resource.
harness::Pixels SplashPictureOf(const std::wstring& exe) {
    harness::Pixels picture;
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        ADD_FAILURE() << "cannot load " << Narrow(exe) << " (error " << GetLastError() << ")";
        return picture;
    }
    HRSRC found = FindResourceW(module, L"SPLASH", MAKEINTRESOURCEW(2));  // RT_BITMAP
    const auto* header =
        found ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)))
              : nullptr;
    if (!header) {
        ADD_FAILURE() << Narrow(exe) << " carries no bitmap SPLASH";
    } else if (header->biWidth != 400 || header->biHeight != 250 || header->biBitCount != 24 ||
               header->biCompression != BI_RGB) {
        ADD_FAILURE() << "the splash bitmap is " << header->biWidth << " x " << header->biHeight
                      << ", " << header->biBitCount << " bits, compression "
                      << header->biCompression << "; expected 400 x 250, 24 bits, uncompressed";
    } else {
        picture.width = header->biWidth;
        picture.height = header->biHeight;
        const auto* bits = reinterpret_cast<const std::uint8_t*>(header) + header->biSize;
        const int stride = (picture.width * 3 + 3) & ~3;
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* row = bits + static_cast<size_t>(picture.height - 1 - y) * stride;
            for (int x = 0; x < picture.width; ++x) {
                const std::uint8_t* pixel = row + x * 3;
                picture.rgb.push_back(static_cast<std::uint32_t>(pixel[2]) << 16 |
                                      static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[0]);
            }
        }
    }
    FreeLibrary(module);
    return picture;
}

// What shows of the picture box: its inner area, clipped by the window.
harness::Pixels CaptureShownPicture(HWND form, HWND picture) {
    RECT shown{};
    const RECT formClient = ClientRectOnScreen(form);
    const RECT pictureClient = ClientRectOnScreen(picture);
    IntersectRect(&shown, &formClient, &pictureClient);
    return CaptureScreen(shown);
}

// How many pixels of what shows of the picture box differ from the picture drawn unscaled from
// its inner top-left corner, clipped by the box and by the window.
int PictureMismatches(HWND form, HWND picture, const harness::Pixels& expected, int& compared) {
    const harness::Pixels screen = CaptureShownPicture(form, picture);
    int mismatches = 0;
    compared = 0;
    for (int y = 0; y < screen.height && y < expected.height; ++y) {
        for (int x = 0; x < screen.width && x < expected.width; ++x) {
            ++compared;
            if (screen.at(x, y) != expected.at(x, y))
                ++mismatches;
        }
    }
    return mismatches;
}

constexpr int kProgressBarHeight = 4;

// The width of a bar of the colour along the lower edge of what shows of the picture, from its
// left end; -1 when anything else differs from the picture.
int ProgressBarWidth(const harness::Pixels& screen, const harness::Pixels& expected,
                     std::uint32_t colour) {
    const int width = std::min(screen.width, expected.width);
    const int height = std::min(screen.height, expected.height);
    int bar = 0;
    while (bar < width && screen.at(bar, height - 1) == colour)
        ++bar;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inBar = y >= height - kProgressBarHeight && x < bar;
            if (screen.at(x, y) != (inBar ? colour : expected.at(x, y)))
                return -1;
        }
    }
    return bar;
}

using SplashWindow = LauncherTest<testing::TestWithParam<const wchar_t*>>;

TEST_P(SplashWindow, ShowsThePictureFramedCentredAndOutOfTheTaskbarUntilAccessIsLaunched) {
    const std::wstring program = GetParam();
    // Access takes its time to open the database, so the window can be looked at during the launch.
    const LauncherSetup setup =
        InstallLauncher(L"splash-" + program, program, {{L"open_delay_ms", L"5000"}});
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(1024, 1)));
    const harness::Pixels splashPicture = SplashPictureOf(setup.exe);
    ASSERT_FALSE(splashPicture.rgb.empty());

    Process launcher = Start(setup.exe, L"");
    const HWND form = WaitForWindow(launcher, kSplashFormClass);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !ReadStandInCalls(setup.standInFolder).empty(); }))
        << "the launch did not begin";

    // A fixed dialog frame, no caption, no control menu, no minimise or maximise button.
    const DWORD style = static_cast<DWORD>(GetWindowLongW(form, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(form, GWL_EXSTYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_DLGFRAME), DWORD{WS_POPUP | WS_DLGFRAME});
    EXPECT_EQ(style & (WS_BORDER | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              0u);
    EXPECT_EQ(WindowText(form), L"");
    // Out of the taskbar.
    EXPECT_EQ(exStyle & WS_EX_TOOLWINDOW, DWORD{WS_EX_TOOLWINDOW});
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0u);

    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT window{};
    GetWindowRect(form, &window);
    const RECT client = ClientRectOnScreen(form);
    EXPECT_EQ(client.right - client.left, TwipsToPixels(6015, dpiX));
    EXPECT_EQ(client.bottom - client.top, TwipsToPixels(3780, dpiY));
    // Only the frame around the client area, the same on every side: no title bar.
    const LONG frame = client.left - window.left;
    EXPECT_GT(frame, 0);
    EXPECT_EQ(client.top - window.top, frame);
    EXPECT_EQ(window.right - client.right, frame);
    EXPECT_EQ(window.bottom - client.bottom, frame);
    // Centred on the screen.
    EXPECT_LE(std::abs(window.left + window.right - GetSystemMetrics(SM_CXSCREEN)), 1);
    EXPECT_LE(std::abs(window.top + window.bottom - GetSystemMetrics(SM_CYSCREEN)), 1);

    // Picture1: the only control, at the top-left corner, 5 pixels taller than the client area,
    // with a 3-D border, and holding the focus.
    const HWND picture = GetWindow(form, GW_CHILD);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(GetWindow(picture, GW_HWNDNEXT), nullptr);
    RECT box{};
    GetWindowRect(picture, &box);
    EXPECT_EQ(box.left, client.left);
    EXPECT_EQ(box.top, client.top);
    EXPECT_EQ(box.right - box.left, TwipsToPixels(6015, dpiX));
    EXPECT_EQ(box.bottom - box.top, TwipsToPixels(3855, dpiY));
    EXPECT_EQ(GetWindowLongW(picture, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    const RECT inner = ClientRectOnScreen(picture);
    EXPECT_GT(inner.left, box.left) << "no border";
    EXPECT_GT(inner.top, box.top) << "no border";
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &thread));
    EXPECT_EQ(thread.hwndFocus, picture);

    // The picture on the screen. It may take a moment after the window shows before it is drawn.
    int mismatches = -1;
    int compared = 0;
    WaitUntil(
        [&] {
            return (mismatches = PictureMismatches(form, picture, splashPicture, compared)) == 0;
        },
        3000);
    EXPECT_EQ(mismatches, 0) << "of " << compared << " pixels";
    // Kept beside the test's folders, for a person to look at.
    SavePng(CaptureWindow(form), setup.standInFolder + L"\\splash.png");
    EXPECT_GE(compared, 390 * 245) << "too little of the picture shows";

    // Still launching: Access has not been made visible yet, and the splash is up.
    EXPECT_TRUE(CallsTo(ReadStandInCalls(setup.standInFolder), L"Visible").empty());
    EXPECT_TRUE(IsWindowVisible(form));

    ASSERT_TRUE(WaitForWindowGone(form));
    // It went only once the launch had made its last call to Access.
    EXPECT_EQ(CallsTo(ReadStandInCalls(setup.standInFolder), L"hWndAccessApp").size(), 1u);
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    EXPECT_FALSE(IsWindow(form));
}

INSTANTIATE_TEST_SUITE_P(BothLaunchers, SplashWindow,
                         testing::Values(L"Renvale.exe", L"Tessaly.exe"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param).substr(0, 7);
                         });

// An exception never unwinds out of the splash's handlers through Windows' frames: the launch
// ends as a failed one, without a crash and without a box.
TEST(SplashWithFailingLaunch, EndsAsAFailedLaunch) {
    const RunResult run = harness::Run(ProgramPath(L"tests\\throwing_launch.exe"), L"");

    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(run.boxes.empty()) << Narrow(run.boxes.at(0).text);
}

// A refresh of a large staged copy: the window answers within a second all through the launch,
// the checks, the copy, the rename and the staged copy's deletion included (they run on a worker),
// and once the copy has run for half a second a bar along the picture's lower edge shows its
// progress. Close requests, a tick and a key meanwhile start nothing a second time.
using SplashDuringRefresh = LauncherTest<>;

TEST_F(SplashDuringRefresh, AnswersThroughoutAndShowsTheCopysProgress) {
    constexpr std::size_t kMiB = 1024;
    const LauncherSetup setup = InstallLauncher(L"splash-long-refresh", L"Renvale.exe");
    ASSERT_TRUE(PutFile(setup.installed, DatabaseBytes(1024, 1)));
    ASSERT_TRUE(CreateDirectoryW((setup.appFolder + L"\\TEMP").c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(setup.staged, kMiB, 6));
    const harness::Pixels splashPicture = SplashPictureOf(setup.exe);
    ASSERT_FALSE(splashPicture.rgb.empty());
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const std::uint32_t barColour = static_cast<std::uint32_t>(GetRValue(highlight)) << 16 |
                                    static_cast<std::uint32_t>(GetGValue(highlight)) << 8 |
                                    GetBValue(highlight);

    Process launcher = Start(setup.exe, L"");
    const HWND form = WaitForWindow(launcher, kSplashFormClass);
    ASSERT_NE(form, nullptr);
    const HWND picture = GetWindow(form, GW_CHILD);
    const ULONGLONG began = GetTickCount64();
    int barSeen = 0;
    int answersInCopy = 0;
    const harness::Answering answering = ProbeUntilGone(form, 20, [&](int) {
        if (!TempFilesIn(setup.appFolder).empty())
            ++answersInCopy;
        if (barSeen)
            return;
        const harness::Pixels shown = CaptureShownPicture(form, picture);
        const int bar = ProgressBarWidth(shown, splashPicture, barColour);
        EXPECT_GE(bar, 0) << "the picture is drawn otherwise than with a bar";
        if (bar > 0) {
            barSeen = bar;
            SavePng(CaptureWindow(form), setup.standInFolder + L"\\mid-copy.png");
            // None of these may start a second unload or launch.
            DWORD_PTR result = 0;
            SendMessageTimeoutW(form, WM_CLOSE, 0, 0, SMTO_NORMAL, 1000, &result);
            PostMessageW(form, WM_CLOSE, 0, 0);
            PostMessageW(form, WM_TIMER, 1, 0);
            PostMessageW(picture, WM_CHAR, L'x', 0);
        }
    });
    std::cout << "launch took " << GetTickCount64() - began << " ms; " << answering.answers
              << " answers, " << answersInCopy << " during the copy, the longest gap "
              << answering.longestGapMs << " ms; bar first seen " << barSeen << " pixels wide\n";
    EXPECT_EQ(answering.unanswered, 0);
    EXPECT_GE(answersInCopy, 10);
    EXPECT_GT(barSeen, 0) << "no progress bar during the copy";
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    const std::vector<StandInCall> calls = ReadStandInCalls(setup.standInFolder);
    EXPECT_EQ(CallsTo(calls, L"Version").size(), 1u);
    EXPECT_EQ(CallsTo(calls, L"OpenCurrentDatabase").size(), 1u);
    EXPECT_TRUE(HoldsLargeDatabase(setup.installed, kMiB, 6));
    EXPECT_TRUE(FolderEntries(setup.appFolder + L"\\TEMP").empty());
}

}  // namespace
