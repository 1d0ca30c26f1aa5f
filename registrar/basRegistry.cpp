#include "basRegistry.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "TextHelpers.h"
#include "platform.h"

namespace basRegistry {

namespace {

constexpr std::uint32_t kBinaerPuffer = 255;
constexpr std::int32_t kUngueltigesArgument = 5;
constexpr std::int32_t kKeinSpeicher = 7;

// Registry texts are UTF-16LE whatever the width of wchar_t is where the logic runs.
std::vector<std::uint8_t> Utf16Bytes(const std::wstring& sText) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((sText.size() + 1) * 2);
    auto appendUnit = [&bytes](std::uint32_t unit) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    };
    for (const wchar_t zeichen : sText) {
        const auto code = static_cast<std::uint32_t>(zeichen);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            appendUnit(0xD800 + ((code - 0x10000) >> 10));
            appendUnit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            appendUnit(code);
        }
    }
    appendUnit(0);
    return bytes;
}

std::wstring TextOfUtf16(const std::vector<std::uint8_t>& aPuffer) {
    std::wstring sText;
    for (std::size_t i = 0; i + 1 < aPuffer.size(); i += 2) {
        std::uint32_t unit = aPuffer[i] | (aPuffer[i + 1] << 8);
        if constexpr (sizeof(wchar_t) > 2) {
            const bool hoch = unit >= 0xD800 && unit < 0xDC00;
            const std::uint32_t next =
                i + 3 < aPuffer.size() ? aPuffer[i + 2] | (aPuffer[i + 3] << 8) : 0;
            if (hoch && next >= 0xDC00 && next < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                i += 2;
            }
        }
        sText += static_cast<wchar_t>(unit);
    }
    return sText;
}

struct ErrorBox {
    std::wstring text;
    std::wstring title;
};

bool boxesHeld = false;
std::vector<ErrorBox> heldBoxes;
int errorCount = 0;

void ShowErrorBox(const std::wstring& sFunktion, const platform::RuntimeError& fehler) {
    ++errorCount;
    ErrorBox box{L"Es ist ein Fehler aufgetreten.\r\n\r\nIn Function:\t" + sFunktion +
                     L"\r\nFehlernummer:\t" + std::to_wstring(fehler.number) +
                     L"\r\nBeschreibung:\t" + fehler.description,
                 L"Fehler in \"" + sFunktion + L"\""};
    if (boxesHeld)
        heldBoxes.push_back(std::move(box));
    else
        platform::MsgBox(box.text, platform::kMbIconError, box.title);
}

platform::RuntimeError OutOfMemory() {
    return {kKeinSpeicher, L"Nicht genügend Speicher"};
}

// Called only inside the trap of fnc_Reg_String_Lesen.
std::wstring fnc_Reg_Wert_Lesen(const platform::RegKey& hSchluessel, std::wstring sWertName) {
    std::uint32_t lTyp = 0;
    std::uint32_t lGroesse = 0;
    if (platform::QueryRegValue(hSchluessel, sWertName, &lTyp, nullptr, &lGroesse) !=
        platform::kErrorSuccess) {
        return {};
    }
    std::uint32_t lTypZweit = 0;
    if (lTyp == platform::kRegSz || lTyp == platform::kRegExpandSz) {
        // Bytes the query does not fill stay zero; the cut at the first NUL relies on it.
        std::vector<std::uint8_t> aPuffer(lGroesse, 0);
        if (platform::QueryRegValue(hSchluessel, sWertName, &lTypZweit, aPuffer.data(),
                                    &lGroesse) != platform::kErrorSuccess) {
            return {};
        }
        const std::wstring sText = TextOfUtf16(aPuffer);
        const auto lEnde = sText.find(L'\0');
        if (lEnde == std::wstring::npos) {
            throw platform::RuntimeError{kUngueltigesArgument,
                                         L"Ungültiger Prozeduraufruf oder ungültiges Argument"};
        }
        return sText.substr(0, lEnde);
    }
    if (lTyp == platform::kRegBinary) {
        // A longer value is read whole so that the query never writes past the buffer; only its
        // first 255 bytes become text.
        std::vector<std::uint8_t> aPuffer(std::max(lGroesse, kBinaerPuffer), 0);
        lGroesse = static_cast<std::uint32_t>(aPuffer.size());
        if (platform::QueryRegValue(hSchluessel, sWertName, &lTypZweit, aPuffer.data(),
                                    &lGroesse) != platform::kErrorSuccess) {
            return {};
        }
        const std::wstring sText = platform::AnsiBytesToWide(aPuffer.data(), kBinaerPuffer);
        return sText.substr(0, std::min<std::size_t>(lGroesse, kBinaerPuffer));
    }
    return {};
}

}  // namespace

std::wstring fnc_Reg_String_Lesen(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                                  const std::wstring& sWertName) {
    const std::wstring sFunktion = L"fnc_Reg_String_Lesen";
    std::wstring sErgebnis;
    try {
        platform::RegKey hSchluessel;
        platform::OpenRegKey(lRoot, sSchluessel, hSchluessel);
        sErgebnis = fnc_Reg_Wert_Lesen(hSchluessel, sWertName);
    } catch (const platform::RuntimeError& fehler) {
        ShowErrorBox(sFunktion, fehler);
    } catch (const std::bad_alloc&) {
        ShowErrorBox(sFunktion, OutOfMemory());
    }
    return sErgebnis;
}

void fnc_Reg_Num_Schreiben(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                           const std::wstring& sWertName, const std::int32_t& lZahl) {
    const std::wstring sFunktion = L"fnc_Reg_Num_Schreiben";
    try {
        platform::RegKey hSchluessel;
        platform::CreateRegKey(lRoot, sSchluessel, hSchluessel);
        const auto lBits = static_cast<std::uint32_t>(lZahl);
        const std::uint8_t aDaten[4] = {static_cast<std::uint8_t>(lBits & 0xFF),
                                        static_cast<std::uint8_t>((lBits >> 8) & 0xFF),
                                        static_cast<std::uint8_t>((lBits >> 16) & 0xFF),
                                        static_cast<std::uint8_t>((lBits >> 24) & 0xFF)};
        platform::SetRegValue(hSchluessel, sWertName, platform::kRegDword, aDaten, 4);
    } catch (const platform::RuntimeError& fehler) {
        ShowErrorBox(sFunktion, fehler);
    } catch (const std::bad_alloc&) {
        ShowErrorBox(sFunktion, OutOfMemory());
    }
}

void fnc_Reg_String_Schreiben(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                              const std::wstring& sWertName, const std::wstring& sText) {
    const std::wstring sFunktion = L"fnc_Reg_String_Schreiben";
    try {
        platform::RegKey hSchluessel;
        platform::CreateRegKey(lRoot, sSchluessel, hSchluessel);
        const std::vector<std::uint8_t> aDaten = Utf16Bytes(sText);
        platform::SetRegValue(hSchluessel, sWertName, platform::kRegSz, aDaten.data(),
                              static_cast<std::uint32_t>(aDaten.size()));
    } catch (const platform::RuntimeError& fehler) {
        ShowErrorBox(sFunktion, fehler);
    } catch (const std::bad_alloc&) {
        ShowErrorBox(sFunktion, OutOfMemory());
    }
}

void HoldErrorBoxes() {
    boxesHeld = true;
}

void ShowHeldErrorBoxes() {
    boxesHeld = false;
    std::vector<ErrorBox> boxes;
    boxes.swap(heldBoxes);
    for (const auto& box : boxes)
        platform::MsgBox(box.text, platform::kMbIconError, box.title);
}

int ErrorCount() {
    return errorCount;
}

}  // namespace basRegistry
