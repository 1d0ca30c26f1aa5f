#include "main_window.h"

#include <map>

#include "class_factory.h"
#include "owners.h"

namespace {

constexpr wchar_t kTitle[] = L"Orvantis stand-in";

HINSTANCE module = nullptr;
// Every open window, with the full path of the database open in it (empty: none).
std::map<HWND, std::wstring> openWindows;

owners::unique_gdi<HFONT> MakeFont(int height, int weight) {
    return owners::unique_gdi<HFONT>(CreateFontW(
        height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

void DrawLine(HDC dc, const std::wstring& text, HFONT font, COLORREF colour, RECT& area) {
    HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, colour);
    RECT line = area;
    int height = DrawTextW(dc, text.c_str(), -1, &line,
                           DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_PATH_ELLIPSIS);
    area.top += height + height / 2;
    SelectObject(dc, previous);
}

// A band in the caption colour, then the open database, large, and its full path.
void Form_Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_APPWORKSPACE));
    RECT band = area;
    band.bottom = band.top + 48;
    FillRect(dc, &band, GetSysColorBrush(COLOR_ACTIVECAPTION));
    SetBkMode(dc, TRANSPARENT);

    owners::unique_gdi<HFONT> large = MakeFont(-28, FW_BOLD);
    owners::unique_gdi<HFONT> small = MakeFont(-14, FW_NORMAL);
    RECT text = band;
    text.top += 10;
    DrawLine(dc, kTitle, large.get(), GetSysColor(COLOR_CAPTIONTEXT), text);

    const std::wstring& database = openWindows[window];
    text = area;
    text.left += 16;
    text.right -= 16;
    text.top += (area.bottom - area.top) / 3;
    if (database.empty()) {
        DrawLine(dc, L"No database open", large.get(), GetSysColor(COLOR_WINDOWTEXT), text);
    } else {
        DrawLine(dc, database.substr(database.find_last_of(L"\\/") + 1), large.get(),
                 GetSysColor(COLOR_WINDOWTEXT), text);
        DrawLine(dc, database, small.get(), GetSysColor(COLOR_WINDOWTEXT), text);
    }
    DrawLine(dc, L"An automation server for tests and demonstrations, not Microsoft Access.",
             small.get(), GetSysColor(COLOR_WINDOWTEXT), text);
    EndPaint(window, &paint);
}

void Form_Destroy(HWND window) {
    openWindows.erase(window);
    if (openWindows.empty()) {
        // The last window closed: no new object may arrive in a server that is ending.
        RevokeClassObject();
        PostQuitMessage(0);
    }
}

LRESULT CALLBACK StandInWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            openWindows[window];
            return 0;
        case WM_PAINT:
            Form_Paint(window);
            return 0;
        case WM_SIZE:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_DESTROY:
            Form_Destroy(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterStandInWindowClass(HINSTANCE instance) {
    module = instance;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = StandInWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
    windowClass.lpszClassName = kStandInWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

HWND CreateStandInWindow() {
    return CreateWindowExW(0, kStandInWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 640, 480, nullptr, nullptr, module, nullptr);
}

bool IsStandInWindowOpen(HWND window) {
    return openWindows.contains(window);
}

void ShowDatabase(HWND window, const std::wstring& path) {
    openWindows[window] = path;
    std::wstring title = std::wstring(kTitle) + L" - " + path.substr(path.find_last_of(L"\\/") + 1);
    SetWindowTextW(window, title.c_str());
    InvalidateRect(window, nullptr, TRUE);
}
