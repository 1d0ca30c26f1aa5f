// Everything the three programs ask of Windows, one function per operation.
// The Win32 build implements it in platform/win32; the native test build links test doubles
// (tests/doubles) instead, so the logic above it compiles and runs without <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

// A run-time error as the registrar's helpers report it: number and description.
// Thrown only inside a helper and caught there; it never travels between procedures.
struct RuntimeError {
    std::int32_t number;
    std::wstring description;
};

// ---- DLL search ------------------------------------------------------------------------------

// Later DLL loads search only the system folder, not the program's folder (which users may write).
void RestrictDllSearchToSystem();

// ---- Registry (advapi32, wide forms, bound by name at their first call) ------------------------
// Names differ from <windows.h> macros on purpose. Each function throws RuntimeError when it cannot
// be bound; otherwise it returns the Win32 result.

inline constexpr std::uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;

// Owns one open key; closes it through RegCloseKey on every path.
class RegKey {
  public:
    RegKey() = default;
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    std::uintptr_t get() const { return handle_; }
    std::uintptr_t* put();  // closes any held key, then hands out the slot to fill

  private:
    std::uintptr_t handle_ = 0;
};

long OpenRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key);
long CreateRegKey(std::uint32_t root, const std::wstring& subKey, RegKey& key);
// data may be null (size query); size is in bytes, in and out.
long QueryRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t* type,
                   std::uint8_t* data, std::uint32_t* size);
long SetRegValue(const RegKey& key, const std::wstring& valueName, std::uint32_t type,
                 const std::uint8_t* data, std::uint32_t size);
// RegGetValueW for a REG_DWORD alone: a value of another type fails (ERROR_UNSUPPORTED_TYPE).
long GetRegDword(std::uint32_t root, const std::wstring& subKey, const std::wstring& valueName,
                 std::uint32_t& number);
long DeleteRegValue(const RegKey& key, const std::wstring& valueName);
// Deletes a key that has no sub-keys, with its values.
long DeleteRegKey(std::uint32_t root, const std::wstring& subKey);

// Bytes of the system's 8-bit code page as wide characters, one per byte in a single-byte code
// page.
std::wstring AnsiBytesToWide(const std::uint8_t* data, std::size_t size);

// ---- Group Policy -----------------------------------------------------------------------------

// HKEY_LOCAL_MACHINE, read in the 64-bit view where Windows has one, or HKEY_CURRENT_USER.
enum class PolicyScope { Machine, User };
// What a policy value is read as: REG_SZ or REG_EXPAND_SZ (left unexpanded), or REG_DWORD.
enum class PolicyType { Text, Number };
struct PolicyValue {
    // NotThere: no key or no value; OtherType: stored with a type other than the one asked for;
    // Unreadable: any other failure, with its error code.
    enum class State { NotThere, Read, OtherType, Unreadable } state = State::NotThere;
    std::wstring text;         // with Text
    std::uint32_t number = 0;  // with Number
    std::uint32_t error = 0;   // with Unreadable
};
// One value of a policy key, read by RegGetValueW restricted to the asked type.
PolicyValue ReadPolicyValue(PolicyScope scope, const std::wstring& key, const std::wstring& name,
                            PolicyType type);

// ---- Message box -----------------------------------------------------------------------------

inline constexpr std::uint32_t kMbIconError = 16;
inline constexpr std::uint32_t kMbIconWarning = 48;
inline constexpr std::uint32_t kMbIconInformation = 64;

// Modal; without a title the box shows the application title.
int MsgBox(const std::wstring& text, std::uint32_t style,
           const std::optional<std::wstring>& title = std::nullopt);

// ---- Clock -----------------------------------------------------------------------------------

struct LocalTime {
    int year, month, day, hour, minute;
};
LocalTime Now();
// The time separator of the user's regional settings (":" in the usual settings).
std::wstring TimeSeparator();
// Milliseconds since some fixed moment, for measuring how long something takes.
std::uint64_t TickCountMs();

// ---- Process facts ---------------------------------------------------------------------------

// The command line without the program's own name, as one string.
std::wstring CommandLineArgs();
// The whole command line as Windows keeps it, the program's own name first.
std::wstring CommandLine();
// The user's Windows display language, a LANGID: the primary language in its low ten bits.
std::uint16_t UserUiLanguage();
// The folder of the running program: no trailing backslash, except at a drive root ("C:\").
std::wstring AppPath();
// The file name of the running program without its extension.
std::wstring ProgramFileName();
// Fixed into each program when it is built; defined by the program's entry unit.
const wchar_t* AppTitle();
// The release the program belongs to ("Orvantis 1.0.0"), from version.h; defined by the program's
// entry unit.
const wchar_t* ReleaseText();

// ---- A log for administrators ------------------------------------------------------------------

// The local time to the millisecond.
struct LogTime {
    int year, month, day, hour, minute, second, millisecond;
};
LogTime NowForLog();
// Who writes a line: the computer's name, the user's name and this process's id.
std::wstring ComputerName();
std::wstring UserName();
std::uint32_t ProcessId();
// Windows' own text for an error code or HRESULT, without its line break; empty when none.
std::wstring ErrorMessage(std::uint32_t code);
// %NAME% replaced by the environment variable's value, as Windows expands it.
std::wstring ExpandEnvironment(const std::wstring& text);
// Appends the bytes to the file (created when missing) in one write on a handle opened for
// appending with full sharing, so that lines of other writers never cut into them; retries for up
// to a second while another process keeps the file to itself. The handle stays open for the
// process's further lines to the same file. False when the bytes were not written.
bool AppendToFile(const std::wstring& path, const std::string& bytes);

// The Windows Event Log's types of event.
inline constexpr std::uint16_t kEventError = 1;
inline constexpr std::uint16_t kEventWarning = 2;
inline constexpr std::uint16_t kEventInformation = 4;
// Reports one event with one text to the Application log under the source "Orvantis", which it
// registers at its first call, with the current user as the event's user. False when the source
// cannot be registered or the Event Log refuses the event.
bool ReportToEventLog(std::uint16_t type, std::uint32_t eventId, const std::wstring& text);

// A lock with one condition, for handing the log's lines to the threads that write them.
class Monitor {
  public:
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;
    void Enter();
    void Leave();
    // Leaves the lock until WakeAll is called or milliseconds have passed, then enters it again.
    void Wait(std::uint32_t milliseconds);
    void WakeAll();

  private:
    struct State;
    std::unique_ptr<State> state_;
};
// Runs work on a thread of its own, which the process's end does not wait for; false when no
// thread could be made.
bool StartThread(std::function<void()> work);
// Milliseconds since some fixed moment, the same for every thread.
std::uint64_t MonotonicMs();

// ---- Serialising among the current user's processes ------------------------------------------

// Owns one handle to a lock object (a named mutex); closes it on every path.
class LockObject {
  public:
    LockObject() = default;
    ~LockObject();
    LockObject(const LockObject&) = delete;
    LockObject& operator=(const LockObject&) = delete;
    std::uintptr_t get() const { return handle_; }
    std::uintptr_t* put();  // closes any held handle, then hands out the slot to fill
    void swap(LockObject& other) noexcept { std::swap(handle_, other.handle_); }

  private:
    std::uintptr_t handle_ = 0;
};

// Holds a lock shared by all of the current user's processes in every session (only this
// session's when that cannot be had) for its lifetime; acquiring waits at most timeoutMs.
// Built on the lock-object operations below (platform/userlock.cpp).
class UserLock {
  public:
    UserLock(const std::wstring& name, std::uint32_t timeoutMs);
    ~UserLock();
    UserLock(const UserLock&) = delete;
    UserLock& operator=(const UserLock&) = delete;
    // False when the wait timed out or no lock could be made.
    bool held() const { return lock_.get() != 0; }

  private:
    LockObject lock_;
};

// The current user's SID as text ("S-1-5-21-..."); empty when it cannot be had.
std::wstring CurrentUserSid();
enum class LockCreation { Created, AlreadyThere, AccessDenied, Failed };
// Creates the named lock object, owned by the current user and usable by that user alone, or
// opens it with full rights when it is already there.
LockCreation CreateLockObject(const std::wstring& fullName, LockObject& lock);
// Opens an existing lock object with just the rights to wait for it, release it and read its
// owner: what a lock made by an elevated run of the same user still grants a normal one.
bool OpenLockObjectToWait(const std::wstring& fullName, LockObject& lock);
// Whether the current user owns the object: nobody else can make an object that this user owns.
bool LockObjectIsCurrentUsers(const LockObject& lock);
// True once the lock is this process's (also when its last holder ended without releasing it);
// false when timeoutMs passed first.
bool WaitForLockObject(const LockObject& lock, std::uint32_t timeoutMs);
void ReleaseLockObject(const LockObject& lock);

// ---- Paths -----------------------------------------------------------------------------------

// The absolute, normalised form of a path, as GetFullPathNameW gives it; nullopt when it fails.
std::optional<std::wstring> FullPathName(const std::wstring& path);
// Whether two names are the same for the file system: equal without regard to letter case.
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b);

// ---- Automation (late-bound, by member name) -------------------------------------------------

using AutomationValue =
    std::variant<std::monostate, std::wstring, std::int16_t, std::int32_t, std::int64_t, bool>;

// Initialises COM for the calling thread for its lifetime.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_ = false;
};

// Owns one reference to an automation object; empty when creation failed.
class AutomationObject {
  public:
    AutomationObject() = default;
    explicit AutomationObject(void* dispatch) : dispatch_(dispatch) {}
    ~AutomationObject() { reset(); }
    AutomationObject(AutomationObject&& other) noexcept
        : dispatch_(std::exchange(other.dispatch_, nullptr)) {}
    AutomationObject& operator=(AutomationObject&& other) noexcept {
        if (this != &other) {
            reset();
            dispatch_ = std::exchange(other.dispatch_, nullptr);
        }
        return *this;
    }
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;
    void* get() const { return dispatch_; }
    void reset();  // releases the reference now

  private:
    void* dispatch_ = nullptr;
};

// On the local machine; an empty object when the class is unknown or the server fails.
AutomationObject CreateAutomationObject(const std::wstring& progId);
// Each returns nullopt/false when the call fails, also on an empty object.
std::optional<AutomationValue> GetProperty(const AutomationObject& object,
                                           const std::wstring& name);
bool PutProperty(const AutomationObject& object, const std::wstring& name,
                 const AutomationValue& value);
bool CallMethod(const AutomationObject& object, const std::wstring& name,
                const std::vector<AutomationValue>& arguments);
// Why the last automation creation or call that failed did: its HRESULT (the server's own code
// when it raised an exception) and the server's description, when it gave one.
struct AutomationFailure {
    std::uint32_t hresult = 0;
    std::wstring description;
};
AutomationFailure LastAutomationFailure();

// ---- user32 ShowWindow, bound by name at its first call --------------------------------------

inline constexpr int kSwShowMaximized = 3;
// False when it cannot be bound or reports failure.
bool ShowWindow(std::int32_t windowHandle, int showCommand);

// ---- File system -----------------------------------------------------------------------------
// Paths of any length: the Win32 layer adds the long-path prefix where a path needs it.

// A Windows error code, as GetLastError gives it where the failing call happened.
using ErrorCode = std::uint32_t;
inline constexpr ErrorCode kNoError = 0;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorFileExists = 80;

// Owns one open file; closes it on every path.
class OpenFile {
  public:
    OpenFile() = default;
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    std::uintptr_t get() const { return handle_; }
    std::uintptr_t* put();  // closes any held file, then hands out the slot to fill
    void reset();           // closes the file now

  private:
    std::uintptr_t handle_ = 0;
};

bool FileExists(const std::wstring& path);
// The size of a file; nullopt when it cannot be read (missing, a folder).
std::optional<std::uint64_t> FileSize(const std::wstring& path);
enum class ToInstall { Opened, BeingWritten, HeldByAnotherLauncher, Unavailable };
// Opens an existing file to be copied and then deleted, with the right to delete it and, where
// the user has it, to write its attributes: others may read it meanwhile, but no one can write,
// rename or delete it, nor open it this way too. When it cannot, says whether a writer holds it or
// a reader that lets no writer in (another launcher installing it), or neither (missing, or no
// right to delete it).
// Why it was Unavailable goes to unavailableBecause when one is given.
ToInstall OpenToInstall(const std::wstring& path, OpenFile& file,
                        ErrorCode* unavailableBecause = nullptr);
// Clears the open file's read-only attribute, which would keep it from being deleted; fails when
// the handle may not write its attributes.
ErrorCode ClearReadOnly(const OpenFile& file);
// Whether the open file is folder\nameInFolder itself: no link (junction, symbolic link) on the
// way from folder to it, while links in the folder's own path do not matter.
bool OpenedWithoutLinks(const OpenFile& file, const std::wstring& folder,
                        const std::wstring& nameInFolder);
// Creates an empty file with the archive attribute under a name that must not exist yet
// (kErrorFileExists when it does), held without sharing, with the right to delete or rename it
// through this handle whatever permissions it is given later.
ErrorCode CreateNewFile(const std::wstring& path, OpenFile& file);
// Called on the copying thread, about every 50 ms while a copy runs and once after it, with the
// bytes copied so far and the whole size.
using CopyProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
// Copies the whole content and the last-write time of one open file into another (empty) one and
// flushes the copy to disk. It stops (error 995) once the waiter of its work has given up on it.
ErrorCode CopyContent(const OpenFile& source, const OpenFile& destination,
                      const CopyProgress& progress);
// kNoError when this user could replace the file now; kErrorSharingViolation when another
// process holds it open without letting it be renamed or deleted (an Access that has the database
// open); kErrorAccessDenied when it is read-only or the user may not delete it.
ErrorCode CheckReplaceable(const std::wstring& path);
// Whether the open file's volume keeps permissions (FILE_PERSISTENT_ACLS); some network storage
// keeps none.
bool VolumeKeepsPermissions(const OpenFile& file);
// Gives the open file the access list (DACL) of the named one; its owner could only be set with a
// privilege.
ErrorCode TakeOverPermissions(const std::wstring& from, const OpenFile& file);
// File attributes, as Windows numbers them.
inline constexpr std::uint32_t kAttributeHidden = 0x2;
inline constexpr std::uint32_t kAttributeSystem = 0x4;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
inline constexpr std::uint32_t kAttributeOffline = 0x1000;
inline constexpr std::uint32_t kAttributeNotContentIndexed = 0x2000;
// Gives the open file the creation time of the named one and those of its attributes that are in
// kept, with added besides, as ReplaceFileW carries them over to the file that replaces it.
ErrorCode TakeOverAttributes(const std::wstring& from, const OpenFile& file, std::uint32_t kept,
                             std::uint32_t added);
// The open file is deleted when it is closed.
ErrorCode DeleteWhenClosed(const OpenFile& file);
// Gives the open file another name in one step, through its own handle; replace lets it take the
// name of an existing file.
ErrorCode RenameOpenFile(const OpenFile& file, const std::wstring& newPath, bool replace);
// The names of the files in folder that match a wildcard pattern ("*.tmp").
std::vector<std::wstring> FileNamesIn(const std::wstring& folder, const std::wstring& pattern);
// Fails for a file that is held open (unless its holder allows deleting) or read-only; why it
// failed goes to because when one is given.
bool RemoveFile(const std::wstring& path, ErrorCode* because = nullptr);

// ---- Each user's own copy of a master database -------------------------------------------------

// The user's local application data folder, the known folder wherever it lies; empty when this
// account has none.
std::wstring LocalAppDataFolder();
// Creates the folder with every parent it lacks; kNoError when it is there afterwards.
ErrorCode CreateFolders(const std::wstring& path);
// Opens an existing file for reading: others may read, rename or delete it meanwhile, but no one
// may write it, and a writer that has it keeps it out (kErrorSharingViolation).
ErrorCode OpenToPull(const std::wstring& path, OpenFile& file);
// What tells one content of a file from another: its size and its last-write time (in Windows'
// 100-nanosecond units).
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
ErrorCode StampOf(const OpenFile& file, FileStamp& stamp);
// The whole content of a small file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
// Writes the file anew with these bytes, flushed to disk.
ErrorCode WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Creates the file, or opens the one that is there, held without sharing and deleted once it is
// closed: kErrorSharingViolation while another process holds it, on this computer or another.
ErrorCode HoldLockFile(const std::wstring& path, OpenFile& file);
// What a path reaches, whatever it is called there (a mapped drive and its server's name, a link,
// another letter case): its volume's serial number and its file ID.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// nullopt when it cannot be opened, or its file system gives no file IDs.
std::optional<FileIdentity> IdentityOf(const std::wstring& path);

// ---- The splash window while a long step runs ------------------------------------------------

// Waits, the splash window answering every message meanwhile (its form ignores input while the
// launch runs); on a worker of RunOnWorker it counts as the work's progress.
void Pause(std::uint32_t milliseconds);
// Runs work on a thread of its own while this thread answers its messages, asking keepWaiting about
// every 50 ms with the work's progress so far (file operations and pauses finished, pieces copied,
// and the time a copy's flush to disk takes: a count that only grows). True when the work has
// finished; a work's exception comes out here. Once keepWaiting answers false it returns false at
// once, and the work runs on unwatched: it must own what it uses, and the process may end under it.
// The native doubles run it inline.
bool RunOnWorker(std::function<void()> work,
                 const std::function<bool(std::uint64_t progress)>& keepWaiting);
// True on the thread of a work whose waiter has given up on it; false anywhere else.
bool WorkAbandoned();
// Shows how far the copy has come, 0 to 1, as a bar along the picture's lower edge; callable from
// any thread. Carried out by the splash form itself (launchers/frmSplash.cpp), which owns the
// window.
void ShowCopyProgress(double fraction);

}  // namespace platform
