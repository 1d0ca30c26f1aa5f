#include "journal.h"

#include <algorithm>
#include <type_traits>
#include <utility>
#include <variant>

namespace doubles {
namespace {

std::vector<Call>& Calls() {
    static std::vector<Call> calls;
    return calls;
}

std::string Narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text)
        result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

void PrintValue(const platform::AutomationValue& value, std::ostream* out) {
    std::visit(
        [out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                *out << "Empty";
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                *out << "BSTR \"" << Narrow(v) << '"';
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                *out << "I2 " << v;
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                *out << "I4 " << v;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                *out << "I8 " << v;
            } else {
                *out << "BOOL " << (v ? "True" : "False");
            }
        },
        value);
}

}  // namespace

void PrintTo(const Call& call, std::ostream* out) {
    *out << Narrow(call.operation);
    if (!call.member.empty())
        *out << ' ' << Narrow(call.member);
    *out << '(';
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        if (i)
            *out << ", ";
        PrintValue(call.arguments[i], out);
    }
    *out << ')';
}

void Record(Call call) {
    Calls().push_back(std::move(call));
}

void ClearJournal() {
    Calls().clear();
}

const std::vector<Call>& Journal() {
    return Calls();
}

std::vector<Call> CallsOf(std::initializer_list<std::wstring_view> operations) {
    std::vector<Call> selected;
    for (const Call& call : Calls()) {
        if (std::find(operations.begin(), operations.end(), call.operation) != operations.end()) {
            selected.push_back(call);
        }
    }
    return selected;
}

int PositionOf(std::wstring_view operation, std::wstring_view member) {
    const auto& calls = Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].operation == operation && (member.empty() || calls[i].member == member)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace doubles
