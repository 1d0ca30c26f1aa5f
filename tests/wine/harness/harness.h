// The end-to-end harness: a Windows console program, run under Wine beside the programs it tests,
// that starts them, answers their message boxes, and inspects the registry, files and screen.
//
// Environment (set by ctest, see tests/CMakeLists.txt):
//   ORVANTIS_PROGRAMS_DIR  unix path of the Windows build folder (Vintrel.exe, ...,
//   tests/AccessStandIn.exe) ORVANTIS_WORK_DIR      unix path of a scratch folder; every test makes
//   its own folders below it
//
// Waits poll and give up after a generous time, so a hung program fails its test instead of the
// whole run; nothing here asserts on how long anything took.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "owners.h"

namespace harness {

inline constexpr DWORD kDefaultTimeoutMs = 20000;

// ---- Paths, folders and files (files.cpp) ------------------------------------------------------

// The value of an environment variable, empty when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);
// "/tmp/x/y" -> "Z:\tmp\x\y"; a path that is already a Windows path is returned unchanged.
std::wstring WinePathOf(const std::wstring& unixPath);
// ORVANTIS_PROGRAMS_DIR and ORVANTIS_WORK_DIR as Windows paths, without a trailing backslash.
// Each reports a test failure and returns an empty text when its variable is not set.
std::wstring ProgramsDir();
std::wstring WorkDir();
// ProgramsDir() + "\" + fileName, e.g. ProgramPath(L"Vintrel.exe").
std::wstring ProgramPath(const std::wstring& fileName);
// A fresh, empty folder WorkDir()\<relativePath>: removed first with everything in it when it
// exists, parents created. relativePath may name nested folders ("a\b") and hold any Unicode
// characters.
std::wstring MakeTestFolder(const std::wstring& relativePath);
// The running test as "Suite.Name" ('/' of a parameterised one made '_'), for a folder of its own.
std::wstring CurrentTestName();
// Copies ProgramPath(program) into folder, under newName when given; returns the copy's full path.
// Reports a test failure and returns an empty text when the copy fails.
std::wstring CopyProgram(const std::wstring& program, const std::wstring& folder,
                         const std::wstring& newName = {});
bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::wstring& path);
// A file held open as another process would hold it (a scanner, a writer, Access); an invalid
// handle when it cannot be opened.
owners::unique_handle HoldFile(const std::wstring& path, DWORD access, DWORD share,
                               DWORD disposition = OPEN_EXISTING,
                               DWORD flags = FILE_ATTRIBUTE_NORMAL);
// Deletes a file or a folder with everything in it; true when nothing is left at path.
bool RemoveTree(const std::wstring& path);
bool PathExists(const std::wstring& path);
// A file's last-write time in Windows' file-time units; nullopt when it cannot be read.
std::optional<ULONGLONG> LastWrite(const std::wstring& path);
bool SetLastWrite(const std::wstring& path, ULONGLONG time);

// ---- Drive letters (drives.cpp) ----------------------------------------------------------------

// A drive letter that names no drive now ('\0' when none is left), searched from 'R' upwards.
wchar_t SpareDriveLetter();
// Maps letter: to a folder (a Windows path) for all processes of this Wine session, as "subst"
// does; true when letter:\ then shows the folder's contents. UnmapDrive removes the mapping again.
bool MapDrive(wchar_t letter, const std::wstring& folder);
void UnmapDrive(wchar_t letter);
// Makes link (a Windows path on Z:) a unix symbolic link to target, as a user with modify rights on
// a share's folder can make one from the server's side (CreateSymbolicLinkW fails under Wine).
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);

// ---- Processes (process.cpp) -------------------------------------------------------------------

using EnvironmentOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

// One started program. Ends the program when it is destroyed while still running, so a failing test
// leaves no process (or message box) behind for the next one.
class Process {
  public:
    Process() = default;
    Process(HANDLE process, DWORD id, HANDLE suspendedThread = nullptr)
        : handle_(process), id_(id), thread_(suspendedThread) {}
    ~Process() { Terminate(); }
    Process(Process&& other) noexcept = default;
    Process& operator=(Process&& other) noexcept;

    bool started() const { return handle_ != nullptr; }
    DWORD id() const { return id_; }
    HANDLE handle() const { return handle_.get(); }
    bool Running() const;
    // The exit code, or nullopt when the program has not ended within timeoutMs.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = kDefaultTimeoutMs) const;
    void Terminate();
    // Lets a program started by StartSuspended run.
    void Resume();

  private:
    owners::unique_handle handle_;
    DWORD id_ = 0;
    owners::unique_handle thread_;  // the main thread while it waits to be resumed
};

// Starts exePath with the command line  "exePath" arguments  (just "exePath" when arguments is
// empty). environment adds or replaces variables of the harness's own environment for the child;
// currentDirectory empty means the harness's own. Reports a test failure when the start fails.
Process Start(const std::wstring& exePath, const std::wstring& arguments,
              const EnvironmentOverrides& environment = {},
              const std::wstring& currentDirectory = {});
// The same with the complete command line given exactly as the child's GetCommandLineW shows it.
// An empty exePath starts the program the command line names first, as Windows finds it.
Process StartWithCommandLine(const std::wstring& exePath, const std::wstring& commandLine,
                             const EnvironmentOverrides& environment = {},
                             const std::wstring& currentDirectory = {});

// Like Start, with the program's main thread held until Resume(): several programs resumed one
// after the other start running at practically the same moment.
Process StartSuspended(const std::wstring& exePath, const std::wstring& arguments);

// ---- Windows and message boxes (windows.cpp, icons.cpp) ----------------------------------------

// The top-level windows of a process; only visible ones unless includeHidden.
std::vector<HWND> TopLevelWindows(DWORD processId, bool includeHidden = false);
// The first visible top-level window of the process whose class name equals className (any class
// when empty); nullptr when none appeared within timeoutMs or the process ended first.
HWND WaitForWindow(const Process& process, const std::wstring& className = {},
                   DWORD timeoutMs = kDefaultTimeoutMs);
// True when the window is gone (destroyed or hidden) within timeoutMs.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);
std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);

// How a window answered SendMessageTimeout(WM_NULL), asked every probeMs until it was gone.
struct Answering {
    int answers = 0;
    int unanswered = 0;          // probes without an answer within a second
    ULONGLONG longestGapMs = 0;  // between two answers, or from the last one to the window's end
    ULONGLONG longestGapEndedMs = 0;  // when it ended, from the first probe
    ULONGLONG probedMs = 0;           // from the first probe to the window's end
    std::vector<std::pair<ULONGLONG, ULONGLONG>> gapsOver100Ms;  // each one's end and length
};
// Calls between(answers so far) after each probe that the window answered.
Answering ProbeUntilGone(HWND window, DWORD probeMs,
                         const std::function<void(int answers)>& between = {});

enum class BoxIcon { None, Error, Information, Warning, Question, Unrecognised };
const char* BoxIconName(BoxIcon icon);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;             // the text Static (id 65535), line breaks as in the box
    BoxIcon icon = BoxIcon::None;  // by comparing the icon's screen pixels with the stock icons
    std::vector<std::wstring> buttons;  // button captions, in window order
};

// Reads a message box (#32770 dialog) on the screen, including its icon.
MessageBoxInfo ReadMessageBox(HWND box);
// The icon of a message box, identified by drawing each stock icon over the dialog's background and
// comparing pixels; retries for a while, since a box can be visible before it is painted.
BoxIcon IdentifyIcon(HWND box);
// The next visible message box of the process, read; nullopt when the process ended first or none
// appeared within timeoutMs. The box stays open.
std::optional<MessageBoxInfo> WaitForMessageBox(const Process& process,
                                                DWORD timeoutMs = kDefaultTimeoutMs);
// Presses OK (IDOK) and waits for the box to go away; false when it stayed.
bool PressOk(HWND box);

struct RunResult {
    std::optional<DWORD> exitCode;      // nullopt: did not end in time (and was terminated)
    std::vector<MessageBoxInfo> boxes;  // every message box shown, in order, each answered with OK
};
// Reads and answers with OK every message box the program shows until it ends.
RunResult AnswerBoxesUntilExit(Process& process, DWORD timeoutMs = kDefaultTimeoutMs);
// Start() followed by AnswerBoxesUntilExit().
RunResult Run(const std::wstring& exePath, const std::wstring& arguments,
              const EnvironmentOverrides& environment = {});

// ---- Registry (registry.cpp), through the wide-character functions ------------------------------

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;  // exact bytes as stored
};

bool KeyExists(HKEY root, const std::wstring& subKey);
std::optional<RegValue> ReadValue(HKEY root, const std::wstring& subKey, const std::wstring& name);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& subKey);
std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& subKey);
// Creates the key (and its parents) when missing and stores the bytes exactly.
bool WriteValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                const std::vector<std::uint8_t>& data);
bool CreateKey(HKEY root, const std::wstring& subKey);
// Deletes a key with everything below it; true when the key is gone afterwards.
bool DeleteTree(HKEY root, const std::wstring& subKey);

// Data builders and readers for REG_SZ and REG_DWORD bytes (UTF-16LE, little-endian).
std::vector<std::uint8_t> StringBytes(const std::wstring& text, bool withTerminator = true);
std::vector<std::uint8_t> DwordBytes(DWORD number);
// The UTF-16 text of the bytes, cut at the first NUL.
std::wstring TextOf(const std::vector<std::uint8_t>& data);

// ---- Resources of a program file (resources.cpp) ------------------------------------------------

// A text of the version resource's first translation ("FileDescription", "FileVersion", ...),
// read with GetFileVersionInfoW/VerQueryValueW; nullopt when it is missing.
std::optional<std::wstring> VersionString(const std::wstring& file, const std::wstring& name);
std::optional<VS_FIXEDFILEINFO> FixedVersion(const std::wstring& file);
// The bytes of the RT_MANIFEST resource with id 1, empty when there is none.
std::string Manifest(const std::wstring& file);

// ---- Shortcuts (shortcuts.cpp) ------------------------------------------------------------------

// A shell link (.lnk file) as IShellLinkW reads it back.
struct Shortcut {
    std::wstring target;
    std::wstring arguments;
    std::wstring workingFolder;
};
// nullopt when the file cannot be loaded as a shell link.
std::optional<Shortcut> ReadShortcut(const std::wstring& linkFile);

// ---- Screen (screen.cpp) -----------------------------------------------------------------------

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, row by row from the top
    std::uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
    // Empty or one colour all over: nothing painted, or a failed copy.
    bool Plain() const {
        return std::all_of(rgb.begin(), rgb.end(), [&](std::uint32_t p) { return p == rgb[0]; });
    }
};

// A width x height 32-bit picture painted off the screen: paint draws into the memory DC (bits are
// its pixels, top row first) with the screen DC at hand; empty when it cannot be made.
using OffscreenPainter = std::function<void(HDC memory, HDC screen, std::uint32_t* bits)>;
Pixels PaintOffscreen(int width, int height, const OffscreenPainter& paint);
// One copy of a screen area (screen coordinates), clipped to the screen.
Pixels CaptureScreen(const RECT& wanted);
// The whole window, frame included, or its client area, as far as they are on the screen.
Pixels CaptureWindow(HWND window);
Pixels CaptureClient(HWND window);
// The client area in screen coordinates; empty when the window is gone.
RECT ClientRectOnScreen(HWND window);
bool SaveBmp(const Pixels& pixels, const std::wstring& path);
bool SavePng(const Pixels& pixels, const std::wstring& path);

// ---- Small utilities (files.cpp) ---------------------------------------------------------------

std::string Narrow(const std::wstring& text);   // UTF-8, for test messages
std::wstring Quoted(const std::wstring& text);  // in double quotes: one command-line argument
// Windows' own text for an error code, without its line break, as the programs' boxes end with it.
std::wstring WindowsMessage(DWORD code);
// Polls condition every few milliseconds until it holds or timeoutMs has passed; its last result.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kDefaultTimeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return condition();
        Sleep(10);
    }
}

}  // namespace harness
