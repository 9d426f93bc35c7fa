// The job's filter graph and encoder settings on real films: an interlaced film's
// fields reach the disc in the order they were shot, and every stream states the
// rate and buffer of its disc's standard.
#include "disc/DiscJob.h"

#include "tests/support/DiscPlans.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

namespace tarvex {
namespace {

using testkit::Shell;

/// A PAL DV film of 30 frames whose fields, bottom first as DV has them, show a white
/// bar moving right 8 pixels from each field to the next.
std::string MakeBottomFirstDv(const TTempFolder& dir) {
    const std::string path = dir / "bff.avi";
    const int rc = Shell(
        "ffmpeg -nostdin -v error -y -f lavfi -i color=black:s=720x576:r=50:d=1.2 -f lavfi -i "
        "color=white:s=16x576:r=50 -filter_complex "
        "'[0][1]overlay=x=40+n*8:shortest=1,interlace=scan=bff:lowpass=off,format=yuv420p' "
        "-c:v dvvideo -f avi '" +
        path + "'");
    return rc == 0 ? path : "";
}

/// The bar's place in each field, in the order the fields' own flags show them.
std::vector<double> BarPlaces(const std::string& film, const std::string& setField, int width,
                              int fieldHeight) {
    const std::string raw =
        testkit::Output("ffmpeg -nostdin -v error -i '" + film + "' -vf '" + setField +
                        "separatefields' -f rawvideo -pix_fmt gray -");
    const std::size_t size = static_cast<std::size_t>(width) * fieldHeight;
    std::vector<double> places;
    for (std::size_t at = 0; at + size <= raw.size(); at += size) {
        double sum = 0, count = 0;
        const std::size_t row = at + static_cast<std::size_t>(fieldHeight / 2) * width;
        for (int x = 0; x < width; ++x)
            if (static_cast<unsigned char>(raw[row + x]) > 128) sum += x, ++count;
        places.push_back(count > 0 ? sum / count : -1);
    }
    return places;
}

/// How often the bar moves back between one field and the next.
int StepsBack(const std::vector<double>& places) {
    int back = 0;
    for (std::size_t i = 1; i < places.size(); ++i)
        if (places[i] < places[i - 1] - 1) ++back;
    return back;
}

struct TFieldCase {
    const char* Name;
    bool BffToTff;
    int ResizeY; ///< 576 keeps the lines; fewer letterbox the picture
    const char* FieldFlags;
    friend void PrintTo(const TFieldCase& c, std::ostream* os) { *os << c.Name; }
};

class FieldOrderTest : public ::testing::TestWithParam<TFieldCase> {};

TEST_P(FieldOrderTest, FieldsComeOutInTheOrderTheyWereShot) {
    const TFieldCase& c = GetParam();
    const TTempFolder dir;
    const std::string dv = MakeBottomFirstDv(dir);
    ASSERT_FALSE(dv.empty());
    // The film itself: in order read bottom first, and out of order read top first.
    EXPECT_EQ(StepsBack(BarPlaces(dv, "setfield=bff,", 720, 288)), 0);
    ASSERT_GT(StepsBack(BarPlaces(dv, "setfield=tff,", 720, 288)), 20);

    TDiscPlan plan;
    plan.Source = dv;
    plan.SrcFrames = 30;
    plan.Format = TDiscFormat::DVD;
    plan.VideoRate = 6000000;
    plan.MaxVideoRate = 8000000;
    TPicturePlan& p = plan.Picture;
    std::tie(p.CropX, p.CropY, p.ResizeX, p.ResizeY, p.DestY) =
        std::tuple(720, 576, 720, c.ResizeY, 576);
    p.BorderTop = p.BorderBottom = (576 - c.ResizeY) / 2;
    p.Interlaced = p.BottomFirst = true;
    p.BffToTff = c.BffToTff;
    std::string args;
    for (const std::string& a : VideoCodecArgs(plan)) args += " '" + a + "'";
    const std::string m2v = dir / "disc.m2v";
    ASSERT_EQ(Shell("ffmpeg -nostdin -v error -y -i '" + dv + "' -an -vf '" +
                    VideoFilter(plan, 0, 0) + "' -r 25" + args + " -f mpeg2video '" + m2v + "'"),
              0);
    // Every frame coded interlaced, with the field order it carries.
    std::istringstream flags(
        testkit::Output("ffprobe -v error -select_streams v -show_entries "
                        "frame=interlaced_frame,top_field_first -of csv=p=0 '" +
                        m2v + "'"));
    const std::vector<std::string> lines{std::istream_iterator<std::string>(flags), {}};
    ASSERT_EQ(lines.size(), 30u);
    for (const std::string& line : lines) EXPECT_EQ(line.substr(0, 3), c.FieldFlags);
    // A player shows the fields as the flags say: the bar never jumps back.
    const std::vector<double> places = BarPlaces(m2v, "", 720, 288);
    ASSERT_EQ(places.size(), 60u);
    EXPECT_EQ(StepsBack(places), 0);
}

INSTANTIATE_TEST_SUITE_P(Dv, FieldOrderTest,
                         ::testing::Values(TFieldCase{"coded_bottom_first", false, 576, "1,0"},
                                           TFieldCase{"letterboxed_bottom_first", false, 432,
                                                      "1,0"},
                                           TFieldCase{"turned_top_first", true, 576, "1,1"},
                                           TFieldCase{"letterboxed_top_first", true, 432, "1,1"}),
                         [](const auto& info) { return std::string(info.param.Name); });

/// The bit rate (bps) and video buffer (bits) the first sequence header states.
std::pair<std::int64_t, std::int64_t> HeaderRateAndBuffer(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), {}};
    const std::size_t at = data.find(std::string("\0\0\1\xB3", 4));
    if (at == std::string::npos || at + 12 > data.size()) return {-1, -1};
    const auto b = [&](std::size_t i) {
        return std::int64_t{static_cast<unsigned char>(data[at + i])};
    };
    // After 12 bits each of width and height and 4 each of aspect and rate code:
    // 18 bits of rate in 400 bps, a marker bit, 10 bits of buffer in 16384 bits.
    const std::int64_t rate = (b(8) << 10) | (b(9) << 2) | (b(10) >> 6);
    const std::int64_t buffer = ((b(10) & 0x1F) << 5) | (b(11) >> 3);
    return {rate * 400, buffer * 16384};
}

struct THeaderCase {
    const char* Name;
    TDiscFormat Format;
    std::uint32_t VideoRate;
    std::uint32_t MaxVideoRate;
    std::pair<std::int64_t, std::int64_t> Expected;
    friend void PrintTo(const THeaderCase& c, std::ostream* os) { *os << c.Name; }
};

class StreamHeaderTest : public ::testing::TestWithParam<THeaderCase> {};

TEST_P(StreamHeaderTest, StatesTheStandardsRateAndBuffer) {
    const THeaderCase& c = GetParam();
    const TTempFolder dir;
    TDiscPlan plan;
    plan.Format = c.Format;
    plan.VideoRate = c.VideoRate;
    plan.MaxVideoRate = c.MaxVideoRate;
    std::string args;
    for (const std::string& a : VideoCodecArgs(plan)) args += " '" + a + "'";
    const std::string out = dir / "video.mpg";
    const char* size = c.Format == TDiscFormat::VCD ? "352x288" : "720x576";
    ASSERT_EQ(Shell(std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=") + size +
                    ":r=25:d=2" + args + " -f " +
                    (c.Format == TDiscFormat::VCD ? "mpeg1video" : "mpeg2video") + " '" + out +
                    "'"),
              0);
    EXPECT_EQ(HeaderRateAndBuffer(out), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, StreamHeaderTest,
    ::testing::Values(
        THeaderCase{
            "vcd_constant_1150_kbps_40_kb", TDiscFormat::VCD, 1150000, 0, {1150000, 327680}},
        THeaderCase{
            "svcd_player_maximum_224_kb", TDiscFormat::SVCD, 2000000, 2516000, {2516000, 1835008}},
        THeaderCase{
            "dvd_kept_within_9800_kbps", TDiscFormat::DVD, 8000000, 10400000, {9800000, 1835008}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex
