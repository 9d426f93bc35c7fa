#include "preview/Layout.h"

#include <algorithm>
#include <cmath>

namespace tarvex {
namespace {

/// The grid of the encoder's macroblocks.
constexpr int GridStep = 16;
/// One TV overscan block.
constexpr int OverscanBlock = 8;

/// Frame pixels to view pixels.
struct TMap {
    double OX = 0;
    double OY = 0;
    double SX = 0;
    double SY = 0;

    TRectF operator()(double x, double y, double w, double h) const {
        return {OX + x * SX, OY + y * SY, w * SX, h * SY};
    }
};

/// Fits a `w` x `h` frame of pixel form `form` into `view` at its real aspect, centred.
TMap Fit(int w, int h, double form, TViewSize view) {
    if (w <= 0 || h <= 0 || view.Width <= 0 || view.Height <= 0) return {};
    if (!(form > 0) || !std::isfinite(form)) form = 1;
    const double k = std::min(view.Width * form / w, static_cast<double>(view.Height) / h);
    TMap map;
    map.SX = k / form;
    map.SY = k;
    map.OX = (view.Width - w * map.SX) / 2;
    map.OY = (view.Height - h * map.SY) / 2;
    return map;
}

void Add(TPreviewView& view, TShape shape, const TRectF& rect, const TRectF& from = {},
         int band = 0) {
    if (rect.W < 0 || rect.H < 0 || (rect.W == 0 && rect.H == 0)) return;
    view.Items.push_back({shape, rect, from, band});
}

TPreviewView SourceView(const TPreviewGeometry& g, TViewSize size, bool haveImage,
                        const std::optional<TBorders>& frameBorders) {
    const TMap m = Fit(g.SrcResX, g.SrcResY, g.SrcPixelForm, size);
    TPreviewView view{m(0, 0, g.SrcResX, g.SrcResY), m.SX, m.SY, {}};
    if (m.SY == 0) return view;
    const TRectF frame{0, 0, static_cast<double>(g.SrcResX), static_cast<double>(g.SrcResY)};
    Add(view, haveImage ? TShape::SourceImage : TShape::SourceDiagram, view.Frame, frame);
    Add(view, TShape::FilmArea, m(g.BorderLeft, g.BorderTop, g.SrcPixelX, g.SrcPixelY));
    if (frameBorders) {
        const TBorders& b = *frameBorders;
        Add(view, TShape::FrameBorders,
            m(b.Left, b.Top, g.SrcResX - b.Left - b.Right, g.SrcResY - b.Top - b.Bottom));
    }
    Add(view, TShape::CropRect, m(g.CropLeft, g.CropTop, g.CropX, g.CropY));
    return view;
}

/// The strips between the resized width and the width the picture would have at
/// its real aspect: outside the picture when it is drawn too narrow, inside when too wide.
void AddAspectBands(TPreviewView& view, const TMap& m, const TPreviewGeometry& g) {
    if (!std::isfinite(g.AspectError) || g.AspectError == 0 || g.ResizeX <= 0) return;
    const double d = std::clamp(g.ResizeX * g.AspectError / 200, -g.ResizeX / 2.0,
                                static_cast<double>(std::max(g.DestX, 0)));
    const double left = g.DestBorders.Left;
    const double right = left + g.ResizeX;
    const double top = g.DestBorders.Top;
    const double w = std::abs(d);
    const double leftBand = d > 0 ? left - d : left;
    const double rightBand = d > 0 ? right : right + d;
    Add(view, TShape::AspectBand, m(leftBand, top, w, g.ResizeY), {}, g.ErrorBand);
    Add(view, TShape::AspectBand, m(rightBand, top, w, g.ResizeY), {}, g.ErrorBand);
}

void AddOverscan(TPreviewView& view, const TMap& m, const TPreviewGeometry& g) {
    const int p = g.OverscanBlocks * OverscanBlock;
    if (p <= 0 || 2 * p >= g.DestX || 2 * p >= g.DestY) return;
    Add(view, TShape::Overscan, m(0, 0, g.DestX, p));
    Add(view, TShape::Overscan, m(0, g.DestY - p, g.DestX, p));
    Add(view, TShape::Overscan, m(0, p, p, g.DestY - 2 * p));
    Add(view, TShape::Overscan, m(g.DestX - p, p, p, g.DestY - 2 * p));
}

void AddGrid(TPreviewView& view, const TMap& m, const TPreviewGeometry& g) {
    for (int x = GridStep; x < g.DestX; x += GridStep)
        Add(view, TShape::GridLine, m(x, 0, 0, g.DestY));
    for (int y = GridStep; y < g.DestY; y += GridStep)
        Add(view, TShape::GridLine, m(0, y, g.DestX, 0));
}

TPreviewView DestView(const TPreviewGeometry& g, TViewSize size, bool haveImage) {
    const TMap m = Fit(g.DestX, g.DestY, g.DestPixelForm, size);
    TPreviewView view{m(0, 0, g.DestX, g.DestY), m.SX, m.SY, {}};
    if (m.SY == 0) return view;
    Add(view, TShape::DestFrame, view.Frame);
    const TRectF crop{static_cast<double>(g.CropLeft), static_cast<double>(g.CropTop),
                      static_cast<double>(g.CropX), static_cast<double>(g.CropY)};
    if (g.ResizeX > 0 && g.ResizeY > 0)
        Add(view, haveImage ? TShape::Picture : TShape::PictureDiagram,
            m(g.DestBorders.Left, g.DestBorders.Top, g.ResizeX, g.ResizeY), crop);
    AddAspectBands(view, m, g);
    AddOverscan(view, m, g);
    if (g.Grid) AddGrid(view, m, g);
    return view;
}

} // namespace

TPreviewScene LayoutPreview(const TPreviewGeometry& g, TViewSize sourceView, TViewSize destView,
                            bool haveImage, const std::optional<TBorders>& frameBorders) {
    return {SourceView(g, sourceView, haveImage, frameBorders), DestView(g, destView, haveImage)};
}

} // namespace tarvex
