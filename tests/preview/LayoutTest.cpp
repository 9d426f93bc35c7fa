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

void ExpectRect(const TRectF& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.X, x, 1e-9);
    EXPECT_NEAR(r.Y, y, 1e-9);
    EXPECT_NEAR(r.W, w, 1e-9);
    EXPECT_NEAR(r.H, h, 1e-9);
}

TEST(LayoutPreview, SourceViewAtTheFilmsRealAspect) {
    const TPreviewScene s =
        LayoutPreview(Svcd(), {400, 300}, {400, 300}, true, TBorders{2, 68, 0, 72});
    const TPreviewView& v = s.Source;
    // 720 x 576 PAL pixels of form 0.9140625 show as 787.7 x 576: the width decides.
    const double k = 400 * 0.9140625 / 720;
    EXPECT_DOUBLE_EQ(v.ScaleY, k);
    EXPECT_DOUBLE_EQ(v.ScaleX, k / 0.9140625);
    const double top = (300 - 576 * k) / 2;
    ExpectRect(v.Frame, 0, top, 400, 576 * k);
    EXPECT_EQ(Shapes(v), (std::vector<TShape>{TShape::SourceImage, TShape::FilmArea,
                                              TShape::FrameBorders, TShape::CropRect}));
    EXPECT_EQ(v.Items[0].From, (TRectF{0, 0, 720, 576}));
    const double sx = v.ScaleX;
    ExpectRect(v.Items[1].Rect, 0, top + 70 * k, 720 * sx, 436 * k);
    ExpectRect(v.Items[2].Rect, 2 * sx, top + 68 * k, 718 * sx, 436 * k);
    ExpectRect(v.Items[3].Rect, 8 * sx, top + 70 * k, 704 * sx, 436 * k);
}

TEST(LayoutPreview, DestinationViewAsTheScriptMakesIt) {
    const TPreviewScene s = LayoutPreview(Svcd(), {400, 300}, {300, 300}, true);
    const TPreviewView& v = s.Dest;
    // 480 x 576 SVCD pixels of form 0.609375 show as 787.7 x 576: the width decides.
    const double k = 300 * 0.609375 / 480;
    const double sx = k / 0.609375;
    const double top = (300 - 576 * k) / 2;
    ExpectRect(v.Frame, 0, top, 300, 576 * k);

    // The frame, the picture, two aspect bands, four overscan blocks, 29 + 35 grid lines.
    std::vector<TShape> order{TShape::DestFrame, TShape::Picture, TShape::AspectBand,
                              TShape::AspectBand};
    order.insert(order.end(), 4, TShape::Overscan);
    order.insert(order.end(), 29 + 35, TShape::GridLine);
    ASSERT_EQ(Shapes(v), order);

    // The picture is the crop of the frame, placed at the script's borders.
    ExpectRect(v.Items[1].Rect, 16 * sx, top + 80 * k, 448 * sx, 416 * k);
    EXPECT_EQ(v.Items[1].From, (TRectF{8, 70, 704, 436}));

    // Two blocks of overscan: 16 pixels on every side, the corners shaded once.
    const auto overscan = Only(v, TShape::Overscan);
    ExpectRect(overscan[0].Rect, 0, top, 480 * sx, 16 * k);
    ExpectRect(overscan[1].Rect, 0, top + 560 * k, 480 * sx, 16 * k);
    ExpectRect(overscan[2].Rect, 0, top + 16 * k, 16 * sx, 544 * k);
    ExpectRect(overscan[3].Rect, 464 * sx, top + 16 * k, 16 * sx, 544 * k);

    // Grid lines every 16 pixels inside the frame: 29 across, 35 down.
    const auto grid = Only(v, TShape::GridLine);
    ExpectRect(grid.front().Rect, 16 * sx, top, 0, 576 * k);
    ExpectRect(grid[28].Rect, 464 * sx, top, 0, 576 * k);
    ExpectRect(grid[29].Rect, 0, top + 16 * k, 480 * sx, 0);
    ExpectRect(grid.back().Rect, 0, top + 560 * k, 480 * sx, 0);
}

struct TBandCase {
    std::string Name;
    double Error;
    int Band;
    double Left; ///< the left band's left edge in destination pixels; NaN: no bands
    double Width;
};

void PrintTo(const TBandCase& c, std::ostream* os) {
    *os << c.Name;
}

class AspectBandTest : public ::testing::TestWithParam<TBandCase> {};

TEST_P(AspectBandTest, BandsByTheError) {
    const TBandCase& c = GetParam();
    TPreviewGeometry g = Svcd();
    g.AspectError = c.Error;
    g.ErrorBand = c.Band;
    const TPreviewView v = LayoutPreview(g, {400, 300}, {480, 576}, true).Dest;
    const auto bands = Only(v, TShape::AspectBand);
    if (std::isnan(c.Left)) {
        EXPECT_TRUE(bands.empty());
        return;
    }
    ASSERT_EQ(bands.size(), 2u);
    // Both bands run down the picture's height: from line 80 for 416 lines.
    const double sx = v.ScaleX;
    const double y = v.Frame.Y + 80 * v.ScaleY;
    const double right = c.Left < 16 ? 464 : 464 - c.Width;
    ExpectRect(bands[0].Rect, v.Frame.X + c.Left * sx, y, c.Width * sx, 416 * v.ScaleY);
    ExpectRect(bands[1].Rect, v.Frame.X + right * sx, y, c.Width * sx, 416 * v.ScaleY);
    EXPECT_EQ(std::pair(bands[0].Band, bands[1].Band), std::pair(c.Band, c.Band));
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
    ExpectRect(LayoutPreview(g, {1, 1}, {200, 400}, true).Dest.Frame, 0, 125, 200, 150);
    ExpectRect(LayoutPreview(g, {1, 1}, {800, 300}, true).Dest.Frame, 200, 0, 400, 300);
}

} // namespace
} // namespace tarvex
