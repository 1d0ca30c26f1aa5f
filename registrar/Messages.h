// The texts of the registrar's own message boxes, in German or, with bDeutsch false, in English.
#pragma once

#include <string>

namespace messages {

std::wstring Refusal(bool bDeutsch);
std::wstring Success(bool bDeutsch, const std::wstring& sPfad);
std::wstring AllSlotsTaken(bool bDeutsch);
// sVersion is the /office value as given, quotes removed.
std::wstring InvalidOfficeVersion(bool bDeutsch, const std::wstring& sVersion);
std::wstring NoAccessInstalled(bool bDeutsch);
std::wstring LockNotHad(bool bDeutsch);
// Every switch, one line each, and the exit codes.
std::wstring Usage(bool bDeutsch);

}  // namespace messages
