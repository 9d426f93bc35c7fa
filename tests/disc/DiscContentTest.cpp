// A film with two sound tracks in two languages, chapters and subtitles made into
// a DVD with the real tools, and read back the way a player reads it.
#include "budget/Imaging.h"
#include "disc/Runner.h"
#include "tests/disc/ContentFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tarvex {
namespace {

using ::testing::HasSubstr;

using testkit::Output;

/// The mean loudness in dB of a sound stream of `file`.
double MeanVolume(const std::string& file, int stream) {
    const std::string text =
        Output("ffmpeg -nostdin -i '" + file + "' -map 0:a:" + std::to_string(stream) +
               " -af volumedetect -f null - 2>&1 | grep mean_volume");
    const std::string key = "mean_volume: ";
    const std::size_t at = text.find(key);
    return at == std::string::npos ? 0 : std::strtod(text.c_str() + at + key.size(), nullptr);
}

class DiscContentTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::filesystem::create_directories(TARVEX_TEST_FILMS);
        FilmMade = testkit::MakeRichFilm(Film);
    }

    /// The DVD plan of the film: 12 s, two sound streams chosen from its tracks.
    static TDiscPlan Plan() {
        const TCDImage budget =
            testkit::Budget(TDiscFormat::DVD, {8, 6}, 12, 1, 192000, /*ac3=*/true);
        TDiscPlan plan = testkit::Plan(TDiscFormat::DVD, Film, 300, budget);
        plan.VideoRate = 3000000;
        plan.Audio2Rate = 192000;
        plan.SourceAudioStreams = 2;
        plan.Extras.Chapters = {0, 4, 9};
        plan.Extras.SoundTracks = {0, 1};
        plan.Extras.SoundLanguages = {"eng", "deu"};
        return plan;
    }

    static TMakeResult Make(const TDiscPlan& plan, const std::string& out) {
        TMakeOptions options;
        options.KeepWork = true;
        return MakeDiscs(BuildJob(plan, out + "/.work", out), options);
    }

    static inline const std::string Film = TARVEX_TEST_FILMS "/rich-12s.mkv";
    static inline bool FilmMade = false;
    TTempFolder Dir;
};

TEST_F(DiscContentTest, ChaptersAndSoundTracksWithTheirLanguages) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    const TMakeResult result = Make(Plan(), Dir / "dvd");
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    const std::string folder = result.WorkDir + "/disc1_dvd";
    const std::string lsdvd = Output("lsdvd -a -s -c '" + folder + "' 2>/dev/null");
    EXPECT_THAT(lsdvd, HasSubstr("Chapters: 03"));
    EXPECT_THAT(lsdvd, HasSubstr("Chapter: 02, Length: 00:00:05.000"));
    EXPECT_THAT(lsdvd, HasSubstr("Audio: 1, Language: en - English"));
    EXPECT_THAT(lsdvd, HasSubstr("Audio: 2, Language: de - Deutsch"));
    // The second stream is the loud second track, not a copy of the quiet first.
    const std::string vob = folder + "/VIDEO_TS/VTS_01_1.VOB";
    EXPECT_GT(MeanVolume(vob, 1), MeanVolume(vob, 0) + 15);
}

TEST_F(DiscContentTest, SubtitlesOfEveryKindAndATitleMenu) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    const std::string srt = Dir / "beside.srt";
    testkit::WriteText(srt, testkit::TwoLines);
    TDiscPlan plan = Plan();
    plan.Extras.Subtitles = {{0, "", "eng", false}, {1, "", "fra", true}, {-1, srt, "de", false}};
    plan.Extras.MenuPictures = 1;
    plan.Extras.Title = "A film & its <menu>";
    const TMakeResult result = Make(plan, Dir / "dvd");
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    const std::string folder = result.WorkDir + "/disc1_dvd";
    const std::string lsdvd = Output("lsdvd -a -s -c '" + folder + "' 2>/dev/null");
    // The film's pictures come first, then the text drawn by spumux.
    EXPECT_THAT(lsdvd, HasSubstr("Subpictures: 03"));
    EXPECT_THAT(lsdvd, HasSubstr("Subtitle: 01, Language: fr"));
    EXPECT_THAT(lsdvd, HasSubstr("Subtitle: 02, Language: en"));
    EXPECT_THAT(lsdvd, HasSubstr("Subtitle: 03, Language: de"));
    EXPECT_THAT(lsdvd, HasSubstr("Chapters: 03"));
    const std::string streams =
        Output("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + folder +
               "/VIDEO_TS/VTS_01_1.VOB'");
    std::size_t pictures = 0;
    for (std::size_t at = 0; (at = streams.find("dvd_subtitle", at)) != std::string::npos; ++at)
        ++pictures;
    EXPECT_EQ(pictures, 3u) << streams;
    // The menu has its own VOB with buttons: one group of pictures at a constant rate,
    // within the 150 blocks the budget keeps.
    ASSERT_EQ(result.Discs.size(), 1u);
    const auto& measured = result.Discs[0].Measured;
    ASSERT_EQ(measured.size(), 2u);
    EXPECT_EQ(measured[1].first, "menu");
    EXPECT_NEAR(static_cast<double>(measured[1].second) / 2048, 114, 10);
    const std::string menu =
        Output("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + folder +
               "/VIDEO_TS/VIDEO_TS.VOB'");
    EXPECT_THAT(menu, HasSubstr("mpeg2video"));
    EXPECT_THAT(menu, HasSubstr("dvd_subtitle"));
    // The title VOB's subpicture packs, not the menu's: one for each of the six short
    // pictures.
    EXPECT_EQ(measured[0], std::pair(std::string("subtitles"), std::int64_t{6 * 2048}));
}

// Split at 6 s, the film's second subtitle (shown from 5 s) is on both discs: the
// second shows it from its first frame, in pictures and in text, and nothing else.
TEST_F(DiscContentTest, ASubtitleShownAcrossTheSplitStartsTheSecondDisc) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    TDiscPlan plan = Plan();
    plan.DiscCount = 2;
    plan.Extras.Chapters = {};
    plan.Extras.Subtitles = {{0, "", "eng", false}, {1, "", "fra", true}};
    const TMakeResult result = Make(plan, Dir / "dvd");
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    for (const int disc : {1, 2}) {
        const std::string vob =
            result.WorkDir + "/disc" + std::to_string(disc) + "_dvd/VIDEO_TS/VTS_01_1.VOB";
        const double start = std::atof(
            Output("ffprobe -v error -select_streams v -show_entries stream=start_time -of "
                   "csv=p=0 '" +
                   vob + "'")
                .c_str());
        for (const char* stream : {"s:0", "s:1"}) {
            const std::string times =
                Output("ffprobe -v error -select_streams " + std::string(stream) +
                       " -show_entries subtitle=pts_time -of csv=p=0 '" + vob + "'");
            EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), 3 - disc) << disc << times;
            if (disc == 2) {
                EXPECT_NEAR(std::atof(times.c_str()) - start, 0, 0.05) << stream;
            }
        }
    }
}

TEST_F(DiscContentTest, AMenuBesideMpegSoundIsReadBackWithTheFilm) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    const TCDImage budget = testkit::Budget(TDiscFormat::DVD, {8, 6}, 12, 1, 192000);
    TDiscPlan plan = testkit::Plan(TDiscFormat::DVD, Film, 300, budget);
    plan.VideoRate = 3000000;
    plan.SourceAudioStreams = 2;
    plan.Extras.MenuPictures = 1;
    plan.Extras.Title = "MPEG sound";
    const TMakeResult result = Make(plan, Dir / "dvd");
    // The image holds the menu's pictures and sound before the film's: one video
    // and one sound stream, each of one kind.
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    ASSERT_EQ(result.Discs.size(), 1u);
    EXPECT_THAT(result.Discs[0].ReadBack, ::testing::Contains(HasSubstr("pictures (planned 300)")));
}

TEST_F(DiscContentTest, AVcdGetsAnEntryPointAtEachChapter) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    const TCDImage budget = testkit::Budget(TDiscFormat::VCD, {6, 5}, 12, 1, 224000);
    TDiscPlan plan = testkit::Plan(TDiscFormat::VCD, Film, 300, budget);
    plan.VideoRate = 1150000; // a VCD's constant rate
    plan.Extras.Chapters = {0, 4, 9};
    const TMakeResult result = Make(plan, Dir / "vcd");
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    const std::string info = Output("vcd-info -c '" + Dir / "vcd/disc1.cue" + "' 2>/dev/null");
    EXPECT_THAT(info, HasSubstr("entries: 3"));
}

/// The box of the first visible picture of subtitle stream 0 of `file` on its canvas.
std::array<double, 4> SubtitleBox(const std::string& file) {
    const std::string text = Output("ffmpeg -nostdin -i '" + file +
                                    "' -filter_complex '[0:s:0]alphaextract,bbox' -f null - 2>&1 "
                                    "| grep -m1 -o 'x1:.*h:'");
    std::array<double, 4> box{-1, -1, -1, -1}; // x1, x2, y1, y2
    std::sscanf(text.c_str(), "x1:%lf x2:%lf y1:%lf y2:%lf", &box[0], &box[1], &box[2], &box[3]);
    return box;
}

/// A DVD of the 1280x720 film: PAL resized by fields, or NTSC with the film slowed
/// to 23.976.
class SubtitlePictures : public DiscContentTest, public ::testing::WithParamInterface<bool> {};

// The subtitle pictures are cropped, resized and bordered with the picture, so they
// show on the DVD's frame where they show on the film's, each once, in time with it.
TEST_P(SubtitlePictures, FollowThePictureOntoTheDiscFrame) {
    const bool pal = GetParam();
    const std::string film = TARVEX_TEST_FILMS "/wide-subs-8s.mkv";
    ASSERT_TRUE(testkit::MakeWideSubtitleFilm(film)) << "ffmpeg could not make the film";
    const TCDImage budget = testkit::Budget(TDiscFormat::DVD, {8, 6}, 8, 1, 192000, true);
    TDiscPlan plan = testkit::Plan(TDiscFormat::DVD, film, 200, budget);
    plan.VideoRate = 3000000;
    const int height = pal ? 544 : 448;
    plan.Picture = {.CropLeft = 16,
                    .CropTop = 8,
                    .CropX = 1248,
                    .CropY = 704,
                    .ResizeX = 720,
                    .ResizeY = height,
                    .DestY = height + 32,
                    .BorderTop = 16,
                    .BorderBottom = 16,
                    .Interlaced = pal,
                    .SrcIsPAL = true,
                    .DestIsPAL = pal,
                    .Widescreen = true};
    plan.SourceAudioStreams = 0;
    plan.Extras.Subtitles = {{0, "", "eng", true}};
    const TMakeResult result = Make(plan, Dir / "dvd");
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    const auto [fx1, fx2, fy1, fy2] = SubtitleBox(film);
    ASSERT_GT(fy1, 576) << "the film's subtitles lie beyond a DVD frame's lines";
    const std::string vob = result.WorkDir + "/disc1_dvd/VIDEO_TS/VTS_01_1.VOB";
    const auto [x1, x2, y1, y2] = SubtitleBox(vob);
    const double sx = 720.0 / 1248, sy = height / 704.0;
    EXPECT_NEAR(x1, (fx1 - 16) * sx, 3);
    EXPECT_NEAR(x2, (fx2 - 16) * sx, 3);
    EXPECT_NEAR(y1, (fy1 - 8) * sy + 16, 3);
    EXPECT_NEAR(y2, (fy2 - 8) * sy + 16, 3);
    const auto probe = [&vob](const char* what) {
        return Output("ffprobe -v error -select_streams " + std::string(what) + " -of csv=p=0 '" +
                      vob + "'");
    };
    const std::string times = probe("s -show_entries subtitle=pts_time");
    ASSERT_EQ(std::count(times.begin(), times.end(), '\n'), 2) << times;
    // The second shows 4 s into the film; slowed down, 4 * 25 / 23.976 s into the disc.
    EXPECT_NEAR(std::atof(times.c_str() + times.find('\n') + 1) -
                    std::atof(probe("v -show_entries stream=start_time").c_str()),
                pal ? 4 : 4 * 25 / (24000.0 / 1001), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Discs, SubtitlePictures, ::testing::Values(true, false),
                         [](const auto& row) { return std::string(row.param ? "pal" : "ntsc"); });

/// A subtitle stream of the film drawn into a VCD's picture.
struct TBurnCase {
    const char* Name;
    TDiscSubtitle Subtitle;
};

class BurnInTest : public DiscContentTest, public ::testing::WithParamInterface<TBurnCase> {
  protected:
    static TDiscPlan VcdPlan() {
        const TCDImage budget = testkit::Budget(TDiscFormat::VCD, {6, 5}, 12, 1, 224000);
        TDiscPlan plan = testkit::Plan(TDiscFormat::VCD, Film, 300, budget);
        plan.VideoRate = 1150000;
        return plan;
    }

    /// The grey picture `n` of the VCD made in `out`, read back from its image.
    static std::string Frame(const std::string& out, int n) {
        const std::string q = "'" + out + "/";
        if (testkit::Shell("cd " + q +
                           "' && vcdxrip -q --bin-file=disc1.bin -p >/dev/null 2>&1 "
                           "&& ffmpeg -nostdin -v error -y -i avseq01.mpg -vf 'select=eq(n\\," +
                           std::to_string(n) + ")' -frames:v 1 -pix_fmt gray -f rawvideo f.gray") !=
            0)
            return {};
        std::ifstream in(out + "/f.gray", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

// Checked, the subtitles show in the picture where the film has them; unchecked,
// the job is the one without subtitles.
TEST_P(BurnInTest, DrawnIntoTheFrameOnlyWhenAsked) {
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    TDiscPlan plan = VcdPlan();
    plan.Extras.Subtitles = {GetParam().Subtitle};
    EXPECT_EQ(JobScript(BuildJob(plan, "w", "o")), JobScript(BuildJob(VcdPlan(), "w", "o")));
    plan.Extras.BurnSubtitles = true;
    ASSERT_EQ(Make(plan, Dir / "burnt").Status, TMakeStatus::Done);
    ASSERT_EQ(Make(VcdPlan(), Dir / "plain").Status, TMakeStatus::Done);
    // "Hello" shows from 1 s in the lower part of the picture (at 1.6 s), nothing at 3.5 s.
    for (const int n : {40, 88}) {
        const std::string burnt = Frame(Dir / "burnt", n), plain = Frame(Dir / "plain", n);
        ASSERT_EQ(burnt.size(), 352u * 288) << "picture " << n;
        ASSERT_EQ(plain.size(), burnt.size()) << "picture " << n;
        int upper = 0, lower = 0;
        for (std::size_t i = 0; i < burnt.size(); ++i)
            if (std::abs(static_cast<unsigned char>(burnt[i]) -
                         static_cast<unsigned char>(plain[i])) > 60)
                ++(i < burnt.size() * 2 / 3 ? upper : lower);
        EXPECT_EQ(upper, 0) << "picture " << n;
        if (n < 50)
            EXPECT_GT(lower, 100);
        else
            EXPECT_EQ(lower, 0);
    }
}

const TBurnCase BurnCases[] = {{"text", {0, "", "eng", false}}, {"pictures", {1, "", "fra", true}}};
INSTANTIATE_TEST_SUITE_P(Subtitles, BurnInTest, ::testing::ValuesIn(BurnCases),
                         [](const auto& row) { return std::string(row.param.Name); });

/// A (S)VCD frame text is burned into: a 1280x720 film resized to the whole frame.
struct TBurnFrame {
    const char* Name;
    int Width, Height;
    bool Widescreen;
};

class BurnTextTest : public DiscContentTest, public ::testing::WithParamInterface<TBurnFrame> {};

/// The width of the text burn.ass in `dir` draws into picture 40 (1.6 s) of a
/// black 1280x720 film passed through `graph`.
int TextWidth(const std::string& dir, const std::string& graph) {
    const std::string box = Output("cd '" + dir +
                                   "' && ffmpeg -nostdin -f lavfi -i color=black:size=1280x720:"
                                   "rate=25:d=2 -vf '" +
                                   graph +
                                   ",select=eq(n\\,40),bbox=min_val=61' -f null - 2>&1 "
                                   "| grep -m1 -o ' w:[0-9]*'");
    return std::atoi(box.c_str() + 3);
}

// Burned in, text keeps its shape on the screen whatever the shape of the frame's pixels.
TEST_P(BurnTextTest, KeepsItsShapeOnTheScreen) {
    const auto [name, width, height, wide] = GetParam();
    const std::string dir = Dir / "burn";
    std::filesystem::create_directories(dir);
    testkit::WriteText(dir + "/subs.srt", testkit::TwoLines);
    ASSERT_EQ(testkit::Shell("cd '" + dir + "' && ffmpeg -v error -i subs.srt burn.ass"), 0);
    TDiscPlan plan;
    plan.SrcFrameRate = 25;
    plan.Picture = {.CropX = 1280,
                    .CropY = 720,
                    .ResizeX = width,
                    .ResizeY = height,
                    .DestY = height,
                    .Widescreen = wide};
    plan.Extras.Subtitles = {{0, "", "eng", false}};
    plan.Extras.BurnSubtitles = true;
    const double pixel = (wide ? 16.0 / 9 : 4.0 / 3) * height / width;
    // As wide, in frame heights, as on a frame of square pixels.
    EXPECT_NEAR(TextWidth(dir, VideoFilter(plan, 0, 0)) * pixel / height,
                TextWidth(dir, "scale=768:576,subtitles=filename=burn.ass:force_style="
                               "FontName=DejaVu Sans") /
                    576.0,
                0.01);
}

const TBurnFrame BurnFrames[] = {
    {"vcd", 352, 288, false}, {"svcd", 480, 576, false}, {"svcd_wide", 480, 576, true}};
INSTANTIATE_TEST_SUITE_P(Subtitles, BurnTextTest, ::testing::ValuesIn(BurnFrames),
                         [](const auto& row) { return std::string(row.param.Name); });

} // namespace
} // namespace tarvex
