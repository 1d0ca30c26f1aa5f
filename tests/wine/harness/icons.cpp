// Icon handles cannot be compared across processes, so the icon of a message box is recognised by
// its pixels: each stock icon is drawn over the dialog's background and compared with the screen.
#include <algorithm>

#include "harness.h"

namespace harness {

namespace {

constexpr int kIconControlId = 1088;
constexpr int kIconSize = 32;

struct Candidate {
    BoxIcon icon;
    LPCWSTR resource;
};

const Candidate kCandidates[] = {
    {BoxIcon::Error, IDI_HAND},
    {BoxIcon::Information, IDI_ASTERISK},
    {BoxIcon::Warning, IDI_EXCLAMATION},
    {BoxIcon::Question, IDI_QUESTION},
};

// The stock icon drawn over a background of the given colour, as the box would show it.
Pixels DrawnIcon(LPCWSTR resource, std::uint32_t background) {
    return PaintOffscreen(kIconSize, kIconSize, [&](HDC memory, HDC, std::uint32_t* bits) {
        std::fill(bits, bits + kIconSize * kIconSize, background);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, resource), kIconSize, kIconSize, 0, nullptr,
                   DI_NORMAL);
    });
}

BoxIcon BestMatch(const Pixels& onScreen) {
    // The stock icons leave their corners transparent, so a corner shows the dialog's background.
    const std::uint32_t background = onScreen.at(0, 0);
    for (const auto& candidate : kCandidates) {
        const Pixels drawn = DrawnIcon(candidate.resource, background);
        if (drawn.rgb == onScreen.rgb)
            return candidate.icon;
    }
    return BoxIcon::Unrecognised;
}

}  // namespace

const char* BoxIconName(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::None:
            return "none";
        case BoxIcon::Error:
            return "error";
        case BoxIcon::Information:
            return "information";
        case BoxIcon::Warning:
            return "warning";
        case BoxIcon::Question:
            return "question";
        case BoxIcon::Unrecognised:
            return "unrecognised";
    }
    return "?";
}

BoxIcon IdentifyIcon(HWND box) {
    HWND iconControl = GetDlgItem(box, kIconControlId);
    if (!iconControl || !IsWindowVisible(iconControl))
        return BoxIcon::None;
    BoxIcon icon = BoxIcon::Unrecognised;
    WaitUntil(
        [&] {
            RECT area;
            GetWindowRect(iconControl, &area);
            area.right = area.left + kIconSize;
            area.bottom = area.top + kIconSize;
            icon = BestMatch(CaptureScreen(area));
            return icon != BoxIcon::Unrecognised;
        },
        2000);
    return icon;
}

}  // namespace harness
