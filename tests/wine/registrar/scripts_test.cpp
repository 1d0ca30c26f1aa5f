// What administrators and logon scripts ask of Vintrel: other Office versions, network locations,
// one slot however often it runs, a usage box, exit codes, and no registrar left waiting for
// another's box.
#include <algorithm>
#include <functional>

#include "vintrel_fixture.h"
// After <windows.h>, which the fixture brings.
#include <sddl.h>

namespace vintrel {
namespace {

using harness::BoxIcon;

const std::wstring kCurVer = L"Access.Application\\CurVer";
const std::wstring kPolicies = L"Software\\Policies\\Microsoft\\Office";

class ForScripts : public VintrelTest {
  protected:
    void TearDown() override {
        harness::DeleteTree(HKEY_CLASSES_ROOT, kCurVer);
        harness::DeleteTree(HKEY_CURRENT_USER, kPolicies);
    }

    std::wstring PathAt(int slot, const std::wstring& version = L"12.0") {
        const auto path =
            harness::ReadValue(HKEY_CURRENT_USER, LocationKey(slot, version), L"Path");
        return path ? harness::TextOf(path->data) : L"(none)";
    }
    bool NetworkAllowed(const std::wstring& version) {
        const auto value = harness::ReadValue(HKEY_CURRENT_USER, TrustedLocationsOf(version),
                                              L"AllowNetworkLocations");
        EXPECT_TRUE(!value || (value->type == REG_DWORD && value->data == harness::DwordBytes(1)));
        return value.has_value();
    }
};

TEST_F(ForScripts, OneOfficeVersionInsteadOf12) {
    RunVintrel(L"/s /office 16.0");

    ExpectRegistered(0, folder_ + L"\\", true, L"Vintrel", L"16.0");
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
    EXPECT_FALSE(NetworkAllowed(L"16.0"));
}

TEST_F(ForScripts, TwoVersionsEachWithItsOwnFirstFreeSlotAndNetworkLocations) {
    SeedOccupied(0, 1);
    RunVintrel(L"/s /network /office 12.0 /office 16.0 /office 16.0");

    ExpectRegistered(2, folder_ + L"\\", true);
    ExpectRegistered(0, folder_ + L"\\", true, L"Vintrel", L"16.0");
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(1, L"16.0")));
    EXPECT_TRUE(NetworkAllowed(L"12.0"));
    EXPECT_TRUE(NetworkAllowed(L"16.0"));
}

TEST_F(ForScripts, AutoIsTheVersionOfTheRegisteredAccess) {
    ASSERT_TRUE(harness::WriteValue(HKEY_CLASSES_ROOT, kCurVer, L"", REG_SZ,
                                    harness::StringBytes(L"Access.Application.15")));
    RunVintrel(L"/s /office auto");

    EXPECT_EQ(PathAt(0, L"15.0"), folder_ + L"\\");
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
}

TEST_F(ForScripts, AutoWithoutAccessAndAnInvalidVersionAreRefused) {
    const auto noAccess = RunVintrel(L"/s /office auto", 1);
    const auto invalid = RunVintrel(L"/langen /office \"11.0\"", 1);

    ExpectOnlyBox(noAccess,
                  L"Es wurde kein installiertes Microsoft Access gefunden. Der Ordner wurde nicht "
                  L"eingetragen.",
                  BoxIcon::Error);
    ExpectOnlyBox(
        invalid,
        L"\"11.0\" is not a valid Office version (for example 16.0 or auto). The folder was "
        L"not added.",
        BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"));
}

TEST_F(ForScripts, OnceRegistersAFolderOnlyOnce) {
    RunVintrel(L"/s /once /path D:\\Orvantis");
    const auto again = RunVintrel(L"/langen /once /path d:\\ORVANTIS\\");

    EXPECT_EQ(PathAt(0), L"D:\\Orvantis\\");
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(1)));
    ExpectOnlyBox(again, SuccessEnglish(L"d:\\ORVANTIS\\"), BoxIcon::Information);
}

// Taking trust back: /remove finds this program's entry however the folder was spelled when it was
// added, leaves another program's entry of the same folder and the network setting alone, and a
// second run that finds nothing says so; both end with 0, as a logon script needs.
TEST_F(ForScripts, RemoveTakesBackOnlyItsOwnEntryAndSaysSoAgain) {
    RunVintrel(L"/s /network /path " + harness::Quoted(folder_ + L"\\"));
    const auto other = harness::CopyProgram(L"Vintrel.exe", folder_, L"Other.exe");
    EXPECT_EQ(harness::Run(other, L"/s").exitCode, 0u);

    const auto removed = RunVintrel(L"/remove");
    const auto again = RunVintrel(L"/remove /langen /network");

    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(0)));
    ExpectRegistered(1, folder_ + L"\\", true, L"Other");
    EXPECT_TRUE(NetworkAllowed(L"12.0"));
    ExpectOnlyBox(
        removed, L"\"" + folder_ + L"\\\" wurde aus den Vertrauenswürdigen Speicherorten entfernt.",
        BoxIcon::Information);
    ExpectOnlyBox(again, L"\"" + folder_ + L"\\\" was not a trusted location.",
                  BoxIcon::Information);
}

TEST_F(ForScripts, UsageBoxListsTheSwitchesAndWritesNothing) {
    const auto result = RunVintrel(L"/s /langen /path C: /?");

    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].icon, BoxIcon::Information);
    EXPECT_NE(result.boxes[0].text.find(L"\n/office VERSION: "), std::wstring::npos)
        << harness::Narrow(result.boxes[0].text);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"));
}

// Some installers quote every argument; the command line reaches the program as written.
TEST_F(ForScripts, EachArgumentQuotedStoresTheFolderWithoutQuotes) {
    auto process = harness::StartWithCommandLine(
        program_, L"\"" + program_ + L"\" \"/s\" /path \"D:\\My Data\"");
    const auto result = harness::AnswerBoxesUntilExit(process);

    EXPECT_EQ(result.exitCode, 0u);
    ExpectRegistered(0, L"D:\\My Data\\", true);
    ASSERT_EQ(result.boxes.size(), 1u) << "a quoted \"/s\" is no switch";
    ExpectBox(result.boxes[0], L"Vintrel", SuccessGerman(L"D:\\My Data\\"), BoxIcon::Information);
}

// The first registrar's error box comes after it has let go of the lock, so a second one (a logon
// script) finishes meanwhile and takes a slot of its own.
TEST_F(ForScripts, ASecondRegistrarFinishesWhileTheFirstShowsAnErrorBox) {
    SeedPath(0, REG_SZ, {});  // no NUL to cut at: the reader's error box
    auto first = harness::Start(program_, L"/path D:\\First");
    const auto errorBox = harness::WaitForMessageBox(first);
    ASSERT_TRUE(errorBox);
    EXPECT_EQ(errorBox->title, L"Fehler in \"fnc_Reg_String_Lesen\"");

    const auto second = harness::Run(program_, L"/s /path D:\\Second");
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_TRUE(second.boxes.empty());
    EXPECT_TRUE(first.Running());

    ASSERT_TRUE(harness::PressOk(errorBox->window));
    const auto rest = harness::AnswerBoxesUntilExit(first);
    EXPECT_EQ(rest.exitCode, 3u);
    ASSERT_EQ(rest.boxes.size(), 1u);
    EXPECT_EQ(rest.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(PathAt(0), L"D:\\First\\");
    EXPECT_EQ(PathAt(1), L"D:\\Second\\");
}

// Hardened sites let Access trust only locations set by policy: the entry is written (the policy
// may be lifted), and the warning says it has no effect for now.
TEST_F(ForScripts, APolicyThatIgnoresUserLocationsIsToldAlsoWhenSilent) {
    const std::wstring policy = kPolicies + L"\\16.0\\Common\\Security\\Trusted Locations";
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, policy, L"Allow User Locations", REG_DWORD,
                                    harness::DwordBytes(0)));

    const auto ignored = RunVintrel(L"/s /office 16.0", 4);
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, policy, L"Allow User Locations", REG_DWORD,
                                    harness::DwordBytes(1)));
    const auto allowed = RunVintrel(L"/office 16.0");

    ExpectOnlyBox(ignored,
                  L"\"" + folder_ +
                      L"\\\" wurde eingetragen, aber eine Richtlinie lässt für Access 16.0 nur von "
                      L"der Richtlinie gesetzte vertrauenswürdige Speicherorte gelten.",
                  BoxIcon::Warning);
    ExpectOnlyBox(allowed, SuccessGerman(folder_ + L"\\"), BoxIcon::Information);
    ExpectRegistered(0, folder_ + L"\\", true, L"Vintrel", L"16.0");
    ExpectRegistered(1, folder_ + L"\\", true, L"Vintrel", L"16.0");
}

// Logon scripts and Active Setup have nobody to click a box: with /quiet none appears, the run ends
// as it ends without, and the log (its name with an environment variable) holds every box's title
// and text on one line.
TEST_F(ForScripts, QuietShowsNoBoxEndsAsWithoutAndLogsEachBox) {
    struct BoxedRun {
        const char* name;
        std::wstring arguments;
        DWORD exitCode;
        std::function<void()> seed;
    };
    const BoxedRun runs[] = {{"refusal", L"/s /path C:", 1, [] {}},
                             {"all slots taken", L"/langen", 2, [this] { SeedOccupied(0, 1000); }},
                             {"helper's error box", L"", 3, [this] { SeedPath(0, REG_SZ, {}); }}};
    const std::wstring log = harness::EnvironmentValue(L"TEMP") + L"\\vintrel-quiet.log";
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        harness::RemoveTree(log);
        ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations));
        run.seed();
        const auto loud = RunVintrel(run.arguments, run.exitCode);
        ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations));
        run.seed();

        const auto quiet =
            RunVintrel(run.arguments + L" /quiet /log \"%TEMP%\\vintrel-quiet.log\"", run.exitCode);

        EXPECT_TRUE(quiet.boxes.empty());
        const auto bytes = harness::ReadFileBytes(log);
        ASSERT_TRUE(bytes);
        const std::string text(bytes->begin(), bytes->end());
        ASSERT_FALSE(loud.boxes.empty());
        for (const auto& box : loud.boxes) {
            std::wstring oneLine = box.text;
            for (auto at = oneLine.find(L"\r\n"); at != std::wstring::npos;
                 at = oneLine.find(L"\r\n", at))
                oneLine.replace(at, 2, L" ");
            std::replace(oneLine.begin(), oneLine.end(), L'\t', L' ');
            EXPECT_NE(text.find("\tbox\tnot shown (/quiet): " + harness::Narrow(box.title) + ": " +
                                harness::Narrow(oneLine) + "\r\n"),
                      std::string::npos)
                << text;
        }
        EXPECT_NE(text.find("\tend\texit code " + std::to_string(run.exitCode) + "\r\n"),
                  std::string::npos)
            << text;
    }
    harness::RemoveTree(log);
}

// The lock is the user's in every session: named in the global namespace after the user's SID,
// and owned by the user.
class UserLock : public ForScripts {
  protected:
    // Creates the lock's object, held by the test, with the given owner and access list (SDDL,
    // "%USER%" for the current user's SID).
    void HoldLockObject(std::wstring ownerAndAccess) {
        const std::wstring sid = CurrentUserSid();
        for (auto at = ownerAndAccess.find(L"%USER%"); at != std::wstring::npos;
             at = ownerAndAccess.find(L"%USER%"))
            ownerAndAccess.replace(at, 6, sid);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            ownerAndAccess.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
        lock_.reset(
            CreateMutexW(&attributes, TRUE, (L"Global\\Vintrel.TrustedLocations." + sid).c_str()));
        LocalFree(descriptor);
        ASSERT_TRUE(lock_);
        ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    }
    void TearDown() override {
        if (lock_)
            ReleaseMutex(lock_.get());
        lock_.reset();
        ForScripts::TearDown();
    }

    static std::wstring CurrentUserSid() {
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        std::vector<BYTE> user(256);
        DWORD size = 0;
        EXPECT_TRUE(GetTokenInformation(token, TokenUser, user.data(), 256, &size));
        CloseHandle(token);
        wchar_t* sid = nullptr;
        EXPECT_TRUE(
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
        const std::wstring text(sid);
        LocalFree(sid);
        return text;
    }

    owners::unique_handle lock_;
};

// Another registrar of this user holds the lock and does not let go.
TEST_F(UserLock, ARegistrarThatCannotHaveTheLockGivesUpAfterItsWait) {
    HoldLockObject(L"O:%USER%D:(A;;GA;;;%USER%)");

    auto waiting = harness::Start(program_, L"/s /langen");
    const auto result = harness::AnswerBoxesUntilExit(waiting, 60000);

    EXPECT_EQ(result.exitCode, 3u);
    ExpectOnlyBox(result, L"Another Vintrel run does not respond. The folder was not added.",
                  BoxIcon::Error);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, kTrustedLocations));
}

// Another user (a terminal server's) made an object of the lock's name first and holds it: it is
// no lock of this user's, so the registrar neither waits for it nor fails.
TEST_F(UserLock, AnObjectOfAnotherOwnerUnderItsNameIsPassedBy) {
    HoldLockObject(L"O:SYD:(A;;GA;;;WD)");

    const auto result = RunVintrel(L"/s");

    EXPECT_TRUE(result.boxes.empty());
    ExpectRegistered(0, folder_ + L"\\", true);
}

}  // namespace
}  // namespace vintrel
