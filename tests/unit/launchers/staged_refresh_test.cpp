// Renvale's refresh of the installed database from its staged copy: files before and after.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "LaunchDatabase.h"
#include "StagedRefresh.h"
#include "launchers/access_double.h"
#include "launchers/files_double.h"
#include "launchers/journal.h"

namespace {

using Files = std::map<std::wstring, std::string>;

const std::string kOld = "old database, 2 tables";
const std::string kNew = "new database, 3 tables and a report";

const std::wstring kApp = L"C:\\App";
const std::wstring kInstalled = L"C:\\App\\Orvantis.mde";
const std::wstring kStaged = L"C:\\App\\TEMP\\Orvantis.mde";

// The installed database and a staged copy, as an administrator leaves them.
const Files kBoth = {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}};

void PutBoth() {
    for (const auto& [path, content] : kBoth)
        doubles::PutFile(kApp + L"\\" + path, content);
}

struct RefreshRow {
    const char* name;
    Files before;  // below the application folder
    void (*arrange)();
    Files after;
    std::optional<std::string> opened;  // what Access then opens; nullopt: the open fails
};

void PrintTo(const RefreshRow& row, std::ostream* out) {
    *out << row.name;
}

void Nothing() {}

using doubles::Inject;

const RefreshRow kRefreshRows[] = {
    {"NoTempFolder", {{L"Orvantis.mde", kOld}}, Nothing, {{L"Orvantis.mde", kOld}}, kOld},
    {"EmptyTempFolder",
     {{L"Orvantis.mde", kOld}},
     [] { doubles::MakeFolder(L"C:\\App\\TEMP"); },
     {{L"Orvantis.mde", kOld}},
     kOld},
    {"StagedCopyReplacesInstalled", kBoth, Nothing, {{L"Orvantis.mde", kNew}}, kNew},
    {"StagedCopyWithoutInstalledDatabase",
     {{L"TEMP\\Orvantis.mde", kNew}},
     Nothing,
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"NoStagedCopyAndNoDatabase", {}, Nothing, {}, std::nullopt},
    {"InstalledHeldByAnotherProcess", kBoth, [] { doubles::HoldOpen(kInstalled); }, kBoth,
     std::nullopt},
    {"InstalledReadOnly", kBoth, [] { doubles::SetReadOnly(kInstalled); }, kBoth, kOld},
    {"CopyBreaksOffHalfWay", kBoth,
     [] { Inject(&doubles::FileFaults::copyBreaksOffAfter, kNew.size() / 2); }, kBoth, kOld},
    {"CopyBreaksOffWithoutInstalledDatabase",
     {{L"TEMP\\Orvantis.mde", kNew}},
     [] { Inject(&doubles::FileFaults::copyBreaksOffAfter, 1); },
     {{L"TEMP\\Orvantis.mde", kNew}},
     std::nullopt},
    {"FlushFails", kBoth, [] { Inject(&doubles::FileFaults::flushFails, true); }, kBoth, kOld},
    {"NoTemporaryFileCanBeMade", kBoth, [] { Inject(&doubles::FileFaults::createTempFails, true); },
     kBoth, kOld},
    // An administrator still writing it: not waited for.
    {"StagedCopyHeldByAnotherProcess", kBoth, [] { doubles::HoldOpen(kStaged); }, kBoth, kOld},
    {"OldPermissionsCannotBeKept", kBoth, [] { Inject(&doubles::FileFaults::takeOverFails, true); },
     kBoth, kOld},
    // Only names of the launcher's own pattern go, and only those no one holds open.
    {"LeftoversOfInterruptedRefreshesGo",
     {{L"Orvantis.mde", kOld},
      {L"TEMP\\Orvantis.mde", kNew},
      {L"orv1A2B.tmp", "half a copy"},
      {L"ORVF.TMP", "a quarter"},
      {L"orvBEEF.tmp", "being written"},
      {L"orv12345.tmp", "not ours"},
      {L"orvG.tmp", "not ours"},
      {L"orv.tmp", "not ours"},
      {L"orvantis.tmp", "not ours"},
      {L"TEMP\\orv1.tmp", "not in the folder"}},
     [] { doubles::HoldOpen(L"C:\\App\\orvBEEF.tmp"); },
     {{L"Orvantis.mde", kNew},
      {L"orvBEEF.tmp", "being written"},
      {L"orv12345.tmp", "not ours"},
      {L"orvG.tmp", "not ours"},
      {L"orv.tmp", "not ours"},
      {L"orvantis.tmp", "not ours"},
      {L"TEMP\\orv1.tmp", "not in the folder"}},
     kNew},
    // The launcher that holds the staged copy may be writing one of them.
    {"LeftoversStayWhileTheStagedCopyIsHeld",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}, {L"orv1A2B.tmp", "half a copy"}},
     [] { doubles::HoldOpen(kStaged); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}, {L"orv1A2B.tmp", "half a copy"}},
     kOld},
    // The next name is tried.
    {"TemporaryNameTaken",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}, {L"orv0.tmp", "held"}},
     [] { doubles::HoldOpen(L"C:\\App\\orv0.tmp"); },
     {{L"Orvantis.mde", kNew}, {L"orv0.tmp", "held"}},
     kNew},
    // Only what the launcher can also delete is installed: else every later start would install
    // it again over what the users entered since.
    {"ReadOnlyStagedCopy",
     kBoth,
     [] { doubles::SetReadOnly(kStaged); },
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"ReadOnlyStagedCopyWhoseAttributesMayNotBeWritten", kBoth,
     [] {
         doubles::SetReadOnly(kStaged);
         doubles::DenyAttributeWrites(kStaged);
     },
     kBoth, kOld},
    {"StagedCopyThatMayNotBeDeleted", kBoth, [] { doubles::DenyDelete(kStaged); }, kBoth, kOld},
    // A copy that failed, never a database.
    {"EmptyStagedCopy",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", ""}},
     Nothing,
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", ""}},
     kOld},
    {"EmptyStagedCopyWithoutInstalledDatabase",
     {{L"TEMP\\Orvantis.mde", ""}},
     Nothing,
     {{L"TEMP\\Orvantis.mde", ""}},
     std::nullopt},
    // A group that may only read the database, while it may create files in the folder.
    {"InstalledMayNotBeDeleted", kBoth, [] { doubles::DenyDelete(kInstalled); }, kBoth, kOld},
    // Renamed and, on failure, deleted through its own handle, whatever permissions it got.
    {"NewFilesPermissionsDenyDelete",
     kBoth,
     [] { Inject(&doubles::FileFaults::permissionsDenyDelete, true); },
     {{L"Orvantis.mde", kNew}},
     kNew},
    // Some network storage keeps no permissions: the new file is installed without them.
    {"VolumeKeepsNoPermissions",
     kBoth,
     [] { Inject(&doubles::FileFaults::volumeKeepsNoPermissions, true); },
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"LowerCaseTempFolder",
     {{L"Orvantis.mde", kOld}, {L"temp\\Orvantis.mde", kNew}},
     Nothing,
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"MixedCaseNames",
     {{L"orvantis.MDE", kOld}, {L"Temp\\ORVANTIS.mde", kNew}},
     Nothing,
     {{L"orvantis.MDE", kNew}},
     kNew},
    {"OtherFilesInTempStay",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}, {L"TEMP\\readme.txt", "notes"}},
     Nothing,
     {{L"Orvantis.mde", kNew}, {L"TEMP\\readme.txt", "notes"}},
     kNew},
};

class Refresh : public testing::TestWithParam<RefreshRow> {
  protected:
    void SetUp() override {
        for (const auto& [path, content] : GetParam().before)
            doubles::PutFile(kApp + L"\\" + path, content);
        GetParam().arrange();
    }
};

TEST_P(Refresh, FilesAfterRenvaleStarted) {
    const std::optional<std::string> installedBefore = doubles::FileContent(kInstalled);
    const std::optional<std::string> staged = doubles::FileContent(kStaged);
    std::vector<std::optional<std::string>> installedSeen;
    doubles::AfterEveryFileOperation(
        [&] { installedSeen.push_back(doubles::FileContent(kInstalled)); });

    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp), GetParam().after);
    EXPECT_EQ(doubles::OpenedDatabaseContent(), GetParam().opened);
    // Between any two steps the installed database is the old file or the complete new one.
    for (const auto& seen : installedSeen) {
        EXPECT_TRUE(seen == installedBefore || seen == staged)
            << "installed database held \"" << seen.value_or("<none>") << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, Refresh, testing::ValuesIn(kRefreshRows),
                         [](const auto& info) { return std::string(info.param.name); });

class RefreshSteps : public testing::Test {};

TEST_F(RefreshSteps, OrdinaryStartOnlyLooksForTheStagedCopy) {
    doubles::PutFile(kInstalled, kOld);
    launchers::RefreshStagedDatabase(kApp);
    EXPECT_EQ(doubles::Journal(), (std::vector<doubles::Call>{{L"FileExists", L"", {kStaged}}}));
}

// The staged copy is held from before the copy until it is deleted through that same handle.
TEST_F(RefreshSteps, StagedCopyIsHeldThroughoutAndDeletedOnlyOnceInstalled) {
    PutBoth();
    std::vector<bool> stagedHeld;
    doubles::AfterEveryFileOperation([&] { stagedHeld.push_back(doubles::IsHeldOpen(kStaged)); });
    launchers::RefreshStagedDatabase(kApp);

    const auto& journal = doubles::Journal();
    const int open = doubles::PositionOf(L"OpenToInstall");
    const int install = doubles::PositionOf(L"RenameOpenFile");
    const int stagedDelete = doubles::PositionOf(L"DeleteWhenClosed");
    ASSERT_GE(open, 0);
    EXPECT_EQ(journal[open].arguments, (std::vector<platform::AutomationValue>{kStaged}));
    ASSERT_GT(install, open);
    ASSERT_GT(stagedDelete, install);
    for (int at = open; at < static_cast<int>(stagedHeld.size()); ++at)
        EXPECT_TRUE(stagedHeld[at]) << "released at step " << at;
    EXPECT_EQ(doubles::FileContent(kStaged), std::nullopt);
}

// Another launcher installs the staged copy: this one waits, letting the splash answer, and opens
// the new database; it neither installs nor deletes anything itself.
TEST_F(RefreshSteps, AnotherLauncherInstallingIsWaitedForAndTheNewDatabaseOpened) {
    PutBoth();
    doubles::HoldForInstall(kStaged);
    int pauses = 0;
    doubles::AfterEveryFileOperation([&] {
        if (doubles::Journal().back().operation == L"Pause" && ++pauses == 3) {
            doubles::PutFile(kInstalled, kNew);
            doubles::DeleteFile(kStaged);
            doubles::Release(kStaged);
        }
    });
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::OpenedDatabaseContent(), kNew);
    EXPECT_EQ(pauses, 3);
    EXPECT_THAT(
        doubles::CallsOf({L"CreateNewFile", L"RenameOpenFile", L"RemoveFile", L"DeleteWhenClosed"}),
        testing::IsEmpty());
}

// What holds the staged copy is no launcher at its copy (a virus scanner, a backup): no
// temporary file grows, and the launcher goes on after half a minute.
TEST_F(RefreshSteps, AHolderWithoutAGrowingCopyIsWaitedForHalfAMinute) {
    PutBoth();
    doubles::PutFile(L"C:\\App\\orv1.tmp", "a leftover that no longer grows");
    doubles::HoldForInstall(kStaged);
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::OpenedDatabaseContent(), kOld);
    EXPECT_GE(doubles::ClockNow(), 30000u);
    EXPECT_LT(doubles::ClockNow(), 31000u);
}

// Another launcher's temporary file grows by a piece every second until it installs (after
// installMs) or stops growing (after stallMs): how long this launcher waits, and what it opens.
struct GrowingCopy {
    std::uint64_t stallMs;
    std::uint64_t installMs;
};

void InstallSlowlyByAnotherLauncher(const GrowingCopy& copy) {
    PutBoth();
    doubles::HoldForInstall(kStaged);
    const std::wstring temp = L"C:\\App\\orvA1.tmp";
    std::string copied = "piece";
    doubles::PutFile(temp, copied);
    doubles::AfterEveryFileOperation([&] {
        const std::uint64_t now = doubles::ClockNow();
        if (doubles::Journal().back().operation != L"Pause" || now % 1000 != 0)
            return;
        if (now >= copy.installMs) {
            doubles::PutFile(kInstalled, kNew);
            doubles::DeleteFile(temp);
            doubles::DeleteFile(kStaged);
            doubles::Release(kStaged);
        } else if (now < copy.stallMs) {
            copied += "piece";
            doubles::PutFile(temp, copied);
        }
    });
    Renvale::LaunchDatabase();
}

TEST_F(RefreshSteps, AnotherLauncherIsWaitedForWhileItsCopyGrowsBeyondTwoMinutes) {
    InstallSlowlyByAnotherLauncher({.stallMs = 1000000, .installMs = 150000});

    EXPECT_EQ(doubles::OpenedDatabaseContent(), kNew);
    // Each look at the database could be in the way of that launcher's rename onto it.
    EXPECT_THAT(doubles::CallsOf({L"CheckReplaceable", L"CreateNewFile", L"RenameOpenFile",
                                  L"DeleteWhenClosed"}),
                testing::IsEmpty());
}

TEST_F(RefreshSteps, AnotherLauncherWhoseCopyStallsIsWaitedForHalfAMinuteAfterItsLastGrowth) {
    InstallSlowlyByAnotherLauncher({.stallMs = 10000, .installMs = 1000000});

    EXPECT_EQ(doubles::OpenedDatabaseContent(), kOld);
    EXPECT_GE(doubles::ClockNow(), 39000u);
    EXPECT_LT(doubles::ClockNow(), 41000u);
}

TEST_F(RefreshSteps, NoOneWaitsForAnInstallThatCannotReplaceTheDatabase) {
    PutBoth();
    doubles::HoldForInstall(kStaged);
    doubles::HoldOpen(kInstalled);
    Renvale::LaunchDatabase();

    EXPECT_THAT(doubles::CallsOf({L"Pause"}), testing::IsEmpty());
}

// Held open, read-only, or not to be deleted by this user: no temporary file is made in vain.
TEST_F(RefreshSteps, NoCopyIsMadeOfADatabaseThatCannotBeReplaced) {
    for (void (*keep)(const std::wstring&) :
         {doubles::HoldOpen, doubles::SetReadOnly, doubles::DenyDelete}) {
        doubles::ResetWorld();
        PutBoth();
        keep(kInstalled);
        launchers::RefreshStagedDatabase(kApp);

        EXPECT_GE(doubles::PositionOf(L"CheckReplaceable"), 0);
        EXPECT_THAT(doubles::CallsOf({L"CreateNewFile", L"CopyContent"}), testing::IsEmpty());
    }
}

// Users work in the new database; the next start finds no staged copy to install over it.
TEST_F(RefreshSteps, AStartAfterAnInstallNeverInstallsTheSameStagedCopyAgain) {
    PutBoth();
    doubles::SetReadOnly(kStaged);
    Renvale::LaunchDatabase();
    const std::string edited = kNew + ", and the users' entries";
    doubles::PutFile(kInstalled, edited);
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp), (Files{{L"Orvantis.mde", edited}}));
}

// Access opens the database during the copy, and the new file's permissions deny this user
// delete: the temporary file goes all the same, through its own handle.
TEST_F(RefreshSteps, ATemporaryFileThatItsPermissionsKeepFromBeingDeletedStillGoes) {
    PutBoth();
    Inject(&doubles::FileFaults::permissionsDenyDelete, true);
    doubles::AfterEveryFileOperation([] {
        if (doubles::Journal().back().operation == L"CopyContent")
            doubles::HoldOpen(kInstalled);
    });
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_EQ(doubles::FilesBelow(kApp), kBoth);
}

TEST_F(RefreshSteps, AStagedCopyStillBeingWrittenIsNotWaitedFor) {
    PutBoth();
    doubles::HoldOpen(kStaged);
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::OpenedDatabaseContent(), kOld);
    EXPECT_THAT(doubles::CallsOf({L"Pause"}), testing::IsEmpty());
}

TEST_F(RefreshSteps, LeftoversGoAfterTheStagedCopyIsHeldAndBeforeTheCopy) {
    PutBoth();
    doubles::PutFile(L"C:\\App\\orv77.tmp", "half a copy");
    launchers::RefreshStagedDatabase(kApp);

    const int open = doubles::PositionOf(L"OpenToInstall");
    const int leftover = doubles::PositionOf(L"RemoveFile");
    ASSERT_GE(leftover, 0);
    EXPECT_EQ(doubles::Journal()[leftover].arguments,
              (std::vector<platform::AutomationValue>{std::wstring(L"C:\\App\\orv77.tmp")}));
    EXPECT_GT(leftover, open);
    EXPECT_LT(leftover, doubles::PositionOf(L"CopyContent"));
}

// As ReplaceFileW would: the old file's permissions, attributes and creation time go onto the new
// file before it takes the old one's name.
TEST_F(RefreshSteps, OldDatabasesPropertiesGoOntoTheNewFileBeforeItIsInstalled) {
    PutBoth();
    launchers::RefreshStagedDatabase(kApp);

    const auto takeOvers = doubles::CallsOf({L"TakeOverPermissions", L"TakeOverAttributes"});
    ASSERT_EQ(takeOvers.size(), 2u);
    EXPECT_EQ(takeOvers[0].arguments[0], platform::AutomationValue(kInstalled));
    EXPECT_EQ(takeOvers[1].arguments[0], platform::AutomationValue(kInstalled));
    const auto created = doubles::CallsOf({L"CreateNewFile"});
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments[0],
              platform::AutomationValue(std::wstring(L"C:\\App\\orv0.tmp")))
        << "the temporary file of the first free name";
    const auto installs = doubles::CallsOf({L"RenameOpenFile"});
    ASSERT_EQ(installs.size(), 1u);
    EXPECT_EQ(installs[0].arguments[1], platform::AutomationValue(kInstalled));
    EXPECT_LT(doubles::PositionOf(L"TakeOverAttributes"), doubles::PositionOf(L"RenameOpenFile"));
}

// Backups that go by the archive attribute must see the new content; an old database that was
// moved to slow storage (offline) does not make the new one look so.
TEST_F(RefreshSteps, TheNewDatabaseKeepsTheOldOnesAttributesWithArchiveAndWithoutOffline) {
    using namespace platform;
    const std::uint32_t kept = kAttributeHidden | kAttributeSystem | kAttributeNotContentIndexed;
    for (const auto& [old, installed] :
         {std::pair{kAttributeHidden, kAttributeHidden | kAttributeArchive},
          std::pair{kept | kAttributeArchive, kept | kAttributeArchive},
          std::pair{kAttributeOffline | kAttributeArchive, kAttributeArchive},
          std::pair{0u, kAttributeArchive}}) {
        doubles::ResetWorld();
        PutBoth();
        doubles::SetAttributes(kInstalled, old);
        launchers::RefreshStagedDatabase(kApp);

        EXPECT_EQ(doubles::FileContent(kInstalled), kNew);
        EXPECT_EQ(doubles::Attributes(kInstalled), installed) << "old attributes " << old;
    }
}

TEST_F(RefreshSteps, WithoutAnInstalledDatabaseThereAreNoPropertiesToKeep) {
    doubles::PutFile(kStaged, kNew);
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_EQ(doubles::FileContent(kInstalled), kNew);
    EXPECT_THAT(doubles::CallsOf({L"TakeOverPermissions", L"TakeOverAttributes"}),
                testing::IsEmpty());
}

// A copy of five pieces with the clock moving 200 ms a reading: the bar shows from the piece that
// ends half a second after the copy began.
TEST_F(RefreshSteps, LongCopyShowsItsProgressAfterHalfASecond) {
    ASSERT_EQ(kNew.size(), 35u);
    doubles::PutFile(kStaged, kNew);
    doubles::RunClock(200);
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_THAT(doubles::ProgressShown(),
                testing::ElementsAre(testing::DoubleEq(24.0 / 35), testing::DoubleEq(32.0 / 35),
                                     testing::DoubleEq(1.0)));
}

TEST_F(RefreshSteps, ShortCopyLeavesTheSplashAsItIs) {
    doubles::PutFile(kStaged, kNew);
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_EQ(doubles::FileContent(kInstalled), kNew);
    EXPECT_THAT(doubles::ProgressShown(), testing::IsEmpty());
}

TEST_F(RefreshSteps, DatabaseInstalledFromReadOnlyStagedCopyIsWritable) {
    PutBoth();
    doubles::SetReadOnly(kStaged);
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_EQ(doubles::FileContent(kInstalled), kNew);
    EXPECT_FALSE(doubles::IsReadOnly(kInstalled));
}

TEST_F(RefreshSteps, TessalyNeverTouchesTheStagedCopy) {
    PutBoth();
    Module1::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp), kBoth);
    EXPECT_EQ(doubles::OpenedDatabaseContent(), kOld);
    EXPECT_THAT(
        doubles::CallsOf({L"FileExists", L"OpenToInstall", L"FileNamesIn", L"CreateNewFile",
                          L"CopyContent", L"RenameOpenFile", L"RemoveFile", L"DeleteWhenClosed"}),
        testing::IsEmpty());
}

TEST_F(RefreshSteps, AccessMissingStillInstallsTheStagedCopy) {
    PutBoth();
    doubles::AccessBehaviour noAccess;
    noAccess.registered = false;
    doubles::ResetAccess(noAccess);
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp), (Files{{L"Orvantis.mde", kNew}}));
}

}  // namespace
