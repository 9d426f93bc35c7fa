// The libav* libraries are loaded only for a file the hand readers leave. A
// program of its own, so that no other test has loaded them before.
#include "source/OpenSrc.h"
#include "tests/source/SourceMedia.h"

#include <gtest/gtest.h>

namespace tarvex {
namespace {

TEST(LazyLoad, OnlyAFileTheHandReadersLeaveLoadsLibavformat) {
    if (!testkit::HaveMediaTools()) GTEST_FAIL() << testkit::MissingMediaTools;
    testkit::TMediaFolder files;
    TOpenSrcFile reader;
    const std::vector<std::string> libraries = {"libtarvex_avprobe", "libavformat"};
    for (const char* name : {"dv_pal.avi", "pal_wide.vob", "ntsc_tff.m2v", "pal_wide.mkv",
                             "hd_film.mp4", "hd_ntsc.ts"}) {
        ASSERT_EQ(reader.OpenFiles({files[name]}), 0) << name;
        EXPECT_EQ(testkit::Mapped(libraries), "") << name;
    }
    ASSERT_EQ(reader.OpenFiles({files["ntsc.webm"]}), 0);
    EXPECT_EQ(testkit::Mapped(libraries), "libtarvex_avprobe libavformat ");
}

} // namespace
} // namespace tarvex
