// Real source files made by ffmpeg for the tests, each made once per build folder.
#pragma once

#include "tests/source/SourceFixtures.h"
#include "tests/support/Films.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tarvex::testkit {

/// Which reader a test file goes to.
enum class TMediaReader {
    Avi,   ///< the AVI header reader
    Mpeg,  ///< the MPEG sequence-header and stream reader
    Quick, ///< the media probe, by hand
    Full,  ///< the media probe, through libavformat
};

/// A test file: its name (the extension picks the container), the ffmpeg
/// arguments that make it and the reader it goes to. Every input is finite, so
/// ffmpeg always ends.
struct TMedia {
    std::string Name;
    std::string Args;
    TMediaReader Reader;
};

inline void PrintTo(const TMedia& m, std::ostream* os) {
    *os << m.Name;
}

/// One second of test picture at a size and rate.
inline std::string TestPicture(const char* size, const char* rate) {
    return std::string("-f lavfi -i testsrc=size=") + size + ":rate=" + rate + ":duration=1 ";
}

inline std::vector<TMedia> AllMedia() {
    using enum TMediaReader;
    const std::string pal = TestPicture("720x576", "25");
    const std::string ntsc = TestPicture("720x480", "30000/1001");
    const std::string film = TestPicture("720x480", "24000/1001");
    const std::string cif = TestPicture("352x288", "25");
    const std::string fourSeconds = "-f lavfi -i testsrc=size=352x288:rate=25:duration=4 ";
    const std::string half = TestPicture("352x288", "12.5");
    const std::string svcd = TestPicture("480x576", "25");
    const std::string cut = TestPicture("480x360", "30000/1001");
    const std::string hdFilm = TestPicture("1280x720", "24000/1001");
    const std::string hdNtsc = TestPicture("1280x720", "30000/1001");
    const std::string mpeg2 = "-frames:v 3 -c:v mpeg2video ";
    const std::string bff = "-flags +ildct+ilme -top 0 ";
    const std::string tff = "-flags +ildct+ilme -top 1 ";
    // Intra pictures at the finest quantiser make a stream longer than the windows
    // its head and tail are read in.
    const std::string longMpeg2 = "-frames:v 12 -g 1 -q:v 1 -c:v mpeg2video ";
    const std::string x264 = "-frames:v 3 -c:v libx264 ";
    const std::string x265 = "-frames:v 3 -c:v libx265 -x265-params log-level=none ";
    return {
        {"dv_pal.avi", pal + "-frames:v 3 -c:v dvvideo -pix_fmt yuv420p", Avi},
        {"dv_ntsc.avi", ntsc + "-frames:v 3 -c:v dvvideo -pix_fmt yuv411p", Avi},
        {"mpeg4_pal.avi", pal + "-frames:v 4 -c:v mpeg4", Avi},
        {"mpeg4_ntsc.avi", ntsc + "-frames:v 5 -c:v mpeg4", Avi},
        {"mpeg4_film.avi", film + "-frames:v 6 -c:v mpeg4", Avi},
        {"mpeg4_ntsc_cut.avi", cut + "-frames:v 3 -c:v mpeg4", Avi},
        {"raw_half_rate.avi", half + "-frames:v 2 -c:v rawvideo -pix_fmt yuv420p", Avi},
        {"raw_rgb.avi", cif + "-frames:v 2 -c:v rawvideo -pix_fmt bgr24", Avi},
        {"audio_first.avi",
         "-f lavfi -i sine=duration=0.2 " + svcd +
             "-frames:v 5 -map 0:a -map 1:v -c:a pcm_s16le -c:v mpeg4",
         Avi},
        {"pal_wide.vob", pal + mpeg2 + "-aspect 16:9 -f vob", Mpeg},
        {"pal_43.vob", pal + mpeg2 + "-aspect 4:3 -f vob", Mpeg},
        {"pal_bff.vob", pal + mpeg2 + bff + "-aspect 4:3 -f vob", Mpeg},
        {"pal_long.vob", pal + longMpeg2 + "-aspect 16:9 -f vob", Mpeg},
        {"pal_43.m2v", pal + mpeg2 + "-aspect 4:3 -f mpeg2video", Mpeg},
        {"ntsc_wide.m2v", ntsc + mpeg2 + "-aspect 16:9 -f mpeg2video", Mpeg},
        {"ntsc_tff.m2v", ntsc + mpeg2 + tff + "-aspect 16:9 -f mpeg2video", Mpeg},
        {"film_long.m2v", film + longMpeg2 + "-aspect 4:3 -f mpeg2video", Mpeg},
        {"ntsc_43.mpeg", ntsc + mpeg2 + "-aspect 4:3 -f mpeg", Mpeg},
        {"svcd_wide.mpv", svcd + mpeg2 + "-aspect 16:9 -f mpeg2video", Mpeg},
        {"cif.mpg", cif + "-frames:v 3 -c:v mpeg1video -f mpeg", Mpeg},
        // At ffmpeg's default rate a packet holds several pictures, the last ones
        // without a time of their own.
        {"cif_low_rate_b.mpg", fourSeconds + "-frames:v 90 -c:v mpeg2video -bf 2 -f vob", Mpeg},
        {"cif_low_rate_1.mpg", fourSeconds + "-frames:v 90 -c:v mpeg1video -f mpeg", Mpeg},
        {"cif.m1v", cif + "-frames:v 3 -c:v mpeg1video -f mpeg1video", Mpeg},
        {"pal_wide.mkv", pal + x264 + "-aspect 16:9", Quick},
        {"ntsc_43.mkv", ntsc + x264 + "-aspect 4:3", Quick},
        {"pal_bff.mkv", pal + mpeg2 + bff + "-aspect 4:3", Full},
        {"hd_film.mp4", hdFilm + x264, Quick},
        {"pal_tff.mp4", pal + x264 + "-x264-params interlaced=1:tff=1 -aspect 4:3", Full},
        {"ntsc_wide.mov", ntsc + "-frames:v 3 -c:v mpeg4 -aspect 16:9", Full},
        {"pal_wide.m2ts", pal + x264 + "-aspect 16:9 -mpegts_m2ts_mode 1", Quick},
        {"ntsc_tff.ts", ntsc + mpeg2 + tff + "-aspect 4:3 -f mpegts", Quick},
        {"hd_ntsc.ts", hdNtsc + x264 + "-f mpegts", Quick},
        {"pal_wide_hevc.mkv", pal + x265 + "-aspect 16:9", Quick},
        {"hd_film_hevc.mp4", hdFilm + x265 + "-tag:v hvc1", Quick},
        {"ntsc_hevc.ts", ntsc + x265 + "-aspect 4:3 -f mpegts", Quick},
        {"pal_bff.ts", pal + x264 + "-x264-params interlaced=1:bff=1 -aspect 16:9", Full},
        {"ntsc.webm", ntsc + "-frames:v 3 -c:v libvpx -b:v 200k", Full},
        {"cif.flv", cif + "-frames:v 3 -c:v flv1", Full},
        {"pal_43.ogv", pal + "-frames:v 3 -c:v libtheora -aspect 4:3", Full},
        {"dv_pal.dv", pal + "-frames:v 3 -c:v dvvideo -pix_fmt yuv420p -f dv", Full},
        {"cif.asf", cif + "-frames:v 3 -c:v wmv2", Full},
    };
}

/// Whether ffmpeg and ffprobe can be run.
inline bool HaveMediaTools() {
    return Shell("ffmpeg -version >/dev/null 2>&1") == 0 &&
           Shell("ffprobe -version >/dev/null 2>&1") == 0;
}

/// The message for a test that needs ffmpeg on a machine without it.
constexpr const char* MissingMediaTools =
    "ffmpeg and ffprobe make and check the test media; they are a declared dependency "
    "(./build.sh installs them)";

/// The test media: each file of `AllMedia` is made in the build's shared folder when
/// first asked for. `Dir` is a folder of this program's own for the files a test writes.
class TMediaFolder {
  public:
    /// The full name of a file of `AllMedia`.
    std::string operator[](const std::string& name) {
        for (const auto& m : AllMedia()) {
            if (name != m.Name) continue;
            const std::string path = CachedFile(TARVEX_TEST_FILMS "/media", name, m.Args);
            EXPECT_FALSE(path.empty()) << "ffmpeg could not make " << name;
            return path;
        }
        ADD_FAILURE() << name << " is not a test medium";
        return "";
    }

    TTempFolder Dir;
};

} // namespace tarvex::testkit
