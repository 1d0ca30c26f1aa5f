// The texts of the registrar's own message boxes, in German or, with bDeutsch false, in English.
#pragma once

#include <string>

namespace messages {

std::wstring Refusal(bool bDeutsch);
std::wstring Success(bool bDeutsch, const std::wstring& sPfad);
std::wstring AllSlotsTaken(bool bDeutsch);
// sVersion is the /office value as given, quotes removed.
std::wstring InvalidOfficeVersion(bool bDeutsch, const std::wstring& sVersion, bool removing);
std::wstring NoAccessInstalled(bool bDeutsch, bool removing);
std::wstring LockNotHad(bool bDeutsch);
// sMeldung: Windows' message for the write that failed.
std::wstring WriteFailed(bool bDeutsch, const std::wstring& sPfad, const std::wstring& sMeldung);
// sVersionen: the versions concerned, "16.0" or "14.0, 16.0".
std::wstring OnlyPolicyLocations(bool bDeutsch, const std::wstring& sPfad,
                                 const std::wstring& sVersionen);
// With /remove: the folder's entries were deleted, there were none, or a delete failed.
std::wstring Removed(bool bDeutsch, const std::wstring& sPfad);
std::wstring NotRegistered(bool bDeutsch, const std::wstring& sPfad);
std::wstring RemoveFailed(bool bDeutsch, const std::wstring& sPfad, const std::wstring& sMeldung);
std::wstring RemovalLockNotHad(bool bDeutsch);
// Every switch, one line each, and the exit codes.
std::wstring Usage(bool bDeutsch);

}  // namespace messages
