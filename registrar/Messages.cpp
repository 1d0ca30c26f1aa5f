#include "Messages.h"

namespace messages {

std::wstring Refusal(bool bDeutsch) {
    return bDeutsch ? L"Es ist nicht möglich einen vertrauenswürdigen Speicherort auf ein "
                      L"Laufwerk direkt anzulegen."
                    : L"A root folder cannot add to the trusted locations.";
}

std::wstring Success(bool bDeutsch, const std::wstring& sPfad) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt."
                     : L" added to the trusted locations.");
}

std::wstring AllSlotsTaken(bool bDeutsch) {
    return bDeutsch ? L"Alle vertrauenswürdigen Speicherorte sind belegt. Der Ordner wurde "
                      L"nicht eingetragen."
                    : L"All trusted locations are taken. The folder was not added.";
}

std::wstring InvalidOfficeVersion(bool bDeutsch, const std::wstring& sVersion) {
    return L"\"" + sVersion + L"\"" +
           (bDeutsch ? L" ist keine gültige Office-Version (zum Beispiel 16.0 oder auto). Der "
                       L"Ordner wurde nicht eingetragen."
                     : L" is not a valid Office version (for example 16.0 or auto). The folder "
                       L"was not added.");
}

std::wstring NoAccessInstalled(bool bDeutsch) {
    return bDeutsch ? L"Es wurde kein installiertes Microsoft Access gefunden. Der Ordner wurde "
                      L"nicht eingetragen."
                    : L"No installed Microsoft Access was found. The folder was not added.";
}

std::wstring LockNotHad(bool bDeutsch) {
    return bDeutsch ? L"Ein anderer Vintrel-Aufruf antwortet nicht. Der Ordner wurde nicht "
                      L"eingetragen."
                    : L"Another Vintrel run does not respond. The folder was not added.";
}

std::wstring Usage(bool bDeutsch) {
    if (bDeutsch) {
        return L"Trägt einen Ordner als vertrauenswürdigen Speicherort von Microsoft Access für "
               L"den aktuellen Benutzer ein.\r\n\r\n"
               L"/s\tkeine Erfolgsmeldung\r\n"
               L"/langen\tMeldungen auf Englisch\r\n"
               L"/nosubfolder\tUnterordner nicht einschließen\r\n"
               L"/path ORDNER\tORDNER statt des Programmordners eintragen\r\n"
               L"/office VERSION\tunter Office VERSION statt 12.0 eintragen (zum Beispiel 16.0 "
               L"oder auto), mehrfach möglich\r\n"
               L"/network\tauch Netzwerkordner erlauben (AllowNetworkLocations)\r\n"
               L"/once\tnichts eintragen, wenn der Ordner schon eingetragen ist\r\n"
               L"/? oder /help\tdiese Hilfe\r\n\r\n"
               L"Exit-Code: 0 eingetragen, 1 abgelehnt, 2 kein freier Speicherort, "
               L"3 Registrierungsfehler";
    }
    return L"Adds a folder to the trusted locations of Microsoft Access for the current "
           L"user.\r\n\r\n"
           L"/s\tno success message\r\n"
           L"/langen\tmessages in English\r\n"
           L"/nosubfolder\tsub-folders are not trusted\r\n"
           L"/path FOLDER\tadd FOLDER instead of the program's folder\r\n"
           L"/office VERSION\tadd under Office VERSION instead of 12.0 (for example 16.0 or "
           L"auto), may be repeated\r\n"
           L"/network\talso allow network folders (AllowNetworkLocations)\r\n"
           L"/once\tadd nothing when the folder is already there\r\n"
           L"/? or /help\tthis help\r\n\r\n"
           L"Exit code: 0 added, 1 refused, 2 no free slot, 3 registry error";
}

}  // namespace messages
