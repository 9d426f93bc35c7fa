// The resize sizes a user may choose from: every height that fits the usable
// area, each with what it costs and keeps.
#pragma once

#include "geometry/ResUnit.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvex {

/// The resize height for a width: the film's real aspect kept, a multiple of
/// DestPixelRoundY, at most maxHeight (rounded up, to nearest, down, else the
/// limit rounded down). Throws FloatError on a zero rounding or pixel form.
std::int32_t HeightForWidth(const TResizeStruct& m, std::int32_t width, std::int32_t maxHeight);
/// The resize width for a height by the same rule, a multiple of DestPixelRoundX.
std::int32_t WidthForHeight(const TResizeStruct& m, std::int32_t height, std::int32_t maxWidth);

struct TResizeCandidate {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::optional<double> Error; ///< aspect error in % as the error caption shows it
    double FilmKept = 0;         ///< share of the film area inside the crop, 0..1
    std::uint16_t Blocks = 0;    ///< 8x8 blocks of the resized picture
    std::int64_t BitsPerBlock = 0;
    TBorderRect Borders;    ///< as the script adds them
    bool Suggested = false; ///< the height the suggestion picks
    bool Current = false;   ///< the size the window shows now
};

/// Heights from the largest multiple of DestPixelRoundY within usableY down to
/// one multiple, each with the width the window derives for it (at most usableX).
/// `videoRate` in bps gives the bits per block. The model is not changed.
std::vector<TResizeCandidate> ResizeCandidates(const TResizeStruct& m, std::int32_t usableX,
                                               std::int32_t usableY, std::uint32_t videoRate);

} // namespace tarvex
