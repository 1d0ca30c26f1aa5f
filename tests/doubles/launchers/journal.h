// What the launcher asked of the platform, in the order it asked.
#pragma once

#include <platform.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace doubles {

struct Call {
    // "CreateObject", "Get", "Put", "Call", "Release", "ComInit", "ComUninit", "ShowWindow",
    // or the name of a file operation ("CopyFileOver", "RemoveFile", ...).
    std::wstring operation;
    // The automation member exactly as the launcher spelled it; empty for other operations.
    std::wstring member;
    // Values with their types: a path is a std::wstring, AutomationSecurity's 1 a std::int16_t.
    std::vector<platform::AutomationValue> arguments;

    friend bool operator==(const Call&, const Call&) = default;
};

void PrintTo(const Call& call, std::ostream* out);

void Record(Call call);
void ClearJournal();
const std::vector<Call>& Journal();
// Only the calls of these operations, in order.
std::vector<Call> CallsOf(std::initializer_list<std::wstring_view> operations);
// Position of the first call of the operation (and member, when given) in the journal, or -1.
int PositionOf(std::wstring_view operation, std::wstring_view member = {});

}  // namespace doubles
