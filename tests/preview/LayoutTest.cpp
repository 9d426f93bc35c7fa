// The preview's drawing data as numbers.
#include "preview/Layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tarvex {
namespace {

/// A PAL DVD film of 720 x 436 at top border 70, cropped to 704 x 436 and resized
/// to 448 x 416 for a PAL SVCD frame with two overscan blocks.
TPreviewGeometry Svcd() {
    return {.SrcResX = 720,
            .SrcResY = 576,
            .SrcPixelX = 720,
            .SrcPixelY = 436,
            .BorderTop = 70,
            .CropX = 704,
            .CropY = 436,
            .CropLeft = 8,
            .CropTop = 70,
            .ResizeX = 448,
            .ResizeY = 416,
            .DestX = 480,
            .DestY = 576,
            .DestBorders = {16, 80, 16, 80},
            .OverscanBlocks = 2,
            .SrcPixelForm = 0.9140625,
            .DestPixelForm = 0.609375,
            .AspectError = -0.04,
            .Grid = true};
}

std::vector<TShape> Shapes(const TPreviewView& v) {
    std::vector<TShape> s;
    for (const auto& item : v.Items) s.push_back(item.Shape);
    return s;
}

std::vector<TShapeItem> Only(const TPreviewView& v, TShape shape) {
    std::vector<TShapeItem> out;
    std::copy_if(v.Items.begin(), v.Items.end(), std::back_inserter(out),
                 [&](const TShapeItem& i) { return i.Shape == shape; });
    return out;
}

/// `x, y, w, h` in the pixels of the view's frame, as drawn.
TRectF In(const TPreviewView& v, double x, double y, double w, double h) {
    return {v.Frame.X + x * v.ScaleX, v.Frame.Y + y * v.ScaleY, w * v.ScaleX, h * v.ScaleY};
}

void ExpectRect(const TRectF& r, const TRectF& e) {
    EXPECT_NEAR(r.X, e.X, 1e-9);
    EXPECT_NEAR(r.Y, e.Y, 1e-9);
    EXPECT_NEAR(r.W, e.W, 1e-9);
    EXPECT_NEAR(r.H, e.H, 1e-9);
}

void ExpectRects(const std::vector<TShapeItem>& items, const std::vector<TRectF>& rects) {
    ASSERT_EQ(items.size(), rects.size());
    for (std::size_t i = 0; i < items.size(); ++i) ExpectRect(items[i].Rect, rects[i]);
}

TEST(LayoutPreview, SourceViewAtTheFilmsRealAspect) {
    const TPreviewScene s =
        LayoutPreview(Svcd(), {400, 300}, {400, 300}, true, TBorders{2, 68, 0, 72});
    const TPreviewView& v = s.Source;
    // 720 x 576 PAL pixels of form 0.9140625 show as 787.7 x 576: the width decides.
    const double k = 400 * 0.9140625 / 720;
    EXPECT_DOUBLE_EQ(v.ScaleY, k);
    EXPECT_DOUBLE_EQ(v.ScaleX, k / 0.9140625);
    ExpectRect(v.Frame, {0, (300 - 576 * k) / 2, 400, 576 * k});
    EXPECT_EQ(Shapes(v), (std::vector<TShape>{TShape::SourceImage, TShape::FilmArea,
                                              TShape::FrameBorders, TShape::CropRect}));
    EXPECT_EQ(v.Items[0].From, (TRectF{0, 0, 720, 576}));
    ExpectRects(v.Items, {In(v, 0, 0, 720, 576), In(v, 0, 70, 720, 436), In(v, 2, 68, 718, 436),
                          In(v, 8, 70, 704, 436)});
}

TEST(LayoutPreview, DestinationViewAsTheScriptMakesIt) {
    const TPreviewScene s = LayoutPreview(Svcd(), {400, 300}, {300, 300}, true);
    const TPreviewView& v = s.Dest;
    // 480 x 576 SVCD pixels of form 0.609375 show as 787.7 x 576: the width decides.
    const double k = 300 * 0.609375 / 480;
    EXPECT_DOUBLE_EQ(v.ScaleY, k);
    EXPECT_DOUBLE_EQ(v.ScaleX, k / 0.609375);
    ExpectRect(v.Frame, {0, (300 - 576 * k) / 2, 300, 576 * k});

    // The frame, the picture, two aspect bands, four overscan blocks, 29 + 35 grid lines.
    std::vector<TShape> order{TShape::DestFrame, TShape::Picture, TShape::AspectBand,
                              TShape::AspectBand};
    order.insert(order.end(), 4, TShape::Overscan);
    order.insert(order.end(), 29 + 35, TShape::GridLine);
    ASSERT_EQ(Shapes(v), order);

    // The picture is the crop of the frame, placed at the script's borders.
    ExpectRect(v.Items[1].Rect, In(v, 16, 80, 448, 416));
    EXPECT_EQ(v.Items[1].From, (TRectF{8, 70, 704, 436}));
    // Two blocks of overscan: 16 pixels on every side, the corners shaded once.
    ExpectRects(Only(v, TShape::Overscan), {In(v, 0, 0, 480, 16), In(v, 0, 560, 480, 16),
                                            In(v, 0, 16, 16, 544), In(v, 464, 16, 16, 544)});
    // Grid lines every 16 pixels inside the frame: 29 across, 35 down.
    const auto grid = Only(v, TShape::GridLine);
    ExpectRect(grid.front().Rect, In(v, 16, 0, 0, 576));
    ExpectRect(grid[28].Rect, In(v, 464, 0, 0, 576));
    ExpectRect(grid[29].Rect, In(v, 0, 16, 480, 0));
    ExpectRect(grid.back().Rect, In(v, 0, 560, 480, 0));
}

struct TBandCase {
    std::string Name;
    double Error;
    int Band;
    double Left; ///< the left band's left edge in destination pixels; NaN: no bands
    double Width;
};

class AspectBandTest : public ::testing::TestWithParam<TBandCase> {};

TEST_P(AspectBandTest, BandsByTheError) {
    const TBandCase& c = GetParam();
    TPreviewGeometry g = Svcd();
    g.AspectError = c.Error;
    g.ErrorBand = c.Band;
    const TPreviewView v = LayoutPreview(g, {400, 300}, {480, 576}, true).Dest;
    const auto bands = Only(v, TShape::AspectBand);
    // Both bands run down the picture's height: from line 80 for 416 lines.
    const double right = c.Left < 16 ? 464 : 464 - c.Width;
    ExpectRects(bands, std::isnan(c.Left) ? std::vector<TRectF>{}
                                          : std::vector{In(v, c.Left, 80, c.Width, 416),
                                                        In(v, right, 80, c.Width, 416)});
    for (const TShapeItem& b : bands) EXPECT_EQ(b.Band, c.Band);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, AspectBandTest,
    ::testing::Values(
        // The crop is wider than the resized picture: the real picture reaches out.
        TBandCase{"wider_red", 2.23, 2, 16 - 448 * 2.23 / 200, 448 * 2.23 / 200},
        TBandCase{"wider_yellow", 0.81, 1, 16 - 448 * 0.81 / 200, 448 * 0.81 / 200},
        TBandCase{"narrower", -3.5, 0, 16, 448 * 3.5 / 200},
        TBandCase{"barely_narrower", -0.04, 0, 16, 448 * 0.04 / 200},
        // A picture half as wide as drawn at most: the bands never cross.
        TBandCase{"far_too_narrow", -250, 0, 16, 224}, TBandCase{"none", 0, 0, std::nan(""), 0},
        TBandCase{"not_a_number", std::nan(""), 0, std::nan(""), 0}),
    [](const auto& info) { return info.param.Name; });

TEST(LayoutPreview, DiagramWithoutASource) {
    TPreviewGeometry g = Svcd();
    g.Grid = false;
    g.OverscanBlocks = 0;
    g.AspectError = 0;
    const TPreviewScene s = LayoutPreview(g, {400, 300}, {400, 300}, false);
    EXPECT_EQ(Shapes(s.Source),
              (std::vector<TShape>{TShape::SourceDiagram, TShape::FilmArea, TShape::CropRect}));
    EXPECT_EQ(Shapes(s.Dest), (std::vector<TShape>{TShape::DestFrame, TShape::PictureDiagram}));
}

TEST(LayoutPreview, OverscanThatWouldCoverTheFrameIsLeftOut) {
    TPreviewGeometry g = Svcd();
    g.DestX = 32; // three blocks on each side are 48 pixels: more than the frame
    g.OverscanBlocks = 3;
    EXPECT_TRUE(
        Only(LayoutPreview(g, {400, 300}, {400, 300}, true).Dest, TShape::Overscan).empty());
}

TEST(LayoutPreview, EmptyViewsForAGeometryWithoutFrames) {
    TPreviewGeometry g;
    g.DestBorders = {-10, -10, -10, -10};
    g.ResizeX = -5;
    g.Grid = true;
    for (const TPreviewScene& s : {LayoutPreview(g, {400, 300}, {400, 300}, true),
                                   LayoutPreview(Svcd(), {0, 300}, {400, -1}, true)}) {
        EXPECT_TRUE(s.Source.Items.empty());
        EXPECT_TRUE(s.Dest.Items.empty());
    }
}

TEST(LayoutPreview, ANarrowViewFitsTheHeight) {
    // A 1:1 frame of 768 x 576 in a view of 200 x 400: the width decides, centred vertically;
    // in 800 x 300 the height decides, centred horizontally.
    TPreviewGeometry g = Svcd();
    g.DestX = 768;
    g.DestPixelForm = 1;
    ExpectRect(LayoutPreview(g, {1, 1}, {200, 400}, true).Dest.Frame, {0, 125, 200, 150});
    ExpectRect(LayoutPreview(g, {1, 1}, {800, 300}, true).Dest.Frame, {200, 0, 400, 300});
}

} // namespace
} // namespace tarvex
