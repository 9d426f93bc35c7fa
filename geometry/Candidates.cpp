#include "geometry/Candidates.h"

#include "geometry/PictureSteps.h"

namespace tarvex {

namespace {

/// The first multiple of `round` that fits `limit`: rounded up, to nearest, down,
/// else the limit itself rounded down.
std::int32_t FitMultiple(Real q, std::int32_t round, std::int32_t limit) {
    std::int64_t v = std::int64_t{Ceil(q)} * round;
    if (v > limit) v = Round(q) * round;
    if (v > limit) v = std::int64_t{Floor(q)} * round;
    if (v > limit) v = std::int64_t{Floor(Div(limit, round))} * round;
    return Store<std::int32_t>(v);
}

} // namespace

std::int32_t HeightForWidth(const TResizeStruct& m, std::int32_t width, std::int32_t maxHeight) {
    const Real q = Div(Div(Div(width, m.DestPixelForm), m.FilmAspect()), m.DestPixelRoundY);
    return FitMultiple(q, m.DestPixelRoundY, maxHeight);
}

std::int32_t WidthForHeight(const TResizeStruct& m, std::int32_t height, std::int32_t maxWidth) {
    const Real q =
        Div(m.FilmAspect() * (height * static_cast<Real>(m.DestPixelForm)), m.DestPixelRoundX);
    return FitMultiple(q, m.DestPixelRoundX, maxWidth);
}

std::vector<TResizeCandidate> ResizeCandidates(const TResizeStruct& m, std::int32_t usableX,
                                               std::int32_t usableY, std::uint32_t videoRate) {
    std::vector<TResizeCandidate> rows;
    const std::int32_t step = m.DestPixelRoundY;
    if (step <= 0 || usableY < step) return rows;
    std::optional<std::int32_t> suggested;
    try {
        suggested = HeightForWidth(m, usableX, usableY);
    } catch (const FloatError&) {
    }
    const Real filmArea = static_cast<Real>(m.SrcPixelX) * m.SrcPixelY;
    TResizeStruct probe = m;
    std::optional<double> error;
    probe.OnCropResult = [&error](const TCropResult& crop) { error = crop.Error; };
    for (std::int32_t h = usableY / step * step; h >= step; h -= step) {
        TResizeCandidate c;
        try {
            c.Width = WidthForHeight(m, h, usableX);
        } catch (const FloatError&) {
            continue;
        }
        c.Height = h;
        probe.ResizeX = Store<std::int16_t>(c.Width);
        probe.ResizeY = Store<std::int16_t>(h);
        error.reset();
        probe.Recompute();
        c.Error = error;
        if (filmArea > 0) c.FilmKept = static_cast<double>(probe.CropX * probe.CropY / filmArea);
        c.Blocks = probe.ResizeBlocks;
        if (c.Blocks != 0) c.BitsPerBlock = Round(static_cast<Real>(videoRate) / c.Blocks);
        c.Borders = PictureSteps(PicturePlanOf(probe)).Borders;
        c.Suggested = suggested == h;
        c.Current = c.Width == m.ResizeX && h == m.ResizeY;
        rows.push_back(c);
    }
    return rows;
}

} // namespace tarvex
