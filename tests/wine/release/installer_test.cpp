// What the Windows Installer package does on a computer, under Wine's own msiexec: an install with
// its properties, a maintenance run that changes one, an upgrade in place, the refusal of an older
// release, and the removal.
#include <gtest/gtest.h>

#include "launcher_scenario.h"
#include "release_files.h"
// After <windows.h>, which the harness brings.
#include <msi.h>
#include <shlobj.h>

namespace release {
namespace {

using namespace harness;

const std::wstring kCurVer = L"Access.Application\\CurVer";
const std::wstring kOffice = L"Software\\Microsoft\\Office";
const std::wstring kTrustedSlot0 =
    kOffice + L"\\16.0\\Access\\Security\\Trusted Locations\\Location0";
const std::wstring kUsersCopy = L"%LOCALAPPDATA%\\Orvantis";
const std::wstring kEventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvantis";
// How the README changes a kept property on an installed release.
const std::wstring kMaintenanceRun = L" REINSTALL=ALL REINSTALLMODE=omus";
const std::wstring kDowngradeMessage =
    L"A newer release of Orvantis is already installed on this computer. Remove it first to "
    L"install this older one.";

std::wstring DefaultInstallFolder() {
    wchar_t programFiles[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    return std::wstring(programFiles) + L"\\Orvantis";
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring Text(HKEY root, const std::wstring& key, const std::wstring& name) {
    const auto value = ReadValue(root, key, name);
    return value ? TextOf(value->data) : L"(none)";
}

// Each installed file holds the bytes of the same file in the release part.
void ExpectFilesOf(const std::wstring& part, const std::wstring& folder) {
    for (const std::wstring& file : kInstalledFiles) {
        const auto installed = ReadFileBytes(folder + L"\\" + file);
        ASSERT_TRUE(installed) << Narrow(folder + L"\\" + file) << " is missing";
        EXPECT_TRUE(installed == ReadFileBytes(ReleaseFolder(part) + L"\\" + file))
            << Narrow(file) << " differs from " << Narrow(part);
    }
}

// What every install registers beside its files: its entry in Add/Remove Programs and the Event
// Log source, both pointing into the install folder.
void ExpectRegisteredFrom(const std::wstring& folder) {
    const std::vector<std::wstring> products = InstalledOrvantis();
    ASSERT_EQ(products.size(), 1u);
    const std::wstring entry = kUninstallKey + L"\\" + products[0];
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, L"HelpLink"), folder + L"\\README.txt");
    EXPECT_EQ(WithoutTrailingBackslash(Text(HKEY_LOCAL_MACHINE, entry, L"InstallLocation")),
              folder);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, L"Publisher"), L"Orvantis");
    const auto noModify = ReadValue(HKEY_LOCAL_MACHINE, entry, L"NoModify");
    EXPECT_TRUE(noModify && noModify->data == DwordBytes(1));
    EXPECT_EQ(Expanded(Text(HKEY_LOCAL_MACHINE, kEventSourceKey, L"EventMessageFile")),
              folder + L"\\Renvale.exe");
    const auto types = ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, L"TypesSupported");
    EXPECT_TRUE(types && types->type == REG_DWORD && types->data == DwordBytes(7));
}

Shortcut ReadStartMenuShortcut() {
    const std::wstring link = StartMenuShortcut();
    const std::optional<Shortcut> shortcut = link.empty() ? std::nullopt : ReadShortcut(link);
    EXPECT_TRUE(shortcut) << "no readable Start-menu shortcut Orvantis";
    return shortcut.value_or(Shortcut{});
}

// Runs the Active Setup entry's StubPath as Active Setup does at a logon: the REG_EXPAND_SZ
// command line expanded for the user, nothing added. No box may show.
void RunActiveSetupStub() {
    const auto stub = ReadValue(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"StubPath");
    ASSERT_TRUE(stub) << "no Active Setup entry";
    EXPECT_EQ(stub->type, static_cast<DWORD>(REG_EXPAND_SZ));
    Process run = StartWithCommandLine(L"", Expanded(TextOf(stub->data)));
    const RunResult result = AnswerBoxesUntilExit(run);
    EXPECT_EQ(result.exitCode, 0u) << Narrow(TextOf(stub->data));
    for (const MessageBoxInfo& box : result.boxes)
        ADD_FAILURE() << "the logon run showed a box: " << Narrow(box.text);
}

// Each test starts and ends with no Orvantis installed, no trusted locations, and an Access 2016
// registered, which Vintrel's "/office auto" finds.
class Package : public testing::Test {
  protected:
    void SetUp() override {
        RemoveAllOrvantis();
        DeleteTree(HKEY_CURRENT_USER, kOffice);
        ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, kCurVer, L"", REG_SZ,
                               StringBytes(L"Access.Application.16")));
        folder_ = MakeTestFolder(CurrentTestName() + L"\\Orvantis Programme");
    }
    void TearDown() override {
        if (drive_)
            UnmapDrive(drive_);
        EndAllStandIns();
        RemoveAllOrvantis();
        DeleteTree(HKEY_CLASSES_ROOT, kCurVer);
        DeleteTree(HKEY_CURRENT_USER, kOffice);
        RemoveTree(Expanded(kUsersCopy));
    }

    DWORD Install(const std::wstring& part, const std::wstring& properties) {
        return Msiexec(L"/i " + Quoted(PackageOf(part)) + L" /qn " + properties);
    }
    std::wstring InFolder() const { return L"INSTALLFOLDER=" + Quoted(folder_); }

    // An install folder with a blank in its name, without a trailing backslash.
    std::wstring folder_;
    wchar_t drive_ = L'\0';  // mapped by a test, unmapped after it
};

enum class Trusted { Nobody, UsersCopy, InstallFolder };

struct InstallCase {
    const char* name;
    bool givesFolder;                       // INSTALLFOLDER on the command line
    std::wstring properties;                // the other properties
    std::optional<std::wstring> arguments;  // of the shortcut; none: no shortcut
    Trusted trusted;                        // what the logon run registers
};

const InstallCase kInstallCases[] = {
    {"MasterAndLog", true, LR"(MASTER="\\srv\orvantis" LOG="%LOCALAPPDATA%\Orvantis\start.log")",
     LR"(/from "\\srv\orvantis" /log "%LOCALAPPDATA%\Orvantis\start.log")", Trusted::UsersCopy},
    {"MasterAlone", true, LR"(MASTER="\\srv\orvantis")", LR"(/from "\\srv\orvantis")",
     Trusted::UsersCopy},
    {"MasterWithoutTrust", true, LR"(MASTER=\\srv\orvantis TRUST=0)", LR"(/from "\\srv\orvantis")",
     Trusted::Nobody},
    // As folder properties are habitually written: the backslash before the closing quote would
    // make the quote part of the folder and swallow /log.
    {"MasterWithTrailingBackslash", true, LR"(MASTER="\\srv\orvantis\" LOG=D:\start.log)",
     LR"(/from "\\srv\orvantis" /log "D:\start.log")", Trusted::UsersCopy},
    // A drive root keeps its backslash (D: alone is a current folder), doubled before the quote.
    {"MasterOnADriveRoot", true, LR"(MASTER=D:\ LOG=D:\Logs\\ TRUST=0)",
     LR"(/from "D:\\" /log "D:\Logs")", Trusted::Nobody},
    // No master, no shortcut: it would open an Orvantis.mde the package never installs.
    {"LogAlone", true, LR"(LOG="D:\Logs\%USERNAME%.log")", std::nullopt, Trusted::Nobody},
    {"TrustWithoutMaster", true, L"TRUST=1", std::nullopt, Trusted::InstallFolder},
    {"NothingGiven", false, L"", std::nullopt, Trusted::Nobody},
};

void PrintTo(const InstallCase& install, std::ostream* out) {
    *out << install.name;
}

class Installs : public Package, public testing::WithParamInterface<InstallCase> {};

TEST_P(Installs, FilesShortcutAndLogonRunAsAsked) {
    const InstallCase& install = GetParam();
    const std::wstring folder = install.givesFolder ? folder_ : DefaultInstallFolder();
    ASSERT_EQ(
        Install(L"older", (install.givesFolder ? InFolder() + L" " : L"") + install.properties),
        0u);

    ExpectFilesOf(L"older", folder);
    ExpectRegisteredFrom(folder);
    if (install.arguments) {
        const Shortcut shortcut = ReadStartMenuShortcut();
        EXPECT_EQ(shortcut.target, folder + L"\\Renvale.exe");
        EXPECT_EQ(shortcut.arguments, *install.arguments);
        EXPECT_EQ(WithoutTrailingBackslash(shortcut.workingFolder), folder);
    } else {
        EXPECT_EQ(StartMenuShortcut(), L"");
    }

    if (install.trusted == Trusted::Nobody) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey));
        return;
    }
    std::wstring version = VersionOf(L"older");
    std::replace(version.begin(), version.end(), L'.', L',');
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version"), version);
    RunActiveSetupStub();
    const std::wstring trusted =
        install.trusted == Trusted::UsersCopy ? Expanded(kUsersCopy) : folder;
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kTrustedSlot0, L"Path"), trusted + L"\\");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kTrustedSlot0, L"Description"), L"Set by Vintrel");
}

INSTANTIATE_TEST_SUITE_P(Properties, Installs, testing::ValuesIn(kInstallCases),
                         [](const testing::TestParamInfo<InstallCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Package, ANewerReleaseReplacesTheOlderInPlaceKeepingTheSettingsNotGivenAgain) {
    ASSERT_FALSE(ReadFileBytes(ReleaseFolder(L"older") + L"\\README.txt") ==
                 ReadFileBytes(ReleaseFolder(L"newer") + L"\\README.txt"));
    ASSERT_EQ(Install(L"older", InFolder() + LR"( MASTER="\\srv\orvantis" LOG=D:\start.log)"), 0u);
    const std::vector<std::wstring> older = InstalledOrvantis();
    ASSERT_EQ(older.size(), 1u);

    ASSERT_EQ(Install(L"newer", LR"(LOG=E:\other.log)"), 0u);

    const std::vector<std::wstring> products = InstalledOrvantis();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_NE(products[0], older[0]);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kUninstallKey + L"\\" + products[0], L"DisplayVersion"),
              VersionOf(L"newer"));
    ExpectFilesOf(L"newer", folder_);
    EXPECT_FALSE(PathExists(DefaultInstallFolder()));
    EXPECT_EQ(ReadStartMenuShortcut().arguments, LR"(/from "\\srv\orvantis" /log "E:\other.log")");
    std::wstring version = VersionOf(L"newer");
    std::replace(version.begin(), version.end(), L'.', L',');
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version"), version);
}

// A desk installed without a master gets one later by the README's maintenance run, written with
// the habitual trailing backslash: the shortcut and the logon run appear, and the shortcut's start
// pulls the master into the user's copy and writes the log. A second run moves the master to the
// root of a drive of its own, which the shortcut must still name as a folder.
TEST_F(Package, AMaintenanceRunSetsTheMasterAndTheShortcutStartsAPullFromIt) {
    ASSERT_EQ(Install(L"older", InFolder()), 0u);
    EXPECT_EQ(StartMenuShortcut(), L"");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey));
    const std::wstring master = MakeTestFolder(CurrentTestName() + L"\\Master Copy");
    const std::wstring server = MakeTestFolder(CurrentTestName() + L"\\server");
    const std::vector<std::uint8_t> release = DatabaseBytes(4096, 5), next = DatabaseBytes(4096, 6);
    ASSERT_TRUE(PutFile(master + L"\\Orvantis.mde", release) &&
                PutFile(server + L"\\Orvantis.mde", next));
    const std::wstring standIn = MakeTestFolder(CurrentTestName() + L"\\standin");
    ASSERT_TRUE(SwitchStandInTo(standIn));
    const std::wstring log = WorkDir() + L"\\" + CurrentTestName() + L"\\start.log";
    const std::wstring usersCopy = Expanded(kUsersCopy) + L"\\Orvantis.mde";
    const auto startThroughTheShortcut = [] {
        const Shortcut shortcut = ReadStartMenuShortcut();
        Process start = Start(shortcut.target, shortcut.arguments, {}, shortcut.workingFolder);
        return AnswerBoxesUntilExit(start).exitCode;
    };

    ASSERT_EQ(Install(L"older", L"MASTER=" + Quoted(master + L"\\") + L" LOG=" + Quoted(log) +
                                    kMaintenanceRun),
              0u);

    EXPECT_EQ(ReadStartMenuShortcut().arguments,
              L"/from " + Quoted(master) + L" /log " + Quoted(log));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kSettingsKey, L"Master"), master);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"StubPath"),
              Quoted(folder_ + L"\\Vintrel.exe") + L" /quiet /once /office auto /path " +
                  Quoted(kUsersCopy));
    EXPECT_EQ(startThroughTheShortcut(), 0u);
    EXPECT_TRUE(ReadFileBytes(usersCopy) == release);
    const auto opens = CallsTo(ReadStandInCalls(standIn), L"OpenCurrentDatabase");
    EXPECT_TRUE(!opens.empty() && opens.back().arguments[0] == L"BSTR:" + usersCopy);
    EXPECT_TRUE(PathExists(log));

    drive_ = SpareDriveLetter();
    ASSERT_TRUE(drive_ && MapDrive(drive_, server));
    const std::wstring root = std::wstring(1, drive_) + L":\\";
    ASSERT_EQ(Install(L"older", L"MASTER=" + root + kMaintenanceRun), 0u);
    EXPECT_EQ(ReadStartMenuShortcut().arguments, L"/from \"" + root + L"\\\" /log " + Quoted(log));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kSettingsKey, L"Master"), root);
    EXPECT_EQ(startThroughTheShortcut(), 0u);
    EXPECT_TRUE(ReadFileBytes(usersCopy) == next);
}

TEST_F(Package, ARepairRestoresAProgramInTheFolderGivenAtInstall) {
    ASSERT_EQ(Install(L"older", InFolder()), 0u);
    const std::vector<std::wstring> products = InstalledOrvantis();
    ASSERT_EQ(products.size(), 1u);
    ASSERT_TRUE(DeleteFileW((folder_ + L"\\Vintrel.exe").c_str()));

    // Wine 8's msiexec cannot repair ("/f" with a product code is not implemented): the call
    // behind it, as Programs and Features makes it.
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(MsiReinstallProductW(products[0].c_str(),
                                   REINSTALLMODE_FILEMISSING | REINSTALLMODE_FILEOLDERVERSION |
                                       REINSTALLMODE_MACHINEDATA | REINSTALLMODE_USERDATA |
                                       REINSTALLMODE_SHORTCUT),
              static_cast<UINT>(ERROR_SUCCESS));

    ExpectFilesOf(L"older", folder_);
    EXPECT_FALSE(PathExists(DefaultInstallFolder()));
}

TEST_F(Package, AnUpgradeKeepsTheLogonRunSwitchedOff) {
    ASSERT_EQ(Install(L"older", LR"(MASTER="\\srv\orvantis" TRUST=0)"), 0u);

    ASSERT_EQ(Install(L"newer", L""), 0u);

    EXPECT_EQ(ReadStartMenuShortcut().arguments, LR"(/from "\\srv\orvantis")");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey));
}

TEST_F(Package, AnOlderReleaseOverANewerIsRefusedWithAMessage) {
    ASSERT_EQ(Install(L"newer", InFolder()), 0u);

    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    Process msiexec = Start(std::wstring(system) + L"\\msiexec.exe",
                            L"/i " + Quoted(PackageOf(L"older")) + L" /qb");
    const auto box = WaitForMessageBox(msiexec, 60000);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, kDowngradeMessage);
    EXPECT_TRUE(PressOk(box->window));
    EXPECT_EQ(msiexec.WaitForExit(60000), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

    const std::vector<std::wstring> products = InstalledOrvantis();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kUninstallKey + L"\\" + products[0], L"DisplayVersion"),
              VersionOf(L"newer"));
    ExpectFilesOf(L"newer", folder_);
}

TEST_F(Package, RemovalTakesItsOwnAndLeavesTheDatabaseTheUpdateAndTheUsersCopies) {
    const std::vector<std::uint8_t> database = DatabaseBytes(4096, 1);
    const std::vector<std::uint8_t> staged = DatabaseBytes(4096, 2);
    const std::vector<std::uint8_t> usersCopy = DatabaseBytes(4096, 3);
    const std::wstring usersCopyFile = Expanded(kUsersCopy) + L"\\Orvantis.mde";
    ASSERT_TRUE(PutFile(folder_ + L"\\Orvantis.mde", database));
    ASSERT_TRUE(PutFile(folder_ + L"\\TEMP\\Orvantis.mde", staged));
    ASSERT_TRUE(PutFile(usersCopyFile, usersCopy));
    ASSERT_EQ(Install(L"older", InFolder() + LR"( MASTER="\\srv\orvantis")"), 0u);
    RunActiveSetupStub();

    ASSERT_EQ(Msiexec(L"/x " + Quoted(PackageOf(L"older")) + L" /qn"), 0u);

    EXPECT_EQ(FolderEntries(folder_), (std::vector<std::wstring>{L"Orvantis.mde", L"TEMP"}));
    EXPECT_TRUE(ReadFileBytes(folder_ + L"\\Orvantis.mde") == database);
    EXPECT_TRUE(ReadFileBytes(folder_ + L"\\TEMP\\Orvantis.mde") == staged);
    EXPECT_TRUE(ReadFileBytes(usersCopyFile) == usersCopy);
    EXPECT_EQ(StartMenuShortcut(), L"");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey));
    EXPECT_TRUE(InstalledOrvantis().empty());
    // What the logon run gave the user stays: Access keeps opening the database.
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kTrustedSlot0, L"Path"), Expanded(kUsersCopy) + L"\\");
}

TEST_F(Package, TheSignedPackageInstallsTheSignedPrograms) {
    ASSERT_EQ(Install(L"signed", InFolder()), 0u);

    ExpectFilesOf(L"signed", folder_);
}

}  // namespace
}  // namespace release
