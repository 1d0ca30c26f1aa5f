#include "OfficeVersions.h"

#include <algorithm>

#include "TextHelpers.h"
#include "basRegistry.h"
#include "platform.h"

namespace officeVersions {
namespace {

constexpr int kFirstWithTrustedLocations = 12;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// One or two digits as a number; -1 for anything else.
int SmallNumber(const std::wstring& digits) {
    if (digits.empty() || digits.size() > 2 || !std::all_of(digits.begin(), digits.end(), IsDigit))
        return -1;
    int number = 0;
    for (const wchar_t digit : digits)
        number = number * 10 + (digit - L'0');
    return number;
}

}  // namespace

bool IsOfficeVersion(const std::wstring& value) {
    const auto dot = value.find(L'.');
    if (dot == std::wstring::npos || value.size() != dot + 2 || !IsDigit(value[dot + 1]))
        return false;
    return SmallNumber(value.substr(0, dot)) >= kFirstWithTrustedLocations;
}

std::wstring VersionOfCurVer(const std::wstring& curVer) {
    const std::wstring prefix = L"access.application.";
    if (textHelpers::LowerCase(curVer.substr(0, prefix.size())) != prefix)
        return {};
    const std::wstring major = curVer.substr(prefix.size());
    return SmallNumber(major) >= kFirstWithTrustedLocations ? major + L".0" : L"";
}

Choice Choose(const std::vector<std::wstring>& named) {
    Choice choice;
    for (const auto& value : named) {
        std::wstring version = value;
        if (textHelpers::LowerCase(value) == L"auto") {
            if (!choice.curVer) {
                choice.curVer =
                    basRegistry::fnc_Reg_String_Lesen(platform::kHkeyClassesRoot, kCurVerKey, L"");
            }
            version = VersionOfCurVer(*choice.curVer);
            if (version.empty()) {
                choice.problem = Choice::Problem::NoAccessInstalled;
                return choice;
            }
        } else if (!IsOfficeVersion(value)) {
            choice.problem = Choice::Problem::InvalidValue;
            choice.invalidValue = value;
            return choice;
        }
        if (std::find(choice.versions.begin(), choice.versions.end(), version) ==
            choice.versions.end()) {
            choice.versions.push_back(version);
        }
    }
    if (choice.versions.empty())
        choice.versions.push_back(kStandard);
    return choice;
}

}  // namespace officeVersions
