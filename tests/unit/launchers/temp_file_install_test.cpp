// The install steps as another caller uses them (a held source, a target, a folder): what each
// outcome reports, and that no temporary file outlives it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "TempFileInstall.h"
#include "launchers/files_double.h"

namespace {

using launchers::InstallResult;

const std::wstring kFolder = L"C:\\Local";
const std::wstring kSource = L"C:\\Master\\Orvantis.mde";
const std::wstring kTarget = L"C:\\Local\\Orvantis.mde";
const std::string kContent = "the master database, forty-one bytes long";

struct InstallRow {
    const char* name;
    std::optional<std::string> targetBefore;
    void (*arrange)();
    InstallResult result;
    platform::ErrorCode error;
    std::uint64_t bytesCopied;
    std::optional<std::string> targetAfter;
};

void PrintTo(const InstallRow& row, std::ostream* out) {
    *out << row.name;
}

const InstallRow kInstallRows[] = {
    {"NoTargetYet", std::nullopt, [] {}, InstallResult::Installed, platform::kNoError, 41,
     kContent},
    {"OverAnOlderCopy", "older", [] {}, InstallResult::Installed, platform::kNoError, 41, kContent},
    // The user's Access has the target open: nothing is copied.
    {"TargetHeldOpen", "older", [] { doubles::HoldOpen(kTarget); }, InstallResult::TargetInUse,
     platform::kErrorSharingViolation, 0, "older"},
    {"TargetReadOnly", "older", [] { doubles::SetReadOnly(kTarget); }, InstallResult::Failed,
     platform::kErrorAccessDenied, 0, "older"},
    {"CopyBreaksOff", "older",
     [] {
         doubles::FileFaults faults;
         faults.copyBreaksOffAfter = 20;
         doubles::InjectFileFaults(faults);
     },
     InstallResult::Failed, doubles::kErrorDiskFull, 20, "older"},
    // Access opens the target during the copy: the rename onto it fails.
    {"TargetOpenedDuringTheCopy", "older",
     [] {
         doubles::AfterEveryFileOperation([] {
             if (doubles::IsHeldOpen(kTarget) || !doubles::FileContent(L"C:\\Local\\orv0.tmp"))
                 return;
             doubles::HoldOpen(kTarget);
         });
     },
     InstallResult::TargetInUse, platform::kErrorAccessDenied, 41, "older"},
};

class Install : public testing::TestWithParam<InstallRow> {};

TEST_P(Install, ReportsTheOutcomeAndLeavesNoTemporaryFile) {
    const InstallRow& row = GetParam();
    doubles::ResetFiles(kFolder);
    doubles::PutFile(kSource, kContent);
    if (row.targetBefore)
        doubles::PutFile(kTarget, *row.targetBefore);
    row.arrange();
    platform::OpenFile source;
    ASSERT_EQ(platform::OpenToInstall(kSource, source), platform::ToInstall::Opened);

    const launchers::InstallOutcome outcome =
        launchers::InstallThroughTempFile(source, kTarget, kFolder);

    EXPECT_EQ(outcome.result, row.result);
    EXPECT_EQ(outcome.error, row.error);
    EXPECT_EQ(outcome.bytesCopied, row.bytesCopied);
    doubles::AfterEveryFileOperation(nullptr);
    std::map<std::wstring, std::string> after;
    if (row.targetAfter)
        after[L"Orvantis.mde"] = *row.targetAfter;
    EXPECT_EQ(doubles::FilesBelow(kFolder), after);
    EXPECT_EQ(doubles::FileContent(kSource), kContent);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, Install, testing::ValuesIn(kInstallRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
