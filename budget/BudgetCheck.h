// What in a disc budget the player or the disc will not take. Numbers only; the
// window words them.
#pragma once

#include "budget/Imaging.h"

#include <cstdint>
#include <vector>

namespace tarvex {

enum class TBudgetIssue {
    VideoAboveMax,  ///< Value bps above the highest video rate Limit
    VideoBelowMin,  ///< Value bps below the lowest video rate Limit
    NoRoomForVideo, ///< audio and overheads alone exceed the disc
    DiscOverfilled, ///< the image is Value blocks larger than the Limit usable blocks
};

struct TBudgetFinding {
    TBudgetIssue Issue;
    std::int64_t Value = 0;
    std::int64_t Limit = 0;
};

/// Every issue of the last computation, in the order of the enumeration. Each is
/// judged on its own: with no room for video the rate is 0, below any minimum too.
std::vector<TBudgetFinding> CheckBudget(const TCDImage& disc);

} // namespace tarvex
