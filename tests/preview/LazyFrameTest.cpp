// The libav* libraries come with the frame decoding module, loaded when the first
// film is opened. A program of its own, so that no other test has loaded them before.
#include "preview/Frames.h"
#include "tests/support/Films.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex {
namespace {

/// Which of the decoding libraries are mapped into this process.
std::string Mapped() {
    return testkit::Mapped({"libtarvex_framereader", "libavformat", "libswscale"});
}

TEST(LazyFrames, OpeningTheFirstFilmLoadsTheDecoders) {
    const std::string film = testkit::Film("letterbox.vob");
    TFrameReader reader;
    EXPECT_EQ(Mapped(), "");
    ASSERT_EQ(reader.Open(film), TFrameError::None);
    EXPECT_EQ(FrameLibraryFailure(), "");
    EXPECT_EQ(Mapped(), "libtarvex_framereader libavformat libswscale ");
    EXPECT_TRUE(reader.DecodeAt(0.5, true).has_value());
}

} // namespace
} // namespace tarvex
