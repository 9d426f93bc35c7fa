#include "budget/BudgetCheck.h"

namespace tarvex {

std::vector<TBudgetFinding> CheckBudget(const TCDImage& d) {
    std::vector<TBudgetFinding> found;
    const std::int64_t rate = d.VideoRate;
    if (rate > d.MaxVideoRate) found.push_back({TBudgetIssue::VideoAboveMax, rate, d.MaxVideoRate});
    if (rate < d.MinVideoRate) found.push_back({TBudgetIssue::VideoBelowMin, rate, d.MinVideoRate});
    if (!d.VideoFits) found.push_back({TBudgetIssue::NoRoomForVideo});
    if (d.UnusedBlocks < 0)
        found.push_back(
            {TBudgetIssue::DiscOverfilled, -std::int64_t{d.UnusedBlocks}, d.BlocksUsable});
    return found;
}

} // namespace tarvex
