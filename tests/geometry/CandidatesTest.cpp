// The resize candidates and the script checks from the model.
#include "geometry/Candidates.h"
#include "geometry/ScriptCheck.h"

#include <gtest/gtest.h>

namespace tarvex {
namespace {

/// The worked SVCD example: a PAL film of 720 x 436 at top border 70, resized
/// for PAL SVCD (form 0.609375) within the usable area 448 x 544.
TResizeStruct SvcdExample(std::uint8_t roundY) {
    TResizeStruct m;
    m.SetSrcPixelForm(0.9140625);
    m.SetDestPixelForm(0.609375);
    m.SetCropMode(1);
    m.SetSrcPixelX(720);
    m.SetSrcPixelY(436);
    m.SetBorderTop(70);
    m.DestX = 480;
    m.DestY = 576;
    m.DestPixelRoundX = 16;
    m.DestPixelRoundY = roundY;
    m.SetResizeX(448);
    m.SetResizeY(416);
    return m;
}

TEST(CandidatesTest, EveryMultipleThatFitsWithTheSuggestionMarked) {
    const struct {
        std::uint8_t roundY;
        std::size_t rows;
        std::int32_t first, suggested;
    } rows[] = {{16, 34, 544, 416}, {32, 17, 544, 416}, {8, 68, 544, 408}, {1, 544, 544, 407}};
    for (const auto& r : rows) {
        const TResizeStruct m = SvcdExample(r.roundY);
        const auto c = ResizeCandidates(m, 448, 544, 2030000);
        ASSERT_EQ(c.size(), r.rows) << int{r.roundY};
        EXPECT_EQ(c.front().Height, r.first);
        EXPECT_EQ(c.back().Height, r.roundY);
        EXPECT_EQ(std::count_if(c.begin(), c.end(), [](auto& x) { return x.Suggested; }), 1);
        const auto s = std::find_if(c.begin(), c.end(), [](auto& x) { return x.Suggested; });
        EXPECT_EQ(s->Height, r.suggested) << int{r.roundY};
    }
}

TEST(CandidatesTest, TheSuggestedRowIsTheWorkedExample) {
    const auto c = ResizeCandidates(SvcdExample(16), 448, 544, 2030000);
    const auto row = std::find_if(c.begin(), c.end(), [](auto& x) { return x.Height == 416; });
    ASSERT_NE(row, c.end());
    EXPECT_TRUE(row->Current);
    EXPECT_EQ(row->Width, 448);
    EXPECT_EQ(row->Error, -0.04);
    EXPECT_DOUBLE_EQ(row->FilmKept, 704.0 * 436 / (720.0 * 436));
    EXPECT_EQ(row->Blocks, 4368);
    EXPECT_EQ(row->BitsPerBlock, 465); // Round(2030000 / 4368)
    EXPECT_EQ(row->Borders.Top, 80);
    EXPECT_EQ(row->Borders.Left, 16);
}

TEST(CandidatesTest, NothingFitsNothingListed) {
    TResizeStruct m = SvcdExample(16);
    EXPECT_TRUE(ResizeCandidates(m, 448, 15, 0).empty());
    m.DestPixelRoundY = 0;
    EXPECT_TRUE(ResizeCandidates(m, 448, 544, 0).empty());
}

TEST(ScriptCheckTest, SizesAndBordersAviSynthRejects) {
    const struct {
        std::int16_t resizeX, resizeY;
        bool interlaced;
        std::vector<TScriptIssue> issues;
    } rows[] = {{448, 416, false, {}},
                {447, 416, false, {TScriptIssue::ResizeWidthOdd, TScriptIssue::BorderOdd}},
                {448, 415, false, {TScriptIssue::ResizeHeightOdd, TScriptIssue::BorderOdd}},
                {448, 414, true, {TScriptIssue::FieldHeightOdd}},
                {448, 416, true, {}},
                {448, 0, false, {TScriptIssue::ResizeEmpty}},
                {496, 600, false, {TScriptIssue::BorderNegative}}};
    for (const auto& r : rows) {
        TResizeStruct m = SvcdExample(16);
        m.SetInterlacedResizing(r.interlaced);
        m.SetResizeX(r.resizeX);
        m.SetResizeY(r.resizeY);
        std::vector<TScriptIssue> issues;
        for (const TScriptFinding& f : CheckScript(m)) issues.push_back(f.Issue);
        EXPECT_EQ(issues, r.issues) << r.resizeX << "x" << r.resizeY;
    }
}

} // namespace
} // namespace tarvex
