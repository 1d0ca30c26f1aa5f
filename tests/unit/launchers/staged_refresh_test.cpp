// Renvale's refresh of the installed database from its staged copy: files before and after.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
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

template <typename Field, typename Value>
void Inject(Field doubles::FileFaults::*field, Value value) {
    doubles::FileFaults faults;
    faults.*field = value;
    doubles::InjectFileFaults(faults);
}

const RefreshRow kRefreshRows[] = {
    {"NoTempFolder", {{L"Orvantis.mde", kOld}}, Nothing, {{L"Orvantis.mde", kOld}}, kOld},
    {"EmptyTempFolder",
     {{L"Orvantis.mde", kOld}},
     [] { doubles::MakeFolder(L"C:\\App\\TEMP"); },
     {{L"Orvantis.mde", kOld}},
     kOld},
    {"StagedCopyReplacesInstalled",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     Nothing,
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"StagedCopyWithoutInstalledDatabase",
     {{L"TEMP\\Orvantis.mde", kNew}},
     Nothing,
     {{L"Orvantis.mde", kNew}},
     kNew},
    {"NoStagedCopyAndNoDatabase", {}, Nothing, {}, std::nullopt},
    {"InstalledHeldByAnotherProcess",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { doubles::HoldOpen(kInstalled); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     std::nullopt},
    {"InstalledReadOnly",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { doubles::SetReadOnly(kInstalled); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     kOld},
    {"CopyBreaksOffHalfWay",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { Inject(&doubles::FileFaults::copyBreaksOffAfter, kNew.size() / 2); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     kOld},
    {"CopyBreaksOffWithoutInstalledDatabase",
     {{L"TEMP\\Orvantis.mde", kNew}},
     [] { Inject(&doubles::FileFaults::copyBreaksOffAfter, 1); },
     {{L"TEMP\\Orvantis.mde", kNew}},
     std::nullopt},
    {"FlushFails",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { Inject(&doubles::FileFaults::flushFails, true); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     kOld},
    {"NoTemporaryFileCanBeMade",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { Inject(&doubles::FileFaults::createTempFails, true); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     kOld},
    {"StagedCopyHeldByAnotherProcess",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { doubles::HoldOpen(kStaged); },
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     kOld},
    // Installed all the same; the delete fails, so the copy stays and is installed again later.
    {"ReadOnlyStagedCopy",
     {{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}},
     [] { doubles::SetReadOnly(kStaged); },
     {{L"Orvantis.mde", kNew}, {L"TEMP\\Orvantis.mde", kNew}},
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
        doubles::ResetFiles(kApp);
        doubles::ResetAccess();
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

class RefreshSteps : public testing::Test {
  protected:
    void SetUp() override {
        doubles::ResetFiles(kApp);
        doubles::ResetAccess();
    }
};

TEST_F(RefreshSteps, OrdinaryStartOnlyLooksForTheStagedCopy) {
    doubles::PutFile(kInstalled, kOld);
    launchers::RefreshStagedDatabase(kApp);
    EXPECT_EQ(doubles::Journal(), (std::vector<doubles::Call>{{L"FileExists", L"", {kStaged}}}));
}

TEST_F(RefreshSteps, CopySourceIsSpelledTempInCapitalsAndDeleteTargetInSmallLetters) {
    doubles::PutFile(kInstalled, kOld);
    doubles::PutFile(kStaged, kNew);
    launchers::RefreshStagedDatabase(kApp);

    const auto copies = doubles::CallsOf({L"CopyFileOver"});
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].arguments[0], platform::AutomationValue(kStaged));
    EXPECT_THAT(doubles::CallsOf({L"RemoveFile"}),
                testing::ElementsAre(doubles::Call{
                    L"RemoveFile", L"", {std::wstring(L"C:\\App\\temp\\Orvantis.mde")}}));
}

TEST_F(RefreshSteps, StagedCopyIsDeletedOnlyAfterItWasInstalled) {
    doubles::PutFile(kInstalled, kOld);
    doubles::PutFile(kStaged, kNew);
    launchers::RefreshStagedDatabase(kApp);

    const int install = doubles::PositionOf(L"ReplaceFileInOneStep");
    ASSERT_GE(install, 0);
    const auto& journal = doubles::Journal();
    const auto stagedDelete = std::find(
        journal.begin(), journal.end(),
        doubles::Call{L"RemoveFile", L"", {std::wstring(L"C:\\App\\temp\\Orvantis.mde")}});
    ASSERT_NE(stagedDelete, journal.end());
    EXPECT_GT(stagedDelete - journal.begin(), install);
}

TEST_F(RefreshSteps, DatabaseInstalledFromReadOnlyStagedCopyIsWritable) {
    doubles::PutFile(kInstalled, kOld);
    doubles::PutFile(kStaged, kNew);
    doubles::SetReadOnly(kStaged);
    launchers::RefreshStagedDatabase(kApp);

    EXPECT_EQ(doubles::FileContent(kInstalled), kNew);
    EXPECT_FALSE(doubles::IsReadOnly(kInstalled));
    EXPECT_TRUE(doubles::IsReadOnly(kStaged));
}

TEST_F(RefreshSteps, TessalyNeverTouchesTheStagedCopy) {
    doubles::PutFile(kInstalled, kOld);
    doubles::PutFile(kStaged, kNew);
    Module1::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp),
              (Files{{L"Orvantis.mde", kOld}, {L"TEMP\\Orvantis.mde", kNew}}));
    EXPECT_EQ(doubles::OpenedDatabaseContent(), kOld);
    EXPECT_THAT(doubles::CallsOf({L"FileExists", L"CopyFileOver", L"CreateTempFileIn",
                                  L"ReplaceFileInOneStep", L"MoveFileWriteThrough", L"RemoveFile"}),
                testing::IsEmpty());
}

TEST_F(RefreshSteps, AccessMissingStillInstallsTheStagedCopy) {
    doubles::PutFile(kInstalled, kOld);
    doubles::PutFile(kStaged, kNew);
    doubles::AccessBehaviour noAccess;
    noAccess.registered = false;
    doubles::ResetAccess(noAccess);
    Renvale::LaunchDatabase();

    EXPECT_EQ(doubles::FilesBelow(kApp), (Files{{L"Orvantis.mde", kNew}}));
}

}  // namespace
