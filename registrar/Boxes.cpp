#include "Boxes.h"

#include "EventLog.h"
#include "platform.h"

namespace boxes {
namespace {

bool quietRun = false;

// A log line holds no line break; one blank stands for each.
std::wstring OnOneLine(std::wstring text) {
    for (auto lineBreak = text.find(L"\r\n"); lineBreak != std::wstring::npos;
         lineBreak = text.find(L"\r\n", lineBreak))
        text.replace(lineBreak, 2, L" ");
    return text;
}

// The box's icon tells how the Event Log shows its event.
eventlog::Level LevelOf(std::uint32_t style) {
    const std::uint32_t icon = style & 0xF0;
    return icon == platform::kMbIconError     ? eventlog::Level::Error
           : icon == platform::kMbIconWarning ? eventlog::Level::Warning
                                              : eventlog::Level::Information;
}

}  // namespace

void SetQuiet(bool quiet) {
    quietRun = quiet;
}

void Show(const std::wstring& text, std::uint32_t style, const std::optional<std::wstring>& title) {
    eventlog::Write(L"box",
                    std::wstring(quietRun ? L"not shown (/quiet): " : L"shown: ") +
                        (title ? *title : std::wstring(platform::AppTitle())) + L": " +
                        OnOneLine(text),
                    LevelOf(style));
    if (!quietRun)
        platform::MsgBox(text, style, title);
}

}  // namespace boxes
