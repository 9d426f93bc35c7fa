// Finds the film area of a source: the part of its frames that is not black
// border, measured on a spread of keyframes over the whole film.
#pragma once

#include "common/BackgroundJob.h"
#include "preview/Frames.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

/// The film area as the film-pixel fields take it: `SrcPixelX` x `SrcPixelY` at
/// (`BorderLeft`, `BorderTop`) in the source frame, in whole pixels.
struct TFilmArea {
    int Width = 0;
    int Height = 0;
    int Left = 0;
    int Top = 0;
    bool operator==(const TFilmArea&) const = default;
};

/// An 8-bit luma plane that someone else owns.
struct TLumaView {
    const std::uint8_t* Data = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;
};

/// What one frame shows at its edges.
struct TFrameBorders {
    /// Where the frame lies in the film (0..1).
    double Position = 0;
    /// Nothing but black: the frame says nothing about the borders.
    bool Blank = false;
    /// From each edge, the number of lines before the first one with anything on
    /// it (picture, a logo, subtitles).
    TBorders Any;
    /// From each edge, the number of lines before the first one with picture
    /// across most of it; -1 on a side where no line has that (a dark frame).
    TBorders Wide;
};

/// Measures the black borders of one frame. A side's bar may be black at any
/// luma up to 40 with noise on it; lines are compared with the bar's own level.
TFrameBorders MeasureFrame(const TLumaView& luma);

/// The borders of the whole film from the frames measured on it: per side the
/// border that most frames show (within two lines), but never wider than what
/// frames with picture across the line show at that side (so dark scenes and
/// fades do not cut into the film, and a logo or subtitles on a few frames do
/// not widen it). Nothing when every frame is blank.
std::optional<TBorders> CombineBorders(const std::vector<TFrameBorders>& frames);

/// The film area inside a `width` x `height` frame with `borders`; nothing when
/// less than `TFrameReader::MinSide` pixels remain either way.
std::optional<TFilmArea> AreaInside(int width, int height, const TBorders& borders);

struct TDetectOptions {
    /// How many positions are decoded.
    int Positions = 30;
    /// The share of the film left out at its start and again at its end (titles, credits).
    double Skip = 0.05;
};

/// The film positions (0..1) the detection decodes, in film order.
std::vector<double> DetectPositions(const TDetectOptions& options);

struct TDetectResult {
    TFrameError Error = TFrameError::None;
    bool Cancelled = false;
    /// Nothing when no frame showed a picture (or the film could not be read).
    std::optional<TFilmArea> Area;
    int FrameWidth = 0;
    int FrameHeight = 0;
    /// Every distinct frame measured, in film order.
    std::vector<TFrameBorders> Frames;
    /// What stopped the detection besides the frame errors, in words; empty when nothing.
    std::string Failure;
};

/// Called after each position with the positions done and their total.
using TDetectProgress = std::function<void(int done, int total)>;

/// Decodes the positions of `options` from `reader` and combines their borders.
/// Stops before the next position once `cancel` is set.
TDetectResult DetectFilmArea(TFrameReader& reader, const TDetectOptions& options,
                             const TDetectProgress& progress, const std::atomic<bool>* cancel);

/// The same on a reader of its own for `name` (safe on any thread).
TDetectResult DetectFilmArea(const std::string& name, const TFrameCrop& crop,
                             const TDetectOptions& options, const TDetectProgress& progress,
                             const std::atomic<bool>* cancel);

/// Where a running detection is: positions done of their total.
struct TDetectStep {
    int Done = 0;
    int Total = 0;
};

/// A detection as background work: its progress and its result are taken from the job.
using TDetectJob = TBackgroundJob<TDetectStep, TDetectResult>;

/// Starts a detection on a reader of its own, on a thread of its own; `wake` is
/// called on that thread when there is progress or the result to take.
std::unique_ptr<TDetectJob> StartDetectJob(std::string name, TFrameCrop crop,
                                           TDetectOptions options, std::function<void()> wake);

} // namespace tarvex
