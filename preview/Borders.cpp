#include "preview/Borders.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarvex {
namespace {

/// A side whose outermost line has a median luma above this has no bar.
constexpr int MaxBarLevel = 40;
/// A line whose mean lies this far above the bar's level holds picture.
constexpr int MeanStep = 10;
/// Pixels this far above the bar's level are something (a logo, a bright detail)...
constexpr int SparseStep = 40;
/// ...once more than one in this many pixels of the line are such.
constexpr int SparseShare = 64;
/// A line with more than half its pixels this far above the level has picture across it.
constexpr int WideStep = 16;
/// Frames whose border at a side lies within this many lines count as one value.
constexpr int Tolerance = 2;
/// How many frames with picture across a line must show it before it bounds the
/// border (one such frame could be a flash or a damaged picture).
constexpr std::size_t WideWitnesses = 2;

/// One line of the plane: a row (`Horizontal`) or a column, from `From` to `To`.
struct TLine {
    const TLumaView& Luma;
    bool Horizontal;
    int Index;
    int From;
    int To;

    int At(int i) const {
        const int x = Horizontal ? i : Index;
        const int y = Horizontal ? Index : i;
        return Luma.Data[static_cast<std::ptrdiff_t>(y) * Luma.Stride + x];
    }
};

int MedianOf(const TLine& line) {
    std::array<int, 256> histogram{};
    for (int i = line.From; i < line.To; ++i) ++histogram[line.At(i)];
    const int half = (line.To - line.From) / 2;
    int seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[v];
        if (seen > half) return v;
    }
    return 255;
}

struct TLineLook {
    bool Any = false;
    bool Wide = false;
};

TLineLook Look(const TLine& line, int level) {
    long sum = 0;
    int sparse = 0;
    int wide = 0;
    for (int i = line.From; i < line.To; ++i) {
        const int v = line.At(i);
        sum += v;
        sparse += v > level + SparseStep;
        wide += v > level + WideStep;
    }
    const long n = line.To - line.From;
    TLineLook look;
    look.Wide = 2L * wide > n;
    look.Any = look.Wide || sum > (level + MeanStep) * n || long{sparse} * SparseShare > n;
    return look;
}

/// One side's borders: lines are `first`, `first + step`, ... for `count` lines,
/// each spanning `from`..`to` across.
struct TSideScan {
    int Any = -1; ///< -1 when no line holds anything
    int Wide = -1;
};

TSideScan ScanSide(const TLumaView& luma, bool rows, bool fromEnd, int from, int to) {
    const int count = rows ? luma.Height : luma.Width;
    const auto lineAt = [&](int k) {
        return TLine{luma, rows, fromEnd ? count - 1 - k : k, from, to};
    };
    TSideScan scan;
    if (to <= from) return scan;
    const int level = MedianOf(lineAt(0));
    if (level > MaxBarLevel) return {0, 0};
    for (int k = 0; k < count && scan.Wide < 0; ++k) {
        const TLineLook look = Look(lineAt(k), level);
        if (look.Any && scan.Any < 0) scan.Any = k;
        if (look.Wide) scan.Wide = k;
    }
    return scan;
}

/// Top and bottom over the columns `from`..`to` (`rows`), else left and right over
/// the rows `from`..`to`; false when no line holds anything.
bool ScanPair(const TLumaView& luma, bool rows, int from, int to, TFrameBorders& out) {
    const TSideScan first = ScanSide(luma, rows, false, from, to);
    const TSideScan last = ScanSide(luma, rows, true, from, to);
    if (first.Any < 0 || last.Any < 0) return false;
    (rows ? out.Any.Top : out.Any.Left) = first.Any;
    (rows ? out.Any.Bottom : out.Any.Right) = last.Any;
    (rows ? out.Wide.Top : out.Wide.Left) = first.Wide;
    (rows ? out.Wide.Bottom : out.Wide.Right) = last.Wide;
    return true;
}

/// The value most frames share at one side (the smallest of the largest group
/// within `Tolerance`), bounded by the frames that show picture across a line.
int CombineSide(std::vector<int> any, std::vector<int> wide) {
    std::sort(any.begin(), any.end());
    std::size_t best = 0;
    std::size_t bestCount = 0;
    for (std::size_t i = 0; i < any.size(); ++i) {
        const auto end = std::upper_bound(any.begin() + i, any.end(), any[i] + Tolerance);
        const auto n = static_cast<std::size_t>(end - (any.begin() + i));
        if (n > bestCount) {
            best = i;
            bestCount = n;
        }
    }
    int border = any[best];
    std::erase_if(wide, [](int v) { return v < 0; });
    if (!wide.empty()) {
        std::sort(wide.begin(), wide.end());
        const std::size_t k = std::min(wide.size(), std::max(WideWitnesses, wide.size() / 10));
        border = std::min(border, wide[k - 1]);
    }
    return border;
}

/// Whether `a` is the frame measured as `b`: the same place in the film and, where
/// both packets know theirs, in the file.
bool SameFrame(const TFrame& a, const TFrameBorders& b, std::int64_t bPos) {
    return a.Position == b.Position && (a.FilePos == bPos || a.FilePos < 0 || bPos < 0);
}

} // namespace

TFrameBorders MeasureFrame(const TLumaView& luma) {
    TFrameBorders out;
    out.Blank = true;
    if (!luma.Data || luma.Width <= 0 || luma.Height <= 0 || luma.Stride < luma.Width) return out;
    if (!ScanPair(luma, true, 0, luma.Width, out)) return out;
    // Left and right over the rows with something on them, then top and bottom
    // again over the columns between: with bars on all four sides, neither pair
    // is thinned out by the other's black.
    if (!ScanPair(luma, false, out.Any.Top, luma.Height - out.Any.Bottom, out)) return out;
    if (!ScanPair(luma, true, out.Any.Left, luma.Width - out.Any.Right, out)) return out;
    out.Blank = false;
    return out;
}

std::optional<TBorders> CombineBorders(const std::vector<TFrameBorders>& frames) {
    std::array<std::vector<int>, 4> any;
    std::array<std::vector<int>, 4> wide;
    for (const TFrameBorders& f : frames) {
        if (f.Blank) continue;
        const std::array<int, 4> a{f.Any.Left, f.Any.Top, f.Any.Right, f.Any.Bottom};
        const std::array<int, 4> w{f.Wide.Left, f.Wide.Top, f.Wide.Right, f.Wide.Bottom};
        for (std::size_t s = 0; s < 4; ++s) {
            any[s].push_back(a[s]);
            wide[s].push_back(w[s]);
        }
    }
    if (any[0].empty()) return std::nullopt;
    return TBorders{CombineSide(any[0], wide[0]), CombineSide(any[1], wide[1]),
                    CombineSide(any[2], wide[2]), CombineSide(any[3], wide[3])};
}

std::optional<TFilmArea> AreaInside(int width, int height, const TBorders& b) {
    const TFilmArea area{width - b.Left - b.Right, height - b.Top - b.Bottom, b.Left, b.Top};
    if (area.Width < TFrameReader::MinSide || area.Height < TFrameReader::MinSide)
        return std::nullopt;
    return area;
}

std::vector<double> DetectPositions(const TDetectOptions& options) {
    std::vector<double> positions;
    const int n = std::max(options.Positions, 1);
    const double skip = std::clamp(options.Skip, 0.0, 0.45);
    for (int i = 0; i < n; ++i) positions.push_back(skip + (1 - 2 * skip) * (i + 0.5) / n);
    return positions;
}

TDetectResult DetectFilmArea(TFrameReader& reader, const TDetectOptions& options,
                             const TDetectProgress& progress, const std::atomic<bool>* cancel) {
    TDetectResult result;
    result.FrameWidth = reader.Width();
    result.FrameHeight = reader.Height();
    std::vector<std::int64_t> filePos;
    const std::vector<double> positions = DetectPositions(options);
    const int total = static_cast<int>(positions.size());
    for (int i = 0; i < total; ++i) {
        if (cancel && *cancel) {
            result.Cancelled = true;
            return result;
        }
        const std::optional<TFrame> frame = reader.DecodeAt(positions[i], false);
        // A keyframe decoded again from a nearby position is counted once; a frame
        // of another size (a stream that changes it) says nothing about this one.
        if (frame && frame->Width == result.FrameWidth && frame->Height == result.FrameHeight) {
            bool seen = false;
            for (std::size_t k = 0; k < result.Frames.size(); ++k)
                seen = seen || SameFrame(*frame, result.Frames[k], filePos[k]);
            if (!seen) {
                TFrameBorders b =
                    MeasureFrame({frame->Luma.data(), frame->Width, frame->Height, frame->Width});
                b.Position = frame->Position;
                result.Frames.push_back(b);
                filePos.push_back(frame->FilePos);
            }
        }
        if (progress) progress(i + 1, total);
    }
    if (const auto borders = CombineBorders(result.Frames))
        result.Area = AreaInside(result.FrameWidth, result.FrameHeight, *borders);
    return result;
}

TDetectResult DetectFilmArea(const std::string& name, const TFrameCrop& crop,
                             const TDetectOptions& options, const TDetectProgress& progress,
                             const std::atomic<bool>* cancel) {
    TFrameReader reader;
    reader.SetCancel(cancel);
    TDetectResult result;
    result.Error = reader.Open(name, crop);
    // A cancel during the open ends it with an error that is none.
    if (cancel && *cancel) {
        result.Error = TFrameError::None;
        result.Cancelled = true;
        return result;
    }
    if (result.Error != TFrameError::None) return result;
    return DetectFilmArea(reader, options, progress, cancel);
}

std::unique_ptr<TDetectJob> StartDetectJob(std::string name, TFrameCrop crop,
                                           TDetectOptions options, std::function<void()> wake) {
    return std::make_unique<TDetectJob>(
        [name = std::move(name), crop, options](const TDetectJob::TReport& report,
                                                const std::atomic<bool>& cancel) {
            return DetectFilmArea(
                name, crop, options,
                [&report](int done, int total) {
                    report({done, total});
                },
                &cancel);
        },
        [](const std::string& what) {
            TDetectResult failed;
            failed.Failure = what;
            return failed;
        },
        std::move(wake));
}

} // namespace tarvex
