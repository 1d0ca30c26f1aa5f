// When the splash shows a copy's progress, and how far.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "CopyProgress.h"

namespace {

struct ProgressRow {
    std::uint64_t elapsedMs, done, total;
    std::optional<double> shown;
};

TEST(CopyProgress, ShowsThePartDoneOnlyOnceTheCopyHasRunHalfASecond) {
    const ProgressRow rows[] = {
        {0, 0, 1000, std::nullopt},
        {499, 900, 1000, std::nullopt},
        {500, 0, 1000, 0.0},
        {500, 250, 1000, 0.25},
        {60000, 999, 1000, 0.999},
        {800, 1000, 1000, 1.0},
        // Sizes beyond 4 GiB.
        {800, 3ull << 32, 4ull << 32, 0.75},
        // An empty file is done; a file that grew is never shown beyond its end.
        {800, 0, 0, 1.0},
        {800, 1200, 1000, 1.0},
    };
    for (const ProgressRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.elapsedMs << " ms, " << row.done << " of " << row.total);
        EXPECT_EQ(launchers::ProgressToShow(row.elapsedMs, row.done, row.total), row.shown);
    }
}

}  // namespace
