#include "EventLog.h"

#include <cstdio>
#include <vector>

namespace eventlog {
namespace {

struct LogState {
    std::wstring path;
    // Read once: they do not change during a run, and each costs a call into Windows.
    std::wstring computer, user, program;
    std::uint32_t processId = 0;
};

LogState& State() {
    static LogState state;
    return state;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// wchar_t holds UTF-16 on Windows and whole code points elsewhere; a lone surrogate becomes U+FFFD.
void AppendField(std::string& out, const std::wstring& field) {
    for (std::size_t i = 0; i < field.size(); ++i) {
        char32_t c = static_cast<char32_t>(field[i]);
        if (c == L'\t' || c == L'\r' || c == L'\n') {
            c = U' ';
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < field.size() &&
                   static_cast<char32_t>(field[i + 1]) >= 0xDC00 &&
                   static_cast<char32_t>(field[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(field[++i]) - 0xDC00);
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
}

std::string TimeText(const platform::LogTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

std::wstring WithMessage(std::wstring prefix, std::uint32_t code, std::wstring message = {}) {
    if (message.empty())
        message = platform::ErrorMessage(code);
    return message.empty() ? prefix : prefix + L" (" + message + L")";
}

}  // namespace

std::string FormatLine(const platform::LogTime& time, const std::wstring& computer,
                       const std::wstring& user, std::uint32_t processId,
                       const std::wstring& program, const std::wstring& event,
                       const std::wstring& details) {
    std::string line = TimeText(time);
    for (const std::wstring* field : {&computer, &user}) {
        line += '\t';
        AppendField(line, *field);
    }
    line += '\t' + std::to_string(processId);
    for (const std::wstring* field : {&program, &event, &details}) {
        line += '\t';
        AppendField(line, *field);
    }
    return line + "\r\n";
}

void Open(const std::wstring& path) {
    LogState& state = State();
    state.path = path;
    if (path.empty())
        return;
    state.computer = platform::ComputerName();
    state.user = platform::UserName();
    state.program = platform::AppTitle();
    state.processId = platform::ProcessId();
}

bool IsOpen() {
    return !State().path.empty();
}

void Write(const std::wstring& event, const std::wstring& details) {
    LogState& state = State();
    if (state.path.empty())
        return;
    const std::string line = FormatLine(platform::NowForLog(), state.computer, state.user,
                                        state.processId, state.program, event, details);
    if (!platform::AppendToFile(state.path, line))
        state.path.clear();
}

std::wstring ErrorText(std::uint32_t code) {
    return WithMessage(L"error " + std::to_wstring(code), code);
}

std::wstring HexText(std::uint32_t value) {
    wchar_t hex[16];
    std::swprintf(hex, sizeof hex / sizeof hex[0], L"0x%08X", static_cast<unsigned>(value));
    return hex;
}

std::wstring HresultText(std::uint32_t hresult, const std::wstring& description) {
    return WithMessage(L"HRESULT " + HexText(hresult), hresult, description);
}

}  // namespace eventlog
