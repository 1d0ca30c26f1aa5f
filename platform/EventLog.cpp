#include "EventLog.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace eventlog {
namespace {

// A line that took longer is given up with its file or Event Log, as a locked file is.
constexpr std::uint64_t kMostMsPerLine = 1000;
// More lines than a run writes; a caller that finds it full waits for room, or for the give-up.
constexpr std::size_t kMostPending = 64;
constexpr std::uint32_t kLookAgainMs = 50;

struct Pending {
    std::string line;
    std::uint16_t type;
    std::uint32_t eventId;
    std::wstring message;
};

// One place the lines go (the file, the Windows Event Log) and the thread that takes them there.
// Without a thread of its own (none could be made) the caller writes each line itself.
struct Lane {
    bool on = false;
    bool threaded = false;
    bool threadRuns = false;  // a lane turned on again after a give-up keeps its one thread
    std::vector<Pending> pending;
    bool busy = false;
    // When the line the lane is on, being written or first in line, began to count its second.
    std::uint64_t lineSince = 0;
};

// Shared with the lanes' threads, which keep it alive as long as they run: a thread still waiting
// for a share at the process's end must find it there.
struct Channel {
    platform::Monitor monitor;  // guards everything below
    std::wstring path;
    Lane file, events;
    bool closed = false;
};

using LaneOf = Lane Channel::*;

struct LogState {
    std::shared_ptr<Channel> channel;
    // Read once: they do not change during a run, and each costs a call into Windows.
    std::wstring computer, user, program;
    std::uint32_t processId = 0;
};

LogState& State() {
    static LogState state;
    return state;
}

class Entered {
  public:
    explicit Entered(platform::Monitor& monitor) : monitor_(monitor) { monitor_.Enter(); }
    ~Entered() { monitor_.Leave(); }
    Entered(const Entered&) = delete;
    Entered& operator=(const Entered&) = delete;

  private:
    platform::Monitor& monitor_;
};

void GiveUp(Lane& lane) {
    lane.on = false;
    lane.pending.clear();
}

void GiveUpWhenStalled(Lane& lane) {
    if ((lane.busy || !lane.pending.empty()) &&
        platform::MonotonicMs() - lane.lineSince >= kMostMsPerLine)
        GiveUp(lane);
}

bool Deliver(LaneOf lane, const std::wstring& path, const Pending& line) {
    return lane == &Channel::file
               ? platform::AppendToFile(path, line.line)
               : platform::ReportToEventLog(line.type, line.eventId, line.message);
}

// The lane's thread: each line in turn, the lock left while it is written.
void RunLane(const std::shared_ptr<Channel>& channel, LaneOf which) {
    Channel& ch = *channel;
    Lane& lane = ch.*which;
    const Entered entered(ch.monitor);
    for (;;) {
        while (lane.on && lane.pending.empty() && !ch.closed)
            ch.monitor.Wait(kMostMsPerLine);
        if (!lane.on || lane.pending.empty())
            break;
        const Pending line = std::move(lane.pending.front());
        lane.pending.erase(lane.pending.begin());
        lane.busy = true;
        lane.lineSince = platform::MonotonicMs();
        const std::wstring path = ch.path;
        ch.monitor.Leave();
        const bool written = Deliver(which, path, line);
        ch.monitor.Enter();
        lane.busy = false;
        lane.lineSince = platform::MonotonicMs();
        if (!written)
            GiveUp(lane);
        ch.monitor.WakeAll();
    }
    lane.threadRuns = false;
}

// Called with the monitor entered.
void TurnOn(const std::shared_ptr<Channel>& channel, LaneOf which) {
    Lane& lane = (*channel).*which;
    if (lane.on)
        return;
    lane.on = true;
    if (!lane.threadRuns) {
        lane.threaded = lane.threadRuns =
            platform::StartThread([channel, which] { RunLane(channel, which); });
    }
}

void Push(Channel& ch, LaneOf which, const Pending& line) {
    Lane& lane = ch.*which;
    if (!lane.on)
        return;
    if (!lane.threaded) {
        if (!Deliver(which, ch.path, line))
            GiveUp(lane);
        return;
    }
    GiveUpWhenStalled(lane);
    while (lane.on && lane.pending.size() >= kMostPending) {
        ch.monitor.Wait(kLookAgainMs);
        GiveUpWhenStalled(lane);
    }
    if (!lane.on)
        return;
    if (!lane.busy && lane.pending.empty())
        lane.lineSince = platform::MonotonicMs();
    lane.pending.push_back(line);
    ch.monitor.WakeAll();
}

std::shared_ptr<Channel> TheChannel() {
    LogState& state = State();
    if (!state.channel) {
        state.channel = std::make_shared<Channel>();
        state.program = platform::AppTitle();
    }
    return state.channel;
}

std::uint16_t EventType(Level level) {
    return level == Level::Error     ? platform::kEventError
           : level == Level::Warning ? platform::kEventWarning
                                     : platform::kEventInformation;
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

std::uint32_t EventId(const std::wstring& event) {
    static const wchar_t* const kEvents[] = {L"start", L"access", L"security", L"refresh", L"pull",
                                             L"open",  L"show",   L"end",      L"office",  L"slot",
                                             L"write", L"box",    L"policy"};
    for (std::uint32_t at = 0; at < sizeof kEvents / sizeof kEvents[0]; ++at) {
        if (event == kEvents[at])
            return at + 1;
    }
    return kOtherEventId;
}

void Open(const std::wstring& path) {
    if (path.empty())
        return;
    LogState& state = State();
    state.computer = platform::ComputerName();
    state.user = platform::UserName();
    state.processId = platform::ProcessId();
    const std::shared_ptr<Channel> channel = TheChannel();
    const Entered entered(channel->monitor);
    channel->path = path;
    TurnOn(channel, &Channel::file);
}

void StartWindowsEventLog() {
    const std::shared_ptr<Channel> channel = TheChannel();
    const Entered entered(channel->monitor);
    TurnOn(channel, &Channel::events);
}

bool IsOpen() {
    const std::shared_ptr<Channel> channel = State().channel;
    if (!channel)
        return false;
    const Entered entered(channel->monitor);
    return channel->file.on;
}

void Write(const std::wstring& event, const std::wstring& details, Level level) {
    LogState& state = State();
    const std::shared_ptr<Channel> channel = state.channel;
    if (!channel)
        return;
    // The time is the event's own, taken before the line waits for its turn.
    const std::wstring knownAs = EventId(event) == kOtherEventId ? L" " + event : L"";
    const Pending line{FormatLine(platform::NowForLog(), state.computer, state.user,
                                  state.processId, state.program, event, details),
                       EventType(level), EventId(event), state.program + knownAs + L": " + details};
    const Entered entered(channel->monitor);
    Push(*channel, &Channel::file, line);
    Push(*channel, &Channel::events, line);
}

void Close() {
    const std::shared_ptr<Channel> channel = std::move(State().channel);
    if (!channel)
        return;
    const Entered entered(channel->monitor);
    channel->closed = true;
    channel->monitor.WakeAll();
    for (const LaneOf which : {&Channel::file, &Channel::events}) {
        Lane& lane = (*channel).*which;
        while (lane.on && lane.threaded && (lane.busy || !lane.pending.empty())) {
            channel->monitor.Wait(kLookAgainMs);
            GiveUpWhenStalled(lane);
        }
    }
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
