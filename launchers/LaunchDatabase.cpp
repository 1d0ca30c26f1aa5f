// The launch steps both launchers share. Every step absorbs its own failure and the next one runs,
// so the caller always gets control back and the splash form can close.
#include "LaunchDatabase.h"

#include <platform.h>

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "StagedRefresh.h"

namespace launchers {
namespace {

// How Access's answer reads as text for the comparison with the version literal.
std::wstring AsText(const platform::AutomationValue& value) {
    return std::visit(
        [](const auto& v) -> std::wstring {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return L"";
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? L"True" : L"False";
            } else {
                return std::to_wstring(v);
            }
        },
        value);
}

// Decimal digits with an optional sign and surrounding blanks; nullopt when out of range.
std::optional<std::int32_t> ParseLong(const std::wstring& text) {
    std::size_t at = text.find_first_not_of(L' ');
    const std::size_t end = text.find_last_not_of(L' ') + 1;
    if (at == std::wstring::npos)
        return std::nullopt;
    const bool negative = text[at] == L'-';
    if (text[at] == L'-' || text[at] == L'+')
        ++at;
    if (at == end)
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; at < end; ++at) {
        if (text[at] < L'0' || text[at] > L'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > std::int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(result);
}

// The window handle as a 32-bit integer; nullopt when it cannot be converted.
std::optional<std::int32_t> AsLong(const platform::AutomationValue& value) {
    return std::visit(
        [](const auto& v) -> std::optional<std::int32_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0;
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return ParseLong(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? -1 : 0;
            } else {
                if (v < INT32_MIN || v > INT32_MAX)
                    return std::nullopt;
                return static_cast<std::int32_t>(v);
            }
        },
        value);
}

// A comparison that cannot be evaluated counts as true: an unreadable Version is "equal".
bool VersionEquals(const platform::AutomationObject& AccessApp,
                   const std::wstring& versionLiteral) {
    const std::optional<platform::AutomationValue> version =
        platform::GetProperty(AccessApp, L"Version");
    return !version || AsText(*version) == versionLiteral;
}

}  // namespace

void LaunchAccessDatabase(const std::wstring& versionLiteral, SecurityWhen securityWhen,
                          bool refreshStagedCopy, std::int32_t& hWndAccess) {
    const platform::ComApartment apartment;
    platform::AutomationObject AccessApp = platform::CreateAutomationObject(L"Access.Application");

    const bool equals = VersionEquals(AccessApp, versionLiteral);
    if (equals == (securityWhen == SecurityWhen::VersionEquals)) {
        platform::PutProperty(AccessApp, L"AutomationSecurity", std::int16_t{1});
    }

    const std::wstring appFolder = platform::AppPath();
    if (refreshStagedCopy)
        RefreshStagedDatabase(appFolder);

    platform::CallMethod(AccessApp, L"OpenCurrentDatabase",
                         {std::wstring(appFolder + L"\\Orvantis.mde")});
    platform::PutProperty(AccessApp, L"Visible", true);
    if (const auto handle = platform::GetProperty(AccessApp, L"hWndaccessApp")) {
        if (const auto converted = AsLong(*handle))
            hWndAccess = *converted;
    }
    platform::ShowWindow(hWndAccess, platform::kSwShowMaximized);

    AccessApp.reset();
}

}  // namespace launchers
