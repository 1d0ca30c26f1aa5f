// The record of calls, calls.log in the stand-in folder: one UTF-8 line per call,
//   member|kind|arguments|details
// appended and flushed before the call answers, so a test sees it even when the server dies.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

// "TYPE:value", e.g. "BSTR:C:\db\Orvantis.mde", "I2:1", "BOOL:-1".
std::wstring DescribeValue(const VARIANT& value);

void RecordCall(const std::wstring& member, const wchar_t* kind,
                const std::vector<std::wstring>& arguments, const std::wstring& details);
