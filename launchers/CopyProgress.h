// When and how far the splash shows a long copy's progress.
#pragma once

#include <cstdint>
#include <optional>

namespace launchers {

// A copy shorter than this shows nothing, so a small database leaves the splash as it is.
inline constexpr std::uint64_t kShowProgressAfterMs = 500;

// The part of the copy done, 0 to 1, once the copy has run long enough to show it; nullopt before.
std::optional<double> ProgressToShow(std::uint64_t elapsedMs, std::uint64_t done,
                                     std::uint64_t total);

}  // namespace launchers
