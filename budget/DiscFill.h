// How one disc image fills its disc, part by part, for drawing and reporting.
#pragma once

#include "budget/Imaging.h"

#include <cstdint>
#include <vector>

namespace tarvex {

enum class TFillPart {
    AuthoringReserve,
    AuthoringOverhead,
    ExtraData,
    Subtitles,
    Audio1,
    Audio2,
    Video,
    MuxOverhead, ///< pack and packet headers, extra packs and the stream's last partial block
    Safety,      ///< the part of the safety margin left free
    Unused,      ///< free beyond the safety margin
};

struct TFillShare {
    TFillPart Part;
    std::int64_t Blocks = 0;
    std::int64_t Bytes = 0;
};

struct TDiscFill {
    std::int64_t BlocksUsable = 0;
    std::int64_t ImageBlocks = 0;
    std::int64_t OverrunBlocks = 0; ///< image blocks beyond the disc, 0 when it fits
    std::uint16_t SectorSize = 0;
    /// Every part in disc order; the blocks add up to the larger of disc and image.
    std::vector<TFillShare> Parts;
};

/// The fill of the last ComputeImage. The stream's parts are whole blocks that add
/// up to the stream's blocks: each part ends where its running byte total ends,
/// rounded to the nearest block.
TDiscFill ComputeDiscFill(const TCDImage& disc);

} // namespace tarvex
