// Renvale /from MASTER /to LOCAL, with the master on a drive of its own as on a server's share:
// each start opens the user's own copy, pulled when the master changed; the master and the
// program's folder are never written.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "launcher_scenario.h"

namespace {

using namespace harness;

using Bytes = std::vector<std::uint8_t>;

// Releases of one size: only their content and their time tell them apart.
const Bytes kRelease1 = DatabaseBytes(40 * 1024, 1);
const Bytes kRelease2 = DatabaseBytes(40 * 1024, 2);
const Bytes kEdited = DatabaseBytes(40 * 1024 + 512, 3);
// 2024-01-01, 2025-01-01, 2023-01-01 in Windows' file times.
constexpr ULONGLONG kTime1 = 133485408000000000;
constexpr ULONGLONG kTime2 = 133801632000000000;
constexpr ULONGLONG kTime0 = 133169184000000000;

// The server: a drive of its own holding the master folder. The user's folder lies beside the
// program's.
class PerUserCopies : public LauncherTest<> {
  protected:
    void SetUp() override {
        setup_ = InstallLauncher(CurrentTestName(), L"Renvale.exe");
        const std::wstring root = setup_.appFolder.substr(0, setup_.appFolder.rfind(L'\\'));
        const std::wstring server = root + L"\\server";
        ASSERT_TRUE(CreateDirectoryW(server.c_str(), nullptr));
        drive_ = SpareDriveLetter();
        ASSERT_NE(drive_, L'\0');
        ASSERT_TRUE(MapDrive(drive_, server));
        master_ = std::wstring(1, drive_) + L":\\Orvantis";
        masterFile_ = master_ + L"\\Orvantis.mde";
        local_ = root + L"\\local";
        localFile_ = local_ + L"\\Orvantis.mde";
    }
    void TearDown() override {
        if (drive_)
            UnmapDrive(drive_);
        LauncherTest<>::TearDown();
    }

    void Publish(const Bytes& release, ULONGLONG time) {
        ASSERT_TRUE(PutFile(masterFile_, release));
        ASSERT_TRUE(SetLastWrite(masterFile_, time));
    }
    std::wstring Switches() const {
        return L"/from " + Quoted(master_) + L" /to " + Quoted(local_);
    }
    std::optional<DWORD> Start() { return RunLauncher(setup_, Switches()); }
    // What Access was asked to open last, and what it found there.
    StandInCall LastOpen() const {
        const std::vector<StandInCall> opens =
            CallsTo(ReadStandInCalls(setup_.standInFolder), L"OpenCurrentDatabase");
        return opens.empty() ? StandInCall{} : opens.back();
    }
    void ExpectOpened(const Bytes& content) const {
        const StandInCall open = LastOpen();
        EXPECT_EQ(open.arguments, std::vector<std::wstring>{L"BSTR:" + localFile_});
        EXPECT_EQ(open.details, OpenedDetails(content));
    }
    // The local copy and the record of the master last pulled; no temporary file.
    void ExpectLocalFolderClean() const {
        EXPECT_EQ(FolderEntries(local_),
                  (std::vector<std::wstring>{L"Orvantis.mde", L"Orvantis.pull"}));
    }

    LauncherSetup setup_;
    wchar_t drive_ = L'\0';
    std::wstring master_, masterFile_, local_, localFile_;
};

// The first start copies the master; later ones copy only a master that differs from the last
// copy (a later release of the same size, or one set back to an older time), never for what Access
// wrote into the local copy. The master and the program's folder (its TEMP too) stay untouched.
TEST_F(PerUserCopies, AStartCopiesOnlyWhenTheMasterDiffersFromTheLastCopy) {
    Publish(kRelease1, kTime1);
    ASSERT_TRUE(PutFile(setup_.staged, kRelease2));
    const std::vector<std::wstring> userTempBefore = FolderEntries(UserTempFolder());
    FolderWatch program(setup_.appFolder);

    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(ReadFileBytes(localFile_), kRelease1);
    ExpectOpened(kRelease1);
    ExpectLocalFolderClean();
    EXPECT_EQ(FolderEntries(master_), std::vector<std::wstring>{L"Orvantis.mde"});
    EXPECT_EQ(LastWrite(masterFile_), kTime1);
    EXPECT_EQ(FolderEntries(UserTempFolder()), userTempBefore);

    ASSERT_TRUE(PutFile(localFile_, kEdited));
    ASSERT_EQ(Start(), 0u);
    ExpectOpened(kEdited);

    for (const auto& [release, time] :
         {std::pair{&kRelease2, kTime2}, std::pair{&kRelease1, kTime0}}) {
        SCOPED_TRACE(time == kTime2 ? "later" : "set back");
        Publish(*release, time);
        ASSERT_EQ(Start(), 0u);
        ExpectOpened(*release);
        ExpectLocalFolderClean();
    }
    EXPECT_EQ(ReadFileBytes(masterFile_), kRelease1);
    EXPECT_TRUE(program.Changes().empty());
    EXPECT_EQ(ReadFileBytes(setup_.staged), kRelease2);
}

// The master cannot be copied: an administrator still writes it, the local copy is held open by
// Access (without delete sharing) while the master changed, or the master folder is gone. Each
// time the local copy stays as it is, no temporary file is left, and Access is asked to open it.
// (The record of the last copy is gone once a copy was due: the next start tries again.)
TEST_F(PerUserCopies, WhenTheMasterCannotBeCopiedTheLocalCopyIsOpened) {
    Publish(kRelease1, kTime1);
    ASSERT_EQ(Start(), 0u);
    Publish(kRelease2, kTime2);
    // A scanner holds the record of the last copy: a new copy beside it could later pass for the
    // old version, so none is made, and the record stays as it was.
    {
        const std::wstring record = local_ + L"\\Orvantis.pull";
        const std::optional<std::vector<std::uint8_t>> recorded = ReadFileBytes(record);
        const owners::unique_handle scanner = HoldFile(record, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_NE(scanner.get(), INVALID_HANDLE_VALUE);
        ASSERT_EQ(Start(), 0u);
        ExpectOpened(kRelease1);
        EXPECT_EQ(ReadFileBytes(record), recorded);
        EXPECT_TRUE(TempFilesIn(local_).empty());
    }
    {
        const owners::unique_handle writer = HoldFile(masterFile_, GENERIC_WRITE, FILE_SHARE_READ);
        ASSERT_NE(writer.get(), INVALID_HANDLE_VALUE);
        ASSERT_EQ(Start(), 0u);
        ExpectOpened(kRelease1);
    }
    {
        const owners::unique_handle access =
            HoldFile(localFile_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(access.get(), INVALID_HANDLE_VALUE);
        ASSERT_EQ(Start(), 0u);
        ExpectOpened(kRelease1);
        EXPECT_TRUE(TempFilesIn(local_).empty());
    }
    ASSERT_TRUE(RemoveTree(master_));
    ASSERT_EQ(Start(), 0u);
    ExpectOpened(kRelease1);
    EXPECT_TRUE(TempFilesIn(local_).empty());
}

// Nothing could be opened: one error box that names the master, and no Access.
TEST_F(PerUserCopies, WithoutTheMasterFolderAndALocalCopyOneBoxAndNoAccess) {
    const RunResult run = harness::Run(setup_.exe, Switches());

    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    const MessageBoxInfo& box = run.boxes[0];
    EXPECT_EQ(box.title, L"Renvale");
    EXPECT_EQ(box.icon, BoxIcon::Error);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(Narrow(box.text), Narrow(L"The database could not be copied from \"" + masterFile_ +
                                       L"\".\r\n" + WindowsMessage(ERROR_PATH_NOT_FOUND)));
    EXPECT_TRUE(ReadStandInCalls(setup_.standInFolder).empty());
    EXPECT_TRUE(FindStandInWindows().empty());
    EXPECT_TRUE(FolderEntries(local_).empty());
}

// A /from whose folder swallowed the switches after it (a quote after a trailing backslash) is
// never a path: the box names it as given and Access is not started; once the user has a copy, that
// copy is opened.
TEST_F(PerUserCopies, AMasterFolderThatCannotBeAPathIsNeverUsedAsOne) {
    const std::wstring broken = L"/to " + Quoted(local_) + L" /from \"" + master_ + L"\\\" /log x";
    Publish(kRelease1, kTime1);
    const RunResult run = harness::Run(setup_.exe, broken);

    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(Narrow(run.boxes[0].text),
              Narrow(L"The database could not be copied from \"" + master_ + L"\" /log x\\" +
                     L"Orvantis.mde\".\r\n" + WindowsMessage(ERROR_INVALID_NAME)));
    EXPECT_TRUE(ReadStandInCalls(setup_.standInFolder).empty());
    EXPECT_TRUE(FolderEntries(local_).empty());

    ASSERT_EQ(Start(), 0u);
    Publish(kRelease2, kTime2);
    ASSERT_EQ(RunLauncher(setup_, broken), 0u);
    ExpectOpened(kRelease1);
}

// One folder by two names, the mapped drive and the folder it maps: its database is opened as it
// is, and nothing is copied beside it.
TEST_F(PerUserCopies, TheMasterFolderByAnotherNameIsOpenedAsItIs) {
    Publish(kRelease1, kTime1);
    const std::wstring root = setup_.appFolder.substr(0, setup_.appFolder.rfind(L'\\'));
    const std::wstring sameFolder = root + L"\\SERVER\\orvantis";
    FolderWatch master(master_);

    ASSERT_EQ(RunLauncher(setup_, L"/from " + Quoted(master_) + L" /to " + Quoted(sameFolder)), 0u);
    EXPECT_EQ(LastOpen().arguments,
              std::vector<std::wstring>{L"BSTR:" + sameFolder + L"\\Orvantis.mde"});
    EXPECT_EQ(LastOpen().details, OpenedDetails(kRelease1));
    EXPECT_TRUE(master.Changes().empty());
    EXPECT_EQ(FolderEntries(master_), std::vector<std::wstring>{L"Orvantis.mde"});
}

// Without /to the copy goes to the user's local application data folder, as Windows names it
// (not as the environment says), which is made on first use.
TEST_F(PerUserCopies, TheDefaultLocalFolderIsMadeOnFirstUse) {
    wchar_t* known = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)));
    const std::wstring folder = std::wstring(known) + L"\\Orvantis";
    CoTaskMemFree(known);
    ASSERT_TRUE(RemoveTree(folder));
    const std::wstring decoy = MakeTestFolder(CurrentTestName() + L"\\decoy");
    Publish(kRelease1, kTime1);

    Process launcher = harness::Start(setup_.exe, L"/from " + Quoted(master_),
                                      {{L"LOCALAPPDATA", decoy}, {L"USERPROFILE", decoy}});
    const RunResult run = AnswerBoxesUntilExit(launcher);

    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadFileBytes(folder + L"\\Orvantis.mde"), kRelease1);
    EXPECT_EQ(LastOpen().arguments,
              std::vector<std::wstring>{L"BSTR:" + folder + L"\\Orvantis.mde"});
    EXPECT_TRUE(FolderEntries(decoy).empty());
    EXPECT_TRUE(RemoveTree(folder));
}

// An administrator publishes while a start copies the master: the old master is renamed away and
// the new one renamed in, neither blocked by the pull; that start finishes its copy of the old
// master, and the next start brings the new one. (A rename over the master, replacing it, is not
// tried here: Windows refuses to replace a file that is open.)
TEST_F(PerUserCopies, PublishingByTwoRenamesIsNotBlockedByAPull) {
    constexpr std::size_t kMiB = 256;
    ASSERT_TRUE(CreateDirectoryW(master_.c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(masterFile_, kMiB, 5));
    const std::wstring published = master_ + L"\\Orvantis.new";
    const std::wstring old = master_ + L"\\Orvantis.old";
    ASSERT_TRUE(PutFile(published, kRelease2));
    Process pulling = harness::Start(setup_.exe, Switches());
    ASSERT_TRUE(WaitUntil([&] { return !TempFilesIn(local_).empty(); }));

    EXPECT_TRUE(MoveFileExW(masterFile_.c_str(), old.c_str(), 0)) << "error " << GetLastError();
    EXPECT_TRUE(MoveFileExW(published.c_str(), masterFile_.c_str(), 0))
        << "error " << GetLastError();
    EXPECT_FALSE(TempFilesIn(local_).empty()) << "the copy ended before the renames";
    EXPECT_EQ(AnswerBoxesUntilExit(pulling).exitCode, 0u);
    EXPECT_TRUE(HoldsLargeDatabase(localFile_, kMiB, 5));

    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(ReadFileBytes(localFile_), kRelease2);
    ExpectOpened(kRelease2);
}

// Every thread of a process stopped for the object's lifetime: a pull held in the middle.
class Frozen {
  public:
    explicit Frozen(DWORD processId) {
        const owners::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot.get(), &entry); more;
             more = Thread32Next(snapshot.get(), &entry)) {
            if (entry.th32OwnerProcessID != processId)
                continue;
            owners::unique_handle thread(
                OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
            if (thread.get() && SuspendThread(thread.get()) != static_cast<DWORD>(-1))
                threads_.push_back(std::move(thread));
        }
    }
    ~Frozen() {
        for (const owners::unique_handle& thread : threads_)
            ResumeThread(thread.get());
    }
    bool any() const { return !threads_.empty(); }

  private:
    std::vector<owners::unique_handle> threads_;
};

// The lock belongs to the local folder. A start into another folder (a second shortcut with a
// training master) runs while a pull into the first one is held in the middle; one into the same
// folder, whose lock another start holds (here, on another computer), waits for it and copies once
// it is let go.
TEST_F(PerUserCopies, OnlyStartsIntoTheSameFolderWaitForEachOther) {
    constexpr std::size_t kMiB = 64;
    ASSERT_TRUE(CreateDirectoryW(master_.c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(masterFile_, kMiB, 5));
    const std::wstring training = master_ + L"\\Training";
    const std::wstring trainingCopy = local_ + L"2";
    ASSERT_TRUE(PutFile(training + L"\\Orvantis.mde", kRelease2));
    Process pulling = harness::Start(setup_.exe, Switches());
    ASSERT_TRUE(WaitUntil([&] { return !TempFilesIn(local_).empty(); }));
    {
        const Frozen heldInTheMiddle(pulling.id());
        ASSERT_TRUE(heldInTheMiddle.any());
        EXPECT_EQ(
            RunLauncher(setup_, L"/from " + Quoted(training) + L" /to " + Quoted(trainingCopy)),
            0u);
        EXPECT_EQ(ReadFileBytes(trainingCopy + L"\\Orvantis.mde"), kRelease2);
        EXPECT_FALSE(TempFilesIn(local_).empty());
    }
    EXPECT_EQ(AnswerBoxesUntilExit(pulling).exitCode, 0u);

    ASSERT_TRUE(PutFile(masterFile_, kRelease1));
    {
        const owners::unique_handle elsewhere =
            HoldFile(local_ + L"\\Orvantis.lock", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS,
                     FILE_FLAG_DELETE_ON_CLOSE);
        ASSERT_NE(elsewhere.get(), INVALID_HANDLE_VALUE);
        pulling = harness::Start(setup_.exe, Switches());
        EXPECT_FALSE(pulling.WaitForExit(2000).has_value()) << "did not wait for the lock";
        EXPECT_TRUE(HoldsLargeDatabase(localFile_, kMiB, 5));
    }
    EXPECT_EQ(AnswerBoxesUntilExit(pulling).exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(localFile_), kRelease1);
    ExpectLocalFolderClean();
}

// Every file call of the pull runs on a worker: the splash answers from its first moment to its
// last, through the master's open, the copy, the rename and the record.
TEST_F(PerUserCopies, TheSplashAnswersThroughoutAPull) {
    constexpr std::size_t kMiB = 256;
    ASSERT_TRUE(CreateDirectoryW(master_.c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(masterFile_, kMiB, 7));
    Process pulling = harness::Start(setup_.exe, Switches());
    const HWND form = WaitForWindow(pulling, kSplashFormClass);
    ASSERT_NE(form, nullptr);
    const Answering answering = ProbeUntilGone(form, 20);

    EXPECT_EQ(answering.unanswered, 0);
    EXPECT_GE(answering.answers, 10);
    std::cout << "the longest gap " << answering.longestGapMs << " ms of " << answering.probedMs
              << " ms\n";
    EXPECT_EQ(pulling.WaitForExit(), 0u);
    EXPECT_TRUE(HoldsLargeDatabase(localFile_, kMiB, 7));
    ExpectLocalFolderClean();
}

// A double click: both starts open the local copy, and the master is copied once.
TEST_F(PerUserCopies, TwoStartsOfTheSameUserAtOnceCopyOnce) {
    constexpr std::size_t kMiB = 64;
    ASSERT_TRUE(CreateDirectoryW(master_.c_str(), nullptr));
    ASSERT_TRUE(PutLargeDatabase(masterFile_, kMiB, 5));
    ASSERT_TRUE(CreateDirectoryW(local_.c_str(), nullptr));
    FolderWatch local(local_);

    std::vector<Process> starts;
    for (int n = 0; n < 2; ++n)
        starts.push_back(StartSuspended(setup_.exe, Switches()));
    for (Process& start : starts)
        start.Resume();
    for (Process& start : starts)
        EXPECT_EQ(start.WaitForExit(), 0u);

    EXPECT_EQ(TimesPutInPlace(local.Changes(), L"Orvantis.mde"), 1);
    EXPECT_TRUE(HoldsLargeDatabase(localFile_, kMiB, 5));
    const std::vector<StandInCall> opens =
        CallsTo(ReadStandInCalls(setup_.standInFolder), L"OpenCurrentDatabase");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].arguments, opens[1].arguments);
    EXPECT_EQ(opens[0].details, opens[1].details);
    ExpectLocalFolderClean();
}

}  // namespace
