#include "CopyProgress.h"

namespace launchers {

std::optional<double> ProgressToShow(std::uint64_t elapsedMs, std::uint64_t done,
                                     std::uint64_t total) {
    if (elapsedMs < kShowProgressAfterMs)
        return std::nullopt;
    if (total == 0 || done >= total)
        return 1.0;
    return static_cast<double>(done) / static_cast<double>(total);
}

}  // namespace launchers
