// NTSC film made into a DVD and an SVCD with 3:2 pulldown by the real tools, and read
// back the way players read it.
#include "disc/Runner.h"
#include "tests/support/DiscPlans.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvex {
namespace {

constexpr int FilmFrames = 144; ///< six seconds of film: 360 fields, 180 frames at 29.97

using testkit::Output;

struct TFilmDisc {
    const char* Name;
    TDiscFormat Format;
    std::int8_t MuxMode, AuthoringMode; ///< the window's rows
    const char* Reader; ///< reads the made disc, DIR its work folder; exit code 0 when right
};

class PulldownEndToEndTest : public ::testing::TestWithParam<TFilmDisc> {};

TEST_P(PulldownEndToEndTest, PlaysTheFilmFramesAt2997) {
    const TFilmDisc& c = GetParam();
    const TTempFolder dir;
    const std::string film = testkit::CachedFile(
        TARVEX_TEST_FILMS, "pulldown-film.avi",
        "-f lavfi -i testsrc2=size=720x480:rate=24000/1001 -f lavfi -i sine=duration=6.006 "
        "-frames:v 144 -c:v mpeg4 -c:a pcm_s16le");
    ASSERT_NE(film, "");
    TCDImage budget = testkit::Budget(c.Format, {c.MuxMode, c.AuthoringMode}, 6, 1, 192000,
                                      c.Format == TDiscFormat::DVD);
    budget.SetFrameRate(23.976f);
    budget.SetFrames(FilmFrames);
    budget.SetPulldown(true);
    budget.SetGOPLength(18);
    budget.SetVideoRate(2500000);
    TDiscPlan plan = testkit::Plan(c.Format, film, FilmFrames, budget);
    plan.SrcFrameRate = 24000.0 / 1001;
    plan.Picture.SrcIsPAL = plan.Picture.DestIsPAL = false;
    plan.Picture.CropY = plan.Picture.ResizeY = plan.Picture.DestY = 480;
    TMakeOptions options;
    options.KeepWork = true;
    const TMakeResult result = MakeDiscs(BuildJob(plan, dir / "work", dir / "out"), options);
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    EXPECT_EQ(result.Discs.at(0).VideoFrames, FilmFrames);
    // The read-back counts the pictures and the fields a player shows of them.
    const std::vector<std::string>& found = result.Discs.at(0).ReadBack;
    EXPECT_NE(std::find(found.begin(), found.end(),
                        "the player shows 360 fields, 180.0 frames (planned 360 fields)"),
              found.end());

    // Per picture in display order its repeated first field; then the playing time and
    // the most fields from one key frame to the next.
    std::string expected;
    for (int i = 0; i < FilmFrames; ++i) expected += i % 2 == 0 ? "1" : "0";
    EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries frame=key_frame,"
                     "pkt_duration_time,repeat_pict -of csv=p=0 '" +
                     result.WorkDir +
                     "/disc1.mpg' | awk -F, 'NF > 2 && length($1) == 1 { f = ($1 == 1 ? 0 : f) + "
                     "2 + $3; m = f > m ? f : m; s += $2; r = r $3 } END { printf \"%s %.3f %d\", "
                     "r, s, m }'"),
              expected + " 6.006 30");
    // GOPs of 12 film frames, 30 fields: within the 18 frames a GOP may show.
    EXPECT_EQ(budget.IFrames, 12u);
    EXPECT_EQ(Output("ffprobe -v error -show_entries stream=avg_frame_rate -of csv=p=0 '" +
                     result.WorkDir + "/disc1.m2v'")
                  .substr(0, 10),
              "30000/1001");
    std::string reader = c.Reader;
    reader.replace(reader.find("DIR"), 3, result.WorkDir);
    EXPECT_EQ(testkit::Shell(reader), 0) << reader;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PulldownEndToEndTest,
    ::testing::Values(TFilmDisc{"dvd", TDiscFormat::DVD, 8, 6,
                                "lsdvd DIR/disc1_dvd 2>&1 | grep -qF 'Length: 00:00:06.000'"},
                      TFilmDisc{"svcd", TDiscFormat::SVCD, 7, 3,
                                "vcd-info -t -c DIR/../out/disc1.cue 2>&1 | grep -qF 'SVCD'"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex
