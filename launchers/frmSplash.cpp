#include "frmSplash.h"

#include <platform.h>

#include <atomic>
#include <memory>
#include <type_traits>

#include "owners.h"

namespace frmSplash {
namespace {

constexpr wchar_t kFormClass[] = L"OrvantisSplashForm";
constexpr wchar_t kPictureClass[] = L"OrvantisSplashPicture";
constexpr wchar_t kSplashBitmap[] = L"SPLASH";

// Sizes in twips, 1440 to the inch; 15 twips per pixel at 96 dots per inch.
constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidth = 6015;
constexpr int kClientHeight = 3780;
// The picture box reaches 75 twips below the client area, so the window cuts its lower edge off.
constexpr int kPicture1Width = 6015;
constexpr int kPicture1Height = 3855;

// A fixed dialog frame with no caption draws no title bar; a tool window stays out of the taskbar.
constexpr DWORD kFormStyle = WS_POPUP | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_TOOLWINDOW;
constexpr DWORD kPicture1Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kPicture1ExStyle = WS_EX_CLIENTEDGE;

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 100;

// A long copy's progress: a thin bar along the picture's lower edge.
constexpr int kProgressBarHeight = 4;

struct MemoryDcDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
using unique_memory_dc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

struct ScreenDcReleaser {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
using unique_screen_dc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcReleaser>;

LaunchProcedure launchProcedure = nullptr;
owners::unique_gdi<HBITMAP> splashPicture;
// Read by the worker that reports a copy's progress, too.
std::atomic<HWND> Picture1 = nullptr;
// Set when the unload begins. The launch waits in loops that dispatch messages, so a tick, a key
// or a close request can reach the form again while it runs; the form unloads only once.
bool unloading = false;
// The process's exit code: 0 once Access has accepted the database; 1 otherwise, also when the
// launch procedure failed with an exception.
int exitCode = 1;
// How far a long copy has come, 0 to 1; negative while no copy has run long enough to show it.
// Written by the worker that copies, read when the picture paints.
constexpr double kNoProgress = -1;
std::atomic<double> copyProgress = kNoProgress;

int TwipsToPixels(int twips, int dotsPerInch) {
    return MulDiv(twips, dotsPerInch, kTwipsPerInch);
}

SIZE ScreenDotsPerInch() {
    const unique_screen_dc screen(GetDC(nullptr));
    return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

// The event handlers.

void Form_Load() {}

// An exception must never unwind through the window procedure's Windows frames: it ends here,
// as a failed launch.
void Form_Unload() {
    try {
        exitCode = launchProcedure() ? 0 : 1;
    } catch (...) {
        exitCode = 1;
    }
}

// Unload Me: the unload event runs, then the window and its controls, the timer with them, go.
// It returns only when all of that is done.
void Unload(HWND form) {
    if (unloading)
        return;
    unloading = true;
    Form_Unload();
    DestroyWindow(form);
}

void Form_KeyPress(HWND form, wchar_t /*keyAscii*/) {
    Unload(form);
}

void Timer1_Timer(HWND form) {
    Unload(form);
}

// The window procedures: one small function per message.

void OnCreate(HWND form, const CREATESTRUCTW& create) {
    const SIZE dpi = ScreenDotsPerInch();
    Picture1 = CreateWindowExW(kPicture1ExStyle, kPictureClass, L"", kPicture1Style, 0, 0,
                               TwipsToPixels(kPicture1Width, dpi.cx),
                               TwipsToPixels(kPicture1Height, dpi.cy), form, nullptr,
                               create.hInstance, nullptr);
    SetTimer(form, kTimer1, kTimer1Interval, nullptr);
    Form_Load();
}

// The picture box is the only control that takes the focus.
void OnSetFocus() {
    SetFocus(Picture1);
}

void OnDestroy() {
    Picture1 = nullptr;
    PostQuitMessage(exitCode);
}

LRESULT CALLBACK FormProc(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(form, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
            return 0;
        case WM_SETFOCUS:
            OnSetFocus();
            return 0;
        case WM_CHAR:
            Form_KeyPress(form, static_cast<wchar_t>(wParam));
            return 0;
        case WM_TIMER:  // the form's only timer
            Timer1_Timer(form);
            return 0;
        case WM_CLOSE:
            Unload(form);
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            return DefWindowProcW(form, message, wParam, lParam);
    }
}

// What shows of the picture: the bitmap, clipped by the box and by the window.
RECT ShownPicture(HWND picture) {
    RECT shown{};
    GetClientRect(picture, &shown);
    RECT form{};
    GetClientRect(GetParent(picture), &form);
    MapWindowPoints(GetParent(picture), picture, reinterpret_cast<POINT*>(&form), 2);
    IntersectRect(&shown, &shown, &form);
    BITMAP size{};
    if (splashPicture && GetObjectW(splashPicture.get(), sizeof size, &size)) {
        const RECT bitmap{0, 0, size.bmWidth, size.bmHeight};
        IntersectRect(&shown, &shown, &bitmap);
    }
    return shown;
}

// The whole width of the bar, in the picture box's client coordinates.
RECT ProgressBarArea(HWND picture) {
    RECT bar = ShownPicture(picture);
    bar.top = bar.bottom - kProgressBarHeight;
    return bar;
}

LONG ProgressBarWidth(const RECT& bar, double fraction) {
    return static_cast<LONG>((bar.right - bar.left) * fraction + 0.5);
}

void DrawCopyProgress(HWND picture, HDC target) {
    RECT bar = ProgressBarArea(picture);
    bar.right = bar.left + ProgressBarWidth(bar, copyProgress);
    FillRect(target, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
}

// The bitmap unscaled from the inner top-left corner; the rest is clipped.
void OnPicturePaint(HWND picture) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(picture, &paint);
    BITMAP size{};
    if (splashPicture && GetObjectW(splashPicture.get(), sizeof size, &size)) {
        unique_memory_dc source(CreateCompatibleDC(target));
        HGDIOBJ previous = SelectObject(source.get(), splashPicture.get());
        BitBlt(target, 0, 0, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
        SelectObject(source.get(), previous);
    }
    if (copyProgress >= 0)
        DrawCopyProgress(picture, target);
    EndPaint(picture, &paint);
}

// Key preview: the form sees every character typed while its picture box has the focus.
void OnPictureChar(HWND picture, WPARAM character, LPARAM keyData) {
    SendMessageW(GetParent(picture), WM_CHAR, character, keyData);
}

LRESULT CALLBACK PictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPicturePaint(picture);
            return 0;
        case WM_CHAR:
            OnPictureChar(picture, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(picture, message, wParam, lParam);
    }
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    form.lpszClassName = kFormClass;
    WNDCLASSEXW picture = form;
    picture.lpfnWndProc = PictureProc;
    picture.lpszClassName = kPictureClass;
    return RegisterClassExW(&form) && RegisterClassExW(&picture);
}

}  // namespace

bool Show(HINSTANCE instance, LaunchProcedure launchDatabase) {
    launchProcedure = launchDatabase;
    splashPicture.reset(static_cast<HBITMAP>(
        LoadImageW(instance, kSplashBitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!RegisterClasses(instance))
        return false;

    const SIZE dpi = ScreenDotsPerInch();
    RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi.cx), TwipsToPixels(kClientHeight, dpi.cy)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred on the whole primary screen.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    HWND form = CreateWindowExW(kFormExStyle, kFormClass, L"", kFormStyle, left, top, width, height,
                                nullptr, nullptr, instance, nullptr);
    if (!form)
        return false;
    ShowWindow(form, SW_SHOWNORMAL);
    // Painted now, so the picture is on the screen before the first tick can start the launch.
    UpdateWindow(form);
    return true;
}

int Run(HINSTANCE instance, LaunchProcedure launchDatabase) {
    if (!Show(instance, launchDatabase))
        return 1;
    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // WM_QUIT carries the exit code; a failed GetMessageW (-1) fills in nothing.
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

}  // namespace frmSplash

namespace platform {

void ShowCopyProgress(double fraction) {
    using namespace frmSplash;
    const HWND picture = Picture1;
    if (!picture)
        return;
    const RECT bar = ProgressBarArea(picture);
    // Painted again only when the bar grows by a pixel, by the window's own thread.
    const double shown = copyProgress.exchange(fraction);
    if (shown < 0 || ProgressBarWidth(bar, shown) != ProgressBarWidth(bar, fraction))
        InvalidateRect(picture, &bar, FALSE);
}

}  // namespace platform
