// Every message box of the registrar passes here: with /quiet none is shown (a logon script or
// Active Setup has nobody to click it), and each one, shown or not, goes into the log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace boxes {

void SetQuiet(bool quiet);
// As platform::MsgBox: without a title the box shows the application title.
void Show(const std::wstring& text, std::uint32_t style,
          const std::optional<std::wstring>& title = std::nullopt);

}  // namespace boxes
