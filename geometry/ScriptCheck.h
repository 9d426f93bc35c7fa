// What makes a script fail in AviSynth+ or show the film wrongly, found from the
// geometry alone. Numbers only; the window words them.
#pragma once

#include "geometry/ResUnit.h"

#include <cstdint>
#include <vector>

namespace tarvex {

enum class TScriptIssue {
    ResizeEmpty,     ///< A x B: the resized picture has no area
    CropEmpty,       ///< A x B: the crop has no area
    FilmAreaEmpty,   ///< A x B: the film area has no area
    DestEmpty,       ///< A x B: the destination frame has no area
    ResizeWidthOdd,  ///< A: YV12 needs an even width
    ResizeHeightOdd, ///< A: YV12 needs an even height
    FieldHeightOdd,  ///< A: field by field each field gets half of the height
    BorderOdd,       ///< A, B, C, D: the borders the script adds, one of them odd
    BorderNegative,  ///< A x B larger than the destination C x D
    FilmAreaOutside, ///< A x B at (C, D) reaches outside the source frame
    CropOutside,     ///< A x B at (C, D) reaches outside the source frame
};

struct TScriptFinding {
    TScriptIssue Issue;
    std::int32_t A = 0, B = 0, C = 0, D = 0;
};

/// Every issue of the current geometry, in the order of the enumeration.
std::vector<TScriptFinding> CheckScript(const TResizeStruct& model);

} // namespace tarvex
