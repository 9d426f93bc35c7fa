#include "budget/Imaging.h"

#include "common/Numeric.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

namespace tarvex {
namespace {

/// Rows of the tables below print as their names.
template <typename Row>
requires requires(const Row& r) {
    r.name;
}
void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}

/// Every field, for checking that an operation left the model as it was.
auto Fields(const TCDImage& m) {
    return std::make_tuple(
        m.VideoRate, m.ExactVideoRate, m.MinVideoRate, m.MaxVideoRate, m.Audio1Rate, m.Audio2Rate,
        m.Duration, m.AuthoringMode, m.MuxMode, m.GOPLength, m.Frames, m.FrameRate, m.IFrames,
        m.SceneDetect, m.ScanOffsets, m.SeqAligning, m.AC3Audio, m.AddMatrices, m.AudioFirstPayload,
        m.AudioPayload, m.VideoFirstPayload, m.VideoGopPayload, m.VideoPayload, m.SectorSize,
        m.ExtraSectors, m.SeqAlignBytes, m.ScanOffsetBytes, m.MatrixBytes, m.SubtitlePics,
        m.BMPSubSize, m.SubtitleStreamBytes, m.StreamBytes, m.MuxOverhead, m.MenuBlocks,
        m.ExtraBlocks, m.ExtraBlocksMode2324, m.AuthoringReserve, m.AuthoringOverhead,
        m.StreamSpace, m.SignedStreamSpace, m.UncutVideoRate, m.VideoFits, m.BlocksUsable,
        m.ImageBlocks, m.UnusedBlocks, m.Safety, m.CDType, m.PlayerRateDVDMin, m.PlayerRateDVDMax,
        m.PlayerRateSVCDMin, m.PlayerRateSVCDMax, m.PlayerRateDVDonCDMin, m.PlayerRateDVDonCDMax);
}

/// One hour of PAL film with one 224 kbps audio stream on an SVCD (I-Author layout).
TCDImage OneHourSvcd() {
    TCDImage m;
    m.SetMuxMode(0);
    m.SetAudio1Rate(224000);
    m.SetFrames(90000);
    m.SetGOPLength(15);
    m.BlocksUsable = 359849;
    m.Safety = 150;
    m.SetAuthoringMode(0);
    return m;
}

/// One minute of PAL film as a DVD layout on a CD: 192 kbps audio, two subtitle pictures.
TCDImage OneMinuteDvd() {
    TCDImage m;
    m.SetMuxMode(5);
    m.SetAudio1Rate(192000);
    m.SetFrames(1500);
    m.SetSubtitlePics(2);
    m.BlocksUsable = 20000;
    m.SetAuthoringMode(4);
    return m;
}

/// The image with its authoring overhead and disc-filling video rate computed.
TCDImage Rated(TCDImage m) {
    m.ComputeAuthoringOverhead();
    m.ComputeVideoRate();
    return m;
}

TEST(TCDImageTest, OneHourSvcdImage) {
    // The video rate of this image is the row OneHour of the room table below.
    TCDImage m = Rated(OneHourSvcd());
    m.ComputeImage();
    EXPECT_EQ(m.MuxOverhead, 11855432u);
    EXPECT_EQ(m.StreamBytes, 834455440);
    EXPECT_EQ(m.UnusedBlocks, 250);
    EXPECT_EQ(m.ImageBlocks, 359599u);
}

TEST(TCDImageTest, OneMinuteDvdWithSubtitles) {
    // Layout 5: video payloads 2012 / 2015 / 2025, audio 2017 / 2020, 100 GOPs, 100 extra
    // blocks. Authoring mode 4: overhead 450, no reserve; stream space 19550.
    // Audio: 1440004 bytes in 1 + ceil(1437987 / 2020) = 713 packs.
    // Video: (19550 - 713 - 100) * 2025 - 13 - 10 * 100 - 2 * 4 * 2048 - 4 = 37925024 bytes,
    //        * 8 / 60 = 5056669.87 bps.
    TCDImage m = Rated(OneMinuteDvd());
    EXPECT_EQ(m.AuthoringOverhead, 450u);
    EXPECT_EQ(m.StreamSpace, 19550u);
    EXPECT_EQ(m.StreamBytes, 37925024);
    EXPECT_EQ(m.ExactVideoRate, 5056669u);
    EXPECT_EQ(m.VideoRate, 5056000u);

    // Video 30000004 bytes in ceil(30001017 / 2025) = 14816 packs plus four per subtitle
    // picture; audio 713 packs; 100 extra blocks: 15637 blocks.
    m.SetVideoRate(4000000);
    m.ComputeImage();
    EXPECT_EQ(m.MuxOverhead, 568184u);
    EXPECT_EQ(m.StreamBytes, 15637 * 2048);
    EXPECT_EQ(m.UnusedBlocks, 19550 - 15637);
    EXPECT_EQ(m.ImageBlocks, 20000u - (19550 - 15637));
}

TEST(TCDImageTest, StreamRateLimits) {
    const struct {
        const char* name;
        TCDImage (*image)();
        std::int8_t cdType;
        std::int32_t max, min;
    } rows[] = {
        // Audio share = 2324 * 224000 / 2291 = 520576000 / 2291 bps; nothing else is counted.
        // max: (2788000 * 2291 - 520576000) / 2324 = 5866732000 / 2324 = 2524411 + 836 / 2324
        // min: (1395000 * 2291 - 520576000) / 2324 = 2675369000 / 2324 = 1151191 + 1116 / 2324
        {"OneHourSvcd", OneHourSvcd, 0, 2524411, 1151192},
        // Shares over 60 s: audio 2048 * 192000 / 2020 = 19660800 / 101, GOP starts
        // 10 * 100 * 8 / 60 = 400 / 3, alignment 100 * 2025 * 8 / 60 = 27000, subtitles
        // 2 * 4 * 2048 * 8 / 60 = 32768 / 15. Over the common denominator 1515, with * 2025 / 2048
        // = * 135 / (101 * 2048):
        // max: ((4915000 - 27000) * 1515 - 294912000 - 3511568) * 135 / 206848
        //    = 959431018320 / 206848 = 4638338.36
        // min: ((1229000 - 27000) * 1515 - 294912000 - 3511568) * 135 / 206848
        //    = 205551868320 / 206848 = 993733.86
        {"OneMinuteDvd", OneMinuteDvd, 0, 4638338, 993734},
        // As above with the limits of larger discs, 2458000 and 9800000:
        // max: (9773000 * 1515 - 298423568) * 135 / 206848 = 1958535643320 / 206848 = 9468477.55
        // min: (2431000 * 1515 - 298423568) * 135 / 206848 = 456913093320 / 206848 = 2208931.65
        {"OneMinuteDvdOnALargerDisc", OneMinuteDvd, 5, 9468477, 2208932}};
    for (const auto& r : rows) {
        TCDImage m = r.image();
        m.CDType = r.cdType;
        m = Rated(m);
        EXPECT_EQ(m.MaxVideoRate, r.max) << r.name;
        EXPECT_EQ(m.MinVideoRate, r.min) << r.name;
    }
}

TEST(TCDImageTest, StreamThatDoesNotFitGivesNegativeUnusedBlocks) {
    TCDImage m = Rated(OneHourSvcd());
    m.SetVideoRate(2000000);
    m.ComputeImage();
    EXPECT_LT(m.UnusedBlocks, 0);
    EXPECT_GT(m.ImageBlocks, m.BlocksUsable);
    EXPECT_EQ(std::int64_t{m.ImageBlocks}, std::int64_t{m.BlocksUsable} - m.UnusedBlocks);
    // Video, audio and extra blocks are all whole packs.
    EXPECT_EQ(m.StreamBytes % 2324, 0);
    EXPECT_EQ(std::int64_t{m.StreamSpace} - m.StreamBytes / 2324, m.UnusedBlocks);
}

// The window decides from these what rate it shows; the 32-bit fields alone cannot tell.
struct RoomCase {
    const char* name;
    std::uint32_t blocksUsable, frames;
    std::int64_t space, videoBytes, uncutRate;
    std::uint32_t rate; ///< the stored rate cut to whole kbps
    bool fits;
};

class RoomTest : public testing::TestWithParam<RoomCase> {};

TEST_P(RoomTest, SpaceVideoBytesAndRate) {
    const RoomCase& c = GetParam();
    TCDImage m = OneHourSvcd();
    m.BlocksUsable = c.blocksUsable;
    m.SetFrames(c.frames);
    m = Rated(m);
    EXPECT_EQ(std::tuple(m.SignedStreamSpace, m.StreamSpace, m.StreamBytes, m.UncutVideoRate,
                         m.ExactVideoRate, m.VideoRate, m.VideoFits),
              std::tuple(c.space, Store<std::uint32_t>(c.space), c.videoBytes, c.uncutRate,
                         Store<std::uint32_t>(c.uncutRate), c.rate, c.fits));
}

// Stream space = blocks - 301 - 238; video = (space - 150 - audio packs - 2) * 2291 - 4 bytes,
// * 8 / seconds the rate; the rate is stored in 32 bits, then cut to whole kbps.
INSTANTIATE_TEST_SUITE_P(
    TCDImage, RoomTest,
    testing::Values(
        RoomCase{"OneHour", 359849, 90000, 359310, 722029265, 1604509, 1604000, true},
        // 461 blocks of stream space cannot hold 43999 audio packs: the low bits of the
        // negative rate are left.
        RoomCase{"AudioAboveTheDisc", 1000, 90000, 461, -100093794, -222431, 4294744000u, false},
        // The wrapped space would hold 9839668835842 bytes of video.
        RoomCase{"AuthoringAboveTheDisc", 500, 90000, -39, 9839668835842, 21865930746, 391094000,
                 false},
        // One second, 13 audio packs; 6582409528 - 2^32 = 2287442232 bps stored.
        RoomCase{"RateAbove32Bits", 359849, 25, 359310, 822801191, 6582409528, 2287442000, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct LayoutCase {
    std::string name;
    std::int8_t mode;
    bool ac3;
    std::uint16_t sectorSize;
    std::uint16_t videoFirst, videoGop, video, audioFirst, audio;
    std::uint32_t extraSectors;
    std::uint32_t stampBytes; ///< time stamps of the 1500 pictures
};

class LayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, PayloadsAndExtraBlocks) {
    const LayoutCase& c = GetParam();
    TCDImage m;
    m.SetFrames(1500); // 100 GOPs
    m.SetAC3Audio(c.ac3);
    m.SetMuxMode(c.mode);
    EXPECT_EQ(std::tuple(m.MuxMode, m.SectorSize, m.VideoFirstPayload, m.VideoGopPayload,
                         m.VideoPayload, m.AudioFirstPayload, m.AudioPayload, m.ExtraSectors,
                         m.StampBytes),
              std::tuple(c.mode, c.sectorSize, c.videoFirst, c.videoGop, c.video, c.audioFirst,
                         c.audio, c.extraSectors, c.stampBytes));
}

INSTANTIATE_TEST_SUITE_P(
    TCDImage, LayoutTest,
    testing::Values(
        LayoutCase{"SvcdIAuthor", 0, false, 2324, 2291, 2291, 2291, 2291, 2291, 2, 0},
        LayoutCase{"SvcdBbmpeg", 1, false, 2324, 2288, 2288, 2288, 2293, 2293, 2, 0},
        LayoutCase{"SvcdTmpgenc", 2, false, 2324, 2288, 2288, 2288, 2293, 2293, 2, 0},
        LayoutCase{"VcdBbmpeg", 3, false, 2324, 2294, 2294, 2294, 2279, 2279, 3, 0},
        LayoutCase{"VcdTmpgenc", 4, false, 2324, 2294, 2294, 2294, 2279, 2279, 2, 0},
        LayoutCase{"SvcdIgnoresAc3", 0, true, 2324, 2291, 2291, 2291, 2291, 2291, 2, 0},
        LayoutCase{"Dvd", 5, false, 2048, 2012, 2015, 2025, 2017, 2020, 100, 0},
        LayoutCase{"DvdAc3", 5, true, 2048, 2012, 2015, 2025, 2013, 2016, 100, 0},
        // Measured for ffmpeg's multiplexers (docs/disc-measurements.md): the MPEG-2
        // rows add 6 (SVCD) and 7 (DVD) bytes of time stamps per picture.
        LayoutCase{"VcdFfmpeg", 6, false, 2324, 2300, 2300, 2300, 2280, 2280, 2, 0},
        LayoutCase{"SvcdFfmpeg", 7, false, 2324, 2299, 2299, 2299, 2294, 2294, 1, 9000},
        LayoutCase{"DvdFfmpeg", 8, false, 2048, 2023, 2023, 2023, 2019, 2019, 101, 10500},
        LayoutCase{"DvdFfmpegAc3", 8, true, 2048, 2023, 2023, 2023, 2015, 2015, 101, 10500},
        LayoutCase{"UnknownModeIsDvd", 9, false, 2048, 2012, 2015, 2025, 2017, 2020, 100, 0},
        LayoutCase{"NegativeModeIsDvd", -1, true, 2048, 2012, 2015, 2025, 2013, 2016, 100, 0}),
    [](const auto& info) { return info.param.name; });

TEST(TCDImageTest, SecondAudioStreamCountsOnlyWhenTheLayoutIsDerivedAgain) {
    TCDImage m;
    m.SetMuxMode(0);
    m.SetAudio2Rate(224000);
    EXPECT_EQ(m.ExtraSectors, 2u);
    m.SetMuxMode(0);
    EXPECT_EQ(m.ExtraSectors, 3u);

    m.SetAudio2Rate(0);
    EXPECT_EQ(m.ExtraSectors, 3u);
    m.SetAC3Audio(true);
    EXPECT_EQ(m.ExtraSectors, 2u);
}

TEST(TCDImageTest, DvdExtraSectorsAndAlignmentFollowTheGops) {
    TCDImage m;
    m.SetMuxMode(0);
    m.SetSeqAligning(true);
    m.SetFrames(90000);
    // 5999 * 2291 / 2 = 6871854.5, a tie rounded to even.
    EXPECT_EQ(m.SeqAlignBytes, 6871854u);

    m.SetMuxMode(5);
    EXPECT_EQ(m.ExtraSectors, 6000u);
    // 5999 * 2025 / 2 = 6073987.5, again a tie.
    EXPECT_EQ(m.SeqAlignBytes, 6073988u);

    m.SetGOPLength(12);
    EXPECT_EQ(m.IFrames, 7500);
    EXPECT_EQ(m.ExtraSectors, 7500u);
    m.SetSceneDetect(true);
    EXPECT_EQ(m.IFrames, 7763); // 7500 * 1.035 = 7762.5
    EXPECT_EQ(m.ExtraSectors, 7763u);

    // Modes outside the table take the DVD layout, and its extra blocks follow too.
    m.SetMuxMode(9);
    m.SetSceneDetect(false);
    EXPECT_EQ(m.ExtraSectors, 7500u);
}

TEST(TCDImageTest, PerGopByteCounts) {
    TCDImage m;
    m.SetMuxMode(0);
    m.SetFrames(1500); // 100 GOPs
    m.SetScanOffsets(true);
    m.SetAddMatrices(2);
    EXPECT_EQ(m.ScanOffsetBytes, 1800u);
    EXPECT_EQ(m.MatrixBytes, 12800u);
    m.SetScanOffsets(false);
    m.SetAddMatrices(0);
    EXPECT_EQ(m.ScanOffsetBytes, 0u);
    EXPECT_EQ(m.MatrixBytes, 0u);
}

TEST(TCDImageTest, FrameRateChangeKeepsGopCount) {
    TCDImage m;
    m.SetFrames(90000);
    m.SetFrameRate(30.0f);
    EXPECT_EQ(m.Duration, 3000.0);
    EXPECT_EQ(m.IFrames, 6000);
    m.SetFrameRate(29.97f);
    EXPECT_EQ(m.Duration, static_cast<double>(90000.0L / static_cast<long double>(29.97f)));
}

TEST(TCDImageTest, ZeroGuardsLeaveTheModelUnchanged) {
    TCDImage m = OneHourSvcd();
    const auto before = Fields(m);
    m.SetGOPLength(0);
    m.SetFrames(0);
    m.SetFrameRate(0.0f);
    EXPECT_EQ(Fields(m), before);
}

TEST(TCDImageTest, SubtitlePicturesAndBitmapSize) {
    TCDImage m;
    m.SetSubtitlePics(1);
    EXPECT_EQ(m.BMPSubSize, 9u);             // round(9.4014)
    EXPECT_EQ(m.SubtitleStreamBytes, 3687u); // ceil(3686.4)

    m.SetBMPSubSize(10);
    EXPECT_EQ(m.SubtitlePics, 1); // round(1.0637)
    EXPECT_EQ(m.SubtitleStreamBytes, 4096u);

    // Sizes beyond 2^31 stream bytes are taken, the stream bytes cut to 32 bits.
    m.SetBMPSubSize(6000000);
    EXPECT_EQ(m.SubtitleStreamBytes, 2457600000u);
    m.SetBMPSubSize(0xFFFFFFFFu);
    EXPECT_EQ(m.BMPSubSize, 0xFFFFFFFFu);
    EXPECT_EQ(m.SubtitleStreamBytes, static_cast<std::uint32_t>(1759218604032LL));
}

struct AuthoringCase {
    std::string name;
    std::int8_t mode;
    std::uint32_t menus;
    std::uint32_t frames; // at 25 fps
    std::uint32_t reserve;
    std::uint32_t overhead;
};

class AuthoringTest : public testing::TestWithParam<AuthoringCase> {};

TEST_P(AuthoringTest, ReserveAndOverhead) {
    const AuthoringCase& c = GetParam();
    TCDImage m;
    m.SetAuthoringMode(c.mode);
    m.MenuBlocks = c.menus;
    m.SetFrames(c.frames);
    m.ComputeAuthoringOverhead();
    EXPECT_EQ(m.AuthoringReserve, c.reserve);
    EXPECT_EQ(m.AuthoringOverhead, c.overhead);
}

// 3600 s: 21600 bytes of time stamps; 60 s: 360.
INSTANTIATE_TEST_SUITE_P(
    TCDImage, AuthoringTest,
    testing::Values(AuthoringCase{"Mode0NoMenus", 0, 0, 90000, 238, 301},
                    AuthoringCase{"Mode0Menus", 0, 150, 90000, 238, 450},
                    AuthoringCase{"Mode1", 1, 0, 90000, 238, 301 + 11},      // ceil(21684 / 2048)
                    AuthoringCase{"Mode1Menus", 1, 300, 1500, 238, 600 + 1}, // ceil(444 / 2048)
                    AuthoringCase{"Mode2Minimum", 2, 0, 1500, 225, 600}, // 225+25+(3+1)+153 = 407
                    AuthoringCase{"Mode2", 2, 300, 90000, 225,
                                  225 + 300 + 25 + 14 + 153}, // ceil(12.55)+1
                    AuthoringCase{"Mode4", 4, 301, 90000, 0, 450 + 150},
                    // Measured for vcdimager, dvdauthor and genisoimage: 600 blocks on an
                    // SVCD and 675 on a VCD of any length; 472 and 500 on DVDs of 60 s
                    // (100 GOPs) and 3600 s (6000 GOPs).
                    AuthoringCase{"Mode3", 3, 0, 90000, 150, 450},
                    AuthoringCase{"Mode3Menus", 3, 150, 200, 150, 600},
                    AuthoringCase{"Mode5", 5, 0, 90000, 150, 525},
                    AuthoringCase{"Mode5Menus", 5, 150, 1500, 150, 675},
                    AuthoringCase{"Mode6Minute", 6, 0, 1500, 0, 468 + 2 * (1 + 1)},
                    AuthoringCase{"Mode6Hour", 6, 300, 90000, 0, 468 + 2 * (12 + 4) + 300},
                    AuthoringCase{"OtherMode", 7, 0, 90000, 0, 450}),
    [](const auto& info) { return info.param.name; });

struct FitCase {
    std::string name;
    std::int8_t mux;
    bool ac3;
    std::uint32_t audio2;
    bool sceneDetect, scanOffsets, seqAligning;
    std::uint8_t matrices;
    std::uint16_t subtitlePics;
    std::int8_t authoring;
};

class FitTest : public testing::TestWithParam<FitCase> {};

// The image of the computed video rate fits the disc with at least the safety margin
// left, and the cut to whole kbps frees less than a second's worth of video.
TEST_P(FitTest, ComputedRateFillsTheDiscWithinTheMargin) {
    const FitCase& c = GetParam();
    TCDImage m = OneHourSvcd();
    m.SetAudio2Rate(c.audio2);
    m.SetAC3Audio(c.ac3);
    m.SetMuxMode(c.mux);
    m.SetSceneDetect(c.sceneDetect);
    m.SetScanOffsets(c.scanOffsets);
    m.SetSeqAligning(c.seqAligning);
    m.SetAddMatrices(c.matrices);
    m.SetSubtitlePics(c.subtitlePics);
    m.SetAuthoringMode(c.authoring);
    m.MenuBlocks = 300;
    m = Rated(m);
    ASSERT_GT(m.StreamBytes, 0);
    m.ComputeImage();

    EXPECT_GE(m.UnusedBlocks, m.Safety);
    // Up to 1000 bps of video for 3600 s, plus a partly filled last pack.
    EXPECT_LE(m.UnusedBlocks, m.Safety + 1000 / 8 * 3600 / m.VideoPayload + 2);
    EXPECT_EQ(std::int64_t{m.ImageBlocks} + m.UnusedBlocks, std::int64_t{m.BlocksUsable});
    EXPECT_EQ(m.StreamBytes % m.SectorSize, 0);
    EXPECT_LE(m.MinVideoRate, m.MaxVideoRate);
}

INSTANTIATE_TEST_SUITE_P(
    TCDImage, FitTest,
    testing::Values(FitCase{"SvcdPlain", 0, false, 0, false, false, false, 0, 0, 0},
                    FitCase{"SvcdEverything", 0, false, 128000, true, true, true, 2, 40, 1},
                    FitCase{"SvcdBbmpeg", 1, false, 0, false, true, false, 0, 10, 2},
                    FitCase{"SvcdTmpgenc", 2, false, 96000, false, false, true, 1, 0, 3},
                    FitCase{"VcdBbmpeg", 3, false, 0, true, false, false, 0, 0, 4},
                    FitCase{"VcdTmpgenc", 4, false, 0, false, false, false, 0, 5, 0},
                    FitCase{"Dvd", 5, false, 0, false, false, false, 0, 0, 0},
                    FitCase{"DvdAc3Everything", 5, true, 192000, true, true, true, 2, 40, 2},
                    FitCase{"VcdFfmpeg", 6, false, 0, false, false, false, 0, 0, 5},
                    FitCase{"SvcdFfmpeg", 7, false, 128000, false, true, false, 0, 3, 3},
                    FitCase{"DvdFfmpeg", 8, true, 192000, false, false, true, 0, 2, 6}),
    [](const auto& info) { return info.param.name; });

TEST(TCDImageFailureTest, ZeroDurationStopsVideoRateAfterTheStreamBytes) {
    TCDImage m = Rated(OneHourSvcd());
    const auto rates =
        std::make_tuple(m.ExactVideoRate, m.VideoRate, m.MinVideoRate, m.MaxVideoRate);
    m.BlocksUsable = 300000;
    m.Duration = 0;
    EXPECT_THROW(m.ComputeVideoRate(), FloatError);
    EXPECT_EQ(m.StreamSpace, 300000u - 301 - 238);
    // With no playing time there is no audio but its 4 bytes, in one pack.
    EXPECT_EQ(m.StreamBytes, (300000 - 301 - 238 - 150 - 1 - 2) * 2291LL - 4);
    EXPECT_EQ(std::make_tuple(m.ExactVideoRate, m.VideoRate, m.MinVideoRate, m.MaxVideoRate),
              rates);
}

TEST(TCDImageFailureTest, ZeroSectorSizeStopsAtTheLimitsAndTheBlockCount) {
    TCDImage m = Rated(OneHourSvcd());
    m.ComputeImage();
    const auto limits = std::make_tuple(m.MinVideoRate, m.MaxVideoRate);
    const auto blocks = std::make_tuple(m.UnusedBlocks, m.ImageBlocks);

    m.SectorSize = 0;
    m.SetAudio1Rate(0);
    EXPECT_THROW(m.ComputeVideoRate(), FloatError);
    // (359310 - 150 - 1 - 2) * 2291 - 4 = 822828683 bytes, * 8 / 3600 = 1828508.18 bps.
    EXPECT_EQ(m.ExactVideoRate, 1828508u);
    EXPECT_EQ(m.VideoRate, 1828000u);
    EXPECT_EQ(std::make_tuple(m.MinVideoRate, m.MaxVideoRate), limits);

    EXPECT_THROW(m.ComputeImage(), FloatError);
    // Packs of no size: the overhead is minus the 822600004 video and 4 audio bytes.
    EXPECT_EQ(m.MuxOverhead, 4294967296u - 822600008u);
    EXPECT_EQ(m.StreamBytes, 4294967296);
    EXPECT_EQ(std::make_tuple(m.UnusedBlocks, m.ImageBlocks), blocks);
}

TEST(TCDImageFailureTest, ZeroPayloadsBeforeTheFirstLayout) {
    TCDImage m;
    m.SetAudio1Rate(224000);
    m.SetFrames(90000);
    m.BlocksUsable = 359849;
    m.ComputeAuthoringOverhead();
    TCDImage expected = m;
    expected.StreamSpace = 359310; // stored before the audio packs are counted
    expected.SignedStreamSpace = 359310;
    EXPECT_THROW(m.ComputeVideoRate(), FloatError);
    EXPECT_EQ(Fields(m), Fields(expected));

    m.SetVideoRate(1600000);
    expected = m;
    EXPECT_THROW(m.ComputeImage(), FloatError);
    EXPECT_EQ(Fields(m), Fields(expected));
}

TEST(TCDImageFailureTest, ZeroFrameRateStoresFramesOnly) {
    TCDImage m = OneHourSvcd();
    m.FrameRate = 0;
    EXPECT_THROW(m.SetFrames(45000), FloatError);
    EXPECT_EQ(m.Frames, 45000u);
    EXPECT_EQ(m.Duration, 3600.0);
    EXPECT_EQ(m.IFrames, 6000);
}

} // namespace
} // namespace tarvex
