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

namespace {

// The end of a refusal: what did not happen to the folder.
std::wstring NotDone(bool bDeutsch, bool removing) {
    if (bDeutsch)
        return removing ? L"Der Ordner wurde nicht entfernt."
                        : L"Der Ordner wurde nicht eingetragen.";
    return removing ? L"The folder was not removed." : L"The folder was not added.";
}

}  // namespace

std::wstring InvalidOfficeVersion(bool bDeutsch, const std::wstring& sVersion, bool removing) {
    return L"\"" + sVersion + L"\"" +
           (bDeutsch ? L" ist keine gültige Office-Version (zum Beispiel 16.0 oder auto). "
                     : L" is not a valid Office version (for example 16.0 or auto). ") +
           NotDone(bDeutsch, removing);
}

std::wstring NoAccessInstalled(bool bDeutsch, bool removing) {
    return (bDeutsch ? L"Es wurde kein installiertes Microsoft Access gefunden. "
                     : L"No installed Microsoft Access was found. ") +
           NotDone(bDeutsch, removing);
}

std::wstring LockNotHad(bool bDeutsch) {
    return bDeutsch ? L"Ein anderer Vintrel-Aufruf antwortet nicht. Der Ordner wurde nicht "
                      L"eingetragen."
                    : L"Another Vintrel run does not respond. The folder was not added.";
}

std::wstring WriteFailed(bool bDeutsch, const std::wstring& sPfad, const std::wstring& sMeldung) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" konnte nicht zu den Vertrauenswürdigen Speicherorten hinzugefügt werden."
                     : L" could not be added to the trusted locations.") +
           L"\r\n" + sMeldung;
}

std::wstring OnlyPolicyLocations(bool bDeutsch, const std::wstring& sPfad,
                                 const std::wstring& sVersionen) {
    if (bDeutsch) {
        return L"\"" + sPfad + L"\" wurde eingetragen, aber eine Richtlinie lässt für Access " +
               sVersionen +
               L" nur von der Richtlinie gesetzte vertrauenswürdige Speicherorte gelten.";
    }
    return L"\"" + sPfad + L"\" was added, but a policy lets Access " + sVersionen +
           L" trust only locations set by policy.";
}

std::wstring Removed(bool bDeutsch, const std::wstring& sPfad) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" wurde aus den Vertrauenswürdigen Speicherorten entfernt."
                     : L" was removed from the trusted locations.");
}

std::wstring NotRegistered(bool bDeutsch, const std::wstring& sPfad) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" war nicht als Vertrauenswürdiger Speicherort eingetragen."
                     : L" was not a trusted location.");
}

std::wstring RemoveFailed(bool bDeutsch, const std::wstring& sPfad, const std::wstring& sMeldung) {
    return L"\"" + sPfad + L"\"" +
           (bDeutsch ? L" konnte nicht aus den Vertrauenswürdigen Speicherorten entfernt werden."
                     : L" could not be removed from the trusted locations.") +
           L"\r\n" + sMeldung;
}

std::wstring RemovalLockNotHad(bool bDeutsch) {
    return bDeutsch ? L"Ein anderer Vintrel-Aufruf antwortet nicht. Der Ordner wurde nicht "
                      L"entfernt."
                    : L"Another Vintrel run does not respond. The folder was not removed.";
}

// Short lines without tab stops: a message box wraps long lines and aligns tabs unevenly.
std::wstring Usage(bool bDeutsch) {
    if (bDeutsch) {
        return L"Trägt einen Ordner als vertrauenswürdigen Speicherort von Microsoft Access "
               L"ein.\r\n\r\n"
               L"/s: keine Erfolgsmeldung\r\n"
               L"/langen: Meldungen auf Englisch\r\n"
               L"/nosubfolder: Unterordner nicht vertrauenswürdig\r\n"
               L"/path ORDNER: dieser Ordner statt des Programmordners\r\n"
               L"/office VERSION: für Office VERSION (16.0, auto) statt 12.0; mehrfach möglich\r\n"
               L"/network: Netzwerkordner erlaubt\r\n"
               L"/once: nichts, wenn der Ordner schon eingetragen ist\r\n"
               L"/remove: die eigenen Einträge des Ordners entfernen\r\n"
               L"/quiet: keine Meldung, auch keine Fehlermeldung\r\n"
               L"/log DATEI: Protokoll an DATEI anhängen\r\n"
               L"/? oder /help: dieser Text\r\n\r\n"
               L"Exit-Codes: 0 eingetragen, 1 abgelehnt, 2 kein freier Platz, 3 Fehler, "
               L"4 eingetragen, aber durch Richtlinie unwirksam";
    }
    return L"Adds a folder to the trusted locations of Microsoft Access.\r\n\r\n"
           L"/s: no success message\r\n"
           L"/langen: messages in English\r\n"
           L"/nosubfolder: sub-folders are not trusted\r\n"
           L"/path FOLDER: this folder, not the program's own\r\n"
           L"/office VERSION: for Office VERSION (16.0, auto) instead of 12.0; repeatable\r\n"
           L"/network: network folders allowed\r\n"
           L"/once: nothing when the folder is there already\r\n"
           L"/remove: remove this program's entries of the folder\r\n"
           L"/quiet: no message at all, not even an error\r\n"
           L"/log FILE: append a log to FILE\r\n"
           L"/? or /help: this text\r\n\r\n"
           L"Exit codes: 0 added, 1 refused, 2 no free slot, 3 error, 4 added but ignored by "
           L"policy";
}

}  // namespace messages
