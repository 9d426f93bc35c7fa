#include "geometry/ResUnit.h"

#include "common/Numeric.h"

namespace tarvex {

namespace {

/// A rounded count times a rounding step, kept to the low 16 bits like the crop fields.
/// The product is formed in unsigned arithmetic so that a huge count wraps instead of
/// overflowing.
std::int16_t RoundedTimes(std::int64_t count, std::int64_t step) {
    const auto product = static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(step);
    return Store<std::int16_t>(static_cast<std::int64_t>(product));
}

/// Floor(value / step) x step: the largest multiple of step not above value.
std::int16_t FloorToMultiple(Real value, std::int64_t step) {
    return RoundedTimes(Floor(Div(value, static_cast<Real>(step))), step);
}

/// An aspect width / height / form, or 9999 when the height is 0.
double Aspect(std::int64_t width, std::int64_t height, double form) {
    if (height == 0) return 9999;
    return ToDouble(Div(Div(static_cast<Real>(width), static_cast<Real>(height)), form));
}

/// 8x8 blocks of a 4:2:0 picture: chroma, luma and their 16-bit sum.
void CountBlocks(std::int64_t width, std::int64_t height, std::uint16_t& chroma,
                 std::uint16_t& luma, std::uint16_t& total) {
    const Real w = static_cast<Real>(width);
    const Real h = static_cast<Real>(height);
    chroma = Store<std::uint16_t>(std::int64_t{8} * Ceil(Div(w, 32)) * Ceil(Div(h, 32)));
    luma = Store<std::uint16_t>(std::int64_t{4} * Ceil(Div(w, 16)) * Ceil(Div(h, 16)));
    total = Store<std::uint16_t>(std::int64_t{chroma} + luma);
}

} // namespace

// A changed pixel form changes the crop, so both form setters recompute; otherwise
// the crop shown would stay stale until some other input changed.
void TResizeStruct::SetSrcPixelForm(double value) {
    if (value == SrcPixelForm) return;
    SrcPixelForm = value;
    Recompute();
}

void TResizeStruct::SetDestPixelForm(double value) {
    if (value == DestPixelForm) return;
    DestPixelForm = value;
    Recompute();
}

void TResizeStruct::SetCropRoundX(std::int8_t value) {
    if (value == CropRoundX) return;
    CropRoundX = value;
    Recompute();
}

void TResizeStruct::SetCropRoundY(std::int8_t value) {
    if (value == CropRoundY) return;
    CropRoundY = value;
    Recompute();
}

void TResizeStruct::SetCropMode(std::uint8_t value) {
    if (value == CropMode) return;
    CropMode = value;
    Recompute();
}

void TResizeStruct::SetInterlacedResizing(bool value) {
    if (value == InterlacedResizing) return;
    InterlacedResizing = value;
    Recompute();
}

void TResizeStruct::SetSrcPixelX(std::int16_t value) {
    if (value == SrcPixelX || value < MinFilmSide) return;
    SrcPixelX = value;
    CountFilmBlocks();
    Recompute();
}

void TResizeStruct::SetSrcPixelY(std::int16_t value) {
    if (value == SrcPixelY || value < MinFilmSide) return;
    SrcPixelY = value;
    CountFilmBlocks();
    Recompute();
}

void TResizeStruct::SetResizeX(std::int16_t value) {
    if (value == ResizeX) return;
    ResizeX = value;
    Recompute();
}

void TResizeStruct::SetResizeY(std::int16_t value) {
    if (value == ResizeY) return;
    ResizeY = value;
    Recompute();
}

void TResizeStruct::SetBorderLeft(std::int16_t value) {
    if (value == BorderLeft || value > SrcResX - SrcPixelX) return;
    BorderLeft = value;
    Recompute();
}

void TResizeStruct::SetBorderTop(std::int16_t value) {
    if (value == BorderTop || value > SrcResY - SrcPixelY) return;
    BorderTop = value;
    Recompute();
}

double TResizeStruct::FilmAspect() const {
    return Aspect(SrcPixelX, SrcPixelY, SrcPixelForm);
}

double TResizeStruct::CropAspect() const {
    return Aspect(CropX, CropY, SrcPixelForm);
}

double TResizeStruct::ResizeAspect() const {
    return Aspect(ResizeX, ResizeY, DestPixelForm);
}

void TResizeStruct::Recompute() {
    const std::int64_t rx = CropRoundX;
    const std::int64_t ry = CropRoundY;
    const Real spf = SrcPixelForm;
    const Real dpf = DestPixelForm;

    // SPF / DPF x ResizeX x height / ResizeY / RX, left to right.
    const auto widthFor = [&](Real height) {
        Real v = Div(spf, dpf);
        v = Checked(v * ResizeX);
        v = Checked(v * height);
        v = Div(v, ResizeY);
        return Div(v, static_cast<Real>(rx));
    };
    // CropX / SPF / ResizeAspect / RY, left to right.
    const auto heightFor = [&]() {
        return Div(Div(Div(static_cast<Real>(CropX), spf), ResizeAspect()), static_cast<Real>(ry));
    };
    // The crop width that keeps the resize aspect, shrunk until it fits the film area.
    const auto fitWidth = [&]() {
        CropX = RoundedTimes(Round(widthFor(CropY)), rx);
        if (CropX > SrcPixelX) CropX = RoundedTimes(Floor(widthFor(SrcPixelY)), rx);
        if (CropX > SrcPixelX) CropX = FloorToMultiple(SrcPixelX, rx);
    };
    // The crop height that keeps the resize aspect, shrunk until it fits the film area.
    const auto fitHeight = [&]() {
        CropY = RoundedTimes(Round(heightFor()), ry);
        if (CropY > SrcPixelY) CropY = RoundedTimes(Floor(heightFor()), ry);
        if (CropY > SrcPixelY) CropY = FloorToMultiple(SrcPixelY, ry);
    };

    std::optional<TCropResult> found;
    try {
        switch (static_cast<TCropMode>(CropMode)) {
        case TCropMode::Accurate:
            CropY = FloorToMultiple(SrcPixelY, ry);
            fitWidth();
            fitHeight();
            break;
        case TCropMode::Average: {
            CropX = FloorToMultiple(SrcPixelX, rx);
            CropY = FloorToMultiple(SrcPixelY, ry);
            const double sx = ToDouble(Div(Div(CropX, spf), Div(ResizeX, dpf)));
            const double sy = ToDouble(Div(CropY, ResizeY));
            const double s = ToDouble(Div(static_cast<Real>(sx) + sy, 2));
            CropY = FloorToMultiple(Checked(static_cast<Real>(ResizeY) * s), ry);
            CropX = RoundedTimes(Round(widthFor(CropY)), rx);
            if (CropX > SrcPixelX) CropX = FloorToMultiple(SrcPixelX, rx);
            if (CropY > SrcPixelY) CropY = FloorToMultiple(SrcPixelY, ry);
            break;
        }
        case TCropMode::MaxHeight:
            CropY = FloorToMultiple(SrcPixelY, ry);
            fitWidth();
            break;
        case TCropMode::MaxWidth:
            CropX = FloorToMultiple(SrcPixelX, rx);
            fitHeight();
            break;
        default: // TCropMode::None
            CropY = SrcPixelY;
            CropX = SrcPixelX;
            break;
        }

        // Centred in the film area; an odd surplus leaves the extra pixel right or below.
        CropLeft = Store<std::int16_t>(Half(SrcPixelX - CropX) + BorderLeft);
        CropTop = Store<std::int16_t>(Half(SrcPixelY - CropY) + BorderTop);
        found =
            TCropResult{.CropX = CropX, .CropY = CropY, .CropLeft = CropLeft, .CropTop = CropTop};

        found->CropAspect = RoundTo(CropAspect(), 10000);
        const Real ratio = Div(CropAspect(), ResizeAspect());
        const double err =
            ToDouble(Div(static_cast<Real>(Round(Checked((ratio - 1) * 10000))), 100));
        found->Error = err;
        // The size of the error counts, whichever way the picture is distorted.
        const double size = err < 0 ? -err : err;
        found->Band = size < 0.5    ? TErrorBand::Small
                      : size <= 1.0 ? TErrorBand::Noticeable
                                    : TErrorBand::Large;
    } catch (const FloatError&) {
        // A failed step leaves what was stored before it; only what came before is reported.
    }
    if (found && OnCropResult) OnCropResult(*found);
    CountResizeBlocks();
}

void TResizeStruct::CountResizeBlocks() {
    CountBlocks(ResizeX, ResizeY, ResizeChromBlocks, ResizeLumBlocks, ResizeBlocks);
}

void TResizeStruct::CountFilmBlocks() {
    CountBlocks(SrcPixelX, SrcPixelY, FilmChromBlocks, FilmLumBlocks, FilmBlocks);
}

TBorderRect TResizeStruct::GetBorders() const {
    const std::int64_t e = std::int64_t{8} * OptPositioning;
    std::int64_t top = Half(std::int64_t{DestY} - ResizeY);
    if (OptPositioning > 0) {
        const Real steps = Div(static_cast<Real>(top), static_cast<Real>(e));
        const std::int64_t lo = FloorInt64(steps) * e;
        const std::int64_t hi = CeilInt64(steps) * e;
        const std::int64_t down = top - lo;
        const std::int64_t up = hi - top;
        top = up < down ? hi : lo; // a tie takes the lower multiple
    }
    const std::int64_t left = Half(std::int64_t{DestX} - ResizeX);
    TBorderRect r;
    r.Left = static_cast<std::int32_t>(left);
    r.Top = static_cast<std::int32_t>(top);
    r.Right = static_cast<std::int32_t>(DestX - left - ResizeX);
    r.Bottom = static_cast<std::int32_t>(DestY - top - ResizeY);
    return r;
}

} // namespace tarvex
