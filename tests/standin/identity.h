// Who the stand-in is in the registry: the class it serves and the name clients create it by.
#pragma once

#include <windows.h>

// Our own class id; nothing of Microsoft Access is reused.
inline constexpr CLSID kStandInClsid = {
    0x7dcbd51a, 0x1d96, 0x4a99, {0x9f, 0x21, 0x35, 0x8d, 0xdc, 0xca, 0xb7, 0x09}};
inline constexpr wchar_t kStandInClsidText[] = L"{7DCBD51A-1D96-4A99-9F21-358DDCCAB709}";
inline constexpr wchar_t kProgId[] = L"Access.Application";
inline constexpr wchar_t kStandInDescription[] = L"Orvantis stand-in for Microsoft Access";
