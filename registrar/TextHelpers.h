// Small text rules the registrar's modules share.
#pragma once

#include <string>

namespace textHelpers {

// Blanks only: tabs and other white space stay.
inline std::wstring TrimBlanks(const std::wstring& sText) {
    const auto lAnfang = sText.find_first_not_of(L' ');
    if (lAnfang == std::wstring::npos)
        return {};
    return sText.substr(lAnfang, sText.find_last_not_of(L' ') - lAnfang + 1);
}

// Only the ASCII letters matter: the switch words are plain ASCII, and no other character
// lower-cases to one of their letters.
inline std::wstring LowerCase(std::wstring sText) {
    for (auto& zeichen : sText) {
        if (zeichen >= L'A' && zeichen <= L'Z')
            zeichen = static_cast<wchar_t>(zeichen - L'A' + L'a');
    }
    return sText;
}

}  // namespace textHelpers
