// The AVI header reader, broken and cut AVI files, and AVI files served from a project.
#include "tests/source/OpenSrcFixture.h"

namespace tarvex {
namespace {

using namespace testkit;

// ---- AVI header reader ----------------------------------------------------------------

struct TAviCase {
    const char* Name;
    std::vector<TAviStream> Streams;
    double Rate; ///< of the video stream
    std::int32_t Count;
    std::string FourCC;
};

class AviReadTest : public SourceReaderTest, public ::testing::WithParamInterface<TAviCase> {};

TEST_P(AviReadTest, TakesTheFirstVideoStream) {
    const auto& c = GetParam();
    reader.ReadAviHeader(dir.Write("f.avi", MakeAvi(720, 576, c.Streams)));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(reader.Frame, (TSourceFrame{720, 576, c.Rate, c.Count, c.FourCC, 9, true, false}));
}

TAviCase Avi(const char* name, std::vector<TAviStream> streams, double rate, std::int32_t count,
             std::string fourCC) {
    return {name, std::move(streams), rate, count, std::move(fourCC)};
}

const TAviStream Audio{"auds", 1, 48000, 5000, ""};

// One video stream first, audio first, a rate over a scale of two and a code of
// NUL bytes are read from the AVI files made by ffmpeg in MediaTest.
INSTANTIATE_TEST_SUITE_P(
    Streams, AviReadTest,
    ::testing::Values(
        Avi("InterleavedDv", {{"iavs", 1, 25, 1000, "dvsd"}}, 25.0, 1000, "DVSD"),
        Avi("TwoAudioFirst",
            {Audio, Audio, {"vids", 1001, 24000, 1000, "div3"}, {"vids", 1, 25, 7, "xxxx"}},
            NtscFilm, 1000, "DIV3"),
        Avi("NulPaddedCode", {{"vids", 1, 25, 1000, std::string("Y8\0\0", 4)}}, 25.0, 1000, "Y8"),
        // Without a time scale the earlier frame rate stays.
        Avi("NoTimeScale", {{"vids", 0, 25, 77, "cvid"}}, 12.34, 77, "CVID")),
    [](const auto& info) { return std::string(info.param.Name); });

struct TBrokenAvi {
    const char* Name;
    std::string Bytes;
    std::string Message;
};

/// An AVI of an audio and a video stream with four bytes at `offset` changed to `v`.
std::string Patched(std::size_t offset, std::uint32_t v) {
    testkit::TBytes b;
    b.Data = MakeAvi(720, 576, {Audio, {}});
    b.Put32(offset, v);
    return b.Data;
}

/// A video stream behind more stream lists than an AVI file can have.
std::string TooManyStreams() {
    std::vector<TAviStream> streams(150, Audio);
    streams.push_back({});
    return MakeAvi(720, 576, streams);
}

class BrokenAviTest : public SourceReaderTest, public ::testing::WithParamInterface<TBrokenAvi> {};

TEST_P(BrokenAviTest, ReportsAndChangesNothing) {
    const auto& c = GetParam();
    const std::string name = dir.Write("f.avi", c.Bytes);
    const TSourceFrame before = reader.Frame;
    reader.ReadAviHeader(name);
    EXPECT_EQ(shown, Shown(c.Message + name));
    EXPECT_EQ(reader.Frame, before);
}

// Files cut short are in EveryCutOfAnAviIsReportedOrRead.
INSTANTIATE_TEST_SUITE_P(
    Files, BrokenAviTest,
    ::testing::Values(
        TBrokenAvi{"BigEndianRiff", "RIFX" + MakeAvi(720, 576, {{}}).substr(4), NoRiff},
        TBrokenAvi{"LowerCaseRiff", "riff" + MakeAvi(720, 576, {{}}).substr(4), NoRiff},
        TBrokenAvi{"AudioOnly", MakeAvi(720, 576, {Audio, Audio}), NoVideo},
        TBrokenAvi{"VideoTypeInOtherCase", MakeAvi(720, 576, {{"VIDS", 1, 25, 1, "dvsd"}}),
                   NoVideo},
        // The size field of the first stream list.
        TBrokenAvi{"ListSizeBackwards", Patched(92, 0xFFFFFFF8u), NoVideo},
        TBrokenAvi{"ListSizePastTheEnd", Patched(92, 0x7FFFFFFFu), NoVideo},
        TBrokenAvi{"ListSizeZero", Patched(92, 0), NoVideo},
        TBrokenAvi{"TooManyStreams", TooManyStreams(), NoVideo},
        // The RIFF size ends the file before the second stream list.
        TBrokenAvi{"RiffSizeEndsTheWalk", Patched(4, 110), NoVideo},
        // Sizes past 16 bits and counts past 31 are refused, not wrapped.
        TBrokenAvi{"WidthOutOfRange", MakeAvi(0x10000 + 720, 576, {{}}),
                   "The frame size 66256 x 576 is out of range in file: "},
        TBrokenAvi{"CountOutOfRange", MakeAvi(720, 576, {{"vids", 1, 25, 0x80000000u, "dvsd"}}),
                   "The frame count 2147483648 is out of range in file: "}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, EveryCutOfAnAviIsReportedOrRead) {
    const std::string whole = MakeAvi(720, 576, {Audio, {"iavs", 1, 25, 1000, "cdvc"}});
    const TSourceFrame before = reader.Frame;
    const TSourceFrame read{720, 576, 25.0, 1000, "CDVC", 9, true, false};
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        reader.Frame = {};
        SetEarlierFacts(reader.Frame);
        shown.clear();
        const std::string name = dir.Write("cut.avi", whole.substr(0, cut));
        reader.ReadAviHeader(name);
        EXPECT_EQ(reader.Frame, shown.empty() ? read : before);
        const std::string message = (cut < 4 ? NoRiff : NoVideo) + name;
        EXPECT_TRUE(shown.empty() || shown == Shown(message)) << ::testing::PrintToString(shown);
    }
}

// ---- VFAPI AVI ------------------------------------------------------------------------

TEST_F(SourceReaderTest, VfapiAviReadsTheProjectItServesOrKeepsItsOwnValues) {
    TProject p;
    p.Path = dir.Write("film.m2v", SeqHeader(720, 576, 3));
    p.Crop = "2,4,8,16,0";
    p.Rate = "29970";
    const std::string project = dir.Write("film.D2V", p.Text());
    for (const auto& [served, expected] :
         {std::pair{std::string(255, 'a'), TSourceFrame{320, 240, 25.0, 10, "VIFP", 9, true, true}},
          std::pair{project, TSourceFrame{696, 570, 29.97, 10, "VIFP", 3, true, true}}}) {
        reader.ReadAviHeader(dir.Write("f.avi", MakeVfapiAvi(served, served.size())));
        EXPECT_EQ(reader.Frame, expected);
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(SourceReaderTest, VfapiNameTooLongOrCutIsRefused) {
    for (const auto& [avi, label] :
         {std::pair{MakeVfapiAvi(std::string(300, 'a') + ".d2v", 304), "too long"},
          std::pair{MakeVfapiAvi("x.d2v", 0xFFFF), "length 65535"},
          std::pair{MakeVfapiAvi("abc.d2v", 7).substr(0, testkit::ServedNameOffset + 5), "cut"},
          std::pair{MakeVfapiAvi("", 0).substr(0, testkit::ServedNameOffset + 1), "no length"}}) {
        SCOPED_TRACE(label);
        shown.clear();
        const std::string name = dir.Write("f.avi", avi);
        reader.ReadAviHeader(name);
        EXPECT_EQ(shown, Shown(NoVideo + name));
        EXPECT_EQ(reader.Frame.FourCC, "VIFP");
        EXPECT_TRUE(reader.Frame.Vfapi);
    }
}

TEST_F(SourceReaderTest, VfapiFlagIsClearedByTheNextSource) {
    const std::string vfapi = dir.Write("v.avi", MakeVfapiAvi("x.avs", 5));
    // Every file of MediaTest is read over a VFAPI flag as well; a file that cannot be
    // read is no next source (RefusedOpenLeavesEverything).
    ASSERT_EQ(reader.OpenFiles({vfapi}), 0);
    ASSERT_TRUE(reader.Frame.Vfapi);
    ASSERT_EQ(reader.OpenFiles({dir.Write("f.avs", "")}), 0);
    EXPECT_FALSE(reader.Frame.Vfapi);
}

} // namespace
} // namespace tarvex
