// Frame access on films made by ffmpeg: opening, seeking, the crop, pixels, damaged files.
#include "preview/Frames.h"
#include "tests/support/Films.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

namespace tarvex {
namespace {

using testkit::Film;

/// A file of the test's own beside the shared films.
std::string Write(const std::string& name, const std::string& bytes) {
    const std::string folder =
        std::string(TARVEX_TEST_FILMS) + "/scratch-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    return folder + "/" + name;
}

std::string SoundOnly() {
    const std::string path = Write("sound.wav", "");
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=0.2 '" + path;
    EXPECT_EQ(std::system((make + "'").c_str()), 0);
    return path;
}

struct TOpenCase {
    std::string Name;
    std::function<std::string()> Make;
    TFrameCrop Crop;
    TFrameError Error;
};

class OpenErrorTest : public ::testing::TestWithParam<TOpenCase> {};

TEST_P(OpenErrorTest, SaysWhy) {
    TFrameReader reader;
    EXPECT_EQ(reader.Open(GetParam().Make(), GetParam().Crop), GetParam().Error);
    EXPECT_EQ(reader.Width(), 0);
    EXPECT_FALSE(reader.DecodeAt(0.5, false));
}

const auto Letterbox = [] { return Film("letterbox.vob"); };

INSTANTIATE_TEST_SUITE_P(
    Files, OpenErrorTest,
    ::testing::ValuesIn(std::vector<TOpenCase>{
        {"missing",
         [] { return std::string("/nonexistent/film.vob"); },
         {},
         TFrameError::CannotOpen},
        {"text", [] { return Write("notes.vob", "not a film\n"); }, {}, TFrameError::CannotOpen},
        {"sound_only", SoundOnly, {}, TFrameError::NoVideo},
        {"crop_wider_than_the_frame", Letterbox, {360, 0, 350, 0}, TFrameError::BadFrameSize},
        {"negative_crop", Letterbox, {0, -2, 0, 0}, TFrameError::BadFrameSize}}),
    [](const auto& info) { return info.param.Name; });

/// Red, green, blue and alpha of a pixel.
std::array<int, 4> Channels(const TFrame& f, int x, int y) {
    const std::uint32_t c = f.Rgb[static_cast<std::size_t>(y) * f.Width + x];
    return {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), int(c >> 24)};
}

TEST(FrameReader, LumaAndColoursOfAKeyframe) {
    using ::testing::_, ::testing::ElementsAre, ::testing::Gt, ::testing::Lt;
    TFrameReader reader;
    ASSERT_EQ(reader.Open(Film("letterbox.vob")), TFrameError::None);
    EXPECT_EQ(std::pair(reader.Width(), reader.Height()), std::pair(720, 576));
    EXPECT_NEAR(reader.Duration(), 4, 0.1);
    const auto f = reader.DecodeAt(0.5, true);
    ASSERT_TRUE(f);
    const std::size_t pixels = 720 * 576;
    ASSERT_EQ(std::pair(f->Luma.size(), f->Rgb.size()), std::pair(pixels, pixels));
    // The bar is video black; the test picture's first columns are red, its next ones green.
    EXPECT_NEAR(f->Luma[10 * 720 + 360], 16, 2);
    const auto bar = Channels(*f, 360, 10);
    EXPECT_LT(bar[0] + bar[1] + bar[2], 24);
    EXPECT_EQ(bar[3], 0xFF);
    EXPECT_THAT(Channels(*f, 60, 470), ElementsAre(Gt(200), Lt(40), _, 0xFF));
    EXPECT_THAT(Channels(*f, 180, 470), ElementsAre(Lt(40), Gt(200), _, 0xFF));
    EXPECT_TRUE(reader.DecodeAt(0.5, false)->Rgb.empty());
}

// The cancel reaches the reads under way, and once it is taken back the reader reads again.
TEST(FrameReader, ACancelEndsTheReadUnderWay) {
    std::atomic<bool> cancel{false};
    TFrameReader reader;
    reader.SetCancel(&cancel);
    ASSERT_EQ(reader.Open(Film("letterbox.vob")), TFrameError::None);
    cancel = true;
    EXPECT_FALSE(reader.DecodeAt(0.8, false));
    cancel = false;
    EXPECT_TRUE(reader.DecodeAt(0.8, false));
    cancel = true;
    TFrameReader other;
    other.SetCancel(&cancel);
    EXPECT_EQ(other.Open(Film("letterbox.vob")), TFrameError::CannotOpen);
}

TEST(FrameReader, CropCutsEveryPlane) {
    TFrameReader full;
    TFrameReader cropped;
    ASSERT_EQ(full.Open(Film("letterbox.vob")), TFrameError::None);
    ASSERT_EQ(cropped.Open(Film("letterbox.vob"), {8, 4, 10, 6}), TFrameError::None);
    const auto a = full.DecodeAt(0.4, true);
    const auto b = cropped.DecodeAt(0.4, true);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(std::tuple(cropped.Width(), cropped.Height(), b->Width, b->Height),
              std::tuple(702, 566, 702, 566));
    for (const auto& [x, y] : {std::pair{0, 0}, {701, 565}, {300, 100}, {50, 470}}) {
        EXPECT_EQ(b->Luma[y * 702 + x], a->Luma[(y + 4) * 720 + x + 8]) << x << "," << y;
        EXPECT_EQ(b->Rgb[y * 702 + x], a->Rgb[(y + 4) * 720 + x + 8]) << x << "," << y;
    }
}

class SeekTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SeekTest, PositionsGoForwardAndBack) {
    TFrameReader reader;
    ASSERT_EQ(reader.Open(Film(GetParam())), TFrameError::None);
    const auto early = reader.DecodeAt(0.2, false);
    const auto late = reader.DecodeAt(0.8, false);
    const auto again = reader.DecodeAt(0.2, false);
    ASSERT_TRUE(early && late && again);
    EXPECT_NEAR(early->Position, 0.2, 0.08);
    EXPECT_NEAR(late->Position, 0.8, 0.08);
    EXPECT_EQ(std::pair(again->Position, again->Luma), std::pair(early->Position, early->Luma));
    EXPECT_NE(late->Luma, early->Luma);
}

// A program stream and an elementary stream are seeked by bytes, an AVI by time.
INSTANTIATE_TEST_SUITE_P(Containers, SeekTest,
                         ::testing::Values("letterbox.vob", "both.m2v", "pillarbox.avi"),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

/// Random bytes at every `step`th place of `b` from `from` to `to`.
void Scramble(std::string& b, std::size_t from, std::size_t to, std::size_t step) {
    std::mt19937 random(static_cast<unsigned>(from));
    for (std::size_t i = from; i < to; i += step) b[i] = static_cast<char>(random());
}

/// Ways to damage a film.
struct TDamage {
    std::string Name;
    std::function<void(std::string&)> Apply;
};

class DamagedFilmTest : public ::testing::TestWithParam<TDamage> {};

TEST_P(DamagedFilmTest, GivesWholeFramesOrNone) {
    std::ifstream in(Film("letterbox.vob"), std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(bytes.size(), 300000u);
    GetParam().Apply(bytes);
    TFrameReader reader;
    if (reader.Open(Write("damaged.vob", bytes)) != TFrameError::None) return;
    for (const double at : {0.0, 0.3, 0.6, 0.99, 1.0}) {
        const auto f = reader.DecodeAt(at, true);
        if (!f) continue;
        EXPECT_EQ(f->Luma.size(), static_cast<std::size_t>(f->Width) * f->Height);
        EXPECT_EQ(f->Rgb.size(), f->Luma.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Films, DamagedFilmTest,
    ::testing::ValuesIn(std::vector<TDamage>{
        {"cut_short", [](std::string& b) { b.resize(60000); }},
        {"zeros_in_the_middle", [](std::string& b) { std::fill_n(b.begin() + 100000, 150000, 0); }},
        {"noise_in_the_middle", [](std::string& b) { Scramble(b, 100000, 250000, 1); }},
        {"noise_after_the_head", [](std::string& b) { Scramble(b, 2048, b.size(), 7); }}}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tarvex
