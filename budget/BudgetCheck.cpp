#include "budget/BudgetCheck.h"

#include "budget/DiscRows.h"
#include "budget/DiscStandard.h"

namespace tarvex {

std::vector<TBudgetFinding> CheckBudget(const TCDImage& d) {
    std::vector<TBudgetFinding> found;
    const std::int64_t rate = d.VideoRate;
    if (rate > d.MaxVideoRate) found.push_back({TBudgetIssue::VideoAboveMax, rate, d.MaxVideoRate});
    // The stream-rate floor is drawn for MPEG-2 on a CD; a VCD runs at its one standard
    // rate, which lies just below it and which every VCD player takes.
    const bool vcdRate = MuxTraits(d.MuxMode).Family == TDiscFamily::VCD &&
                         rate == DiscStandard(TDiscFamily::VCD, true).MaxVideoRate;
    if (rate < d.MinVideoRate && !vcdRate)
        found.push_back({TBudgetIssue::VideoBelowMin, rate, d.MinVideoRate});
    if (!d.VideoFits) found.push_back({TBudgetIssue::NoRoomForVideo});
    if (d.UnusedBlocks < 0)
        found.push_back(
            {TBudgetIssue::DiscOverfilled, -std::int64_t{d.UnusedBlocks}, d.BlocksUsable});
    return found;
}

} // namespace tarvex
