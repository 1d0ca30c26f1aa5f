#include "files_double.h"

#include <platform.h>

#include <cwctype>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>

#include "journal.h"

namespace fs = std::filesystem;

namespace doubles {
namespace {

struct FilesState {
    fs::path root;
    std::wstring appFolder;
    std::set<fs::path> held;
    std::set<fs::path> readOnly;
    FileFaults faults;
    std::function<void()> observer;
    unsigned nextTempNumber = 1;

    ~FilesState() {
        std::error_code ignored;
        if (!root.empty())
            fs::remove_all(root, ignored);
    }
};

FilesState& State() {
    static FilesState state;
    return state;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsHeld(const fs::path& path) {
    return State().held.count(path) != 0;
}
bool IsReadOnlyHost(const fs::path& path) {
    return State().readOnly.count(path) != 0;
}

void SetReadOnlyHost(const fs::path& path, bool readOnly) {
    if (readOnly) {
        State().readOnly.insert(path);
    } else {
        State().readOnly.erase(path);
    }
}

std::string ReadHost(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHost(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Records the operation, and shows the files to the observer once it is done.
class Operation {
  public:
    Operation(const wchar_t* name, std::vector<platform::AutomationValue> paths) {
        Record({name, L"", std::move(paths)});
    }
    ~Operation() {
        if (State().observer)
            State().observer();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
};

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool Rename(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (error)
        return false;
    const bool readOnly = IsReadOnlyHost(from);
    SetReadOnlyHost(from, false);
    SetReadOnlyHost(to, readOnly);
    return true;
}

}  // namespace

void ResetFiles(const std::wstring& appFolder) {
    FilesState& state = State();
    std::error_code ignored;
    if (!state.root.empty())
        fs::remove_all(state.root, ignored);
    static unsigned resets = 0;
    std::ostringstream name;
    static const unsigned run = std::random_device{}();
    name << "orvantis-launcher-files-" << std::hex << run << '-' << ++resets;
    state.root = fs::temp_directory_path() / name.str();
    fs::create_directories(state.root);
    state.appFolder = appFolder;
    state.held.clear();
    state.readOnly.clear();
    state.faults = {};
    state.observer = nullptr;
    fs::create_directories(HostPath(appFolder));
}

fs::path HostPath(const std::wstring& windowsPath) {
    fs::path host = State().root;
    std::size_t at = 0;
    if (windowsPath.size() >= 2 && windowsPath[1] == L':') {
        host /= std::wstring(1, static_cast<wchar_t>(std::towupper(windowsPath[0])));
        at = 2;
    }
    while (at <= windowsPath.size()) {
        std::size_t end = windowsPath.find(L'\\', at);
        if (end == std::wstring::npos)
            end = windowsPath.size();
        const std::wstring component = windowsPath.substr(at, end - at);
        at = end + 1;
        // Windows reads a doubled backslash as one.
        if (component.empty())
            continue;
        fs::path next = host / component;
        std::error_code error;
        if (IsFolder(host)) {
            for (const auto& entry : fs::directory_iterator(host, error)) {
                if (Lower(entry.path().filename().wstring()) == Lower(component)) {
                    next = entry.path();
                    break;
                }
            }
        }
        host = next;
    }
    return host;
}

void PutFile(const std::wstring& windowsPath, const std::string& content) {
    const fs::path host = HostPath(windowsPath);
    fs::create_directories(host.parent_path());
    WriteHost(host, content);
}

void MakeFolder(const std::wstring& windowsPath) {
    fs::create_directories(HostPath(windowsPath));
}

std::optional<std::string> FileContent(const std::wstring& windowsPath) {
    const fs::path host = HostPath(windowsPath);
    if (!IsFile(host))
        return std::nullopt;
    return ReadHost(host);
}

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    const fs::path base = HostPath(folder);
    if (!IsFolder(base))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
        if (!entry.is_regular_file())
            continue;
        std::wstring relative = fs::relative(entry.path(), base).wstring();
        for (wchar_t& c : relative) {
            if (c == L'/')
                c = L'\\';
        }
        files[relative] = ReadHost(entry.path());
    }
    return files;
}

void HoldOpen(const std::wstring& windowsPath) {
    State().held.insert(HostPath(windowsPath));
}

bool IsHeldOpen(const std::wstring& windowsPath) {
    return IsHeld(HostPath(windowsPath));
}

void SetReadOnly(const std::wstring& windowsPath) {
    SetReadOnlyHost(HostPath(windowsPath), true);
}

bool IsReadOnly(const std::wstring& windowsPath) {
    return IsReadOnlyHost(HostPath(windowsPath));
}

void InjectFileFaults(const FileFaults& faults) {
    State().faults = faults;
}

void AfterEveryFileOperation(std::function<void()> observer) {
    State().observer = std::move(observer);
}

}  // namespace doubles

namespace platform {

using doubles::IsFile;
using doubles::IsFolder;
using doubles::IsHeld;
using doubles::IsReadOnlyHost;
using doubles::Operation;

std::wstring AppPath() {
    return doubles::State().appFolder;
}

bool FileExists(const std::wstring& path) {
    const Operation operation(L"FileExists", {path});
    return IsFile(doubles::HostPath(path));
}

bool CopyFileOver(const std::wstring& source, const std::wstring& destination) {
    const Operation operation(L"CopyFileOver", {source, destination});
    const fs::path from = doubles::HostPath(source);
    const fs::path to = doubles::HostPath(destination);
    if (!IsFile(from) || IsHeld(from) || IsHeld(to) || IsReadOnlyHost(to))
        return false;
    if (!IsFolder(to.parent_path()) || IsFolder(to))
        return false;
    const std::string content = doubles::ReadHost(from);
    if (const auto breakOff = doubles::State().faults.copyBreaksOffAfter) {
        doubles::WriteHost(to, content.substr(0, *breakOff));
        return false;
    }
    doubles::WriteHost(to, content);
    // The copy takes the source's attributes, as CopyFileW does.
    doubles::SetReadOnlyHost(to, IsReadOnlyHost(from));
    return true;
}

std::optional<std::wstring> CreateTempFileIn(const std::wstring& folder) {
    const Operation operation(L"CreateTempFileIn", {folder});
    if (doubles::State().faults.createTempFails || !IsFolder(doubles::HostPath(folder))) {
        return std::nullopt;
    }
    const std::wstring separator = folder.ends_with(L'\\') ? L"" : L"\\";
    for (;;) {
        std::wostringstream name;
        name << folder << separator << L"orv" << std::hex << doubles::State().nextTempNumber++
             << L".tmp";
        const fs::path host = doubles::HostPath(name.str());
        if (fs::exists(host))
            continue;
        doubles::WriteHost(host, "");
        return name.str();
    }
}

bool ReplaceFileInOneStep(const std::wstring& replaced, const std::wstring& replacement) {
    const Operation operation(L"ReplaceFileInOneStep", {replaced, replacement});
    const fs::path target = doubles::HostPath(replaced);
    const fs::path from = doubles::HostPath(replacement);
    if (!IsFile(target) || IsHeld(target) || IsReadOnlyHost(target))
        return false;
    if (!IsFile(from) || IsHeld(from))
        return false;
    return doubles::Rename(from, target);
}

bool MoveFileWriteThrough(const std::wstring& source, const std::wstring& destination) {
    const Operation operation(L"MoveFileWriteThrough", {source, destination});
    const fs::path from = doubles::HostPath(source);
    const fs::path to = doubles::HostPath(destination);
    if (!IsFile(from) || IsHeld(from) || fs::exists(to) || !IsFolder(to.parent_path())) {
        return false;
    }
    return doubles::Rename(from, to);
}

bool ClearReadOnly(const std::wstring& path) {
    const Operation operation(L"ClearReadOnly", {path});
    const fs::path host = doubles::HostPath(path);
    if (!IsFile(host))
        return false;
    doubles::SetReadOnlyHost(host, false);
    return true;
}

bool FlushFile(const std::wstring& path) {
    const Operation operation(L"FlushFile", {path});
    const fs::path host = doubles::HostPath(path);
    return IsFile(host) && !IsHeld(host) && !IsReadOnlyHost(host) &&
           !doubles::State().faults.flushFails;
}

bool RemoveFile(const std::wstring& path) {
    const Operation operation(L"RemoveFile", {path});
    const fs::path host = doubles::HostPath(path);
    if (!IsFile(host) || IsHeld(host) || IsReadOnlyHost(host))
        return false;
    std::error_code error;
    return fs::remove(host, error);
}

}  // namespace platform
