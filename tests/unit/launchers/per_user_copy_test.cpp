// Renvale /from MASTER: each user's own copy, pulled from the master when it changed. Files before
// and after a start, what Access opened, and what the log and the one box said.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "EventLog.h"
#include "LaunchDatabase.h"
#include "PerUserCopy.h"
#include "common/log_double.h"
#include "launchers/access_double.h"
#include "launchers/files_double.h"
#include "launchers/journal.h"
#include "launchers/process_double.h"

namespace {

using Files = std::map<std::wstring, std::string>;
using doubles::Log;

const std::wstring kMaster = L"S:\\Orvantis";
const std::wstring kLocal = L"C:\\Users\\anna\\AppData\\Local\\Orvantis";
const std::wstring kMasterFile = kMaster + L"\\Orvantis.mde";
const std::wstring kLocalFile = kLocal + L"\\Orvantis.mde";
const std::wstring kLog = L"C:\\Logs\\orvantis.log";

// Releases of the same size, told apart by their content and their time.
const std::string kRelease1 = "release 1 of the database";
const std::string kRelease2 = "release 2 of the database";
const std::string kEdited = "release 1, with the user's entries";
// The shared database, where a name without a folder would lead.
const std::string kShared = "the shared database of everyone";

const doubles::ShownBox* OnlyBox() {
    const auto& boxes = doubles::Process().boxes;
    return boxes.size() == 1 ? &boxes[0] : nullptr;
}

// Renvale started with /from S:\Orvantis /to <the user's folder>, logging.
bool StartPerUser(const std::wstring& master = kMaster, const std::wstring& local = kLocal) {
    eventlog::Open(kLog);
    std::int32_t hWndAccess = 0;
    return launchers::LaunchAccessDatabase(L"11.0", launchers::SecurityWhen::VersionEquals, true,
                                           hWndAccess, launchers::PerUserFolders{master, local});
}

// The master as the administrator published it at a time.
void Publish(const std::string& content, std::uint64_t time) {
    doubles::PutFile(kMasterFile, content);
    doubles::SetLastWrite(kMasterFile, time);
}

// The same, and one earlier start that pulled it.
void PublishAndPull(const std::string& content, std::uint64_t time) {
    Publish(content, time);
    StartPerUser();
    doubles::ResetAccess();
    Log().files.clear();
}

struct PullRow {
    const char* name;
    void (*arrange)();
    Files localAfter;                   // below the user's folder, the record left out
    std::optional<std::string> opened;  // what Access opened; nullopt: nothing
    std::string pullLogged;
    bool accessStarted;
    // The folders as the pull is given them, where not the master's and the user's.
    const wchar_t* from = nullptr;
    const wchar_t* to = nullptr;
};

void PrintTo(const PullRow& row, std::ostream* out) {
    *out << row.name;
}

using doubles::Inject;

const PullRow kPullRows[] = {
    {"FirstStartCopies",
     [] { Publish(kRelease1, 100); },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "copied 25 bytes in 0 ms",
     true},
    // Access wrote into the local copy since: its own changes never cause a copy.
    {"LocalCopyChangedByAccessIsKept",
     [] {
         PublishAndPull(kRelease1, 100);
         doubles::PutFile(kLocalFile, kEdited);
     },
     {{L"Orvantis.mde", kEdited}},
     kEdited,
     "unchanged",
     true},
    {"FirstCopyRunsOutOfSpace",
     [] {
         Publish(kRelease1, 100);
         Inject(&doubles::FileFaults::copyBreaksOffAfter, 10);
     },
     {},
     std::nullopt,
     "failed: error 112 (There is not enough space on the disk.); no local copy",
     false},
    {"EmptyMaster",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish("", 200);
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "skipped: the master copy is empty; local copy used",
     true},
    // A record cut short, changed by hand or deleted is no record: the master is copied again.
    {"RecordCutShort",
     [] {
         PublishAndPull(kRelease1, 100);
         doubles::PutFile(kLocalFile, kEdited);
         doubles::PutFile(kLocal + L"\\Orvantis.pull", "size 25 lastwr");
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "copied 25 bytes in 0 ms",
     true},
    {"LeftoversOfAnInterruptedPullGo",
     [] {
         Publish(kRelease1, 100);
         doubles::PutFile(kLocal + L"\\orv1A2B.tmp", "half a copy");
         doubles::PutFile(kLocal + L"\\notes.txt", "the user's");
     },
     {{L"Orvantis.mde", kRelease1}, {L"notes.txt", "the user's"}},
     kRelease1,
     "copied 25 bytes in 0 ms",
     true},
    // Another start (of this user or on another computer) pulls into the folder meanwhile: this
    // one waits, then finds the copy current.
    {"AnotherStartPullsIntoTheFolderFirst",
     [] {
         PublishAndPull(kRelease1, 100);
         doubles::HoldOpenFor(kLocal + L"\\Orvantis.lock", 3);
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "unchanged",
     true},
    {"AnotherStartNeverLetsGoOfTheFolder",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         doubles::HoldOpenFor(kLocal + L"\\Orvantis.lock", INT_MAX);
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "skipped: waited 30000 ms for another launcher; local copy used",
     true},
    // A scanner holds the record of release 1: a copy of release 2 beside it could later pass for
    // release 1.
    {"RecordThatCannotBeRemoved",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         doubles::HoldOpen(kLocal + L"\\Orvantis.pull");
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "skipped: the record of the last pull stays: error 32; local copy used",
     true},
    // A /from whose value swallowed the next switches, or none at all, is never a path: the
    // user's copy, or nothing, and never a database where the name would lead.
    {"MasterThatIsNoPath",
     [] { PublishAndPull(kRelease1, 100); },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "unreachable: no path: \"S:\\Orvantis\" /log x\\Orvantis.mde\"; local copy used",
     true,
     L"S:\\Orvantis\" /log x"},
    {"NoMasterGiven",
     [] { doubles::PutFile(L"\\Orvantis.mde", kShared); },
     {},
     std::nullopt,
     "unreachable: no path: \"\"; no local copy",
     false,
     L""},
    {"NoLocalFolder",
     [] {
         Publish(kRelease1, 100);
         doubles::PutFile(L"\\Orvantis.mde", kShared);
     },
     {},
     std::nullopt,
     "failed: no local folder: none given, and Windows names none; no local copy",
     false,
     nullptr,
     L""},
    // A master on a hung server: 15 s without progress, and the user works on the copy they have.
    // The pull left behind, once the server answers, never puts its copy in place.
    {"MasterOpenNeverAnswers",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         Inject(&doubles::FileFaults::neverReturns, L"OpenToPull");
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "gave up: no progress for 15000 ms; local copy used",
     true},
    {"MasterNeverAnswersTheFirstStart",
     [] {
         Publish(kRelease1, 100);
         Inject(&doubles::FileFaults::neverReturns, L"OpenToPull");
     },
     {},
     std::nullopt,
     "gave up: no progress for 15000 ms; no local copy",
     false},
    {"CopyStopsHalfWay",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         Inject(&doubles::FileFaults::copyStallsAfter, 16);
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "gave up: no progress for 15000 ms; local copy used",
     true},
    // Copied in full, the last step before the rename stalls: answered later, it renames nothing.
    {"StallJustBeforeTheRename",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         Inject(&doubles::FileFaults::neverReturns, L"TakeOverAttributes");
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "gave up: no progress for 15000 ms; local copy used",
     true},
    // Slow is not stalled: each piece of the copy resets the deadline.
    {"SlowMasterIsWaitedFor",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         Inject(&doubles::FileFaults::copyPieceMs, 14000);
     },
     {{L"Orvantis.mde", kRelease2}},
     kRelease2,
     "copied 25 bytes in 56000 ms",
     true},
    {"PieceSlowerThanTheDeadline",
     [] {
         PublishAndPull(kRelease1, 100);
         Publish(kRelease2, 200);
         Inject(&doubles::FileFaults::copyPieceMs, 16000);
     },
     {{L"Orvantis.mde", kRelease1}},
     kRelease1,
     "gave up: no progress for 15000 ms; local copy used",
     true},
};

class PerUserStart : public testing::TestWithParam<PullRow> {
  protected:
    void SetUp() override {
        Log().errorMessages[112] = L"There is not enough space on the disk.";
        Log().errorMessages[258] = L"The wait operation timed out.";
    }
};

TEST_P(PerUserStart, LeavesTheFilesAndTheLogAsTheRowSays) {
    const PullRow& row = GetParam();
    row.arrange();
    const std::optional<std::string> masterBefore = doubles::FileContent(kMasterFile);
    std::vector<std::optional<std::string>> localSeen;
    doubles::AfterEveryFileOperation(
        [&] { localSeen.push_back(doubles::FileContent(kLocalFile)); });
    const std::optional<std::string> localBefore = doubles::FileContent(kLocalFile);

    const bool opened = StartPerUser(row.from ? row.from : kMaster, row.to ? row.to : kLocal);

    Files localAfter = doubles::FilesBelow(kLocal);
    localAfter.erase(L"Orvantis.pull");
    EXPECT_EQ(localAfter, row.localAfter);
    EXPECT_EQ(doubles::FileContent(kMasterFile), masterBefore);
    EXPECT_EQ(doubles::OpenedDatabaseContent(), row.opened);
    EXPECT_EQ(opened, row.opened.has_value());
    EXPECT_THAT(doubles::LoggedDetails(kLog, "pull"), testing::ElementsAre(row.pullLogged));
    // A start with nothing to open shows one box and never starts Access.
    EXPECT_EQ(doubles::PositionOf(L"CreateObject") >= 0, row.accessStarted);
    EXPECT_EQ(doubles::Process().boxes.size(), row.accessStarted ? 0u : 1u);
    // The local copy is at every moment the old file or the complete new one.
    for (const auto& seen : localSeen) {
        EXPECT_TRUE(seen == localBefore || seen == doubles::FileContent(kLocalFile))
            << "local copy held \"" << seen.value_or("<none>") << '"';
    }
    // Access is asked to open the local copy, never the master.
    for (const doubles::Call& call : doubles::CallsOf({L"Call"}))
        EXPECT_EQ(call.arguments, (std::vector<platform::AutomationValue>{kLocalFile}));
}

INSTANTIATE_TEST_SUITE_P(Situations, PerUserStart, testing::ValuesIn(kPullRows),
                         [](const auto& info) { return std::string(info.param.name); });

class PerUserSteps : public testing::Test {};

TEST_F(PerUserSteps, NothingToOpenShowsOneErrorBoxNamingTheMasterAndWhy) {
    struct BoxRow {
        std::wstring from, to, text;
    };
    const BoxRow rows[] = {
        {kMaster, kLocal,
         L"The database could not be copied from \"S:\\Orvantis\\Orvantis.mde\"."
         L"\r\nThe system cannot find the path specified."},
        {L"S:\\Orvantis\" /log x", kLocal,
         L"The database could not be copied from \"S:\\Orvantis\" /log x\\Orvantis.mde\"."
         L"\r\nThe filename, directory name, or volume label syntax is incorrect."},
        {L"", kLocal,
         L"The database could not be copied from \"\".\r\nThe filename, directory name, or "
         L"volume label syntax is incorrect."},
        {kMaster, L"",
         L"The database could not be copied from \"S:\\Orvantis\\Orvantis.mde\"."
         L"\r\nThe system cannot find the path specified."},
    };
    Log().errorMessages[3] = L"The system cannot find the path specified.";
    Log().errorMessages[123] =
        L"The filename, directory name, or volume label syntax is incorrect.";
    for (const BoxRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.from) + " to " + testing::PrintToString(row.to));
        doubles::Process().boxes.clear();
        EXPECT_FALSE(StartPerUser(row.from, row.to));

        const doubles::ShownBox* box = OnlyBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text, row.text);
        EXPECT_EQ(box->style, platform::kMbIconError);
        EXPECT_EQ(box->title, L"Renvale");
        // No start waits for a box nobody may be there to close.
        EXPECT_EQ(box->locksHeld, 0);
    }
    EXPECT_EQ(doubles::LockFilesHeld(), 0);
}

TEST_F(PerUserSteps, TheBoxSpeaksGermanWhereWindowsDoes) {
    struct LanguageRow {
        std::uint16_t language;
        bool german;
    };
    const LanguageRow rows[] = {
        {0x0407, true},   // Germany
        {0x0C07, true},   // Austria
        {0x0409, false},  // United States
        {0x040C, false},  // France
    };
    launchers::PullOutcome outcome;
    outcome.masterFile = L"\\\\srv\\Orvantis\\Orvantis.mde";
    outcome.error = 5;
    for (const LanguageRow& row : rows) {
        EXPECT_EQ(launchers::NoLocalCopyText(outcome, row.language),
                  row.german ? L"Die Datenbank konnte nicht von "
                               L"\"\\\\srv\\Orvantis\\Orvantis.mde\" kopiert werden.\r\n"
                               L"Access is denied."
                             : L"The database could not be copied from "
                               L"\"\\\\srv\\Orvantis\\Orvantis.mde\".\r\nAccess is denied.")
            << std::hex << row.language;
    }
    // Without a text of Windows' own, the code.
    outcome.error = 1234;
    EXPECT_EQ(launchers::NoLocalCopyText(outcome, 0x0409),
              L"The database could not be copied from \"\\\\srv\\Orvantis\\Orvantis.mde\".\r\n"
              L"Error 1234");
}

// The record goes before a copy begins and comes back only once the copy is in place: a start
// that ends in between finds no record and copies again, never a stale copy taken for current.
// The folder's lock is held from before the master is looked at until the record is written.
TEST_F(PerUserSteps, TheMasterIsRecordedOnlyOnceItsCopyIsInPlace) {
    PublishAndPull(kRelease1, 100);
    Publish(kRelease2, 200);
    std::vector<std::wstring> lockedSteps;
    doubles::AfterEveryFileOperation([&] {
        if (doubles::LockFilesHeld() == 1)
            lockedSteps.push_back(doubles::Journal().back().operation);
    });
    StartPerUser();

    const int removed = doubles::PositionOf(L"RemoveFile");
    const int renamed = doubles::PositionOf(L"RenameOpenFile");
    const int recorded = doubles::PositionOf(L"WriteWholeFile");
    ASSERT_GE(removed, 0);
    EXPECT_EQ(doubles::Journal()[removed].arguments,
              (std::vector<platform::AutomationValue>{kLocal + L"\\Orvantis.pull"}));
    EXPECT_LT(removed, doubles::PositionOf(L"CreateNewFile"));
    EXPECT_GT(recorded, renamed);
    EXPECT_GT(renamed, 0);
    EXPECT_THAT(lockedSteps, testing::IsSupersetOf({L"OpenToPull", L"CopyContent",
                                                    L"RenameOpenFile", L"WriteWholeFile"}));
    EXPECT_EQ(doubles::LockFilesHeld(), 0);
    EXPECT_FALSE(doubles::FileContent(kLocal + L"\\Orvantis.lock"));
}

// One folder by two names: its database is opened as it is, never copied beside itself.
TEST_F(PerUserSteps, TheSameFolderForMasterAndLocalCopyIsOpenedAsItIs) {
    doubles::LinkFolder(L"Z:\\Orvantis", L"\\\\srv\\orvantis");
    const std::pair<std::wstring, std::wstring> names[] = {
        {kMaster, kMaster + L"\\"},
        {L"D:\\Orvantis", L"d:\\orvantis"},
        {L"Z:\\Orvantis", L"\\\\srv\\orvantis"},
    };
    for (const auto& [master, local] : names) {
        SCOPED_TRACE(testing::PrintToString(master) + " to " + testing::PrintToString(local));
        Log().files.clear();
        doubles::ClearJournal();
        doubles::ResetAccess();
        doubles::PutFile(master + L"\\Orvantis.mde", kRelease1);
        EXPECT_TRUE(StartPerUser(master, local));

        EXPECT_EQ(doubles::OpenedDatabaseContent(), kRelease1);
        EXPECT_EQ(doubles::FilesBelow(master), (Files{{L"Orvantis.mde", kRelease1}}));
        EXPECT_EQ(doubles::PositionOf(L"CreateNewFile"), -1);
        EXPECT_THAT(doubles::LoggedDetails(kLog, "pull"),
                    testing::ElementsAre("skipped: the local folder is the master folder"));
    }
}

struct RecordRow {
    const char* text;
    std::optional<platform::FileStamp> stamp;
};

TEST(PullRecord, ReadsOnlyTheLineItWrites) {
    const RecordRow rows[] = {
        {"size 25 lastwrite 133781234567890000\r\n", platform::FileStamp{25, 133781234567890000}},
        {"size 0 lastwrite 0\r\n", platform::FileStamp{0, 0}},
        {"size 18446744073709551615 lastwrite 1\r\n",
         platform::FileStamp{18446744073709551615u, 1}},
        {"size 25 lastwrite 1338\r\n", platform::FileStamp{25, 1338}},
        {"size 25 lastwrite 1338", std::nullopt},
        {"size 25 lastwr", std::nullopt},
        {"size -1 lastwrite 1\r\n", std::nullopt},
        {"size 25 lastwrite 1\r\nsize 26 lastwrite 2\r\n", std::nullopt},
        {"size 18446744073709551616 lastwrite 1\r\n", std::nullopt},
        {"SIZE 25 LASTWRITE 1\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const RecordRow& row : rows)
        EXPECT_EQ(launchers::ParsePullRecord(row.text), row.stamp) << row.text;
    EXPECT_EQ(launchers::FormatPullRecord({25, 1338}), "size 25 lastwrite 1338\r\n");
}

TEST(PullDecision, CopiesWhenTheLocalCopyIsMissingOrTheMasterDiffersFromTheRecord) {
    const platform::FileStamp master{1000, 500};
    EXPECT_FALSE(launchers::PullIsDue(true, master, master));
    EXPECT_TRUE(launchers::PullIsDue(false, master, master));
    EXPECT_TRUE(launchers::PullIsDue(true, std::nullopt, master));
    EXPECT_TRUE(launchers::PullIsDue(true, platform::FileStamp{1000, 499}, master));
    EXPECT_TRUE(launchers::PullIsDue(true, platform::FileStamp{1000, 501}, master));
    EXPECT_TRUE(launchers::PullIsDue(true, platform::FileStamp{999, 500}, master));
}

TEST(PerUserFolders, AreResolvedFromTheProgramsFolderAndTheEnvironment) {
    Log().environment[L"ORVANTIS"] = L"\\\\srv\\Orvantis";
    const launchers::PerUserFolders relative =
        launchers::ResolvePerUserFolders(L".", L"..\\Copies", L"D:\\Apps\\Orvantis");
    EXPECT_EQ(relative.master, L"D:\\Apps\\Orvantis");
    EXPECT_EQ(relative.local, L"D:\\Apps\\Copies");
    const launchers::PerUserFolders byDefault =
        launchers::ResolvePerUserFolders(L"%ORVANTIS%", std::nullopt, L"D:\\Apps\\Orvantis");
    EXPECT_EQ(byDefault.master, L"\\\\srv\\Orvantis");
    EXPECT_EQ(byDefault.local, L"C:\\Users\\anna\\AppData\\Local\\Orvantis");
    // What cannot be a path stays as given; an account without a local folder gets none.
    doubles::Process().localAppData.clear();
    const launchers::PerUserFolders unusable =
        launchers::ResolvePerUserFolders(L"\\\\srv\\orvantis\" /log x", std::nullopt, L"D:\\App");
    EXPECT_EQ(unusable.master, L"\\\\srv\\orvantis\" /log x");
    EXPECT_EQ(unusable.local, L"");
    EXPECT_EQ(launchers::ResolvePerUserFolders(L"", L"", L"D:\\App").master, L"");
}

}  // namespace
