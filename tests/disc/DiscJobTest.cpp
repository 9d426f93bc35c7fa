#include "disc/DiscJob.h"
#include "disc/DvdSubpictures.h"

#include "tests/support/DiscPlans.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

/// The geometry of the script writer's worked example: 704x436 from (8,70), resized
/// to 448x416 and centred in 480x576 with borders 16 and 80.
TDiscPlan Example(TDiscFormat format = TDiscFormat::SVCD) {
    TDiscPlan plan;
    plan.Source = "/films/film.avi";
    plan.SrcFrames = 15000;
    plan.Format = format;
    std::tie(plan.VideoRate, plan.MaxVideoRate, plan.Audio1Rate) =
        std::tuple(1187000, 2516000, 160000);
    TPicturePlan& p = plan.Picture;
    std::tie(p.CropLeft, p.CropTop, p.CropX, p.CropY) = std::tuple(8, 70, 704, 436);
    std::tie(p.ResizeX, p.ResizeY, p.DestY) = std::tuple(448, 416, 576);
    std::tie(p.BorderLeft, p.BorderTop, p.BorderRight, p.BorderBottom) = std::tuple(16, 80, 16, 80);
    return plan;
}

/// A change to the example plan, named for the test's output.
template <typename TExpected>
struct TPlanCase {
    const char* Name;
    std::function<void(TDiscPlan&)> Change;
    TExpected Expected;
    friend void PrintTo(const TPlanCase& c, std::ostream* os) { *os << c.Name; }
};

const auto RowName = [](const auto& info) { return std::string(info.param.Name); };

/// The filter graph for source frames [First, End) and the size of the frame it makes.
struct TFilterCase {
    const char* Name;
    std::function<void(TDiscPlan&)> Change;
    std::string Graph;
    std::int64_t First = 0;
    std::int64_t End = 0;
    int Width = 480;
    int Height = 576;
    friend void PrintTo(const TFilterCase& c, std::ostream* os) { *os << c.Name; }
};

const std::string Crop = "crop=w=704:h=436:x=8:y=70:exact=1,";
const std::string Pad = ",pad=w=480:h=576:x=16:y=80:color=black";
/// The example's picture cropped, resized the precise way and padded.
const std::string Framed = Crop + "scale=w=448:h=416:flags=bicubic:param0=0:param1=0.6" + Pad;
const std::string Tail = ",setpts=PTS-STARTPTS,format=yuv420p";

class VideoFilterTest : public ::testing::TestWithParam<TFilterCase> {};

// The graph mirrors the script, and ffmpeg takes it and makes the frame the script makes.
TEST_P(VideoFilterTest, MirrorsTheScriptAndFfmpegMakesTheFrame) {
    const TFilterCase& g = GetParam();
    TDiscPlan plan = Example();
    g.Change(plan);
    const std::string graph = VideoFilter(plan, g.First, g.End);
    EXPECT_EQ(graph, g.Graph);
    const TTempFolder dir;
    const std::string frame = dir / "frame.gray";
    ASSERT_EQ(testkit::Shell("ffmpeg -nostdin -v error -f lavfi -i color=size=720x576:rate=25 "
                             "-vf '" +
                             graph + "' -frames:v 1 -pix_fmt gray -f rawvideo '" + frame + "'"),
              0);
    EXPECT_EQ(std::filesystem::file_size(frame), static_cast<std::uintmax_t>(g.Width * g.Height));
}

const TFilterCase Graphs[] = {
    {"progressive", [](auto&) {}, Framed + Tail},
    {"interlaced_fields_halved_borders_even",
     [](auto& p) { p.Picture.Interlaced = true, p.Picture.ResizeY = 430, p.Picture.CropTop = 71; },
     "setfield=tff,separatefields,crop=w=704:h=218:x=8:y=35:exact=1,scale=w=448:h=215:flags="
     "bicubic:param0=0:param1=0.6,weave=first_field=top,pad=w=480:h=576:x=16:y=72:color=black,"
     "setpts=PTS-STARTPTS,setfield=tff,format=yuv420p"},
    {"bilinear_without_borders",
     [](auto& p) {
         TPicturePlan& q = p.Picture;
         q.ResizeMode = q.BorderLeft = q.BorderTop = q.BorderRight = q.BorderBottom = 0;
     },
     Crop + "scale=w=448:h=416:flags=bilinear" + Tail, 0, 0, 448, 416},
    {"bicubic_standard", [](auto& p) { p.Picture.ResizeMode = 1; },
     Crop + "scale=w=448:h=416:flags=bicubic:param0=1/3:param1=1/3" + Pad + Tail},
    {"lanczos", [](auto& p) { p.Picture.ResizeMode = 3; },
     Crop + "scale=w=448:h=416:flags=lanczos:param0=3" + Pad + Tail},
    {"no_selection_is_precise_bicubic", [](auto& p) { p.Picture.ResizeMode = -1; }, Framed + Tail},
    {"bff_to_tff_shifts_one_field", [](auto& p) { p.Picture.BffToTff = true; },
     "setfield=bff,separatefields,trim=start_frame=1,tpad=stop=1:stop_mode=clone,weave=first_"
     "field=top," +
         Framed + ",setpts=PTS-STARTPTS,setfield=tff,format=yuv420p"},
    {"middle_disc", [](auto&) {}, "trim=start_frame=50:end_frame=100," + Framed + Tail, 50, 100},
    {"last_disc_runs_to_the_end", [](auto&) {}, "trim=start_frame=75," + Framed + Tail, 75},
    {"pal_to_ntsc_svcd_slows_down_to_film_frames", [](auto& p) { p.Picture.DestIsPAL = false; },
     Framed + ",setpts=N*1001/24000/TB,format=yuv420p"},
    {"pal_to_ntsc_vcd_keeps_film_rate",
     [](auto& p) { p.Format = TDiscFormat::VCD, p.Picture.DestIsPAL = false; },
     Framed + ",setpts=N*1001/24000/TB,format=yuv420p"},
    {"ntsc_film_to_pal_speeds_up",
     [](auto& p) { p.SrcFrameRate = 23.976, p.Picture.SrcIsPAL = false; },
     Framed + ",setpts=N*1/25/TB,format=yuv420p"},
    {"ntsc_video_on_ntsc_dvd_unchanged",
     [](auto& p) {
         p.Format = TDiscFormat::DVD, p.SrcFrameRate = 29.97;
         p.Picture.SrcIsPAL = p.Picture.DestIsPAL = false;
     },
     Framed + Tail},
    {"fifty_frames_to_pal", [](auto& p) { p.SrcFrameRate = 50; },
     Framed + ",setpts=PTS-STARTPTS,fps=25,format=yuv420p"},
    {"rgb_output", [](auto& p) { p.Picture.ConvertToRGB = true; },
     Framed + ",setpts=PTS-STARTPTS,format=rgb24,format=yuv420p"},
};
INSTANTIATE_TEST_SUITE_P(Plans, VideoFilterTest, ::testing::ValuesIn(Graphs), RowName);

class VideoCodecTest : public ::testing::TestWithParam<TPlanCase<std::string>> {};

TEST_P(VideoCodecTest, EncoderSettings) {
    TDiscPlan plan = Example();
    GetParam().Change(plan);
    std::istringstream words(GetParam().Expected);
    EXPECT_EQ(VideoCodecArgs(plan),
              std::vector<std::string>(std::istream_iterator<std::string>(words), {}));
}

/// The example's MPEG-2 rates and the SVCD buffer.
const std::string Mpeg2 = "-c:v mpeg2video -b:v 1187000 -maxrate 2516000 -bufsize 1835008 ";
const std::string Gop15 = "-g 15 -bf 2 -sc_threshold 1000000000 ";

const TPlanCase<std::string> Codecs[] = {
    // No interlaced coding in MPEG-1.
    {"vcd_mpeg1_small_buffer",
     [](auto& p) {
         p.Format = TDiscFormat::VCD, p.VideoRate = 1150000, p.MaxVideoRate = 0;
         p.Picture.Interlaced = true;
     },
     "-c:v mpeg1video -b:v 1150000 -minrate 1150000 -maxrate 1150000 -bufsize 327680 " + Gop15 +
         "-aspect 4:3"},
    {"dvd_header_rate_within_the_standard",
     [](auto& p) { p.Format = TDiscFormat::DVD, p.VideoRate = 8000000, p.MaxVideoRate = 10400000; },
     "-c:v mpeg2video -b:v 8000000 -maxrate 9800000 -bufsize 1835008 " + Gop15 + "-aspect 4:3"},
    {"bottom_first_source_coded_bottom_first",
     [](auto& p) {
         p.Format = TDiscFormat::DVD, p.Picture.Interlaced = p.Picture.BottomFirst = true;
     },
     Mpeg2 + Gop15 + "-flags +ildct+ilme -top 0 -aspect 4:3"},
    {"svcd_scan_offsets", [](auto&) {}, Mpeg2 + Gop15 + "-scan_offset 1 -aspect 4:3"},
    {"dvd_interlaced_wide_scene_changes",
     [](auto& p) {
         p.Format = TDiscFormat::DVD, p.GOPLength = 12, p.SceneDetect = true;
         p.Picture.Interlaced = p.Picture.Widescreen = true;
     },
     Mpeg2 + "-g 12 -bf 2 -flags +ildct+ilme -top 1 -aspect 16:9"},
    // 14 film frames fill 35 fields, within the 18 frames shown (15 would fill 38), and
    // the encoder cuts GOPs at groups of three frames.
    {"ntsc_film_dvd_progressive_frames_in_shorter_gops",
     [](auto& p) {
         p.Format = TDiscFormat::DVD, p.GOPLength = 18, p.SrcFrameRate = 23.976;
         p.Picture.SrcIsPAL = p.Picture.DestIsPAL = false, p.Picture.Interlaced = true;
     },
     Mpeg2 + "-g 12 -bf 2 -sc_threshold 1000000000 -aspect 4:3"},
};
INSTANTIATE_TEST_SUITE_P(Plans, VideoCodecTest, ::testing::ValuesIn(Codecs), RowName);

TEST(AudioFilterTest, CutsBySourceTimeAndKeepsPaceWithTheRateChange) {
    TDiscPlan plan = Example();
    EXPECT_EQ(AudioFilter(plan, 0, 0), "asetpts=PTS-STARTPTS");
    EXPECT_EQ(AudioFilter(plan, 5000, 10001), "atrim=start=200:end=400.04,asetpts=PTS-STARTPTS");
    plan.Picture.DestIsPAL = false;
    EXPECT_EQ(AudioFilter(plan, 0, 2500),
              "atrim=end=100,asetpts=PTS-STARTPTS,atempo=0.9590409590409591");
}

using Names = std::vector<std::string>;

/// The final names of a disc's images.
Names FinalNames(const TDiscPart& part) {
    Names names;
    for (const TFinalFile& f : part.Images) names.push_back(f.FinalName);
    return names;
}

/// The programs and titles of a job's steps, disc by disc.
std::vector<std::string> Outline(const TDiscJob& job) {
    std::vector<std::string> lines;
    for (const TDiscPart& part : job.Parts)
        for (const TStep& step : part.Steps) lines.push_back(step.Args[0] + ": " + step.Title);
    return lines;
}

// The encoder's second pass multiplexes: only then does the muxer know the video
// buffer the stream was coded for.
TEST(BuildJobTest, SvcdEncodesTwiceMultiplexesAndAuthorsWithVcdimager) {
    const TDiscJob job = BuildJob(Example(), "/out/.work", "/out");
    ASSERT_EQ(job.Parts.size(), 1u);
    EXPECT_THAT(Outline(job),
                ElementsAre("ffmpeg: Disc 1: audio stream 1", "ffmpeg: Disc 1: video, first pass",
                            "ffmpeg: Disc 1: video, second pass and multiplexing",
                            "vcdimager: Disc 1: authoring"));
    const TDiscPart& part = job.Parts[0];
    EXPECT_THAT(CommandLine(part.Steps[0]),
                HasSubstr("-map 0:a:0 -vn -af asetpts=PTS-STARTPTS -c:a mp2 -b:a 160k -ar 44100"));
    EXPECT_EQ(part.Steps[2].Frames, 15000);
    EXPECT_THAT(CommandLine(part.Steps[2]),
                HasSubstr("-protocol_whitelist file -i file:disc1_audio1.mp2 -map 0:v:0 -map 1:a "
                          "-vf "));
    EXPECT_THAT(CommandLine(part.Steps[2]),
                HasSubstr("-pass 2 -c:a copy -f tee '[select=v:f=mpeg2video]disc1.m2v|"
                          "[f=svcd:packetsize=2324:muxrate=2822400]disc1.mpg'"));
    EXPECT_EQ(part.Steps[2].Outputs, Names({"disc1.m2v", "disc1.mpg"}));
    EXPECT_EQ(CommandLine(part.Steps[3]), "vcdimager -t svcd -c disc1.cue -b disc1.bin disc1.mpg");
    EXPECT_EQ(FinalNames(part), Names({"/out/disc1.bin", "/out/disc1.cue"}));
}

TEST(BuildJobTest, DvdOnTwoDiscsSplitsTheFilmAndAuthorsEachIntoAnIso) {
    TDiscPlan plan = Example(TDiscFormat::DVD);
    plan.DiscCount = 2;
    plan.SrcFrames = 15001;
    plan.AC3 = true;
    plan.Audio1Rate = 448000;
    plan.Audio2Rate = 192000;
    const TDiscJob job = BuildJob(plan, "/out/.work", "/out");
    ASSERT_EQ(job.Parts.size(), 2u);
    const TDiscPart& second = job.Parts[1];
    EXPECT_EQ(std::tuple(job.Parts[0].EndFrame, second.FirstFrame, second.EndFrame),
              std::tuple(7501, 7501, 15001));
    EXPECT_THAT(CommandLine(second.Steps[2]), HasSubstr("-vf trim=start_frame=7501,crop="));
    // The source's only sound track fills the first stream; the second is silent,
    // never a copy of the first.
    EXPECT_THAT(CommandLine(second.Steps[0]),
                HasSubstr("-map 0:a:0 -vn -af atrim=start=300.04,asetpts=PTS-STARTPTS -c:a ac3 "
                          "-b:a 448k -ar 48000 -f ac3 disc2_audio1.ac3"));
    EXPECT_THAT(CommandLine(second.Steps[1]),
                HasSubstr("-f lavfi -i anullsrc=r=48000:cl=stereo -t 300 -c:a ac3 "
                          "-b:a 192k -ar 48000 -ac 2 -f ac3 disc2_audio2.ac3"));
    EXPECT_THAT(CommandLine(second.Steps[3]),
                HasSubstr("-i file:disc2_audio1.ac3 -protocol_whitelist file -i "
                          "file:disc2_audio2.ac3 -map 0:v:0 -map 1:a -map 2:a -vf "));
    EXPECT_THAT(CommandLine(second.Steps[3]),
                HasSubstr("|[f=dvd:packetsize=2048:muxrate=10080000]disc2.mpg'"));
    EXPECT_EQ(CommandLine(second.Steps[4]),
              "VIDEO_FORMAT=PAL dvdauthor -o disc2_dvd -x disc2_dvd.xml");
    EXPECT_EQ(CommandLine(second.Steps[5]),
              "genisoimage -quiet -dvd-video -udf -V TARVEX_2 -o disc2.iso disc2_dvd");
    EXPECT_EQ(second.MakeDirs, Names({"disc2_dvd/AUDIO_TS"}));
    EXPECT_EQ(FinalNames(second), Names({"/out/disc2.iso"}));
    // Two discs of about 300 s at 1827 kbps, and room for one disc's work files.
    EXPECT_NEAR(static_cast<double>(job.NeededBytes), (2 + 2) * 1827000.0 / 8 * 300 * 1.1, 1e6);
}

struct TMenuCase {
    const char* Name;
    bool Pal;
    bool AC3;
    int MenuPictures;
    std::int64_t MenuFrames; ///< one group of pictures, read back with the film's
    const char* MenuSound;   ///< in the menu's encoding step; empty without a menu
};

class MenuReadBackTest : public ::testing::TestWithParam<TMenuCase> {};

TEST_P(MenuReadBackTest, TheMenuIsCountedAndSoundsAsTheFilm) {
    const TMenuCase& c = GetParam();
    TDiscPlan plan = Example(TDiscFormat::DVD);
    plan.Picture.SrcIsPAL = plan.Picture.DestIsPAL = c.Pal;
    plan.SrcFrameRate = c.Pal ? 25 : 30000.0 / 1001;
    plan.AC3 = c.AC3;
    plan.GOPLength = c.Pal ? 15 : 18;
    plan.Extras.MenuPictures = c.MenuPictures;
    const TDiscJob job = BuildJob(plan, "/out/.work", "/out");
    const TDiscPart& part = job.Parts.at(0);
    EXPECT_EQ(part.Expected.MenuFrames, c.MenuFrames);
    std::string menu;
    for (const TStep& step : part.Steps)
        if (menu.empty() && CommandLine(step).find("_menu_av.mpg") != std::string::npos)
            menu = CommandLine(step); // the step that encodes it
    if (*c.MenuSound == 0)
        EXPECT_EQ(menu, "");
    else
        EXPECT_THAT(menu, HasSubstr(std::string("-c:a ") + c.MenuSound + " "));
}

INSTANTIATE_TEST_SUITE_P(Dvds, MenuReadBackTest,
                         ::testing::Values(TMenuCase{"pal_mp2", true, false, 1, 15, "mp2"},
                                           TMenuCase{"pal_ac3", true, true, 1, 15, "ac3"},
                                           TMenuCase{"ntsc_ac3", false, true, 1, 18, "ac3"},
                                           TMenuCase{"without_menu", true, false, 0, 0, ""}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BuildJobTest, SilenceForAFilmWithoutSoundAndFullNamesForRelativeOnes) {
    TDiscPlan plan = Example(TDiscFormat::VCD);
    plan.VideoRate = 1150000;
    plan.SourceAudioStreams = 0;
    plan.Audio1Rate = 224000;
    plan.Source = "films/../film.avi";
    const TDiscJob job = BuildJob(plan, "work", "out");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(std::tuple(job.WorkDir, job.Parts[0].Images[0].FinalName),
              std::tuple(cwd + "/work", cwd + "/out/disc1.bin"));
    EXPECT_THAT(CommandLine(job.Parts[0].Steps[1]), HasSubstr("-i file:" + cwd + "/film.avi "));
    EXPECT_THAT(CommandLine(job.Parts[0].Steps[0]),
                HasSubstr("-f lavfi -i anullsrc=r=48000:cl=stereo -t 600 -c:a mp2 -b:a 224k"));
}

class RefusedPlanTest : public ::testing::TestWithParam<TPlanCase<const char*>> {};

TEST_P(RefusedPlanTest, SaysWhy) {
    TDiscPlan plan = Example();
    GetParam().Change(plan);
    EXPECT_THAT([&] { BuildJob(plan, "/out/.work", "/out"); },
                ::testing::ThrowsMessage<TJobError>(::testing::StrEq(GetParam().Expected)));
}

const char* const Larger = "The resized picture is larger than the frame: a border is negative.";
const TPlanCase<const char*> Refusals[] = {
    {"no_source", [](auto& p) { p.Source.clear(); }, "No source film is open."},
    {"more_discs_than_frames", [](auto& p) { p.SrcFrames = 2, p.DiscCount = 3; },
     "The film has fewer frames than there are discs."},
    {"an_empty_last_disc", [](auto& p) { p.SrcFrames = 5, p.DiscCount = 4; },
     "The film has too few frames for 4 discs."},
    {"no_video_rate", [](auto& p) { p.VideoRate = 0; }, "The video rate is 0 kbps."},
    {"video_rate_beyond_mpeg", [](auto& p) { p.VideoRate = 550825000; },
     "The video rate of 550825 kbps is more than the 15000 kbps a disc's MPEG video can have."},
    {"no_gop", [](auto& p) { p.GOPLength = 0; }, "The GOP length must be at least 1."},
    {"empty_crop", [](auto& p) { p.Picture.CropY = 0; },
     "The crop window and the resize size must not be empty."},
    {"picture_larger_than_frame", [](auto& p) { p.Picture.BorderLeft = -2; }, Larger},
    {"interlaced_picture_larger_than_frame",
     [](auto& p) { p.Picture.Interlaced = true, p.Picture.ResizeY = 580; }, Larger},
    {"ac3_on_svcd", [](auto& p) { p.AC3 = true; }, "AC-3 audio goes on DVDs only."},
    {"vcd_not_at_its_constant_rate", [](auto& p) { p.Format = TDiscFormat::VCD; },
     "The video of a VCD runs at exactly 1150 kbps, not 1187 kbps."},
    {"dvd_above_its_maximum", [](auto& p) { p.Format = TDiscFormat::DVD, p.VideoRate = 11822000; },
     "The video rate of 11822 kbps is above the 9800 kbps a DVD allows."},
    {"mpeg_audio_at_448", [](auto& p) { p.Audio2Rate = 448000; },
     "Audio stream 2: 448 kbps is not a rate of MPEG audio."},
};
INSTANTIATE_TEST_SUITE_P(Plans, RefusedPlanTest, ::testing::ValuesIn(Refusals), RowName);

TEST(JobScriptTest, QuotesWhatTheShellWouldReadOtherwise) {
    TDiscPlan plan = Example();
    plan.Source = "/films/it's here.avi";
    const std::vector<std::string> script = JobScript(BuildJob(plan, "/out/.work", "/out"));
    EXPECT_THAT(script, ::testing::IsSupersetOf(std::vector<::testing::Matcher<std::string>>{
                            "#!/bin/sh", "set -e", "out=/out",
                            "work=$(mktemp -d \"$out\"/.work-XXXXXX)", "cd \"$work\"",
                            "# Disc 1: source frames 0 to 14999", "mv -n disc1.bin /out/disc1.bin",
                            HasSubstr("-protocol_whitelist file -i 'file:/films/it'\\''s here.avi' "
                                      "-map 0:v:0 -an -vf crop=")}));
}

struct TFramesCase {
    const char* Name;
    TDiscFormat Format;
    double SrcRate;
    bool SrcPal, DestPal;
    std::int64_t SrcFrames;
    std::int64_t Encoded; ///< what the encoder must write and the read-back expects
};

class EncodedFramesTest : public ::testing::TestWithParam<TFramesCase> {};

// Frame counts where the rate multiplied in and divided out again leaves a rounding
// error that a ceiling turns into one frame too many.
TEST_P(EncodedFramesTest, EveryStepExpectsTheFramesTheEncoderWrites) {
    const TFramesCase& c = GetParam();
    TDiscPlan plan = Example(c.Format);
    plan.SrcFrameRate = c.SrcRate;
    plan.SrcFrames = c.SrcFrames;
    plan.Picture.SrcIsPAL = c.SrcPal;
    plan.Picture.DestIsPAL = c.DestPal;
    const TDiscJob job = BuildJob(plan, "/out/.work", "/out");
    const TDiscPart& part = job.Parts.at(0);
    std::vector<std::int64_t> frames; // of the steps that encode video, and the read-back's
    for (const TStep& step : part.Steps)
        if (step.Frames != 0) frames.push_back(step.Frames);
    frames.push_back(part.Expected.Frames);
    ASSERT_GE(frames.size(), 3u); // two passes and the read-back at least
    EXPECT_EQ(frames, std::vector<std::int64_t>(frames.size(), c.Encoded));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, EncodedFramesTest,
    ::testing::Values(
        TFramesCase{"ntsc_film_with_pulldown", TDiscFormat::DVD, 24000.0 / 1001, false, false, 1439,
                    1439},
        TFramesCase{"ntsc_video", TDiscFormat::SVCD, 30000.0 / 1001, false, false, 1441, 1441},
        TFramesCase{"pal_slowed_to_film", TDiscFormat::DVD, 25, true, false, 1439, 1439},
        TFramesCase{"pal", TDiscFormat::SVCD, 25, true, true, 1500, 1500},
        TFramesCase{"24_fps_shown_at_ntsc_rate", TDiscFormat::DVD, 24, false, false, 2400, 2998}),
    [](const auto& info) { return std::string(info.param.Name); });

// Drawn frames become shows: a clear frame or the disc's end ends one, a frame
// drawn again unchanged lengthens it, and nothing runs backwards.
TEST(SubpictureShows, FromTheFramesFfmpegDrew) {
    using TShows = std::vector<TSubpictureShow>;
    const auto same = [](std::int64_t, std::int64_t) { return true; };
    const auto differ = [](std::int64_t, std::int64_t) { return false; };
    EXPECT_EQ(SubpictureShows({6002, 0, 4000, 2002}, {4000, 0}, 5000, differ),
              (TShows{{0, 0, 2002}, {4000, 4000, 5000}}));
    EXPECT_EQ(SubpictureShows({0, 1000}, {1000, 300}, 5000, differ), (TShows{{1000, 1000, 5000}}));
    EXPECT_EQ(SubpictureShows({0, 500, 1000}, {0, 500}, 9000, same), (TShows{{0, 0, 1000}}));
    EXPECT_EQ(SubpictureShows({0, 500, 1000}, {0, 500}, 9000, differ),
              (TShows{{0, 0, 500}, {500, 500, 1000}}));
    EXPECT_EQ(SubpictureShows({7000}, {7000}, 6000, differ), TShows{});
    EXPECT_THROW(SubpictureShows(std::vector<std::int64_t>(MaxSubpictures + 1), {}, 0, differ),
                 TSubpictureError);
}

// A disc's share [60 s, 70 s) of the film's text subtitles: shifted to its start,
// each clamped to it, those outside or with times that cannot be read left out.
TEST(WriteTextShare, KeepsWhatTheShareShows) {
    const char* rows[][2] = {
        {"1\r\n00:00:59,500 --> 00:01:01,250\r\nacross the start\r\ntwo lines\r\n\r\n"
         "2\r\n00:00:10,000 --> 00:00:20,000\r\nbefore\r\n\r\n"
         "3\r\n00:01:09,000 --> 01:00:00,000\r\nacross the end\r\n",
         "1\n00:00:00,000 --> 00:00:01,250\nacross the start\ntwo lines\n\n"
         "2\n00:00:09,000 --> 00:00:10,000\nacross the end\n\n"},
        {"1\n00:01:0x,000 --> 00:01:02,000\nbroken\n\n2\n99999999:00:00,000 --> 00:01:05,000\n"
         "huge\n\n3\n00:01:05,000 --> 00:01:06,000\nkept\n",
         "1\n00:00:05,000 --> 00:00:06,000\nkept\n\n"},
        {"", ""}};
    TTempFolder dir;
    for (const auto& [in, want] : rows) {
        WriteTextShare(dir.Write("in.srt", in), dir / "out.srt", 60000, 70000);
        std::ifstream out(dir / "out.srt", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}), want) << in;
    }
    EXPECT_THROW(WriteTextShare(dir / "missing.srt", dir / "out.srt", 0, 1), TSubpictureError);
}

} // namespace
} // namespace tarvex
