// The border detection: single frames drawn here, the combination of frames, and
// the whole detection on films made by ffmpeg with known borders.
#include "preview/Borders.h"
#include "tests/preview/PreviewFilms.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tarvex {
namespace {

/// A luma plane drawn by the test.
struct TPlane {
    int Width = 96;
    int Height = 64;
    std::vector<std::uint8_t> Pixels = std::vector<std::uint8_t>(96 * 64, 16);

    void Fill(int x, int y, int w, int h, int luma) {
        for (int r = y; r < y + h; ++r)
            for (int c = x; c < x + w; ++c) Pixels[r * Width + c] = static_cast<std::uint8_t>(luma);
    }
    TLumaView View() const { return {Pixels.data(), Width, Height, Width}; }
};

struct TFrameCase {
    std::string Name;
    std::function<void(TPlane&)> Draw;
    bool Blank;
    TBorders Any;
    TBorders Wide;
};

void PrintTo(const TFrameCase& c, std::ostream* os) {
    *os << c.Name;
}

/// The picture of most rows: 96 x 64 with bars of 8 lines above, 6 below, 4 left, 2 right.
void Picture(TPlane& p, int luma = 120) {
    p.Fill(4, 8, 90, 50, luma);
}

class MeasureFrameTest : public ::testing::TestWithParam<TFrameCase> {};

TEST_P(MeasureFrameTest, FindsEachSidesBorder) {
    const TFrameCase& c = GetParam();
    TPlane plane;
    c.Draw(plane);
    const TFrameBorders b = MeasureFrame(plane.View());
    EXPECT_EQ(b.Blank, c.Blank);
    if (c.Blank) return;
    EXPECT_EQ(b.Any, c.Any);
    EXPECT_EQ(b.Wide, c.Wide);
}

const TBorders Bars{4, 8, 2, 6};

INSTANTIATE_TEST_SUITE_P(
    Frames, MeasureFrameTest,
    ::testing::Values(TFrameCase{"clean", [](TPlane& p) { Picture(p); }, false, Bars, Bars},
                      TFrameCase{"bars_at_luma_0",
                                 [](TPlane& p) {
                                     p.Fill(0, 0, 96, 64, 0);
                                     Picture(p);
                                 },
                                 false, Bars, Bars},
                      TFrameCase{"bars_at_luma_40_picture_at_60",
                                 [](TPlane& p) {
                                     p.Fill(0, 0, 96, 64, 40);
                                     Picture(p, 60);
                                 },
                                 false, Bars, Bars},
                      TFrameCase{"noisy_bars",
                                 [](TPlane& p) {
                                     Picture(p);
                                     std::mt19937 random(3);
                                     std::uniform_int_distribution<int> noise(-12, 12);
                                     for (auto& v : p.Pixels)
                                         if (v == 16)
                                             v = static_cast<std::uint8_t>(20 + noise(random));
                                 },
                                 false, Bars, Bars},
                      // A small logo in the lower bar: something on its lines, but not across them.
                      TFrameCase{"logo_in_lower_bar",
                                 [](TPlane& p) {
                                     Picture(p);
                                     p.Fill(70, 60, 8, 3, 235);
                                 },
                                 false,
                                 {4, 8, 2, 1},
                                 Bars},
                      // The picture's first lines are dark: found late, and nothing across them.
                      TFrameCase{"dark_top_of_picture",
                                 [](TPlane& p) {
                                     Picture(p);
                                     p.Fill(4, 8, 90, 10, 18);
                                 },
                                 false,
                                 {4, 18, 2, 6},
                                 {4, 18, 2, 6}},
                      // A dark scene: two bright details, no line with picture across it.
                      TFrameCase{"dark_scene",
                                 [](TPlane& p) {
                                     Picture(p, 20);
                                     p.Fill(20, 20, 6, 4, 200);
                                     p.Fill(60, 40, 6, 4, 200);
                                 },
                                 false,
                                 {20, 20, 30, 20},
                                 {-1, -1, -1, -1}},
                      TFrameCase{
                          "no_bars", [](TPlane& p) { p.Fill(0, 0, 96, 64, 150); }, false, {}, {}},
                      TFrameCase{"black_frame", [](TPlane&) {}, true, {}, {}},
                      TFrameCase{"black_frame_with_noise",
                                 [](TPlane& p) {
                                     std::mt19937 random(5);
                                     std::uniform_int_distribution<int> noise(0, 12);
                                     for (auto& v : p.Pixels)
                                         v = static_cast<std::uint8_t>(16 + noise(random));
                                 },
                                 true,
                                 {},
                                 {}}),
    [](const auto& info) { return info.param.Name; });

TEST(MeasureFrame, ReadsThroughTheStride) {
    // The same clean picture inside a wider buffer whose extra columns are white.
    TPlane plane;
    Picture(plane);
    const int stride = plane.Width + 10;
    std::vector<std::uint8_t> wide(static_cast<std::size_t>(stride) * plane.Height, 255);
    for (int y = 0; y < plane.Height; ++y)
        std::copy_n(&plane.Pixels[y * plane.Width], plane.Width, &wide[y * stride]);
    const TFrameBorders b = MeasureFrame({wide.data(), plane.Width, plane.Height, stride});
    EXPECT_EQ(b.Any, Bars);
}

/// A frame whose four sides show the same border.
TFrameBorders Frame(int any, int wide) {
    return {0, false, {any, any, any, any}, {wide, wide, wide, wide}};
}

struct TCombineCase {
    std::string Name;
    std::vector<TFrameBorders> Frames;
    std::optional<int> Border;
};

void PrintTo(const TCombineCase& c, std::ostream* os) {
    *os << c.Name;
}

std::vector<TFrameBorders> Repeat(int n, const TFrameBorders& f,
                                  std::vector<TFrameBorders> to = {}) {
    to.insert(to.end(), n, f);
    return to;
}

class CombineBordersTest : public ::testing::TestWithParam<TCombineCase> {};

TEST_P(CombineBordersTest, EverySide) {
    const TCombineCase& c = GetParam();
    const auto b = CombineBorders(c.Frames);
    ASSERT_EQ(b.has_value(), c.Border.has_value());
    if (c.Border) {
        EXPECT_EQ(*b, (TBorders{*c.Border, *c.Border, *c.Border, *c.Border}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Films, CombineBordersTest,
    ::testing::Values(
        TCombineCase{"all_alike", Repeat(20, Frame(70, 70)), 70},
        // Frames with a logo show something nearer the edge, but picture across the
        // line only at the film's edge.
        TCombineCase{"logo_on_a_third", Repeat(10, Frame(50, 70), Repeat(20, Frame(70, 70))), 70},
        TCombineCase{"dark_frames_scattered",
                     {Frame(70, 70), Frame(90, -1), Frame(70, 70), Frame(120, -1), Frame(71, 71),
                      Frame(100, 130), Frame(70, 70)},
                     70},
        // Most frames dark at the same lines: frames with picture across the line
        // still show where the film begins.
        TCombineCase{"dark_majority", Repeat(20, Frame(80, -1), Repeat(5, Frame(70, 70))), 70},
        // One flash across the bar is not enough to widen the film.
        TCombineCase{"one_flash", Repeat(20, Frame(70, 70), {Frame(0, 0)}), 70},
        TCombineCase{"two_flashes", Repeat(20, Frame(70, 70), Repeat(2, Frame(0, 0))), 0},
        TCombineCase{"noise_takes_the_smallest_of_the_group",
                     {Frame(70, 70), Frame(69, 69), Frame(71, 70), Frame(70, 70), Frame(72, 72)},
                     69},
        TCombineCase{"blank_frames_say_nothing",
                     Repeat(20, TFrameBorders{0, true, {}, {}}, {Frame(70, 70)}), 70},
        TCombineCase{"only_blank_frames", Repeat(5, TFrameBorders{0, true, {}, {}}), std::nullopt},
        TCombineCase{"no_frames", {}, std::nullopt}),
    [](const auto& info) { return info.param.Name; });

TEST(AreaInside, KeepsAtLeastTheSmallestFrame) {
    EXPECT_EQ(AreaInside(720, 576, {8, 70, 10, 72}), (TFilmArea{702, 434, 8, 70}));
    EXPECT_EQ(AreaInside(720, 576, {352, 0, 352, 0}), (TFilmArea{16, 576, 352, 0}));
    EXPECT_EQ(AreaInside(720, 576, {353, 0, 352, 0}), std::nullopt);
    EXPECT_EQ(AreaInside(720, 576, {0, 300, 0, 300}), std::nullopt);
}

using testing::Film;

class FilmAreaTest : public ::testing::TestWithParam<testing::TFilm> {};

TEST_P(FilmAreaTest, FoundWithoutCuttingIntoThePicture) {
    const testing::TFilm& f = GetParam();
    const TDetectResult r = DetectFilmArea(Film(f.Name), {}, {}, {}, nullptr);
    ASSERT_EQ(r.Error, TFrameError::None);
    ASSERT_TRUE(r.Area);
    const TFilmArea& a = *r.Area;
    const TFilmArea& p = f.Picture;
    // How far each edge (left, top, right, bottom) reaches out from the picture: exactly to
    // it on clean bars, up to two lines into noisy ones, never into the picture.
    const int out[] = {p.Left - a.Left, p.Top - a.Top, a.Left + a.Width - p.Left - p.Width,
                       a.Top + a.Height - p.Top - p.Height};
    for (int edge = 0; edge < 4; ++edge) {
        EXPECT_GE(out[edge], 0) << "edge " << edge;
        EXPECT_LE(out[edge], f.Noisy ? 2 : 0) << "edge " << edge;
    }
    // The frames come from all over the film, but not from its first and last moments.
    ASSERT_GE(r.Frames.size(), 20u);
    for (std::size_t i = 1; i < r.Frames.size(); ++i)
        EXPECT_GT(r.Frames[i].Position, r.Frames[i - 1].Position);
    EXPECT_GT(r.Frames.front().Position, 0.02);
    EXPECT_LT(r.Frames.front().Position, 0.15);
    EXPECT_GT(r.Frames.back().Position, 0.85);
    EXPECT_LT(r.Frames.back().Position, 0.98);
}

INSTANTIATE_TEST_SUITE_P(Films, FilmAreaTest, ::testing::ValuesIn(testing::AllFilms()),
                         [](const auto& info) {
                             std::string n = info.param.Name;
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

TEST(DetectFilmArea, AreaIsInTheCroppedFrame) {
    // A project that crops 8 columns left and right, 4 lines above and 6 below.
    const TDetectResult r = DetectFilmArea(Film("letterbox.vob"), {8, 4, 8, 6}, {}, {}, nullptr);
    EXPECT_EQ(r.FrameWidth, 704);
    EXPECT_EQ(r.FrameHeight, 566);
    EXPECT_EQ(r.Area, (TFilmArea{704, 436, 0, 66}));
}

TEST(DetectJob, RunsOffTheCallersThreadAndFinishesOnce) {
    const std::string film = Film("letterbox.vob");
    std::mutex lock;
    std::condition_variable finished;
    std::vector<std::thread::id> progressThreads;
    std::thread::id doneThread;
    int doneCalls = 0;
    std::optional<TFilmArea> area;
    {
        TDetectJob job(
            film, {}, {},
            [&](int, int) {
                std::lock_guard<std::mutex> hold(lock);
                progressThreads.push_back(std::this_thread::get_id());
            },
            [&](const TDetectResult& r) {
                std::lock_guard<std::mutex> hold(lock);
                doneThread = std::this_thread::get_id();
                area = r.Area;
                ++doneCalls;
                finished.notify_all();
            });
        std::unique_lock<std::mutex> wait(lock);
        finished.wait(wait, [&] { return doneCalls > 0; });
    }
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(area, (TFilmArea{720, 436, 0, 70}));
    EXPECT_NE(doneThread, std::this_thread::get_id());
    ASSERT_EQ(progressThreads.size(), 30u);
    for (const auto id : progressThreads) EXPECT_EQ(id, doneThread);
}

TEST(DetectJob, CancelStopsBeforeTheNextPosition) {
    const std::string film = Film("letterbox.vob");
    std::atomic<bool> atFirst{false};
    std::atomic<bool> cancelSent{false};
    TDetectResult result;
    int doneCalls = 0;
    {
        std::optional<TDetectJob> job;
        job.emplace(
            film, TFrameCrop{}, TDetectOptions{},
            [&](int, int) {
                // Hold the worker after its first position until the cancel is sent.
                atFirst = true;
                while (!cancelSent) std::this_thread::yield();
            },
            [&](const TDetectResult& r) {
                result = r;
                ++doneCalls;
            });
        while (!atFirst) std::this_thread::yield();
        job->Cancel();
        cancelSent = true;
    } // the end waits for the thread
    EXPECT_EQ(doneCalls, 1);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Frames.size(), 1u);
}

} // namespace
} // namespace tarvex
