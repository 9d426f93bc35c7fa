// The report against the budget model, and the pack counter against real and
// broken multiplexed files.
#include "disc/Report.h"
#include "common/Numeric.h"
#include "disc/PackScan.h"
#include "tests/support/DiscPlans.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

using testkit::TRows;

/// The made disc the plan predicts: every stream exactly as budgeted.
TDiscResult AsPlanned(const TCDImage& plan, std::int64_t imageBlockSize) {
    TDiscResult disc;
    disc.Number = 1;
    disc.VideoFrames = plan.Frames;
    disc.VideoBytes =
        CeilInt64(static_cast<Real>(plan.VideoRate) / 8 * plan.Duration) + 4 + plan.ScanOffsetBytes;
    disc.AudioBytes = {CeilInt64(static_cast<Real>(plan.Audio1Rate) / 8 * plan.Duration) + 4};
    disc.MuxBytes = plan.StreamBytes;
    disc.ImageBytes = std::int64_t{plan.ImageBlocks} * imageBlockSize;
    return disc;
}

struct TReportCase {
    const char* Name;
    TDiscFormat Format;
    TRows Rows;
};

class ReportTest : public ::testing::TestWithParam<TReportCase> {};

TEST_P(ReportTest, APlanMadeExactlyIsPredictedExactly) {
    const TReportCase& c = GetParam();
    const TCDImage plan = testkit::Budget(c.Format, c.Rows, 600, 10, 224000);
    const std::int64_t block = c.Format == TDiscFormat::DVD ? 2048 : 2352;
    const TDiscCheck check = CheckDisc(plan, AsPlanned(plan, block), c.Format);
    const std::int64_t mux = (plan.StreamBytes + plan.SectorSize - 1) / plan.SectorSize;
    const std::int64_t image = plan.ImageBlocks;
    EXPECT_EQ(std::tuple(check.RealVideoBytes, check.RealAudioBytes, check.PredictedMuxBlocks,
                         check.RealMuxBlocks, check.StreamImageBlocks, check.PredictedImageBlocks,
                         check.PlannedImageBlocks, check.RealImageBlocks, check.Fits),
              std::tuple(check.PlannedVideoBytes, check.PlannedAudioBytes, mux, mux, image, image,
                         image, image, true));
}

INSTANTIATE_TEST_SUITE_P(Rows, ReportTest,
                         ::testing::Values(TReportCase{"svcd", TDiscFormat::SVCD, {1, 3}},
                                           TReportCase{"iauthor", TDiscFormat::SVCD, {0, 0}},
                                           TReportCase{"vcd", TDiscFormat::VCD, {4, 3}},
                                           TReportCase{"dvd", TDiscFormat::DVD, {5, 4}}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ReportTest, TheLayoutFollowsTheGopsTheEncoderWrote) {
    // A DVD spends a block on every GOP: frames pulled down to 29.97 make more GOPs.
    const TCDImage plan = testkit::Budget(TDiscFormat::DVD, {5, 4}, 600, 10, 192000);
    TDiscResult disc = AsPlanned(plan, 2048);
    const TDiscCheck asPlanned = CheckDisc(plan, disc, TDiscFormat::DVD);
    disc.VideoFrames = plan.Frames * 5 / 4;
    const TDiscCheck pulledDown = CheckDisc(plan, disc, TDiscFormat::DVD);
    // 250 more GOPs: a navigation block and half a pack of alignment each.
    EXPECT_NEAR(static_cast<double>(pulledDown.PredictedMuxBlocks - asPlanned.PredictedMuxBlocks),
                250 * 1.5, 3);
}

TEST(ReportTest, FitsLeavesRoomForThePlannedExtraData) {
    TCDImage plan = testkit::Budget(TDiscFormat::VCD, {4, 3}, 600, 10, 224000);
    plan.ExtraBlocks = 100;
    TDiscResult disc = AsPlanned(plan, 2352);
    disc.ImageBytes = (std::int64_t{plan.BlocksUsable} - 100) * 2352;
    EXPECT_TRUE(CheckDisc(plan, disc, TDiscFormat::VCD).Fits);
    disc.ImageBytes += 1;
    const TDiscCheck over = CheckDisc(plan, disc, TDiscFormat::VCD);
    EXPECT_EQ(std::tuple(over.Fits, over.RealImageBlocks),
              std::tuple(false, std::int64_t{plan.BlocksUsable} - 99));
}

TEST(DeviationTest, IsInPerCentOfThePrediction) {
    EXPECT_DOUBLE_EQ(Deviation(44826, 44614), -212.0 * 100 / 44826);
    EXPECT_DOUBLE_EQ(Deviation(200, 201), 0.5);
    EXPECT_DOUBLE_EQ(Deviation(0, 5), 0);
}

TEST(DiscSummaryTest, SaysInOneSentenceWhetherTheDiscFits) {
    const struct {
        const char* Name;
        std::int64_t Image, Extra, Usable;
        bool Fits;
        TDiscFormat Format;
        const char* Expected;
    } rows[] = {
        {"dvd", 2251776, 0, 2295104, true, TDiscFormat::DVD,
         "Disc 1 fits: 4,398 MB of 4,483 MB (98.1 %)"},
        {"vcd over", 370000, 0, 359849, false, TDiscFormat::VCD,
         "Disc 1 does not fit: 830 MB of 807 MB (102.8 %)"},
        {"small", 1000, 0, 359849, true, TDiscFormat::SVCD, "Disc 1 fits: 2 MB of 807 MB (0.3 %)"},
        // The extra data burned beside the image fills the disc too.
        {"extra data", 1000, 1273000, 1273349, false, TDiscFormat::DVD,
         "Disc 1 does not fit: 2,488 MB of 2,487 MB (100.1 %)"},
    };
    for (const auto& row : rows) {
        TDiscCheck c;
        c.Number = 1;
        c.RealImageBlocks = row.Image;
        c.ExtraBlocks = row.Extra;
        c.BlocksUsable = row.Usable;
        c.Fits = row.Fits;
        EXPECT_EQ(DiscSummary(c, row.Format), row.Expected) << row.Name;
    }
}

/// A sector of `size` bytes: an MPEG-2 pack header and then `packets`.
std::string Sector(std::size_t size, const std::string& packets) {
    std::string s("\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8", 14);
    s += packets;
    s.resize(size, '\0');
    return s;
}

/// A PES packet of `id` with an MPEG-2 header of `headerData` bytes and `payload` bytes.
std::string Packet(unsigned char id, std::size_t headerData, const std::string& payload) {
    const std::size_t length = 3 + headerData + payload.size();
    std::string p("\x00\x00\x01", 3);
    p += static_cast<char>(id);
    p += static_cast<char>(length >> 8);
    p += static_cast<char>(length & 0xFF);
    p += "\x81\x80";
    p += static_cast<char>(headerData);
    p.append(headerData, '\xFF');
    return p + payload;
}

TEST(ScanPacksTest, CountsHandMadePacksAndBrokenOnes) {
    const TTempFolder dir;
    const std::string gop("\x00\x00\x01\xB8\x00\x08\x00\x40", 8);
    const std::string padding =
        std::string("\x00\x00\x01\xBE\x00\x10", 6) + std::string(16, '\xFF');
    std::string file = Sector(256, Packet(0xE0, 5, gop + std::string(100, 'v')) + padding) +
                       Sector(256, Packet(0xC0, 5, std::string(200, 'a'))) +
                       Sector(256, std::string("\x00\x00\x01\xBF\x00\x04xxxx", 10)) +
                       Sector(256, Packet(0xE0, 5, std::string(300, 'v'))) + // overruns
                       std::string(256, '\x47') + std::string(10, '\0');     // no pack
    const TPackScan scan = ScanPacks(dir.Write("packs.mpg", file), 256);
    const TPackCount& video = scan[TPackKind::Video];
    // Sectors; video packs, bytes and GOPs; audio bytes; navigation and broken packs; padding.
    EXPECT_EQ(std::vector<std::int64_t>({scan.Sectors, video.Packs, video.Payload, video.GopStarts,
                                         scan[TPackKind::Audio].Payload,
                                         scan[TPackKind::Navigation].Packs,
                                         scan[TPackKind::Broken].Packs, scan.PaddingBytes}),
              std::vector<std::int64_t>({5, 1, 108, 1, 200, 1, 2, 22}));
    EXPECT_THROW(ScanPacks(dir / "missing.mpg", 2048), std::runtime_error);
}

TEST(ScanPacksTest, AMultiplexedFileCarriesEveryStreamByte) {
    const TTempFolder dir;
    ASSERT_EQ(testkit::Shell("cd '" + dir.Path.string() +
                             "' && ffmpeg -nostdin -v error -f lavfi -i "
                             "testsrc=size=352x288:rate=25:duration=2 -c:v mpeg1video -b:v 1150k "
                             "-f mpeg1video v.m1v && ffmpeg -nostdin -v error -f lavfi -i "
                             "sine=duration=2 -c:a mp2 -b:a 224k -ar 44100 -f mp2 a.mp2 && "
                             "ffmpeg -nostdin -v error -i v.m1v -i a.mp2 -c copy -f vcd "
                             "-packetsize 2324 vcd.mpg"),
              0);
    const TPackScan scan = ScanPacks(dir / "vcd.mpg", 2324);
    const auto size = [&](const char* name) {
        return static_cast<std::int64_t>(std::filesystem::file_size(dir / name));
    };
    EXPECT_EQ(
        std::vector<std::int64_t>({size("vcd.mpg"), size("v.m1v"), size("a.mp2"), 0}),
        std::vector<std::int64_t>({scan.Sectors * 2324, scan[TPackKind::Video].Payload,
                                   scan[TPackKind::Audio].Payload, scan[TPackKind::Broken].Packs}));
    // Every audio packet of a VCD is followed by 20 zero bytes.
    EXPECT_GE(scan.FillBytes, scan[TPackKind::Audio].Packs * 20);
}

} // namespace
} // namespace tarvex

namespace tarvex {
namespace {

struct TRealFramesCase {
    const char* Name;
    TDiscFormat Format;
    TRows Rows;
    int Discs;
    std::int64_t SrcFrames; ///< of the whole film; the budget counts 90 s a disc
    bool Lowered;
    friend void PrintTo(const TRealFramesCase& c, std::ostream* os) { *os << c.Name; }
};

class RealFramesTest : public ::testing::TestWithParam<TRealFramesCase> {};

// The budget counts whole seconds, the job encodes every frame: the rate the job is
// given keeps the image of the real frames within the image budgeted.
TEST_P(RealFramesTest, TheJobsRateFitsEveryFrame) {
    const TRealFramesCase& c = GetParam();
    const TCDImage budget = testkit::Budget(c.Format, c.Rows, 90, 10, 224000);
    TDiscPlan plan = testkit::Plan(c.Format, "film.avi", c.SrcFrames, budget);
    plan.DiscCount = c.Discs;
    TakeBudget(plan, budget);
    EXPECT_EQ(plan.PlannedVideoRate, budget.VideoRate);
    EXPECT_EQ(plan.VideoRate < budget.VideoRate, c.Lowered);
    // The real share at the job's rate, in the budget's model.
    TCDImage real = budget;
    real.SetFrames(static_cast<std::uint32_t>((c.SrcFrames + c.Discs - 1) / c.Discs));
    real.SetVideoRate(plan.VideoRate);
    real.ComputeImage();
    if (c.Format != TDiscFormat::VCD) {
        EXPECT_LE(real.ImageBlocks, budget.ImageBlocks);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Films, RealFramesTest,
    ::testing::Values(
        TRealFramesCase{"dvd_as_long_as_planned", TDiscFormat::DVD, {8, 6}, 1, 2250, false},
        TRealFramesCase{"dvd_of_90_48_seconds", TDiscFormat::DVD, {8, 6}, 1, 2262, true},
        TRealFramesCase{"svcd_shorter_than_planned", TDiscFormat::SVCD, {7, 3}, 1, 2240, false},
        TRealFramesCase{"two_dvds_the_larger_share", TDiscFormat::DVD, {8, 6}, 2, 4511, true},
        TRealFramesCase{"vcd_keeps_its_constant_rate", TDiscFormat::VCD, {6, 5}, 1, 2262, false}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex
