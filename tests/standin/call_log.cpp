#include "call_log.h"

#include <cstdio>

#include "owners.h"
#include "settings.h"

namespace {

std::wstring TypeName(VARTYPE type) {
    std::wstring prefix;
    if (type & VT_BYREF)
        prefix += L"BYREF_";
    if (type & VT_ARRAY)
        prefix += L"ARRAY_";
    switch (type & VT_TYPEMASK) {
        case VT_EMPTY:
            return prefix + L"EMPTY";
        case VT_NULL:
            return prefix + L"NULL";
        case VT_I2:
            return prefix + L"I2";
        case VT_I4:
            return prefix + L"I4";
        case VT_R4:
            return prefix + L"R4";
        case VT_R8:
            return prefix + L"R8";
        case VT_CY:
            return prefix + L"CY";
        case VT_DATE:
            return prefix + L"DATE";
        case VT_BSTR:
            return prefix + L"BSTR";
        case VT_DISPATCH:
            return prefix + L"DISPATCH";
        case VT_ERROR:
            return prefix + L"ERROR";
        case VT_BOOL:
            return prefix + L"BOOL";
        case VT_VARIANT:
            return prefix + L"VARIANT";
        case VT_UNKNOWN:
            return prefix + L"UNKNOWN";
        case VT_DECIMAL:
            return prefix + L"DECIMAL";
        case VT_I1:
            return prefix + L"I1";
        case VT_UI1:
            return prefix + L"UI1";
        case VT_UI2:
            return prefix + L"UI2";
        case VT_UI4:
            return prefix + L"UI4";
        case VT_I8:
            return prefix + L"I8";
        case VT_UI8:
            return prefix + L"UI8";
        case VT_INT:
            return prefix + L"INT";
        case VT_UINT:
            return prefix + L"UINT";
        default:
            return prefix + L"VT" + std::to_wstring(type & VT_TYPEMASK);
    }
}

std::wstring ValueText(const VARIANT& value) {
    if (value.vt & VT_ARRAY)
        return {};
    owners::unique_variant plain;
    // mingw declares the source non-const; it is only read.
    if (FAILED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value))))
        return {};
    switch (plain.get()->vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return {};
        case VT_BOOL:
            return plain.get()->boolVal ? L"-1" : L"0";
        case VT_ERROR: {
            wchar_t code[16];
            swprintf(code, 16, L"%08lX", static_cast<unsigned long>(plain.get()->scode));
            return code;
        }
        default:
            break;
    }
    owners::unique_variant text;
    if (FAILED(VariantChangeTypeEx(text.get(), plain.get(), LOCALE_INVARIANT, 0, VT_BSTR)))
        return {};
    return std::wstring(text.get()->bstrVal, SysStringLen(text.get()->bstrVal));
}

// The field and argument separators, and line ends, must not appear inside a field.
std::string Escape(const std::wstring& field) {
    std::string escaped;
    for (char c : WideToUtf8(field)) {
        switch (c) {
            case '%':
                escaped += "%25";
                break;
            case '|':
                escaped += "%7C";
                break;
            case ',':
                escaped += "%2C";
                break;
            case '\r':
                escaped += "%0D";
                break;
            case '\n':
                escaped += "%0A";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void AppendLine(const std::string& line) {
    std::wstring path = StandInFolder() + L"calls.log";
    owners::unique_handle log(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log.get() == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(log.get());
}

}  // namespace

std::wstring DescribeValue(const VARIANT& value) {
    return TypeName(value.vt) + L":" + ValueText(value);
}

void RecordCall(const std::wstring& member, const wchar_t* kind,
                const std::vector<std::wstring>& arguments, const std::wstring& details) {
    std::string line = Escape(member) + "|" + Escape(kind) + "|";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ",";
        line += Escape(arguments[i]);
    }
    line += "|" + Escape(details) + "\r\n";
    AppendLine(line);
}
