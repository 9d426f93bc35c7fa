#include "geometry/ResUnit.h"

#include "common/Numeric.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

using Log = std::vector<std::string>;

/// Rows of the tables below print as their names.
template <typename Row>
requires requires(const Row& r) {
    r.name;
}
void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}

/// " error E% Band": the end of a published crop whose aspect error was found.
std::string ErrorText(const std::string& err, TErrorBand band) {
    const char* names[] = {"Small", "Noticeable", "Large"};
    return " error " + err + "% " + names[static_cast<int>(band)];
}

/// A published crop as one line: "WxH+Left+Top", then " = aspect" and the error
/// as far as the computation got.
std::string Line(const TCropResult& r) {
    std::string s = std::to_string(r.CropX) + "x" + std::to_string(r.CropY) + "+" +
                    std::to_string(r.CropLeft) + "+" + std::to_string(r.CropTop);
    if (r.CropAspect) s += " = " + FloatToStr(*r.CropAspect, '.');
    if (r.Error) s += ErrorText(FloatToStr(*r.Error, '.'), r.Band);
    return s;
}

/// Binds the output hook to a log so a test sees every publication in order.
void Record(TResizeStruct& m, Log& log) {
    m.OnCropResult = [&log](const TCropResult& r) { log.push_back(Line(r)); };
}

/// A 720x436 film area 70 lines down a PAL DVD frame, resized for a 16:9 SVCD picture.
void SetUpFilm(TResizeStruct& m, std::uint8_t mode) {
    m.SetCropMode(mode);
    m.SetSrcPixelX(720);
    m.SetSrcPixelY(436);
    m.SetBorderTop(70);
    m.SetSrcPixelForm(0.9140625);
    m.SetDestPixelForm(0.609375);
    m.SetResizeX(448);
    m.SetResizeY(416);
}

class ResizeModelTest : public ::testing::Test {
  protected:
    void SetUp() override { Record(model, log); }
    /// Sets up the film in the given mode and forgets what that published.
    void Start(std::uint8_t mode) {
        SetUpFilm(model, mode);
        log.clear();
    }

    TResizeStruct model;
    Log log;
};

/// A model whose publications are logged, for each row of a table.
template <typename Row>
class ResizeRowTest : public ResizeModelTest, public ::testing::WithParamInterface<Row> {};

TEST_F(ResizeModelTest, ConstructionDoesNotRecompute) {
    // A recompute would have counted the 16x16 resize blocks.
    EXPECT_EQ(model.ResizeBlocks, 0);
    EXPECT_EQ(model.FilmBlocks, 0);
}

// ---- Worked examples: every crop mode on the same film ----

struct CropCase {
    const char* name;
    std::uint8_t mode;
    int cropX, cropY, cropLeft, cropTop;
    const char* aspect;
    const char* err;
    TErrorBand band;
};

using CropModeTest = ResizeRowTest<CropCase>;

TEST_P(CropModeTest, CropsAndPublishes) {
    const CropCase& c = GetParam();
    SetUpFilm(model, c.mode);
    EXPECT_EQ(std::tuple(model.CropX, model.CropY, model.CropLeft, model.CropTop),
              std::tuple(c.cropX, c.cropY, c.cropLeft, c.cropTop));
    // Every setter recomputed; the last one published the final results.
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), std::to_string(c.cropX) + "x" + std::to_string(c.cropY) + "+" +
                              std::to_string(c.cropLeft) + "+" + std::to_string(c.cropTop) + " = " +
                              c.aspect + ErrorText(c.err, c.band));
}

INSTANTIATE_TEST_SUITE_P(
    Film720x436, CropModeTest,
    ::testing::Values(
        CropCase{"Accurate", 1, 704, 436, 8, 70, "1.7665", "-0.04", TErrorBand::Small},
        CropCase{"MaxHeight", 3, 704, 436, 8, 70, "1.7665", "-0.04", TErrorBand::Small},
        CropCase{"Average", 2, 710, 436, 5, 70, "1.7815", "0.81", TErrorBand::Noticeable},
        CropCase{"NoCropping", 0, 720, 436, 0, 70, "1.8066", "2.23", TErrorBand::Large},
        CropCase{"MaxWidth", 4, 720, 436, 0, 70, "1.8066", "2.23", TErrorBand::Large},
        CropCase{"UnknownModeCropsNothing", 5, 720, 436, 0, 70, "1.8066", "2.23",
                 TErrorBand::Large},
        CropCase{"LargestModeCropsNothing", 255, 720, 436, 0, 70, "1.8066", "2.23",
                 TErrorBand::Large}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Error colour at its limits: square pixels, 16x16 resize, no cropping ----

struct ColourCase {
    const char* name;
    std::int16_t filmX, filmY;
    const char* err;
    TErrorBand band;
};

using ErrColourTest = ResizeRowTest<ColourCase>;

TEST_P(ErrColourTest, ColoursBySizeOfError) {
    const ColourCase& c = GetParam();
    model.SetSrcPixelX(c.filmX);
    model.SetSrcPixelY(c.filmY);
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log.back().ends_with(ErrorText(c.err, c.band))) << log.back();
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ErrColourTest,
    // A picture squeezed by the same amount as another is stretched is as wrong.
    ::testing::Values(ColourCase{"Zero", 200, 200, "0", TErrorBand::Small},
                      ColourCase{"Below", 199, 200, "-0.5", TErrorBand::Noticeable},
                      ColourCase{"OneBelow", 198, 200, "-1", TErrorBand::Noticeable},
                      ColourCase{"FurtherBelow", 197, 200, "-1.5", TErrorBand::Large},
                      ColourCase{"FarBelow", 128, 400, "-68", TErrorBand::Large},
                      ColourCase{"Half", 201, 200, "0.5", TErrorBand::Noticeable},
                      ColourCase{"One", 202, 200, "1", TErrorBand::Noticeable},
                      ColourCase{"Above", 203, 200, "1.5", TErrorBand::Large}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Setters: guards, what they store and whether they recompute ----

struct SetterCase {
    const char* name;
    std::function<double(TResizeStruct&)> setAndRead; ///< calls the setter, reads its field
    double stored;
    bool recomputes;
};

template <typename A>
A ArgumentOf(void (TResizeStruct::*)(A));

/// A row that gives `value` to the setter Set and expects `stored` in Field.
template <auto Set, auto Field>
SetterCase Row(const char* name, double value, double stored, bool recomputes) {
    using Arg = decltype(ArgumentOf(Set));
    return {name,
            [value](TResizeStruct& m) {
                (m.*Set)(static_cast<Arg>(value));
                return static_cast<double>(m.*Field);
            },
            stored, recomputes};
}

using SetterTest = ResizeRowTest<SetterCase>;

TEST_P(SetterTest, GuardsStoreAndRecompute) {
    const SetterCase& c = GetParam();
    Start(1);
    EXPECT_EQ(c.setAndRead(model), c.stored);
    if (c.recomputes) {
        // One publication with every result.
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(" = "), std::string::npos) << log[0];
        EXPECT_NE(log[0].find(" error "), std::string::npos) << log[0];
    } else {
        EXPECT_TRUE(log.empty()) << log.front();
    }
}

using R = TResizeStruct;

// Starting state: SrcRes 720x576, film 720x436, BorderTop 70, crop mode 1, rounding 2.
INSTANTIATE_TEST_SUITE_P(
    FromFilm, SetterTest,
    ::testing::Values(
        Row<&R::SetSrcPixelX, &R::SrcPixelX>("SrcPixelX127Refused", 127, 720, false),
        Row<&R::SetSrcPixelX, &R::SrcPixelX>("SrcPixelX128Stored", 128, 128, true),
        Row<&R::SetSrcPixelX, &R::SrcPixelX>("SrcPixelXNegativeRefused", -200, 720, false),
        Row<&R::SetSrcPixelX, &R::SrcPixelX>("SrcPixelXAboveFrameStored", 1000, 1000, true),
        Row<&R::SetSrcPixelY, &R::SrcPixelY>("SrcPixelYEqual", 436, 436, false),
        Row<&R::SetSrcPixelY, &R::SrcPixelY>("SrcPixelY127Refused", 127, 436, false),
        Row<&R::SetSrcPixelY, &R::SrcPixelY>("SrcPixelY128Stored", 128, 128, true),
        Row<&R::SetBorderTop, &R::BorderTop>("BorderTop140Stored", 140, 140, true),
        Row<&R::SetBorderTop, &R::BorderTop>("BorderTop141Refused", 141, 70, false),
        Row<&R::SetBorderTop, &R::BorderTop>("BorderTopNegativeStored", -4, -4, true),
        Row<&R::SetBorderTop, &R::BorderTop>("BorderTopEqual", 70, 70, false),
        Row<&R::SetBorderLeft, &R::BorderLeft>("BorderLeftBeyondFrameRefused", 1, 0, false),
        Row<&R::SetBorderLeft, &R::BorderLeft>("BorderLeftNegativeStored", -3, -3, true),
        Row<&R::SetCropRoundX, &R::CropRoundX>("CropRoundXStored", 16, 16, true),
        Row<&R::SetCropRoundY, &R::CropRoundY>("CropRoundYEqual", 2, 2, false),
        Row<&R::SetCropMode, &R::CropMode>("CropModeStored", 2, 2, true),
        Row<&R::SetCropMode, &R::CropMode>("CropModeEqual", 1, 1, false),
        Row<&R::SetInterlacedResizing, &R::InterlacedResizing>("InterlacedStored", 1, 1, true),
        Row<&R::SetResizeX, &R::ResizeX>("ResizeXStored", 480, 480, true),
        Row<&R::SetResizeY, &R::ResizeY>("ResizeYEqual", 416, 416, false),
        Row<&R::SetSrcPixelForm, &R::SrcPixelForm>("SrcPixelFormChanged", 1.0, 1.0, true),
        Row<&R::SetSrcPixelForm, &R::SrcPixelForm>("SrcPixelFormEqual", 0.9140625, 0.9140625,
                                                   false),
        Row<&R::SetDestPixelForm, &R::DestPixelForm>("DestPixelFormChanged", 0.75, 0.75, true),
        Row<&R::SetDestPixelForm, &R::DestPixelForm>("DestPixelFormEqual", 0.609375, 0.609375,
                                                     false)),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResizeModelTest, FilmPixelSetterRefreshesFilmBlocks) {
    Start(1);
    const auto before = model.FilmBlocks;
    model.SetSrcPixelX(127);
    EXPECT_EQ(model.FilmBlocks, before);
    model.SetSrcPixelX(128);
    // 128x436: chroma 8 x 4 x 14, luma 4 x 8 x 28
    EXPECT_EQ(model.FilmChromBlocks, 448);
    EXPECT_EQ(model.FilmLumBlocks, 896);
    EXPECT_EQ(model.FilmBlocks, 1344);
}

// A changed pixel form must not leave the crop of the old form on show.
TEST_F(ResizeModelTest, PixelFormChangeRecomputesTheCrop) {
    Start(1);
    model.SetDestPixelForm(0.9140625);
    EXPECT_EQ(model.CropX, 470);
    EXPECT_EQ(model.CropY, 436);
    EXPECT_EQ(model.CropLeft, 125);

    // The same inputs given in another order, the forms first, crop alike.
    TResizeStruct fresh;
    fresh.SetSrcPixelForm(0.9140625);
    fresh.SetDestPixelForm(0.9140625);
    fresh.SetCropMode(1);
    fresh.SetSrcPixelX(720);
    fresh.SetSrcPixelY(436);
    fresh.SetBorderTop(70);
    fresh.SetResizeX(448);
    fresh.SetResizeY(416);
    EXPECT_EQ(fresh.CropX, model.CropX);
    EXPECT_EQ(fresh.CropY, model.CropY);
    EXPECT_EQ(fresh.CropLeft, model.CropLeft);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("470x436+125+70 = ", 0), 0u) << log[0];
}

// ---- The guard: a failing step keeps what was stored before it ----

/// The crop rectangle a test expects.
struct Crop {
    int x, y, left, top;
};

struct FaultCase {
    const char* name;
    std::uint8_t mode;
    std::function<void(TResizeStruct&)> set;
    Crop crop;
    Log published = {};
};

using FaultTest = ResizeRowTest<FaultCase>;

TEST_P(FaultTest, KeepsWhatWasStoredBeforeTheFailingStep) {
    const FaultCase& c = GetParam();
    Start(c.mode);
    EXPECT_NO_THROW(c.set(model));
    EXPECT_EQ(std::tuple(model.CropX, model.CropY, model.CropLeft, model.CropTop),
              std::tuple(c.crop.x, c.crop.y, c.crop.left, c.crop.top));
    EXPECT_EQ(log, c.published);
}

FaultCase Fault(const char* name, std::uint8_t mode, std::function<void(TResizeStruct&)> set,
                Crop crop, Log published = {}) {
    return {name, mode, std::move(set), crop, std::move(published)};
}

INSTANTIATE_TEST_SUITE_P(
    Guard, FaultTest,
    ::testing::Values(
        // Fails on the first division by RX: nothing new, nothing published.
        Fault("AccurateCropRoundX0", 1, [](auto& m) { m.SetCropRoundX(0); }, {704, 436, 8, 70}),
        // The crop height of step 1 is stored before the width fails.
        Fault("AccurateCropRoundX0ThenNewHeight", 1,
              [](auto& m) { m.SetCropRoundX(0), m.SetSrcPixelY(300); }, {704, 300, 8, 70}),
        Fault("AccurateResizeY0", 1, [](auto& m) { m.SetResizeY(0); }, {704, 436, 8, 70}),
        Fault("AverageResizeY0KeepsStepOneWidth", 2, [](auto& m) { m.SetResizeY(0); },
              {720, 436, 5, 70}),
        // The width of step 1 is stored before the height fails.
        Fault("MaxWidthCropRoundY0ThenNewWidth", 4,
              [](auto& m) { m.SetCropRoundY(0), m.SetSrcPixelX(600); }, {600, 436, 0, 70}),
        // Fails at the crop aspect: the crop size is already on show.
        Fault("NoCroppingSrcPixelForm0", 0, [](auto& m) { m.SetSrcPixelForm(0); },
              {720, 436, 0, 70}, {"720x436+0+70"}),
        // Fails at the aspect error: the crop aspect is already on show.
        Fault("NoCroppingDestPixelForm0", 0, [](auto& m) { m.SetDestPixelForm(0); },
              {720, 436, 0, 70}, {"720x436+0+70 = 1.8066"})),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResizeModelTest, BlocksAreCountedEvenWhenTheCropFails) {
    Start(1);
    model.SetResizeY(0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(model.ResizeBlocks, 0);
    model.SetResizeY(32);
    // Recovers once the input is sound again.
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(model.ResizeBlocks, 8 * 14 * 1 + 4 * 28 * 2);
}

TEST_F(ResizeModelTest, UnsetHooksAreSkipped) {
    Start(1);
    model.OnCropResult = nullptr;
    EXPECT_NO_THROW(model.SetCropMode(2));
    EXPECT_EQ(model.CropX, 710);
    EXPECT_EQ(model.CropLeft, 5);
}

// ---- Derived aspects ----

TEST_F(ResizeModelTest, AspectsOfTheFilm) {
    Start(1);
    EXPECT_NEAR(model.FilmAspect(), 1.8066, 0.00005);
    EXPECT_NEAR(model.CropAspect(), 1.7665, 0.00005);
    EXPECT_NEAR(model.ResizeAspect(), 1.7673, 0.00005);
}

TEST(ResizeAspects, ZeroHeightGives9999) {
    TResizeStruct m; // film and crop heights are 0 after construction
    EXPECT_EQ(m.FilmAspect(), 9999);
    EXPECT_EQ(m.CropAspect(), 9999);
    m.ResizeY = 0;
    EXPECT_EQ(m.ResizeAspect(), 9999);
}

// ---- Block counts ----

struct BlockCase {
    const char* name;
    std::int16_t w, h;
    std::uint16_t chroma, luma, total;
};

class BlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockTest, ResizeAndFilmCountsAgree) {
    const BlockCase& c = GetParam();
    TResizeStruct m;
    m.ResizeX = c.w;
    m.ResizeY = c.h;
    m.CountResizeBlocks();
    EXPECT_EQ(std::tuple(m.ResizeChromBlocks, m.ResizeLumBlocks, m.ResizeBlocks),
              std::tuple(c.chroma, c.luma, c.total));
    m.SrcPixelX = c.w;
    m.SrcPixelY = c.h;
    m.CountFilmBlocks();
    EXPECT_EQ(std::tuple(m.FilmChromBlocks, m.FilmLumBlocks, m.FilmBlocks),
              std::tuple(c.chroma, c.luma, c.total));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BlockTest,
    ::testing::Values(BlockCase{"Svcd448x416", 448, 416, 1456, 2912, 4368},
                      BlockCase{"Exact32", 32, 32, 8, 16, 24},
                      BlockCase{"StartedBlocksCount", 33, 17, 8 * 2 * 1, 4 * 3 * 2, 16 + 24},
                      // 31752 + 62500 passes 65535 and wraps
                      BlockCase{"TotalWraps", 2000, 2000, 31752, 62500, 94252 - 65536},
                      // 4 x 250 x 125 = 125000 wraps on its own
                      BlockCase{"LumaWraps", 4000, 2000, 63000, 125000 - 65536,
                                (63000 + 125000) % 65536}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Borders ----

struct BorderCase {
    const char* name;
    std::int16_t destX, destY, resizeX, resizeY, positioning;
    TBorderRect expected;
};

class BorderTest : public ::testing::TestWithParam<BorderCase> {};

TEST_P(BorderTest, PlacesThePicture) {
    const BorderCase& c = GetParam();
    TResizeStruct m;
    m.DestX = c.destX;
    m.DestY = c.destY;
    m.ResizeX = c.resizeX;
    m.ResizeY = c.resizeY;
    m.OptPositioning = c.positioning;
    for (bool interlaced : {false, true}) {
        m.InterlacedResizing = interlaced;
        const TBorderRect r = m.GetBorders();
        EXPECT_EQ(std::tuple(r.Left, r.Top, r.Right, r.Bottom),
                  std::tuple(c.expected.Left, c.expected.Top, c.expected.Right, c.expected.Bottom))
            << interlaced;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BorderTest,
    ::testing::Values(BorderCase{"Centered", 480, 576, 448, 552, 0, {16, 12, 16, 12}},
                      BorderCase{"BlockTieTakesLower", 480, 576, 448, 552, 1, {16, 8, 16, 16}},
                      BorderCase{"Macroblock", 480, 576, 448, 552, 2, {16, 16, 16, 8}},
                      BorderCase{"Centered80", 480, 576, 448, 416, 0, {16, 80, 16, 80}},
                      BorderCase{"Block80", 480, 576, 448, 416, 1, {16, 80, 16, 80}},
                      BorderCase{"Macroblock80", 480, 576, 448, 416, 2, {16, 80, 16, 80}},
                      BorderCase{"BlockNearerLower", 480, 576, 448, 558, 1, {16, 8, 16, 10}},
                      BorderCase{
                          "OddSurplusRightAndBottom", 481, 577, 448, 416, 0, {16, 80, 17, 81}},
                      // Half rounds toward zero: -1 / 2 is 0, so the whole pixel goes right.
                      BorderCase{"PictureTooWide", 447, 576, 448, 576, 0, {0, 0, -1, 0}},
                      // top -68 lies midway between -72 and -64
                      BorderCase{"PictureTooHighBlock", 480, 416, 448, 552, 1, {16, -72, 16, -64}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvex
