// The border detection: single frames drawn here, the combination of frames, and
// the whole detection on films made by ffmpeg with known borders.
#include "preview/Borders.h"
#include "tests/support/Films.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

/// A rectangle of one luma.
struct TBox {
    int X, Y, W, H, Luma;
};

/// The picture of most rows: 96 x 64 with bars of 8 lines above, 6 below, 4 left, 2 right.
TBox Picture(int luma) {
    return {4, 8, 90, 50, luma};
}

/// A bright detail.
TBox Dot(int x, int y) {
    return {x, y, 6, 4, 200};
}

struct TFrameCase {
    std::string Name;
    int Bars;                ///< the luma of everything not drawn
    std::vector<TBox> Boxes; ///< drawn in that order over a frame of `Bars`
    TBorders Any;
    TBorders Wide;
    std::pair<int, int> Noise = {}; ///< the range of noise added to the bars
    bool Blank = false;
};

const TBorders Bars{4, 8, 2, 6};
const TBorders NoWide{-1, -1, -1, -1};

const std::vector<TFrameCase> FrameCases = {
    {"clean", 16, {Picture(120)}, Bars, Bars},
    {"bars_at_luma_0", 0, {Picture(120)}, Bars, Bars},
    {"bars_at_luma_40_picture_at_60", 40, {Picture(60)}, Bars, Bars},
    {"noisy_bars", 16, {Picture(120)}, Bars, Bars, {-8, 16}},
    // A small logo in the lower bar: something on its lines, but not across them.
    {"logo_in_lower_bar", 16, {Picture(120), {70, 60, 8, 3, 235}}, {4, 8, 2, 1}, Bars},
    // The picture's first lines are dark: found late, and nothing across them.
    {"dark_top_of_picture", 16, {Picture(120), {4, 8, 90, 10, 18}}, {4, 18, 2, 6}, {4, 18, 2, 6}},
    // A dark scene: two bright details, no line with picture across it.
    {"dark_scene", 16, {Picture(20), Dot(20, 20), Dot(60, 40)}, {20, 20, 30, 20}, NoWide},
    {"no_bars", 150, {}, {}, {}},
    {"black_frame", 16, {}, {}, {}, {}, true},
    {"black_frame_with_noise", 16, {}, {}, {}, {0, 12}, true},
};

class MeasureFrameTest : public ::testing::TestWithParam<TFrameCase> {};

// Every frame lies in a wider buffer whose extra columns are white: read through the stride.
TEST_P(MeasureFrameTest, FindsEachSidesBorder) {
    const TFrameCase& c = GetParam();
    const int width = 96, height = 64, stride = width + 10;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(stride) * height, 255);
    std::vector<TBox> boxes{{0, 0, width, height, c.Bars}};
    boxes.insert(boxes.end(), c.Boxes.begin(), c.Boxes.end());
    for (const TBox& b : boxes)
        for (int y = b.Y; y < b.Y + b.H; ++y)
            std::fill_n(&plane[y * stride + b.X], b.W, static_cast<std::uint8_t>(b.Luma));
    std::mt19937 random(3);
    std::uniform_int_distribution<int> noise(c.Noise.first, c.Noise.second);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (c.Noise.second > 0 && plane[y * stride + x] == c.Bars)
                plane[y * stride + x] = static_cast<std::uint8_t>(c.Bars + noise(random));
    const TFrameBorders b = MeasureFrame({plane.data(), width, height, stride});
    EXPECT_EQ(b.Blank, c.Blank);
    if (c.Blank) return;
    EXPECT_EQ(std::pair(b.Any, b.Wide), std::pair(c.Any, c.Wide));
}

INSTANTIATE_TEST_SUITE_P(Frames, MeasureFrameTest, ::testing::ValuesIn(FrameCases),
                         [](const auto& info) { return info.param.Name; });

/// A frame whose four sides show the same border.
TFrameBorders Frame(int any, int wide) {
    return {0, false, {any, any, any, any}, {wide, wide, wide, wide}};
}

struct TCombineCase {
    std::string Name;
    std::vector<TFrameBorders> Frames;
    std::optional<int> Border;
};

std::vector<TFrameBorders> Repeat(int n, const TFrameBorders& f,
                                  std::vector<TFrameBorders> to = {}) {
    to.insert(to.end(), n, f);
    return to;
}

class CombineBordersTest : public ::testing::TestWithParam<TCombineCase> {};

TEST_P(CombineBordersTest, EverySide) {
    const std::optional<int> b = GetParam().Border;
    EXPECT_EQ(CombineBorders(GetParam().Frames),
              b ? std::optional(TBorders{*b, *b, *b, *b}) : std::nullopt);
}

const TFrameBorders BlankFrame{0, true, {}, {}};

INSTANTIATE_TEST_SUITE_P(
    Films, CombineBordersTest,
    ::testing::ValuesIn(std::vector<TCombineCase>{
        {"all_alike", Repeat(20, Frame(70, 70)), 70},
        // Frames with a logo show something nearer the edge, but picture across the
        // line only at the film's edge.
        {"logo_on_a_third", Repeat(10, Frame(50, 70), Repeat(20, Frame(70, 70))), 70},
        {"dark_frames_scattered",
         {Frame(70, 70), Frame(90, -1), Frame(70, 70), Frame(120, -1), Frame(71, 71),
          Frame(100, 130), Frame(70, 70)},
         70},
        // Most frames dark at the same lines: frames with picture across the line
        // still show where the film begins.
        {"dark_majority", Repeat(20, Frame(80, -1), Repeat(5, Frame(70, 70))), 70},
        // One flash across the bar is not enough to widen the film.
        {"one_flash", Repeat(20, Frame(70, 70), {Frame(0, 0)}), 70},
        {"two_flashes", Repeat(20, Frame(70, 70), Repeat(2, Frame(0, 0))), 0},
        {"noise_takes_the_smallest_of_the_group",
         {Frame(70, 70), Frame(69, 69), Frame(71, 70), Frame(70, 70), Frame(72, 72)},
         69},
        {"blank_frames_say_nothing", Repeat(20, BlankFrame, {Frame(70, 70)}), 70},
        {"only_blank_frames", Repeat(5, BlankFrame), std::nullopt},
        {"no_frames", {}, std::nullopt}}),
    [](const auto& info) { return info.param.Name; });

TEST(AreaInside, KeepsAtLeastTheSmallestFrame) {
    EXPECT_EQ(AreaInside(720, 576, {8, 70, 10, 72}), (TFilmArea{702, 434, 8, 70}));
    EXPECT_EQ(AreaInside(720, 576, {352, 0, 352, 0}), (TFilmArea{16, 576, 352, 0}));
    EXPECT_EQ(AreaInside(720, 576, {353, 0, 352, 0}), std::nullopt);
    EXPECT_EQ(AreaInside(720, 576, {0, 300, 0, 300}), std::nullopt);
}

using testkit::Film;

class FilmAreaTest : public ::testing::TestWithParam<testkit::TFilm> {};

// Each film's area is found exactly, from frames all over the film but not its first and last
// moments.
TEST_P(FilmAreaTest, FoundExactly) {
    const testkit::TFilm& f = GetParam();
    const TDetectResult r = DetectFilmArea(Film(f.Name), {}, {}, {}, nullptr);
    EXPECT_EQ(r.Error, TFrameError::None);
    EXPECT_EQ(r.Area, f.Picture);
    ASSERT_GE(r.Frames.size(), 20u);
    EXPECT_EQ(
        std::adjacent_find(r.Frames.begin(), r.Frames.end(),
                           [](const auto& a, const auto& b) { return b.Position <= a.Position; }),
        r.Frames.end());
    const double first = r.Frames.front().Position, last = r.Frames.back().Position;
    EXPECT_TRUE(first > 0.02 && first < 0.15 && last > 0.85 && last < 0.98)
        << first << ", " << last;
}

INSTANTIATE_TEST_SUITE_P(Films, FilmAreaTest, ::testing::ValuesIn(testkit::AllFilms()),
                         [](const auto& info) {
                             return info.param.Name.substr(0, info.param.Name.find('.'));
                         });

TEST(DetectFilmArea, AreaIsInTheCroppedFrame) {
    // A project that crops 8 columns left and right, 4 lines above and 6 below.
    const TDetectResult r = DetectFilmArea(Film("letterbox.vob"), {8, 4, 8, 6}, {}, {}, nullptr);
    EXPECT_EQ(std::tuple(r.FrameWidth, r.FrameHeight, r.Area),
              std::tuple(704, 566, std::optional(TFilmArea{704, 436, 0, 66})));
}

// A half-downloaded film: its first seconds, then a gigabyte the file system has
// promised but nobody has written (zeros). Every position gives up on the zeros soon.
TEST(DetectFilmArea, AFilmWithAHoleEndsSoon) {
    const TTempFolder temp;
    const std::filesystem::path partial = temp.Path / "partial.vob";
    std::filesystem::copy_file(Film("letterbox.vob"), partial);
    std::filesystem::resize_file(partial, std::uintmax_t{1} << 30);
    int positions = 0;
    const auto start = std::chrono::steady_clock::now();
    const TDetectResult r = DetectFilmArea(
        partial.string(), {}, {}, [&](int, int) { ++positions; }, nullptr);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 6.0);
    EXPECT_EQ(positions, 30);
    EXPECT_EQ(r.Error, TFrameError::None);
    EXPECT_FALSE(r.Area);
}

TEST(DetectJob, RunsOffTheCallersThreadAndFinishesOnce) {
    // The worker wakes its owner after each position and once more at the end.
    std::mutex lock;
    std::vector<std::thread::id> wakes;
    auto job = StartDetectJob(Film("letterbox.vob"), {}, {}, [&] {
        const std::lock_guard<std::mutex> hold(lock);
        wakes.push_back(std::this_thread::get_id());
    });
    std::optional<TDetectResult> result;
    while (!(result = job->TakeResult())) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(job->TakeResult().has_value());
    job.reset();
    EXPECT_EQ(result->Area, (TFilmArea{720, 436, 0, 70}));
    ASSERT_EQ(wakes.size(), 31u);
    EXPECT_NE(wakes[0], std::this_thread::get_id());
    EXPECT_EQ(wakes, std::vector(31, wakes[0]));
}

TEST(DetectJob, CancelStopsBeforeTheNextPosition) {
    std::atomic<bool> atFirst{false}, cancelSent{false};
    auto job = StartDetectJob(Film("letterbox.vob"), {}, {}, [&] {
        // Hold the worker after its first position until the cancel is sent.
        atFirst = true;
        while (!cancelSent) std::this_thread::yield();
    });
    while (!atFirst) std::this_thread::yield();
    job->Cancel();
    cancelSent = true;
    job->Stop(); // waits for the thread
    const std::optional<TDetectResult> result = job->TakeResult();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Cancelled);
    EXPECT_EQ(result->Frames.size(), 1u);
}

} // namespace
} // namespace tarvex
