// Where chapters fall, which sound track fills which stream, and the dvdauthor
// project that carries both.
#include "disc/Chapters.h"
#include "disc/DiscAuthoring.h"
#include "disc/DvdAuthor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarvex {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

struct TChapterCase {
    const char* Name;
    std::vector<double> Marks;
    double Seconds;
    int Minutes;
    std::vector<double> Expected;
};

class FilmChaptersTest : public ::testing::TestWithParam<TChapterCase> {};

TEST_P(FilmChaptersTest, StartAtZeroAndEndBeforeTheFilmDoes) {
    const TChapterCase& c = GetParam();
    EXPECT_THAT(FilmChapters(c.Marks, c.Seconds, c.Minutes), ElementsAreArray(c.Expected));
}

std::vector<double> Every(double step, int count) {
    std::vector<double> v;
    for (int i = 0; i < count; ++i) v.push_back(step * i);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FilmChaptersTest,
    ::testing::Values(
        TChapterCase{"own_marks_win_over_the_interval", {0, 4, 9}, 12, 5, {0, 4, 9}},
        TChapterCase{
            "own_marks_sorted_and_past_the_end_dropped", {9, 4, 11.5, 30}, 12, 5, {0, 4, 9}},
        TChapterCase{"every_five_minutes_none_at_the_end", {}, 1200, 5, {0, 300, 600, 900}},
        TChapterCase{"the_last_second_gets_none", {}, 600.5, 5, {0, 300}},
        TChapterCase{"zero_minutes_is_one_chapter", {}, 1200, 0, {0}},
        TChapterCase{"marks_closer_than_a_second_merge", {0, 0.5, 10, 10.4}, 60, 5, {0, 10}},
        TChapterCase{"no_more_than_a_title_holds", {}, 200 * 60, 1, Every(60, 99)},
        TChapterCase{"a_film_without_length", {3}, 0, 5, {0}}),
    [](const auto& info) { return std::string(info.param.Name); });

TDiscPlan DvdPlan() {
    TDiscPlan plan;
    plan.Format = TDiscFormat::DVD;
    plan.SrcFrameRate = 25;
    plan.GOPLength = 15;
    plan.Audio1Rate = 192000;
    plan.Audio2Rate = 192000;
    plan.SourceAudioStreams = 2;
    return plan;
}

TEST(PartChaptersTest, EachDiscCountsFromItsOwnStartOnTheDiscsFrames) {
    TDiscPlan plan = DvdPlan();
    plan.Extras.Chapters = {0, 100.01, 250, 400};
    // The first disc holds frames [0, 7500), the second [7500, 15000).
    EXPECT_THAT(PartChapters(plan, 0, 7500), ElementsAreArray({0.0, 100.0, 250.0}));
    EXPECT_THAT(PartChapters(plan, 7500, 15000), ElementsAreArray({0.0, 100.0}));
    // A film shown at another rate keeps its frames: 23.976 fps played at 25.
    plan.SrcFrameRate = 24000.0 / 1001;
    plan.Picture.SrcIsPAL = false;
    plan.Extras.Chapters = {0, 1001.0 / 24};
    EXPECT_THAT(PartChapters(plan, 0, 100000), ElementsAreArray({0.0, 40.0}));
}

TEST(ChapterKeyFramesTest, AGopTooShortForANavigationUnitIsMovedAway) {
    const TDiscPlan plan = DvdPlan();
    // 9 s is 125 frames after 4 s: the natural GOPs leave 5 frames before it, fewer
    // than the 10 of 0.4 s, so a key frame 10 frames before 9 s comes first.
    EXPECT_THAT(ChapterKeyFrameTimes(plan, {0, 4, 9}), ElementsAreArray({4.0, 8.6, 9.0}));
    EXPECT_THAT(ChapterKeyFrames(plan, {0, 3, 6.6}),
                ElementsAreArray({"-force_key_frames", "3.000,6.600"}));
    EXPECT_TRUE(ChapterKeyFrames(plan, {0}).empty());
}

TEST(ChapterKeyFramesTest, WithPulldownChaptersFallOnFilmFramesAndGops) {
    // NTSC film onto an NTSC DVD: the encoder codes 23.976 film frames, the player
    // adds the pulldown; a chapter starts at a film frame, not at a 29.97 one.
    TDiscPlan plan = DvdPlan();
    plan.SrcFrameRate = 24000.0 / 1001;
    plan.Picture.SrcIsPAL = false;
    plan.Picture.DestIsPAL = false;
    ASSERT_TRUE(SoftPulldown(plan));
    plan.Extras.Chapters = {0, 100.01};
    const double film = 2398 * 1001.0 / 24000; // film frame 2398, 100.0166 s
    EXPECT_THAT(PartChapters(plan, 0, 100000), ElementsAreArray({0.0, film}));
    EXPECT_THAT(ChapterKeyFrames(plan, {0, film}),
                ElementsAreArray({"-force_key_frames", "100.016"}));
    // The GOPs count film frames: a chapter 3 film frames after a GOP's end is too
    // close to it (10 film frames are 0.4 s), so a key frame 10 frames before comes first.
    const int gop = EncodeGopLength(plan);
    const double chapter = (gop + 3) * 1001.0 / 24000;
    const std::vector<double> times = ChapterKeyFrameTimes(plan, {0, chapter});
    ASSERT_EQ(times.size(), 2u);
    EXPECT_NEAR(times[0], (gop + 3 - 10) * 1001.0 / 24000, 1e-9);
    EXPECT_NEAR(times[1], chapter, 1e-9);
}

struct TSoundCase {
    const char* Name;
    std::vector<int> Chosen;
    int SourceTracks;
    int First, Second;
};

class SoundTrackTest : public ::testing::TestWithParam<TSoundCase> {};

TEST_P(SoundTrackTest, NeverRepeatsATrackThatIsMissing) {
    const TSoundCase& c = GetParam();
    TDiscPlan plan = DvdPlan();
    plan.Extras.SoundTracks = c.Chosen;
    plan.SourceAudioStreams = c.SourceTracks;
    EXPECT_EQ(std::pair(SourceSoundTrack(plan, 1), SourceSoundTrack(plan, 2)),
              std::pair(c.First, c.Second));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SoundTrackTest,
    ::testing::Values(TSoundCase{"in_order_by_default", {}, 3, 0, 1},
                      TSoundCase{"one_track_leaves_the_second_silent", {}, 1, 0, -1},
                      TSoundCase{"swapped_by_choice", {1, 0}, 2, 1, 0},
                      TSoundCase{"a_choice_beyond_the_film_is_silence", {0, 5}, 2, 0, -1},
                      TSoundCase{"silence_chosen", {-1, 0}, 2, -1, 0},
                      TSoundCase{"a_film_without_sound", {}, 0, -1, -1}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DvdAuthorXmlTest, TitleWithChaptersLanguagesAndAnEscapedMenu) {
    TDiscPlan plan = DvdPlan();
    plan.Picture.Widescreen = true;
    plan.Extras.SoundLanguages = {"ger", "EN"};
    plan.Extras.Subtitles = {{0, "", "fre", false}, {1, "", "xx1", true}};
    const std::string plain = DvdAuthorXml(plan, "disc1.mpg", {0, 4, 3725.5}, {});
    EXPECT_THAT(plain, HasSubstr("<vmgm/>"));
    EXPECT_THAT(plain, HasSubstr("<video format=\"pal\" aspect=\"16:9\" "
                                 "widescreen=\"nopanscan\"/>\n<audio lang=\"de\"/>\n"
                                 "<audio lang=\"en\"/>\n<subpicture lang=\"fr\"/>\n"
                                 "<subpicture/>\n"));
    EXPECT_THAT(plain, HasSubstr("chapters=\"0:00:00.000,0:00:04.000,1:02:05.500\""));
    const std::string menu =
        DvdAuthorXml(plan, "a&b.mpg", {0}, {"menu.mpg", {{"play", "Play", "jump title 1;"}}});
    EXPECT_THAT(menu, HasSubstr("<vob file=\"a&amp;b.mpg\""));
    EXPECT_THAT(menu, HasSubstr("<button name=\"play\">jump title 1;</button>"));
    EXPECT_THAT(menu, HasSubstr("<pre>audio=g1; subtitle=g2;</pre>"));
}

} // namespace
} // namespace tarvex
