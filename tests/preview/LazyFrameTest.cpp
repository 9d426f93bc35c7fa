// The libav* libraries come with the frame decoding module, loaded when the first
// film is opened. A program of its own, so that no other test has loaded them before.
#include "preview/Frames.h"
#include "tests/preview/PreviewFilms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace tarvex {
namespace {

/// Whether a library whose file name holds `name` is mapped into this process.
bool Mapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(name) != std::string::npos) return true;
    return false;
}

TEST(LazyFrames, OpeningTheFirstFilmLoadsTheDecoders) {
    const std::string film = testing::CachedFilm(TARVEX_PREVIEW_FILMS, "letterbox.vob");
    ASSERT_FALSE(film.empty()) << "ffmpeg could not make the test film";
    TFrameReader reader;
    for (const char* library : {"libtarvex_framereader", "libavformat", "libswscale"})
        EXPECT_FALSE(Mapped(library)) << library;

    ASSERT_EQ(reader.Open(film), TFrameError::None);
    EXPECT_EQ(FrameLibraryFailure(), "");
    for (const char* library : {"libtarvex_framereader", "libavformat", "libswscale"})
        EXPECT_TRUE(Mapped(library)) << library;
    EXPECT_TRUE(reader.DecodeAt(0.5, true).has_value());
}

} // namespace
} // namespace tarvex
