#include "log_double.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace doubles {
namespace {

// Shared with the log's threads, so kept apart from the world that each test replaces. The threads
// are let go and joined at the end of the process too, whatever test ran last.
struct Stall {
    std::mutex lock;
    std::condition_variable changed;
    std::set<std::wstring> paths;
    int waiting = 0;
    std::vector<std::thread> threads;

    void Release() {
        const std::lock_guard<std::mutex> held(lock);
        paths.clear();
        changed.notify_all();
    }
    void JoinThreads() {
        Release();
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    }
    ~Stall() { JoinThreads(); }
};

Stall& TheStall() {
    static Stall stall;
    return stall;
}

}  // namespace

LogWorld& Log() {
    static LogWorld world;
    return world;
}

void ResetLog() {
    TheStall().JoinThreads();
    Log() = LogWorld();
}

void StallAppends(const std::wstring& path) {
    const std::lock_guard<std::mutex> held(TheStall().lock);
    TheStall().paths.insert(path);
}

void ReleaseAppends() {
    TheStall().Release();
}

bool AnAppendStalls() {
    std::unique_lock<std::mutex> held(TheStall().lock);
    return TheStall().changed.wait_for(held, std::chrono::seconds(5),
                                       [] { return TheStall().waiting > 0; });
}

std::vector<std::pair<std::string, std::string>> LoggedEvents(const std::wstring& path) {
    std::vector<std::pair<std::string, std::string>> events;
    const std::string& text = Log().files[path];
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        // Time, computer, user, process, program: five tabs before the event word.
        std::size_t field = 0;
        for (int tabs = 0; tabs < 5 && field != std::string::npos; ++tabs)
            field = line.find('\t', field + (tabs ? 1 : 0));
        const std::size_t details =
            field == std::string::npos ? std::string::npos : line.find('\t', field + 1);
        if (details != std::string::npos)
            events.emplace_back(line.substr(field + 1, details - field - 1),
                                line.substr(details + 1));
        at = end + 2;
    }
    return events;
}

std::vector<std::string> LoggedDetails(const std::wstring& path, const std::string& event) {
    std::vector<std::string> details;
    for (const auto& [word, text] : LoggedEvents(path)) {
        if (word == event)
            details.push_back(text);
    }
    return details;
}

}  // namespace doubles

namespace platform {

using doubles::Log;

LogTime NowForLog() {
    return Log().now;
}

std::wstring ComputerName() {
    return Log().computer;
}

std::wstring UserName() {
    return Log().user;
}

std::uint32_t ProcessId() {
    return Log().processId;
}

std::wstring ErrorMessage(std::uint32_t code) {
    const auto found = Log().errorMessages.find(code);
    return found == Log().errorMessages.end() ? std::wstring() : found->second;
}

// %NAME% with a known name is replaced; anything else stays as written, as Windows leaves it.
std::wstring ExpandEnvironment(const std::wstring& text) {
    std::wstring expanded;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(L'%', at);
        const std::size_t close =
            open == std::wstring::npos ? std::wstring::npos : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            expanded += text.substr(at);
            break;
        }
        const auto value = Log().environment.find(text.substr(open + 1, close - open - 1));
        if (value == Log().environment.end()) {
            expanded += text.substr(at, close - at);
            at = close;
            continue;
        }
        expanded += text.substr(at, open - at) + value->second;
        at = close + 1;
    }
    return expanded;
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    {
        doubles::Stall& stall = doubles::TheStall();
        std::unique_lock<std::mutex> held(stall.lock);
        ++Log().appendCalls;
        ++stall.waiting;
        stall.changed.notify_all();
        stall.changed.wait(held, [&] { return !stall.paths.count(path); });
        --stall.waiting;
    }
    if (Log().unwritable.count(path))
        return false;
    Log().files[path] += bytes;
    return true;
}

bool ReportToEventLog(std::uint16_t type, std::uint32_t eventId, const std::wstring& text) {
    ++Log().reportCalls;
    if (Log().eventLogRefuses)
        return false;
    Log().reported.push_back({type, eventId, text});
    return true;
}

struct Monitor::State {
    std::mutex lock;
    std::condition_variable condition;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() = default;

void Monitor::Enter() {
    state_->lock.lock();
}

void Monitor::Leave() {
    state_->lock.unlock();
}

void Monitor::Wait(std::uint32_t milliseconds) {
    std::unique_lock<std::mutex> held(state_->lock, std::adopt_lock);
    state_->condition.wait_for(held, std::chrono::milliseconds(milliseconds));
    held.release();
}

void Monitor::WakeAll() {
    state_->condition.notify_all();
}

bool StartThread(std::function<void()> work) {
    if (!Log().threads)
        return false;
    doubles::TheStall().threads.emplace_back(std::move(work));
    return true;
}

std::uint64_t MonotonicMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace platform
