// What an opened source says of its kind: which of the window's source kinds
// its frame is, the frame-rate entry and TV standard its rate stands for, and
// what is known of its fields.
#pragma once

#include "source/OpenSrc.h"

#include <optional>

namespace tarvex {

/// The source kinds in the order the window lists them: frames of a DVD, an
/// XVCD, 3/4 and 1/2 of a DVD's width, an SVCD, a VCD, and square pixels.
enum class TSourceKind { Dvd, Xvcd, ThreeQuarterDvd, Svcd, HalfDvd, Vcd, Square };

/// An entry of the frame-rate list (0: 23.976, 1: 25, 2: 29.97) and whether the
/// rate makes the source PAL.
struct TRateEntry {
    int Index = 0;
    bool Pal = false;
};

/// The entry a source's frame rate stands for, a field rate counting as the
/// frame rate it halves to; nothing when none fits.
std::optional<TRateEntry> RateEntryOf(double rate);

/// What the window takes from an opened source.
struct TSourceGuess {
    TSourceKind Kind = TSourceKind::Square;
    /// The source states its picture shape, and so its anamorphic flag; without
    /// that the flag is cleared.
    bool ShapeStated = false;
    /// Whether the source is interlaced, when it tells.
    std::optional<bool> Interlaced;
    /// Whether its bottom field comes first, when it tells.
    std::optional<bool> BottomFirst;
};

/// The guess for the source `reader` read last; `pal` is the standard its frame
/// rate settled on.
TSourceGuess GuessSource(const TOpenSrcFile& reader, bool pal);

} // namespace tarvex
