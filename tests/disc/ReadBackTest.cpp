// Reading a made image back: what the readers print is parsed without trusting it,
// and every way the image can differ from the plan is named.
#include "disc/ReadBack.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tarvex {
namespace {

/// ffprobe's description of a PAL DVD with one AC-3 stream, and a stray packet of
/// the file system taken for sound: one line of the text a line of the output.
std::vector<std::string> ProbedDvd() {
    std::istringstream text(
        "[STREAM]\ncodec_name=dvd_nav_packet\ncodec_type=data\nnb_read_packets=7\n[/STREAM]\n"
        "[STREAM]\ncodec_name=mpeg2video\ncodec_type=video\nwidth=720\nheight=576\n"
        "display_aspect_ratio=16:9\nfield_order=tt\nnb_read_packets=300\n"
        "[SIDE_DATA]\n[/SIDE_DATA]\n[/STREAM]\n"
        "[STREAM]\ncodec_name=ac3\ncodec_type=audio\nsample_rate=48000\nnb_read_packets=375\n"
        "[/STREAM]\n"
        "[STREAM]\ncodec_name=mp2\ncodec_type=audio\nsample_rate=0\nnb_read_packets=1\n"
        "[/STREAM]");
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

TExpectedDisc PlannedDvd() {
    return {.Frames = 300,
            .Seconds = 12,
            .Width = 720,
            .Height = 576,
            .Aspect = 16.0 / 9,
            .FieldOrder = "tt",
            .AudioCodec = "ac3",
            .AudioStreams = 1,
            .SampleRate = 48000,
            .Fields = 600};
}

TEST(ReadBackTest, ReadersOutputIsParsed) {
    const std::vector<TProbedStream> streams = ParseProbe(ProbedDvd());
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams[1].Codec, "mpeg2video");
    EXPECT_EQ(streams[1].Width * 1000 + streams[1].Height, 720576);
    EXPECT_EQ(streams[1].Packets, 300);
    EXPECT_EQ(streams[2].SampleRate, 48000);
    const TDvdTitle title =
        ParseLsdvd({"Disc Title: TARVEX_1", "Title: 01, Length: 01:02:03.500 Chapters: 01, Cells: "
                                            "01, Audio streams: 01, Subpictures: 00"});
    EXPECT_TRUE(title.Opened);
    EXPECT_DOUBLE_EQ(title.Seconds, 3723.5);
}

TEST(ReadBackTest, GarbageFromAReaderFindsNothing) {
    const std::vector<TProbedStream> streams =
        ParseProbe({"width=720", "[STREAM]", "width=99999999999999999999", "height=-5",
                    "nb_read_packets=x", "=", "codec_type"});
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].Width + streams[0].Height + streams[0].Packets, 0);
    for (const char* line :
         {"Title: 01, Length: ", "Title: 01, Length: 00:xx:01.0,", "Title: 01, Length: 1:2",
          "Title: 01, Length: -0:00:01.0,", "UDFFindFile /VIDEO_TS/VIDEO_TS.IFO failed"})
        EXPECT_FALSE(ParseLsdvd({line}).Opened) << line;
}

struct TDifferenceCase {
    const char* Name;
    std::function<void(std::vector<TProbedStream>&, TDvdTitle&)> Change;
    const char* Difference;
};

class ReadBackDifferenceTest : public ::testing::TestWithParam<TDifferenceCase> {};

TEST_P(ReadBackDifferenceTest, IsNamed) {
    std::vector<TProbedStream> streams = ParseProbe(ProbedDvd());
    TDvdTitle title{.Opened = true, .Seconds = 12};
    GetParam().Change(streams, title);
    const TReadBack found = CompareReadBack(PlannedDvd(), streams, &title);
    EXPECT_EQ(found.Difference, GetParam().Difference);
    EXPECT_EQ(found.Found.front(), "libdvdread opens the image: a title of " +
                                       std::string(title.Seconds == 12 ? "12.00" : "10.00") +
                                       " s (planned 12.00 s)");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadBackDifferenceTest,
    ::testing::Values(
        TDifferenceCase{"as_planned", [](auto&, auto&) {}, ""},
        TDifferenceCase{"source_ended_early",
                        [](auto& s, auto& t) { s[1].Packets = 250, t.Seconds = 10; },
                        "the title plays 10.00 s where the plan has 12.00 s; the video has 250 "
                        "pictures where the plan has 300"},
        TDifferenceCase{"other_size_and_aspect",
                        [](auto& s, auto&) { s[1].Width = 480, s[1].Aspect = "4:3"; },
                        "the picture is 480x576 where the plan has 720x576; the display aspect "
                        "is 4:3 where the plan has 1.7778"},
        TDifferenceCase{"fields_counted_as_planned", [](auto& s, auto&) { s[1].ShownFields = 600; },
                        ""},
        TDifferenceCase{"a_field_repeated", [](auto& s, auto&) { s[1].ShownFields = 601; },
                        "the player shows 601 fields where the plan has 600"},
        TDifferenceCase{"fields_swapped", [](auto& s, auto&) { s[1].FieldOrder = "bb"; },
                        "the field order is bb where the plan has tt"},
        TDifferenceCase{"flagged_progressive",
                        [](auto& s, auto&) { s[1].FieldOrder = "progressive"; },
                        "the field order is progressive where the plan has tt"},
        TDifferenceCase{"other_sound",
                        [](auto& s, auto&) { s[2].Codec = "mp2", s[2].SampleRate = 44100; },
                        "audio stream 1 is mp2 at 44100 Hz where the plan has ac3 at 48000 Hz"},
        TDifferenceCase{"no_sound", [](auto& s, auto&) { s.erase(s.begin() + 2); },
                        "0 audio streams were found where the plan has 1"},
        TDifferenceCase{"no_video", [](auto& s, auto&) { s[1].Type = "data"; },
                        "no video stream was found"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex
