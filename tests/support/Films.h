// Films made by ffmpeg for the tests and the benchmarks, each made once per build
// folder and shared by the test programs running at once; and which libraries a
// test program has loaded.
#pragma once

#include "preview/Borders.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#ifdef TARVEX_TEST_FILMS
#include <gtest/gtest.h>
#endif

namespace tarvex::testkit {

/// Runs a shell command; its exit code, or -1 when it did not end normally.
inline int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// What a shell command prints on its standard output.
inline std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

/// The file `name` that ffmpeg makes from `args` in `folder`, made when it is not
/// there yet. Its name carries a hash of the arguments, so a changed recipe is made
/// again; it is made under a name of this process and renamed, so that programs
/// running at once may share it. Empty when ffmpeg failed.
inline std::string CachedFile(const std::string& folder, const std::string& name,
                              const std::string& args) {
    const std::string path =
        folder + "/" + std::to_string(std::hash<std::string>{}(args) % 1000000007) + "-" + name;
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(folder);
    const std::string part = folder + "/part-" + std::to_string(getpid()) + "-" + name;
    if (Shell("timeout 120 ffmpeg -nostdin -v error -y " + args + " '" + part + "'") != 0) {
        std::filesystem::remove(part);
        return "";
    }
    std::filesystem::rename(part, path);
    return path;
}

/// Which of `libraries` are mapped into this process, by name, each followed by a space.
inline std::string Mapped(const std::vector<std::string>& libraries) {
    std::ifstream file("/proc/self/maps");
    const std::string maps(std::istreambuf_iterator<char>(file), {});
    std::string found;
    for (const std::string& library : libraries)
        if (maps.find(library) != std::string::npos) found += library + " ";
    return found;
}

struct TFilm {
    std::string Name; ///< file name; the extension picks the container
    int FrameWidth;
    int FrameHeight; ///< 480: NTSC, else PAL
    /// Where the test picture lies: the film area the detection must find.
    TFilmArea Picture;
    /// Filters on the padded frame (bars at another luma, logos, noise).
    std::string OnFrame = "";
    /// The colour of the bars the picture is padded with; empty: black.
    std::string Bars = "";
    /// Filters on the test picture before it is padded (fades, dark scenes).
    std::string OnPicture = "";
};

/// A box drawn over the frame between two times (a logo or a line of subtitles).
inline std::string Box(int x, int y, int w, int h, double from, double to) {
    return "drawbox=x=" + std::to_string(x) + ":y=" + std::to_string(y) +
           ":w=" + std::to_string(w) + ":h=" + std::to_string(h) +
           ":color=white:t=fill:enable='between(t," + std::to_string(from) + "," +
           std::to_string(to) + ")'";
}

inline std::vector<TFilm> AllFilms() {
    const std::string noise = "noise=alls=40:allf=t+u";
    const std::string liftedBar = "drawbox=x=0:y=420:w=720:h=60:color=0x090909:t=fill,";
    const std::string subtitles = Box(200, 436, 90, 18, 1.5, 2.7) + "," +
                                  Box(300, 436, 130, 18, 1.5, 2.7) + "," +
                                  Box(440, 436, 80, 18, 1.5, 2.7);
    const std::string fades =
        "fade=t=in:st=0:d=1,fade=t=out:st=3:d=1,"
        "colorchannelmixer=rr=0.12:gg=0.12:bb=0.12:enable='between(t,1.4,1.9)',"
        "drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='between(t,2.1,2.5)'";
    return {
        {"letterbox.vob", 720, 576, {720, 436, 0, 70}},
        {"pillarbox.avi", 720, 480, {540, 480, 90, 0}},
        {"both.m2v", 720, 576, {656, 432, 32, 72}},
        {"asymmetric.mpg", 720, 576, {688, 420, 10, 100}},
        {"full_frame.vob", 720, 576, {720, 576, 0, 0}},
        // The upper bar stays at luma 16, the lower one is lifted to 24.
        {"noisy_letterbox.mpg", 720, 480, {720, 360, 0, 60}, liftedBar + noise},
        // Every bar at a black level above 0, noise over the whole frame.
        {"noisy_both.mpg", 720, 576, {640, 400, 40, 88}, noise, "0x060606"},
        {"logo.vob", 720, 576, {720, 432, 0, 72}, Box(612, 526, 64, 26, 0, 1.3)},
        {"subtitles.vob", 720, 480, {720, 360, 0, 60}, subtitles},
        // Fades over the first and last second, a dark scene and a black one between:
        // about a third of the positions show the picture at full brightness.
        {"fades.vob", 720, 576, {720, 404, 0, 86}, "", "", fades},
    };
}

/// The ffmpeg arguments that make `f` (without the output name).
inline std::string FilmArgs(const TFilm& f) {
    const TFilmArea& a = f.Picture;
    std::string picture = "testsrc2=size=" + std::to_string(a.Width) + "x" +
                          std::to_string(a.Height) +
                          ":rate=" + (f.FrameHeight == 480 ? "30000/1001" : "25") + ":duration=4";
    std::string filters = f.OnPicture.empty() ? "" : f.OnPicture + ",";
    filters += "pad=" + std::to_string(f.FrameWidth) + ":" + std::to_string(f.FrameHeight) + ":" +
               std::to_string(a.Left) + ":" + std::to_string(a.Top);
    if (!f.Bars.empty()) filters += ":color=" + f.Bars;
    if (!f.OnFrame.empty()) filters += "," + f.OnFrame;
    std::string codec = f.Name.ends_with(".avi") ? "-c:v mpeg4" : "-c:v mpeg2video";
    // Keyframes close together, so that the short films give many distinct positions.
    codec += std::string(" -g 3 -pix_fmt yuv420p -q:v ") +
             (f.OnFrame.find("noise") == std::string::npos ? "3" : "5");
    if (f.Name.ends_with(".m2v")) codec += " -f mpeg2video";
    if (f.Name.ends_with(".vob")) codec += " -f vob";
    return "-f lavfi -i '" + picture + "' -vf \"" + filters + "\" " + codec;
}

/// Makes `f` as `path`; true when ffmpeg succeeded.
inline bool MakeFilm(const TFilm& f, const std::string& path) {
    return Shell("timeout 120 ffmpeg -nostdin -v error -y " + FilmArgs(f) + " '" + path + "'") == 0;
}

/// The film named `name` in `folder`, made when it is not there yet; empty when
/// ffmpeg failed or no film has the name.
inline std::string CachedFilm(const std::string& folder, const std::string& name) {
    for (const TFilm& f : AllFilms())
        if (f.Name == name) return CachedFile(folder, name, FilmArgs(f));
    return "";
}

/// Makes `path` (once): a PAL 720x576 film of `seconds` with moving noise, so that the
/// encoder must spend its bits, and a 440 Hz tone. Returns whether the file is there.
inline bool MakeNoisyFilm(const std::string& path, int seconds) {
    if (std::filesystem::exists(path)) return true;
    const std::string part = path + "." + std::to_string(getpid()) + ".part";
    const std::string length = std::to_string(seconds);
    const int rc = Shell("ffmpeg -nostdin -v error -y -f lavfi -i "
                         "'testsrc2=size=720x576:rate=25:duration=" +
                         length +
                         ",noise=alls=12:allf=t' -f lavfi -i "
                         "'sine=frequency=440:sample_rate=48000:duration=" +
                         length + "' -c:v mpeg4 -q:v 5 -c:a pcm_s16le -f avi '" + part + "'");
    return rc == 0 && std::rename(part.c_str(), path.c_str()) == 0;
}

#ifdef TARVEX_TEST_FILMS
/// The film `name` in the build's shared folder; a test failure when ffmpeg could not make it.
inline std::string Film(const std::string& name) {
    const std::string path = CachedFilm(TARVEX_TEST_FILMS, name);
    EXPECT_FALSE(path.empty()) << "ffmpeg could not make " << name;
    return path;
}
#endif

} // namespace tarvex::testkit
