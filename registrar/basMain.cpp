#include "basMain.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "basRegistry.h"

namespace basMain {

bool bDeutsch = true;
bool bMeldung = true;

namespace {

const std::wstring kLocations =
    L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations\\Location";

// Serialises the search and the writes among the current user's registrars, so that two of them
// started together never pick the same slot.
const std::wstring kSperre = L"Local\\Vintrel.TrustedLocations";

std::wstring TrimBlanks(const std::wstring& sText) {
    const auto lAnfang = sText.find_first_not_of(L' ');
    if (lAnfang == std::wstring::npos)
        return {};
    return sText.substr(lAnfang, sText.find_last_not_of(L' ') - lAnfang + 1);
}

// Only the ASCII letters matter: the switch words are plain ASCII, and no other character
// lower-cases to one of their letters.
std::wstring LowerCase(std::wstring sText) {
    for (auto& zeichen : sText) {
        if (zeichen >= L'A' && zeichen <= L'Z')
            zeichen = static_cast<wchar_t>(zeichen - L'A' + L'a');
    }
    return sText;
}

// No Windows folder name holds a double quote, so one enclosing pair is quoting, not part of it.
std::wstring WithoutEnclosingQuotes(const std::wstring& sText) {
    if (sText.size() >= 2 && sText.front() == L'"' && sText.back() == L'"') {
        return sText.substr(1, sText.size() - 2);
    }
    return sText;
}

// Decimal digits through std::to_chars: std::to_wstring would bring the C runtime's whole
// formatted printing into the statically linked program.
std::wstring DecimalText(std::int64_t lZahl) {
    char aZiffern[24];
    const auto ergebnis = std::to_chars(std::begin(aZiffern), std::end(aZiffern), lZahl);
    return std::wstring(aZiffern, ergebnis.ptr);
}

std::wstring TwoDigits(int lZahl) {
    return std::wstring(lZahl < 10 ? L"0" : L"") + DecimalText(lZahl);
}

std::wstring FourDigits(int lZahl) {
    std::wstring sZahl = DecimalText(lZahl);
    return std::wstring(sZahl.size() < 4 ? 4 - sZahl.size() : 0, L'0') + sZahl;
}

const wchar_t* RefusalText() {
    return bDeutsch ? L"Es ist nicht möglich einen vertrauenswürdigen Speicherort auf ein "
                      L"Laufwerk direkt anzulegen."
                    : L"A root folder cannot add to the trusted locations.";
}

const wchar_t* AllSlotsTakenText() {
    return bDeutsch ? L"Alle vertrauenswürdigen Speicherorte sind belegt. Der Ordner wurde "
                      L"nicht eingetragen."
                    : L"All trusted locations are taken. The folder was not added.";
}

std::wstring SuccessText(const std::wstring& sPfad) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt."
                     : L" added to the trusted locations.");
}

void WriteLocation(std::int32_t lLocation, const std::wstring& sPfad, std::int32_t lUnterordner) {
    const std::uint32_t lRoot = platform::kHkeyCurrentUser;
    const std::wstring sSchluessel = LocationKey(lLocation);
    const std::wstring sDatum = DateText(platform::Now(), platform::TimeSeparator());
    basRegistry::fnc_Reg_String_Schreiben(lRoot, sSchluessel, L"Date", sDatum);
    basRegistry::fnc_Reg_String_Schreiben(lRoot, sSchluessel, L"Description",
                                          L"Set by " + platform::ProgramFileName());
    basRegistry::fnc_Reg_String_Schreiben(lRoot, sSchluessel, L"Path", sPfad);
    if (lUnterordner == 1) {
        basRegistry::fnc_Reg_Num_Schreiben(lRoot, sSchluessel, L"AllowSubfolders", 1);
    }
}

}  // namespace

void Main() {
    bDeutsch = true;
    bMeldung = true;
    std::int32_t lUnterordner = 1;
    std::wstring sPfad = platform::AppPath();

    std::vector<std::wstring> aSchalter;
    if (fnc_Kommandozeile_Zerlegen(aSchalter, L"/") > 0) {
        for (const auto& sSchalter : aSchalter)
            ApplySwitch(sSchalter, lUnterordner, sPfad);
    }

    AppendBackslash(sPfad);
    if (sPfad.size() == 3) {
        platform::MsgBox(RefusalText(), platform::kMbIconError);
        return;
    }

    std::int32_t lLocation = kKeineFreieLocation;
    {
        platform::UserLock sperre(kSperre);
        lLocation = fnc_Freie_Location_Suchen();
        if (lLocation != kKeineFreieLocation)
            WriteLocation(lLocation, sPfad, lUnterordner);
    }

    if (lLocation == kKeineFreieLocation) {
        platform::MsgBox(AllSlotsTakenText(), platform::kMbIconError);
    } else if (bMeldung) {
        platform::MsgBox(SuccessText(sPfad), platform::kMbIconInformation,
                         platform::ProgramFileName());
    }
}

std::int32_t fnc_Freie_Location_Suchen() {
    for (std::int32_t lLocation = 0; lLocation <= kLetzteLocation; ++lLocation) {
        const std::wstring sSchluessel = LocationKey(lLocation);
        if (basRegistry::fnc_Reg_String_Lesen(platform::kHkeyCurrentUser, sSchluessel, L"Path")
                .empty()) {
            return lLocation;
        }
    }
    return kKeineFreieLocation;
}

std::int32_t fnc_Kommandozeile_Zerlegen(std::vector<std::wstring>& aSchalter,
                                        std::wstring sTrenner) {
    std::int32_t lAnzahl = 0;
    const std::wstring sKommando = platform::CommandLineArgs();
    if (sKommando.empty())
        return 0;

    // A lone quote is both first and last character; it stays as it is.
    std::wstring sText = sKommando;
    if (sText.size() >= 2 && sText.front() == L'"' && sText.back() == L'"') {
        sText = sText.substr(1, sText.size() - 2);
    }

    std::vector<std::wstring> aStuecke;
    if (!sText.empty()) {
        std::size_t lAnfang = 0;
        for (;;) {
            const std::size_t lTreffer =
                sTrenner.empty() ? std::wstring::npos : sText.find(sTrenner, lAnfang);
            if (lTreffer == std::wstring::npos) {
                aStuecke.push_back(sText.substr(lAnfang));
                break;
            }
            aStuecke.push_back(sText.substr(lAnfang, lTreffer - lAnfang));
            lAnfang = lTreffer + sTrenner.size();
        }
    }

    // The list keeps one spare empty entry at its end while it is filled.
    aSchalter.assign(1, std::wstring());
    for (const auto& sStueck : aStuecke) {
        if (sStueck.empty())
            continue;
        aSchalter[static_cast<std::size_t>(lAnzahl)] = TrimBlanks(sStueck);
        ++lAnzahl;
        aSchalter.resize(static_cast<std::size_t>(lAnzahl) + 1);
    }
    if (lAnzahl > 0)
        aSchalter.resize(static_cast<std::size_t>(lAnzahl));
    return lAnzahl;
}

void ApplySwitch(const std::wstring& sSchalter, std::int32_t& lUnterordner, std::wstring& sPfad) {
    const std::wstring sKlein = LowerCase(sSchalter);
    if (sKlein == L"s")
        bMeldung = false;
    if (sKlein == L"langen")
        bDeutsch = false;
    if (sKlein == L"nosubfolder")
        lUnterordner = 0;
    if (sKlein.substr(0, 4) == L"path") {
        const std::wstring sWert = WithoutEnclosingQuotes(
            TrimBlanks(sSchalter.substr(std::min<std::size_t>(4, sSchalter.size()))));
        if (!sWert.empty())
            sPfad = sWert;
    }
}

void AppendBackslash(std::wstring& sPfad) {
    if (sPfad.empty() || sPfad.back() != L'\\')
        sPfad += L'\\';
}

std::wstring LocationKey(std::int32_t lLocation) {
    return kLocations + DecimalText(lLocation) + L"\\";
}

std::wstring DateText(const platform::LocalTime& zeit, const std::wstring& sZeitTrenner) {
    return TwoDigits(zeit.day) + L"." + TwoDigits(zeit.month) + L"." + FourDigits(zeit.year) +
           L" " + TwoDigits(zeit.hour) + sZeitTrenner + TwoDigits(zeit.minute);
}

}  // namespace basMain
