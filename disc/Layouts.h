// The packet layouts and authoring overheads measured for the tools the disc maker
// runs (docs/disc-measurements.md): ffmpeg's VCD, SVCD and DVD multiplexers,
// vcdimager for VCDs, dvdauthor with xorriso for DVDs.
#pragma once

#include "budget/Imaging.h"
#include "disc/DiscJob.h"

#include <cstdint>

namespace tarvex {

/// A multiplexer's layout in the budget model's terms: header bytes of each kind of
/// pack and the blocks it adds besides audio and video packs.
struct TMeasuredLayout {
    std::uint16_t SectorSize;
    std::uint16_t FirstVideoHeader;
    std::uint16_t GopVideoHeader;
    std::uint16_t VideoHeader;
    std::uint16_t AudioHeader;    ///< MPEG audio, the first pack too
    std::uint16_t Ac3AudioHeader; ///< AC-3 audio
    std::uint32_t ExtraSectors;   ///< besides one navigation pack per GOP on a DVD
};

/// The layout of ffmpeg's multiplexer for a format.
TMeasuredLayout FfmpegLayout(TDiscFormat format);

/// Puts the measured layout of `format` into the model in place of its row's and
/// the authoring blocks of the tool that authors `format` in place of its authoring
/// row's. Call it after the setters, before the computations.
void UseMeasuredRows(TCDImage& model, TDiscFormat format);

/// Blocks the authoring tool of `format` adds to a multiplexed film of `seconds` in
/// `gops` GOPs with `menuBlocks` reserved for menus; its fixed part is `reserve`.
std::uint32_t AuthoringBlocks(TDiscFormat format, double seconds, std::uint32_t gops,
                              std::uint32_t menuBlocks, std::uint32_t& reserve);

} // namespace tarvex
