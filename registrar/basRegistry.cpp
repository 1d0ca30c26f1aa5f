#include "basRegistry.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "Boxes.h"
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
        boxes::Show(box.text, platform::kMbIconError, box.title);
}

platform::RuntimeError OutOfMemory() {
    return {kKeinSpeicher, L"Nicht genügend Speicher"};
}

// Runs a helper's registry work inside its error trap: a run-time error ends the work, is shown in
// the helper's error box, and is given back for callers that report it further.
template <typename Work>
std::optional<platform::RuntimeError> Trapped(const std::wstring& sFunktion, Work work) {
    std::optional<platform::RuntimeError> fehler;
    try {
        work();
    } catch (const platform::RuntimeError& laufzeitfehler) {
        fehler = laufzeitfehler;
    } catch (const std::bad_alloc&) {
        fehler = OutOfMemory();
    }
    if (fehler)
        ShowErrorBox(sFunktion, *fehler);
    return fehler;
}

// With the number alone where Windows has no text for it.
WriteFailure WindowsFailure(long lFehler) {
    const std::wstring sMeldung = platform::ErrorMessage(static_cast<std::uint32_t>(lFehler));
    return {static_cast<std::int32_t>(lFehler),
            sMeldung.empty() ? std::to_wstring(lFehler) : sMeldung};
}

// Called only inside the trap of fnc_Reg_String_Lesen; gefunden is set on every way out.
std::wstring fnc_Reg_Wert_Lesen(const platform::RegKey& hSchluessel, std::wstring sWertName,
                                Found& gefunden) {
    gefunden = Found::Unreadable;
    std::uint32_t lTyp = 0;
    std::uint32_t lGroesse = 0;
    const long lAbfrage =
        platform::QueryRegValue(hSchluessel, sWertName, &lTyp, nullptr, &lGroesse);
    if (lAbfrage != platform::kErrorSuccess) {
        if (lAbfrage == platform::kErrorFileNotFound)
            gefunden = Found::NoValue;
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
            // Zero bytes hold nothing; a text stored without its NUL (Access reads it) holds a
            // folder that this reader cannot give.
            if (aPuffer.empty())
                gefunden = Found::Read;
            throw platform::RuntimeError{kUngueltigesArgument,
                                         L"Ungültiger Prozeduraufruf oder ungültiges Argument"};
        }
        gefunden = Found::Read;
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
        gefunden = Found::Read;
        return sText.substr(0, std::min<std::size_t>(lGroesse, kBinaerPuffer));
    }
    gefunden = Found::Read;
    return {};
}

// Both writers: create the key, then set the value; a step that fails ends the write.
std::optional<WriteFailure> WriteValue(const std::wstring& sFunktion, std::uint32_t lRoot,
                                       const std::wstring& sSchluessel,
                                       const std::wstring& sWertName, std::uint32_t lTyp,
                                       const std::vector<std::uint8_t>& aDaten) {
    std::optional<WriteFailure> fehlschlag;
    const auto fehler = Trapped(sFunktion, [&] {
        platform::RegKey hSchluessel;
        const long lAngelegt = platform::CreateRegKey(lRoot, sSchluessel, hSchluessel);
        if (lAngelegt != platform::kErrorSuccess) {
            fehlschlag = WindowsFailure(lAngelegt);
            return;
        }
        const long lGesetzt = platform::SetRegValue(hSchluessel, sWertName, lTyp, aDaten.data(),
                                                    static_cast<std::uint32_t>(aDaten.size()));
        if (lGesetzt != platform::kErrorSuccess)
            fehlschlag = WindowsFailure(lGesetzt);
    });
    return fehler ? fehler : fehlschlag;
}

}  // namespace

std::wstring fnc_Reg_String_Lesen(const std::uint32_t& lRoot, const std::wstring& sSchluessel,
                                  const std::wstring& sWertName, Found* found) {
    std::wstring sErgebnis;
    Found gefunden = Found::Unreadable;
    Trapped(L"fnc_Reg_String_Lesen", [&] {
        platform::RegKey hSchluessel;
        const long lGeoeffnet = platform::OpenRegKey(lRoot, sSchluessel, hSchluessel);
        sErgebnis = fnc_Reg_Wert_Lesen(hSchluessel, sWertName, gefunden);
        // Without a key the query fails for want of a handle; what counts is why the open failed.
        if (lGeoeffnet != platform::kErrorSuccess) {
            gefunden =
                lGeoeffnet == platform::kErrorFileNotFound ? Found::NoKey : Found::Unreadable;
        }
    });
    if (found)
        *found = gefunden;
    return sErgebnis;
}

std::optional<WriteFailure> fnc_Reg_Num_Schreiben(const std::uint32_t& lRoot,
                                                  const std::wstring& sSchluessel,
                                                  const std::wstring& sWertName,
                                                  const std::int32_t& lZahl) {
    const auto lBits = static_cast<std::uint32_t>(lZahl);
    return WriteValue(
        L"fnc_Reg_Num_Schreiben", lRoot, sSchluessel, sWertName, platform::kRegDword,
        {static_cast<std::uint8_t>(lBits & 0xFF), static_cast<std::uint8_t>((lBits >> 8) & 0xFF),
         static_cast<std::uint8_t>((lBits >> 16) & 0xFF),
         static_cast<std::uint8_t>((lBits >> 24) & 0xFF)});
}

std::optional<WriteFailure> fnc_Reg_String_Schreiben(const std::uint32_t& lRoot,
                                                     const std::wstring& sSchluessel,
                                                     const std::wstring& sWertName,
                                                     const std::wstring& sText) {
    return WriteValue(L"fnc_Reg_String_Schreiben", lRoot, sSchluessel, sWertName, platform::kRegSz,
                      Utf16Bytes(sText));
}

std::optional<std::uint32_t> ReadNumber(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName) {
    std::optional<std::uint32_t> lZahl;
    Trapped(L"ReadNumber", [&] {
        std::uint32_t lGelesen = 0;
        if (platform::GetRegDword(lRoot, sSchluessel, sWertName, lGelesen) ==
            platform::kErrorSuccess) {
            lZahl = lGelesen;
        }
    });
    return lZahl;
}

std::wstring FailureText(const WriteFailure& failure) {
    return L"error " + std::to_wstring(failure.number) + L" (" + failure.description + L")";
}

std::optional<WriteFailure> KeyExists(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                      bool& exists) {
    std::optional<WriteFailure> fehlschlag;
    exists = false;
    const auto fehler = Trapped(L"KeyExists", [&] {
        platform::RegKey hSchluessel;
        const long lGeoeffnet = platform::OpenRegKey(lRoot, sSchluessel, hSchluessel);
        exists = lGeoeffnet == platform::kErrorSuccess;
        if (!exists && lGeoeffnet != platform::kErrorFileNotFound)
            fehlschlag = WindowsFailure(lGeoeffnet);
    });
    return fehler ? fehler : fehlschlag;
}

std::optional<WriteFailure> ReadStored(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                       const std::wstring& sWertName,
                                       std::optional<StoredValue>& stored) {
    std::optional<WriteFailure> fehlschlag;
    stored.reset();
    const auto fehler = Trapped(L"ReadStored", [&] {
        platform::RegKey hSchluessel;
        const long lGeoeffnet = platform::OpenRegKey(lRoot, sSchluessel, hSchluessel);
        if (lGeoeffnet != platform::kErrorSuccess) {
            if (lGeoeffnet != platform::kErrorFileNotFound)
                fehlschlag = WindowsFailure(lGeoeffnet);
            return;
        }
        StoredValue wert;
        std::uint32_t lGroesse = 0;
        long lAbfrage =
            platform::QueryRegValue(hSchluessel, sWertName, &wert.type, nullptr, &lGroesse);
        if (lAbfrage == platform::kErrorSuccess) {
            wert.data.assign(lGroesse, 0);
            lAbfrage = platform::QueryRegValue(hSchluessel, sWertName, &wert.type, wert.data.data(),
                                               &lGroesse);
            wert.data.resize(std::min<std::size_t>(lGroesse, wert.data.size()));
        }
        if (lAbfrage == platform::kErrorSuccess)
            stored = std::move(wert);
        else if (lAbfrage != platform::kErrorFileNotFound)
            fehlschlag = WindowsFailure(lAbfrage);
    });
    return fehler ? fehler : fehlschlag;
}

std::optional<WriteFailure> WriteStored(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName, const StoredValue& stored) {
    return WriteValue(L"WriteStored", lRoot, sSchluessel, sWertName, stored.type, stored.data);
}

std::optional<WriteFailure> DeleteValue(std::uint32_t lRoot, const std::wstring& sSchluessel,
                                        const std::wstring& sWertName) {
    long lErgebnis = platform::kErrorSuccess;
    const auto fehler = Trapped(L"DeleteValue", [&] {
        platform::RegKey hSchluessel;
        lErgebnis = platform::OpenRegKey(lRoot, sSchluessel, hSchluessel);
        if (lErgebnis == platform::kErrorSuccess)
            lErgebnis = platform::DeleteRegValue(hSchluessel, sWertName);
    });
    if (fehler)
        return fehler;
    if (lErgebnis == platform::kErrorSuccess || lErgebnis == platform::kErrorFileNotFound)
        return std::nullopt;
    return WindowsFailure(lErgebnis);
}

std::optional<WriteFailure> DeleteKey(std::uint32_t lRoot, const std::wstring& sSchluessel) {
    // Without the trailing backslash that the slots' key paths carry.
    std::wstring sPfad = sSchluessel;
    while (!sPfad.empty() && sPfad.back() == L'\\')
        sPfad.pop_back();
    long lErgebnis = platform::kErrorSuccess;
    const auto fehler =
        Trapped(L"DeleteKey", [&] { lErgebnis = platform::DeleteRegKey(lRoot, sPfad); });
    if (fehler)
        return fehler;
    if (lErgebnis == platform::kErrorSuccess || lErgebnis == platform::kErrorFileNotFound)
        return std::nullopt;
    return WindowsFailure(lErgebnis);
}

void HoldErrorBoxes() {
    boxesHeld = true;
}

void ShowHeldErrorBoxes() {
    boxesHeld = false;
    std::vector<ErrorBox> held;
    held.swap(heldBoxes);
    for (const auto& box : held)
        boxes::Show(box.text, platform::kMbIconError, box.title);
}

int ErrorCount() {
    return errorCount;
}

}  // namespace basRegistry
