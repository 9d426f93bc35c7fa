// Frame access on films made by ffmpeg: opening, seeking, the crop, pixels, damaged files.
#include "preview/Frames.h"
#include "tests/preview/PreviewFilms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarvex {
namespace {

using testing::Film;

/// A file of the test's own beside the shared films.
std::string Scratch(const std::string& name) {
    const std::string folder =
        std::string(TARVEX_PREVIEW_FILMS) + "/scratch-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    return folder + "/" + name;
}

std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = Scratch(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TOpenCase {
    std::string Name;
    std::function<std::string()> Make;
    TFrameCrop Crop;
    TFrameError Error;
};

void PrintTo(const TOpenCase& c, std::ostream* os) {
    *os << c.Name;
}

class OpenErrorTest : public ::testing::TestWithParam<TOpenCase> {};

TEST_P(OpenErrorTest, SaysWhy) {
    TFrameReader reader;
    EXPECT_EQ(reader.Open(GetParam().Make(), GetParam().Crop), GetParam().Error);
    EXPECT_EQ(reader.Width(), 0);
    EXPECT_FALSE(reader.DecodeAt(0.5, false));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenErrorTest,
    ::testing::Values(
        TOpenCase{"missing",
                  [] { return std::string("/nonexistent/film.vob"); },
                  {},
                  TFrameError::CannotOpen},
        TOpenCase{
            "text", [] { return Write("notes.vob", "not a film\n"); }, {}, TFrameError::CannotOpen},
        TOpenCase{"sound_only",
                  [] {
                      const std::string path = Scratch("sound.wav");
                      std::system(("ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=0.2 '" +
                                   path + "'")
                                      .c_str());
                      return path;
                  },
                  {},
                  TFrameError::NoVideo},
        TOpenCase{"crop_wider_than_the_frame",
                  [] { return Film("letterbox.vob"); },
                  {360, 0, 350, 0},
                  TFrameError::BadFrameSize},
        TOpenCase{"negative_crop",
                  [] { return Film("letterbox.vob"); },
                  {0, -2, 0, 0},
                  TFrameError::BadFrameSize}),
    [](const auto& info) { return info.param.Name; });

std::uint32_t RgbAt(const TFrame& f, int x, int y) {
    return f.Rgb[static_cast<std::size_t>(y) * f.Width + x];
}

int Red(std::uint32_t c) {
    return c >> 16 & 0xFF;
}
int Green(std::uint32_t c) {
    return c >> 8 & 0xFF;
}
int Blue(std::uint32_t c) {
    return c & 0xFF;
}

TEST(FrameReader, LumaAndColoursOfAKeyframe) {
    TFrameReader reader;
    ASSERT_EQ(reader.Open(Film("letterbox.vob")), TFrameError::None);
    EXPECT_EQ(reader.Width(), 720);
    EXPECT_EQ(reader.Height(), 576);
    EXPECT_NEAR(reader.Duration(), 4, 0.1);
    const auto f = reader.DecodeAt(0.5, true);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->Luma.size(), 720u * 576u);
    ASSERT_EQ(f->Rgb.size(), 720u * 576u);
    // The bar is video black; the test picture's first columns are red, its next ones green.
    EXPECT_NEAR(f->Luma[10 * 720 + 360], 16, 2);
    const std::uint32_t bar = RgbAt(*f, 360, 10);
    EXPECT_LT(Red(bar) + Green(bar) + Blue(bar), 24);
    EXPECT_EQ(bar >> 24, 0xFFu);
    const std::uint32_t red = RgbAt(*f, 60, 470);
    EXPECT_GT(Red(red), 200);
    EXPECT_LT(Green(red), 40);
    const std::uint32_t green = RgbAt(*f, 180, 470);
    EXPECT_GT(Green(green), 200);
    EXPECT_LT(Red(green), 40);
    EXPECT_TRUE(reader.DecodeAt(0.5, false)->Rgb.empty());
}

TEST(FrameReader, CropCutsEveryPlane) {
    TFrameReader full;
    TFrameReader cropped;
    ASSERT_EQ(full.Open(Film("letterbox.vob")), TFrameError::None);
    ASSERT_EQ(cropped.Open(Film("letterbox.vob"), {8, 4, 10, 6}), TFrameError::None);
    EXPECT_EQ(cropped.Width(), 702);
    EXPECT_EQ(cropped.Height(), 566);
    const auto a = full.DecodeAt(0.4, true);
    const auto b = cropped.DecodeAt(0.4, true);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(b->Width, 702);
    ASSERT_EQ(b->Height, 566);
    for (const auto& [x, y] : {std::pair{0, 0}, {701, 565}, {300, 100}, {50, 470}}) {
        EXPECT_EQ(b->Luma[y * 702 + x], a->Luma[(y + 4) * 720 + x + 8]) << x << "," << y;
        EXPECT_EQ(RgbAt(*b, x, y), RgbAt(*a, x + 8, y + 4)) << x << "," << y;
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
    EXPECT_EQ(again->Position, early->Position);
    EXPECT_EQ(again->Luma, early->Luma);
    EXPECT_NE(late->Luma, early->Luma);
}

// A program stream and an elementary stream are seeked by bytes, an AVI by time.
INSTANTIATE_TEST_SUITE_P(Containers, SeekTest,
                         ::testing::Values("letterbox.vob", "both.m2v", "pillarbox.avi"),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

/// Ways to damage a film.
struct TDamage {
    std::string Name;
    std::function<void(std::string&)> Apply;
};

void PrintTo(const TDamage& d, std::ostream* os) {
    *os << d.Name;
}

class DamagedFilmTest : public ::testing::TestWithParam<TDamage> {};

TEST_P(DamagedFilmTest, GivesWholeFramesOrNone) {
    std::string bytes = ReadAll(Film("letterbox.vob"));
    ASSERT_GT(bytes.size(), 300000u);
    GetParam().Apply(bytes);
    const std::string path = Write("damaged.vob", bytes);
    TFrameReader reader;
    if (reader.Open(path) != TFrameError::None) return;
    for (const double at : {0.0, 0.3, 0.6, 0.99, 1.0}) {
        const auto f = reader.DecodeAt(at, true);
        if (!f) continue;
        EXPECT_EQ(f->Luma.size(), static_cast<std::size_t>(f->Width) * f->Height);
        EXPECT_EQ(f->Rgb.size(), f->Luma.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Films, DamagedFilmTest,
    ::testing::Values(TDamage{"cut_short", [](std::string& b) { b.resize(60000); }},
                      TDamage{
                          "zeros_in_the_middle",
                          [](std::string& b) { std::fill_n(b.begin() + 100000, 150000, '\0'); }},
                      TDamage{"noise_in_the_middle",
                              [](std::string& b) {
                                  std::mt19937 random(7);
                                  for (std::size_t i = 100000; i < 250000; ++i)
                                      b[i] = static_cast<char>(random());
                              }},
                      TDamage{"noise_after_the_head",
                              [](std::string& b) {
                                  std::mt19937 random(9);
                                  for (std::size_t i = 2048; i < b.size(); i += 7)
                                      b[i] = static_cast<char>(random());
                              }}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tarvex
