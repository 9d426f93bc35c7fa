// Real source files made by ffmpeg for the tests, each made on first use.
#pragma once

#include "tests/source/SourceFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace tarvex::testing {

/// A test file: its name (the extension picks the container) and the ffmpeg
/// arguments that make it. Every input is finite, so ffmpeg always ends.
struct TMedia {
    std::string Name;
    std::string Args;
    bool Mpeg; ///< read through the sequence header rather than the AVI header
};

inline void PrintTo(const TMedia& m, std::ostream* os) {
    *os << m.Name;
}

/// One second of test picture at a size and rate.
inline std::string TestPicture(const char* size, const char* rate) {
    return std::string("-f lavfi -i testsrc=size=") + size + ":rate=" + rate + ":duration=1 ";
}

inline std::vector<TMedia> AllMedia() {
    const std::string pal = TestPicture("720x576", "25");
    const std::string ntsc = TestPicture("720x480", "30000/1001");
    const std::string film = TestPicture("720x480", "24000/1001");
    const std::string cif = TestPicture("352x288", "25");
    const std::string half = TestPicture("352x288", "12.5");
    const std::string svcd = TestPicture("480x576", "25");
    const std::string cut = TestPicture("480x360", "30000/1001");
    const std::string mpeg2 = "-frames:v 3 -c:v mpeg2video ";
    return {
        {"dv_pal.avi", pal + "-frames:v 3 -c:v dvvideo -pix_fmt yuv420p", false},
        {"dv_ntsc.avi", ntsc + "-frames:v 3 -c:v dvvideo -pix_fmt yuv411p", false},
        {"mpeg4_pal.avi", pal + "-frames:v 4 -c:v mpeg4", false},
        {"mpeg4_ntsc.avi", ntsc + "-frames:v 5 -c:v mpeg4", false},
        {"mpeg4_film.avi", film + "-frames:v 6 -c:v mpeg4", false},
        {"mpeg4_ntsc_cut.avi", cut + "-frames:v 3 -c:v mpeg4", false},
        {"raw_half_rate.avi", half + "-frames:v 2 -c:v rawvideo -pix_fmt yuv420p", false},
        {"raw_rgb.avi", cif + "-frames:v 2 -c:v rawvideo -pix_fmt bgr24", false},
        {"audio_first.avi",
         "-f lavfi -i sine=duration=0.2 " + svcd +
             "-frames:v 5 -map 0:a -map 1:v -c:a pcm_s16le -c:v mpeg4",
         false},
        {"pal_wide.vob", pal + mpeg2 + "-aspect 16:9 -f vob", true},
        {"pal_43.vob", pal + mpeg2 + "-aspect 4:3 -f vob", true},
        {"pal_43.m2v", pal + mpeg2 + "-aspect 4:3 -f mpeg2video", true},
        {"ntsc_wide.m2v", ntsc + mpeg2 + "-aspect 16:9 -f mpeg2video", true},
        {"ntsc_43.mpeg", ntsc + mpeg2 + "-aspect 4:3 -f mpeg", true},
        {"svcd_wide.mpv", svcd + mpeg2 + "-aspect 16:9 -f mpeg2video", true},
        {"cif.mpg", cif + "-frames:v 3 -c:v mpeg1video -f mpeg", true},
        {"cif.m1v", cif + "-frames:v 3 -c:v mpeg1video -f mpeg1video", true},
    };
}

inline int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Whether ffmpeg and ffprobe can be run.
inline bool HaveMediaTools() {
    return RunCommand("ffmpeg -version >/dev/null 2>&1") == 0 &&
           RunCommand("ffprobe -version >/dev/null 2>&1") == 0;
}

/// The message for a test that needs ffmpeg on a machine without it.
constexpr const char* MissingMediaTools =
    "ffmpeg and ffprobe make and check the test media; they are a declared dependency "
    "(./build.sh installs them)";

/// A temporary folder of test media; each file of `AllMedia` is made when first asked for.
class TMediaFolder {
  public:
    /// The full name of a file of `AllMedia`.
    std::string operator[](const std::string& name) {
        const std::string path = Dir / name;
        if (Made.count(name)) return path;
        bool known = false;
        for (const auto& m : AllMedia()) {
            if (name != m.Name) continue;
            known = true;
            const int rc =
                RunCommand("timeout 120 ffmpeg -nostdin -v error -y " + m.Args + " '" + path + "'");
            EXPECT_EQ(rc, 0) << "ffmpeg could not make " << name;
            Made.insert(name);
        }
        EXPECT_TRUE(known) << name << " is not a test medium";
        return path;
    }

    TTempFolder Dir;

  private:
    std::set<std::string> Made;
};

} // namespace tarvex::testing
