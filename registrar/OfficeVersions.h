// Which Office versions' trusted locations receive the folder: 12.0 unless /office names others.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace officeVersions {

inline const std::wstring kStandard = L"12.0";
// Where "auto" reads the installed Access's version, below HKEY_CLASSES_ROOT.
inline const std::wstring kCurVerKey = L"Access.Application\\CurVer";

struct Choice {
    enum class Problem { None, InvalidValue, NoAccessInstalled };
    Problem problem = Problem::None;
    std::vector<std::wstring> versions;  // each once, in the order named
    std::wstring invalidValue;           // the first value that is not a version
    std::optional<std::wstring> curVer;  // when "auto" was named: the CurVer text it read
};

// named: the /office values in the order given, quotes removed and none empty. "auto" (any
// letter case) stands for the installed Access, read from its ProgID's CurVer.
Choice Choose(const std::vector<std::wstring>& named);

// One or two digits, a dot and one digit, 12.0 or later.
bool IsOfficeVersion(const std::wstring& value);
// "16.0" for "Access.Application.16"; empty when the text names no Access of version 12 or later.
std::wstring VersionOfCurVer(const std::wstring& curVer);

}  // namespace officeVersions
