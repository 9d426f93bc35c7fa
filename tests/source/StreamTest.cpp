// The stream readers on streams built bit by bit: MPEG headers, program-stream
// packets, group time codes, H.264 parameter sets, and the aspect and rate rules.
#include "source/MpegStream.h"
#include "source/ParameterSets.h"
#include "source/ProjectFile.h"
#include "source/QuickProbe.h"
#include "source/SourceFacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

using TData = std::vector<unsigned char>;

/// Writes bits most significant first, and Exp-Golomb codes.
class TBitWriter {
  public:
    TBitWriter& Bits(std::uint64_t v, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (Used % 8 == 0) Data.push_back(0);
            Data.back() |= static_cast<unsigned char>((v >> i & 1) << (7 - Used % 8));
            ++Used;
        }
        return *this;
    }
    TBitWriter& Zeros(int count) {
        for (; count > 0; count -= 8) Bits(0, std::min(count, 8));
        return *this;
    }
    TBitWriter& Se(std::int32_t v) {
        return Ue(v > 0 ? static_cast<std::uint32_t>(2 * v - 1)
                        : static_cast<std::uint32_t>(-2 * v));
    }
    TBitWriter& Ue(std::uint32_t v) {
        int length = 0;
        while ((std::uint64_t{v} + 1) >> (length + 1)) ++length;
        return Bits(0, length).Bits(std::uint64_t{v} + 1, length + 1);
    }
    TData Data;

  private:
    int Used = 0;
};

TData Join(std::initializer_list<TData> parts) {
    TData all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TData StartCode(unsigned char code) {
    return {0, 0, 1, code};
}

// ---- MPEG video headers ---------------------------------------------------------------

/// A sequence header, optionally loading an intra matrix.
TData SequenceHeader(int width, int height, int aspect, int rate, bool intraMatrix = false) {
    TBitWriter w;
    w.Bits(width, 12).Bits(height, 12).Bits(aspect, 4).Bits(rate, 4);
    w.Bits(0x3FFFF, 18).Bits(1, 1).Bits(112, 10).Bits(0, 1).Bits(intraMatrix, 1);
    for (int i = 0; intraMatrix && i < 64; ++i) w.Bits(16, 8);
    w.Bits(0, 1); // no non-intra matrix
    return Join({StartCode(0xB3), w.Data});
}

TData SequenceExtension(bool progressive, int rateN, int rateD) {
    TBitWriter w;
    w.Bits(1, 4).Bits(0x48, 8).Bits(progressive, 1).Bits(1, 2).Bits(0, 4).Bits(0, 12).Bits(1, 1);
    w.Bits(0, 8).Bits(0, 1).Bits(rateN, 2).Bits(rateD, 5);
    return Join({StartCode(0xB5), w.Data});
}

TData PictureCodingExtension(int structure, bool topFirst, bool progressiveFrame) {
    TBitWriter w;
    w.Bits(8, 4).Bits(0xFFFF, 16).Bits(0, 2).Bits(structure, 2).Bits(topFirst, 1).Bits(0, 6);
    w.Bits(0, 1).Bits(progressiveFrame, 1).Bits(0, 7);
    return Join({StartCode(0xB5), w.Data});
}

struct TSequenceCase {
    const char* Name;
    int Width, Height;
    TRatio Rate;
    TFieldOrder Order;
    TData Stream;
};

class MpegSequenceTest : public ::testing::TestWithParam<TSequenceCase> {};

TEST_P(MpegSequenceTest, ReadsHeaderExtensionAndFirstPicture) {
    const auto& c = GetParam();
    mpeg::TSequence seq;
    ASSERT_TRUE(mpeg::ReadSequence(c.Stream, seq));
    EXPECT_EQ(std::tuple(seq.Width, seq.Height, seq.FrameRate, seq.Mpeg2,
                         mpeg::FirstFieldOrder(c.Stream, seq)),
              std::tuple(c.Width, c.Height, c.Rate, true, c.Order));
}

/// An MPEG-2 stream: a `width` x `height` header with a rate code, an interlaced
/// sequence extension, and then `more`.
TData Mpeg2Start(int width, int height, int rate, TData more = {}) {
    return Join({SequenceHeader(width, height, 2, rate), SequenceExtension(false, 0, 0), more});
}

TSequenceCase Seq(const char* name, int w, int h, TRatio rate, TFieldOrder order, TData stream) {
    return {name, w, h, rate, order, std::move(stream)};
}

using enum TFieldOrder;

// MPEG-1 and a plain top-field-first frame are read from real files in MediaTest.
INSTANTIATE_TEST_SUITE_P(
    Streams, MpegSequenceTest,
    ::testing::Values(
        Seq("ProgressiveSequence", 720, 480, {30000, 1001}, Progressive,
            Join({SequenceHeader(720, 480, 3, 4), SequenceExtension(true, 0, 0),
                  PictureCodingExtension(3, true, false)})),
        Seq("RateExtensionDoubles", 1280, 720, {50, 1}, Progressive,
            Join({SequenceHeader(1280, 720, 3, 3), SequenceExtension(true, 1, 0)})),
        Seq("ExtensionAfterAMatrix", 720, 576, {25, 1}, BottomFirst,
            Join({SequenceHeader(720, 576, 2, 3, true), SequenceExtension(false, 0, 0),
                  PictureCodingExtension(3, false, false)})),
        Seq("ProgressiveFrameInInterlacedSequence", 720, 480, {30000, 1001}, Progressive,
            Mpeg2Start(720, 480, 4, PictureCodingExtension(3, true, true))),
        Seq("BottomFieldPicture", 720, 480, {24000, 1001}, BottomFirst,
            Mpeg2Start(720, 480, 1, PictureCodingExtension(2, true, false))),
        // Rate code 9 is reserved.
        Seq("NoPictureYet", 720, 576, {}, Unknown, Mpeg2Start(720, 576, 9))),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MpegSequence, TooShortForTheHeader) {
    mpeg::TSequence seq;
    const TData header = SequenceHeader(720, 576, 3, 3);
    EXPECT_FALSE(mpeg::ReadSequence(TData(header.begin(), header.begin() + 7), seq));
    EXPECT_TRUE(mpeg::ReadSequence(TData(header.begin(), header.begin() + 8), seq));
    EXPECT_EQ(seq.Width, 720);
    EXPECT_FALSE(seq.Mpeg2);
}

// ---- Lengths of program and elementary streams ----------------------------------------

TData Timestamp(int prefix, std::int64_t pts) {
    return {
        static_cast<unsigned char>(prefix << 4 | (pts >> 30 & 7) << 1 | 1),
        static_cast<unsigned char>(pts >> 22), static_cast<unsigned char>((pts >> 14 & 0xFE) | 1),
        static_cast<unsigned char>(pts >> 7), static_cast<unsigned char>((pts << 1 & 0xFE) | 1)};
}

TData Mpeg2Pack() {
    return Join({StartCode(0xBA), {0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8}});
}

TData Mpeg1Pack() {
    return Join({StartCode(0xBA), {0x21, 0, 1, 0, 1, 0x80, 0x1B, 0x91}});
}

/// A video packet with a presentation time and `payload` bytes after it; MPEG-1
/// packets have stuffing and a buffer size before the time.
TData VideoPacket(bool mpeg2, std::int64_t pts, std::size_t payload) {
    const TData header =
        Join({mpeg2 ? TData{0x81, 0x80, 5} : TData{0xFF, 0xFF, 0x60, 0x2E}, Timestamp(2, pts)});
    const std::size_t length = header.size() + payload;
    return Join({StartCode(0xE0),
                 {static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)},
                 header,
                 TData(payload, 0xAA)});
}

TEST(ProgramStream, WalksPacksFromAnyStartAndKeepsTheRange) {
    const TData audio = Join({StartCode(0xC0), {0, 4, 0xFF, 0xFF, 0xFF, 0xFF}});
    const TData window =
        Join({TData{0xAA, 0x00, 0x01, 0xE0, 0x55}, // the end of a packet
              Mpeg2Pack(), VideoPacket(true, 9000, 100), audio, Mpeg2Pack(),
              VideoPacket(true, 3600, 50), Mpeg1Pack(), VideoPacket(false, 12600, 20), Mpeg2Pack(),
              VideoPacket(true, 99999, 5000)}); // cut off: not counted
    mpeg::TPtsRange range;
    mpeg::ScanProgramStream(TData(window.begin(), window.end() - 100), range);
    ASSERT_TRUE(range.Low && range.High);
    EXPECT_EQ(*range.Low, 3600);
    EXPECT_EQ(*range.High, 12600);
    // 9000 ticks at 25 fps are 2.5 frames, rounded to even, and the first frame.
    EXPECT_EQ(mpeg::FramesOfPtsRange(range, {25, 1}), 3);
}

TEST(ProgramStream, LengthAcrossTheClockWrap) {
    // The 33-bit clock ran over between the head and the tail: 7199 ticks.
    const std::int64_t wrap = std::int64_t{1} << 33;
    const mpeg::TPtsRange wrapped{wrap - 3600, 3600 - 1};
    EXPECT_EQ(mpeg::FramesOfPtsRange(wrapped, {25, 1}), 3);
    EXPECT_EQ(mpeg::FramesOfPtsRange(wrapped, {}), std::nullopt);
    EXPECT_EQ(mpeg::FramesOfPtsRange({}, {25, 1}), std::nullopt);
}

TData GroupHeader(bool drop, int h, int m, int s, int pictures) {
    TBitWriter w;
    w.Bits(drop, 1).Bits(h, 5).Bits(m, 6).Bits(1, 1).Bits(s, 6).Bits(pictures, 6).Bits(1, 1);
    w.Bits(0, 6);
    return Join({StartCode(0xB8), w.Data});
}

TData Pictures(int count) {
    TData all;
    for (int i = 0; i < count; ++i) all = Join({all, StartCode(0x00), {0x00, 0x0F, 0xFF, 0xF8}});
    return all;
}

struct TGroupCase {
    const char* Name;
    TData Head, Tail;
    TRatio Rate;
    std::optional<std::int64_t> Frames;
};

class ElementaryStreamTest : public ::testing::TestWithParam<TGroupCase> {};

TEST_P(ElementaryStreamTest, CountsFromGroupTimeCodes) {
    const auto& c = GetParam();
    EXPECT_EQ(mpeg::FramesOfElementaryStream(c.Head, c.Tail, c.Rate), c.Frames);
}

const TData Start =
    Join({SequenceHeader(720, 480, 2, 4), GroupHeader(false, 0, 0, 0, 0), Pictures(3)});

TGroupCase Group(const char* name, TData head, TData tail, TRatio rate,
                 std::optional<std::int64_t> frames) {
    return {name, std::move(head), std::move(tail), rate, frames};
}

const TRatio Ntsc{30000, 1001};
const TRatio Pal{25, 1};

INSTANTIATE_TEST_SUITE_P(
    Groups, ElementaryStreamTest,
    ::testing::Values(
        Group("WholeStreamCounted", Join({Start, GroupHeader(false, 0, 0, 0, 3), Pictures(2)}), {},
              Ntsc, 5),
        // Ten minutes of drop-frame time code skip 18 numbers: 17982 frames before.
        Group("DropFrame", Join({SequenceHeader(720, 480, 2, 4), GroupHeader(true, 0, 0, 0, 0)}),
              Join({Pictures(2), GroupHeader(true, 0, 10, 0, 0), Pictures(4)}), Ntsc, 17982 + 4),
        Group("NonDropFrame", Start, Join({GroupHeader(false, 0, 10, 0, 0), Pictures(4)}), Ntsc,
              18000 + 4),
        Group("LastGroupOfTheTail", Start,
              Join({GroupHeader(false, 1, 0, 0, 0), Pictures(12), GroupHeader(false, 1, 0, 0, 12),
                    Pictures(6)}),
              Pal, 90000 + 12 + 6),
        Group("TimeCodeStartsLate",
              Join({SequenceHeader(720, 576, 2, 3), GroupHeader(false, 10, 0, 0, 0)}),
              Join({GroupHeader(false, 10, 0, 1, 5), Pictures(3)}), Pal, 30 + 3),
        Group("TimeCodeGoesBack",
              Join({SequenceHeader(720, 576, 2, 3), GroupHeader(false, 0, 5, 0, 0)}),
              Join({GroupHeader(false, 0, 1, 0, 0), Pictures(3)}), Pal, std::nullopt),
        Group("PictureNumberPastTheRate", Start,
              Join({GroupHeader(false, 0, 0, 1, 40), Pictures(3)}), Pal, std::nullopt),
        Group("NoGroupInTheTail", Start, Pictures(30), Pal, std::nullopt)),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TransportStream, RecognisedBySyncBytes) {
    TData ts(3 * 188 + 1, 0xFF);
    EXPECT_FALSE(mpeg::IsTransportStream(ts));
    ts[0] = ts[188] = ts[376] = 0x47;
    EXPECT_TRUE(mpeg::IsTransportStream(ts));
    EXPECT_FALSE(mpeg::IsProgramStream(ts));
    EXPECT_TRUE(mpeg::IsProgramStream(Mpeg2Pack()));
}

// ---- H.264 sequence parameter sets ----------------------------------------------------

struct TSpsCase {
    const char* Name;
    int Profile;
    std::uint32_t WidthMbs, HeightUnits;
    bool FrameMbsOnly;
    std::uint32_t CropRight, CropBottom;
    int AspectIdc; ///< -1 for no aspect information, 255 for 64:45 given in full
    std::uint32_t Tick, Scale;
    int Width, Height;
    TRatio Aspect, Rate;
};

/// What a reader takes from a parameter set.
auto Shape(const TSps& s) {
    return std::tuple(s.Width, s.Height, s.FramesOnly, s.SampleAspect, s.FrameRate);
}

TData Bytes(TByteSpan span) {
    return TData(span.begin(), span.end());
}

/// `header` and then `payload` with emulation prevention bytes put in.
TData Nal(TData header, const TData& payload) {
    int zeros = 0;
    for (unsigned char b : payload) {
        if (zeros >= 2 && b <= 3) {
            header.push_back(3);
            zeros = 0;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        header.push_back(b);
    }
    return header;
}

/// A parameter set NAL unit with emulation prevention bytes put in.
TData MakeSps(const TSpsCase& c) {
    TBitWriter w;
    w.Bits(c.Profile, 8).Bits(0, 8).Bits(40, 8).Ue(0);
    if (c.Profile == 100) w.Ue(1).Ue(0).Ue(0).Bits(0, 1).Bits(0, 1);
    w.Ue(0).Ue(0).Ue(4).Ue(4).Bits(0, 1).Ue(c.WidthMbs - 1).Ue(c.HeightUnits - 1);
    w.Bits(c.FrameMbsOnly, 1);
    if (!c.FrameMbsOnly) w.Bits(1, 1);
    w.Bits(1, 1).Bits(c.CropRight || c.CropBottom, 1);
    if (c.CropRight || c.CropBottom) w.Ue(0).Ue(c.CropRight).Ue(0).Ue(c.CropBottom);
    w.Bits(1, 1); // VUI
    w.Bits(c.AspectIdc >= 0, 1);
    if (c.AspectIdc >= 0) w.Bits(c.AspectIdc, 8);
    if (c.AspectIdc == 255) w.Bits(64, 16).Bits(45, 16);
    w.Bits(0, 1).Bits(0, 1).Bits(0, 1).Bits(c.Tick > 0, 1);
    if (c.Tick > 0) w.Bits(c.Tick, 32).Bits(c.Scale, 32).Bits(1, 1);
    w.Bits(0, 5).Bits(1, 1); // the rest of the VUI absent, stop bit
    return Nal({0x67}, w.Data);
}

class SpsTest : public ::testing::TestWithParam<TSpsCase> {};

TEST_P(SpsTest, SizeShapeAndRate) {
    const auto& c = GetParam();
    const TData nal = MakeSps(c);
    TSps sps;
    ASSERT_TRUE(h264::ParseSps(nal, sps));
    EXPECT_EQ(Shape(sps), std::tuple(c.Width, c.Height, c.FrameMbsOnly, c.Aspect, c.Rate));
    // Found the same in a byte stream and in a decoder configuration record.
    const TData stream = Join({{0, 0, 0, 1, 0x09, 0xF0}, {0, 0, 1}, nal, {0, 0, 1, 0x68, 0xCE}});
    EXPECT_EQ(Bytes(h264::SpsOfByteStream(stream)), nal);
    const TData config =
        Join({{1, 100, 0, 40, 0xFF, 0xE1, 0, static_cast<unsigned char>(nal.size())}, nal});
    EXPECT_EQ(Bytes(h264::SpsOfConfig(config)), nal);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SpsTest,
    ::testing::Values(
        TSpsCase{"PalWide", 100, 45, 36, true, 0, 0, 255, 1, 50, 720, 576, {64, 45}, {25, 1}},
        TSpsCase{"NtscCropped", 77, 45, 30, true, 4, 0, 3, 1001, 60000, 712, 480, {10, 11}, Ntsc},
        // 1080 lines coded as 68 field rows of 16 less 8 lines of crop.
        TSpsCase{"InterlacedHd", 100, 120, 34, false, 0, 2, 1, 1, 50, 1920, 1080, {1, 1}, {25, 1}},
        TSpsCase{"NoAspectNoTiming", 66, 20, 15, true, 0, 0, -1, 0, 0, 320, 240, {}, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Sps, CutShortOrOtherUnitsAreRefused) {
    const TData nal = MakeSps({"", 100, 45, 36, true, 0, 0, 255, 1, 50, 0, 0, {}, {}});
    TSps sps;
    for (std::size_t cut = 0; cut < 8; ++cut)
        EXPECT_FALSE(h264::ParseSps(TData(nal.begin(), nal.begin() + cut), sps)) << cut;
    TData pps = nal;
    pps[0] = 0x68;
    EXPECT_FALSE(h264::ParseSps(pps, sps));
    EXPECT_TRUE(h264::SpsOfConfig(TData{1, 100, 0, 40, 0xFF, 0xE1, 0, 200, 0x67}).empty());
}

struct THevcCase {
    const char* Name;
    std::uint32_t SubLayers;
    bool Vui, FieldSequence;
    int Width, Height;
    TRatio Aspect, Rate;
};

/// An HEVC parameter set with the parts a reader must step over: sub-layers,
/// scaling lists, PCM, a predicted short-term reference set and long-term ones.
TData MakeHevcSps(const THevcCase& c) {
    TBitWriter w;
    w.Bits(0, 4).Bits(c.SubLayers, 3).Bits(1, 1);
    w.Bits(1, 8).Bits(0x60000000, 32).Bits(8, 4).Zeros(44).Bits(93, 8); // profile, tier, level
    for (std::uint32_t i = 0; i < c.SubLayers; ++i) w.Bits(3, 2);
    if (c.SubLayers > 0) w.Zeros(2 * (8 - c.SubLayers));
    for (std::uint32_t i = 0; i < c.SubLayers; ++i) w.Zeros(88 + 8);
    w.Ue(0).Ue(1).Ue(1920).Ue(1088).Bits(1, 1).Ue(0).Ue(0).Ue(0).Ue(4); // 4 chroma rows cut
    w.Ue(0).Ue(0).Ue(4).Bits(1, 1);
    for (std::uint32_t i = 0; i <= c.SubLayers; ++i) w.Ue(4).Ue(0).Ue(0);
    w.Ue(0).Ue(3).Ue(0).Ue(3).Ue(0).Ue(0);
    w.Bits(1, 1).Bits(1, 1); // scaling lists given
    for (int size = 0; size < 4; ++size) {
        for (int matrix = 0; matrix < 6; matrix += size == 3 ? 3 : 1) {
            const bool given = matrix == 0;
            w.Bits(given, 1);
            if (!given) w.Ue(0);
            if (given && size > 1) w.Se(-3);
            for (int i = 0; given && i < std::min(64, 1 << (4 + 2 * size)); ++i) w.Se(i % 3 - 1);
        }
    }
    w.Bits(1, 1).Bits(1, 1).Bits(1, 1).Bits(7, 4).Bits(7, 4).Ue(0).Ue(1).Bits(0, 1); // PCM
    w.Ue(2).Ue(2).Ue(1); // two short-term sets
    for (int i = 0; i < 3; ++i) w.Ue(i).Bits(1, 1);
    w.Bits(1, 1).Bits(0, 1).Ue(0).Bits(1, 1).Bits(0, 2).Bits(0, 1).Bits(1, 1).Bits(1, 1);
    w.Bits(1, 1).Ue(2).Bits(17, 8).Bits(1, 1).Bits(200, 8).Bits(0, 1); // long-term pictures
    w.Bits(1, 1).Bits(1, 1).Bits(c.Vui, 1);
    if (c.Vui) {
        w.Bits(1, 1).Bits(255, 8).Bits(64, 16).Bits(45, 16).Bits(0, 1);
        w.Bits(1, 1).Bits(5, 3).Bits(0, 1).Bits(1, 1).Bits(0x010101, 24).Bits(0, 1);
        w.Bits(0, 1).Bits(c.FieldSequence, 1).Bits(0, 1).Bits(1, 1).Ue(0).Ue(0).Ue(0).Ue(0);
        w.Bits(1, 1).Bits(1001, 32).Bits(60000, 32).Bits(0, 3);
    }
    w.Bits(0, 1).Bits(1, 1); // no extension, stop bit
    return Nal({0x42, 0x01}, w.Data);
}

class HevcSpsTest : public ::testing::TestWithParam<THevcCase> {};

TEST_P(HevcSpsTest, SizeShapeAndRate) {
    const auto& c = GetParam();
    const TData nal = MakeHevcSps(c);
    TSps sps;
    ASSERT_TRUE(hevc::ParseSps(nal, sps));
    EXPECT_EQ(Shape(sps), std::tuple(c.Width, c.Height, !c.FieldSequence, c.Aspect, c.Rate));
    const TData stream = Join({{0, 0, 0, 1, 0x40, 0x01, 0x0C}, {0, 0, 1}, nal, {0, 0, 1, 0x44, 1}});
    EXPECT_EQ(Bytes(hevc::SpsOfByteStream(stream)), nal);
    // A configuration record: its fixed part, a parameter set array of the video
    // parameter set, then one of this set.
    TData config(22, 0);
    config[0] = 1;
    config =
        Join({config,
              {2, 0x20, 0, 1, 0, 2, 0x40, 0x01},
              {0xA1, 0, 1},
              {static_cast<unsigned char>(nal.size() >> 8), static_cast<unsigned char>(nal.size())},
              nal});
    EXPECT_EQ(Bytes(hevc::SpsOfConfig(config)), nal);
    for (std::size_t cut = 2; cut < nal.size() / 2; ++cut)
        EXPECT_FALSE(hevc::ParseSps(TData(nal.begin(), nal.begin() + cut), sps)) << cut;
}

const TRatio Wide{64, 45};
const TRatio Ntsc60{60000, 1001};

INSTANTIATE_TEST_SUITE_P(
    Sets, HevcSpsTest,
    ::testing::Values(THevcCase{"Full", 0, true, false, 1920, 1080, Wide, Ntsc60},
                      THevcCase{"SubLayers", 2, true, false, 1920, 1080, Wide, Ntsc60},
                      THevcCase{"FieldSequence", 0, true, true, 1920, 1080, Wide, Ntsc60},
                      THevcCase{"NoVui", 1, false, false, 1920, 1080, {}, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Aspect, rate and project rules ---------------------------------------------------

TEST(AspectCode, FromThePixelShape) {
    const struct {
        int W, H;
        TRatio Sample;
        int Code;
    } rows[] = {
        {720, 576, {16, 15}, 2},   {704, 576, {12, 11}, 2}, {720, 576, {64, 45}, 3},
        {720, 576, {16, 11}, 3},   {720, 480, {32, 27}, 3}, {1440, 1080, {4, 3}, 3},
        {720, 576, {221, 125}, 4}, {1920, 1080, {1, 1}, 1}, {720, 576, {1, 1}, 1},
        {720, 480, {2, 1}, 0},     {720, 576, {}, 0},       {0, 576, {16, 15}, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.W) + "x" + std::to_string(r.H));
        EXPECT_EQ(AspectCodeOf(r.W, r.H, r.Sample), r.Code);
    }
    EXPECT_EQ(DisplayAspectOf(720, 576, {64, 45}), (TRatio{16, 9}));
    EXPECT_EQ(DisplayAspectOf(720, 576, {}), TRatio{});
}

TEST(FrameRate, UsualRatesAreSnappedTo) {
    const struct {
        TRatio Given, Usual;
    } rows[] = {
        {{2997, 100}, {30000, 1001}}, {{1'000'000'000, 41'708'333}, {24000, 1001}},
        {{50, 2}, {25, 1}},           {{1'000'000'000, 16'683'333}, {60000, 1001}},
        {{12, 1}, {12, 1}},           {{15, 2}, {15, 2}},
        {{25'025, 1000}, {1001, 40}}, {{}, {}},
    };
    for (const auto& r : rows) EXPECT_EQ(UsualFrameRate(r.Given), r.Usual);
}

TEST(KeyedProject, VersionSixteenAndLater) {
    for (const char* first : {"DGIndexProjectFile16", "DGIndexProjectFile17 "})
        EXPECT_TRUE(IsKeyedProject(first)) << first;
    for (const char* first : {"DGIndexProjectFile15", "DGIndexProjectFile", "DVD2AVIProjectFile"})
        EXPECT_FALSE(IsKeyedProject(first)) << first;
}

} // namespace
} // namespace tarvex
