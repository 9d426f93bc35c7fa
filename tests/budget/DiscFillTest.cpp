// The disc fill and the budget's warnings from the model, and I-frame counts past 16 bits.
#include "budget/DiscFill.h"
#include "budget/BudgetCheck.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tarvex {
namespace {

/// One hour of PAL film with 224 kbps audio on an 80-minute SVCD, computed through.
TCDImage Computed(std::uint32_t audio2, std::uint16_t subtitles, std::uint32_t extra) {
    TCDImage m;
    m.SetMuxMode(0);
    m.SetAudio1Rate(224000);
    m.SetAudio2Rate(audio2);
    m.SetMuxMode(0);
    m.SetFrames(90000);
    m.SetSubtitlePics(subtitles);
    m.ExtraBlocks = extra;
    m.BlocksUsable = 359849;
    m.Safety = 150;
    m.ComputeAuthoringOverhead();
    m.ComputeVideoRate();
    m.ComputeImage();
    return m;
}

std::int64_t BlocksOf(const TDiscFill& fill, TFillPart part) {
    for (const TFillShare& s : fill.Parts)
        if (s.Part == part) return s.Blocks;
    return -1;
}

struct FillCase {
    const char* name;
    std::uint32_t audio2;
    std::uint16_t subtitles;
    std::uint32_t extra;
    std::int64_t rateStep; ///< bps added to the disc-filling rate before the image
};

class DiscFillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(DiscFillTest, PartsAddUpToDiscAndImage) {
    const FillCase& c = GetParam();
    TCDImage m = Computed(c.audio2, c.subtitles, c.extra);
    m.SetVideoRate(static_cast<std::uint32_t>(m.VideoRate + c.rateStep));
    m.ComputeImage();
    const TDiscFill fill = ComputeDiscFill(m);
    const std::int64_t total =
        std::accumulate(fill.Parts.begin(), fill.Parts.end(), std::int64_t{0},
                        [](std::int64_t sum, const TFillShare& s) { return sum + s.Blocks; });
    EXPECT_EQ(total, std::max<std::int64_t>(m.BlocksUsable, m.ImageBlocks));
    EXPECT_EQ(fill.OverrunBlocks, std::max(0, -m.UnusedBlocks));
    // The stream's parts are the stream's blocks, and their bytes the stream's bytes.
    std::int64_t streamBlocks = 0, streamBytes = 0;
    for (TFillPart p : {TFillPart::Subtitles, TFillPart::Audio1, TFillPart::Audio2,
                        TFillPart::Video, TFillPart::MuxOverhead}) {
        streamBlocks += BlocksOf(fill, p);
        streamBytes += fill.Parts[static_cast<std::size_t>(p)].Bytes;
    }
    EXPECT_EQ(streamBlocks, std::int64_t{m.ImageBlocks} - m.AuthoringOverhead - m.AuthoringReserve -
                                m.ExtraBlocks);
    EXPECT_EQ(streamBytes, streamBlocks * m.SectorSize);
    EXPECT_EQ(BlocksOf(fill, TFillPart::ExtraData), c.extra);
    EXPECT_EQ(BlocksOf(fill, TFillPart::Audio2) == 0, c.audio2 == 0);
    EXPECT_EQ(BlocksOf(fill, TFillPart::Safety) + BlocksOf(fill, TFillPart::Unused),
              std::max(0, m.UnusedBlocks));
}

INSTANTIATE_TEST_SUITE_P(Images, DiscFillTest,
                         ::testing::Values(FillCase{"FilledDisc", 0, 0, 0, 0},
                                           FillCase{"TwoAudio", 192000, 0, 0, 0},
                                           FillCase{"SubtitlesAndExtra", 0, 40, 1000, 0},
                                           FillCase{"EatsTheSafety", 0, 0, 0, 8000},
                                           FillCase{"Overfilled", 128000, 10, 500, 200000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DiscFillTest, WorkedExampleLeavesSafetyAndCut) {
    // The worked example: 250 blocks unused, 150 of them the safety margin.
    const TDiscFill fill = ComputeDiscFill(Computed(0, 0, 0));
    EXPECT_EQ(BlocksOf(fill, TFillPart::AuthoringReserve), 238);
    EXPECT_EQ(BlocksOf(fill, TFillPart::AuthoringOverhead), 301);
    EXPECT_EQ(BlocksOf(fill, TFillPart::Safety), 150);
    EXPECT_EQ(BlocksOf(fill, TFillPart::Unused), 100);
    EXPECT_EQ(fill.Parts[static_cast<std::size_t>(TFillPart::Audio1)].Bytes, 100800004);
}

TEST(BudgetCheckTest, EachIssueOnItsOwn) {
    TCDImage m = Computed(0, 0, 0);
    EXPECT_TRUE(CheckBudget(m).empty());
    const struct {
        std::int64_t rate;
        std::vector<TBudgetIssue> issues;
    } rows[] = {{m.MaxVideoRate, {TBudgetIssue::DiscOverfilled}},
                {std::int64_t{m.MaxVideoRate} + 1,
                 {TBudgetIssue::VideoAboveMax, TBudgetIssue::DiscOverfilled}},
                {m.MinVideoRate, {}},
                {std::int64_t{m.MinVideoRate} - 1, {TBudgetIssue::VideoBelowMin}}};
    for (const auto& r : rows) {
        m.SetVideoRate(static_cast<std::uint32_t>(r.rate));
        m.ComputeImage();
        std::vector<TBudgetIssue> issues;
        for (const TBudgetFinding& f : CheckBudget(m)) issues.push_back(f.Issue);
        EXPECT_EQ(issues, r.issues) << r.rate;
    }
}

TEST(BudgetCheckTest, VcdAtItsStandardRateIsNoFault) {
    // The stream-rate floor lies above a VCD's one rate with its 224 kbps sound.
    const struct {
        std::int8_t mux;
        std::uint32_t rate;
        bool belowMin;
    } rows[] = {{3, 1150000, false}, {4, 1150000, false}, {6, 1150000, false},
                {6, 1149000, true},  {6, 1000000, true},  {0, 1150000, true}};
    for (const auto& r : rows) {
        TCDImage m = Computed(0, 0, 0);
        m.SetMuxMode(r.mux);
        m.ComputeVideoRate();
        ASSERT_GT(m.MinVideoRate, 1150000) << int{r.mux};
        m.SetVideoRate(r.rate);
        m.ComputeImage();
        bool belowMin = false;
        for (const TBudgetFinding& f : CheckBudget(m))
            belowMin = belowMin || f.Issue == TBudgetIssue::VideoBelowMin;
        EXPECT_EQ(belowMin, r.belowMin) << int{r.mux} << " " << r.rate;
    }
}

TEST(TCDImageTest, IFramesRoundUpAndPassSixteenBits) {
    const struct {
        std::uint32_t frames;
        bool sceneDetect;
        std::uint32_t iFrames;
    } rows[] = {{1000, false, 67},      // ceil(66.67)
                {1000, true, 69},       // 66.67 * 1.035 is 69, not above it
                {983025, false, 65535}, // the last count 16 bits held
                {983040, false, 65536}, {2996970, false, 199798}, {2996970, true, 206791}};
    for (const auto& r : rows) {
        TCDImage m;
        m.SetMuxMode(5);
        m.SetScanOffsets(true);
        m.SetSceneDetect(r.sceneDetect);
        m.SetFrames(r.frames);
        EXPECT_EQ(m.IFrames, r.iFrames) << r.frames;
        EXPECT_EQ(m.ScanOffsetBytes, r.iFrames * 18) << r.frames;
        EXPECT_EQ(m.ExtraSectors, r.iFrames) << r.frames; // one navigation block per GOP
    }
}

} // namespace
} // namespace tarvex
