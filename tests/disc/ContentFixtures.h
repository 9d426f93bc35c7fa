// A film that carries what a DVD can take over: two sound tracks in two
// languages, chapters, text subtitles and DVD picture subtitles.
#pragma once

#include "tests/support/DiscPlans.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace tarvex::testkit {

/// Writes `text` to `path`.
inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline const char* const TwoLines = "1\n00:00:01,000 --> 00:00:03,000\nHello & <welcome>\n\n"
                                    "2\n00:00:05,000 --> 00:00:07,500\nA second line\n";

/// Makes `path` (once), a Matroska film: in a folder of its parts (meta.txt holding
/// `meta`), spumux draws the lines of TwoLines with the text subtitle's `textsub`
/// attributes (`spumux` its options) over a DVD stream of `picture`, and ffmpeg makes
/// the film from `picture` and `inputs`, the parts named relative to the folder.
/// Returns whether the file is there.
inline bool MakeSubtitledFilm(const std::string& path, const std::string& picture,
                              const std::string& spumux, const std::string& textsub,
                              const std::string& inputs, const std::string& meta = "") {
    if (std::filesystem::exists(path)) return true;
    // Test processes running at once each make their own and the last rename wins.
    const std::string dir = path + ".parts-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    WriteText(dir + "/meta.txt", meta);
    WriteText(dir + "/subs.srt", TwoLines);
    WriteText(dir + "/spu.xml",
              "<subpictures format=\"PAL\"><stream><textsub filename=\"subs.srt\" "
              "font=\"DejaVuSans.ttf\" " +
                  textsub + " subtitle-fps=\"25\" movie-fps=\"25\"/></stream></subpictures>");
    const std::string in = "cd '" + dir + "' && ";
    const std::string part = dir + ".mkv";
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y -f lavfi -i " + picture;
    const bool made = Shell(in + ffmpeg + " -c:v mpeg2video -f dvd plain.mpg") == 0 &&
                      Shell(in + "HOME=\"$PWD\" spumux " + spumux +
                            " spu.xml < plain.mpg > spu.mpg 2>/dev/null") == 0 &&
                      Shell(in + ffmpeg + " " + inputs + " '" + part + "'") == 0;
    std::filesystem::remove_all(dir);
    return made && std::rename(part.c_str(), path.c_str()) == 0;
}

/// Makes `path` (once): 12 s of PAL test picture; a quiet English track and a
/// loud German one; chapters at 4 and 9 s; English text subtitles and French
/// DVD picture subtitles (drawn by spumux). Returns whether the file is there.
inline bool MakeRichFilm(const std::string& path) {
    return MakeSubtitledFilm(
        path, "testsrc2=size=720x576:rate=25:duration=12", "-P",
        "fontsize=\"24\" movie-width=\"720\" movie-height=\"574\"",
        "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=12 -f lavfi -i "
        "sine=frequency=880:sample_rate=48000:duration=12 -i subs.srt -i spu.mpg -i meta.txt "
        "-map 0:v -map 1:a -map 2:a -map 3:s -map 4:s -map_chapters 5 -filter:a:0 volume=0.05 "
        "-c:v libx264 -preset ultrafast -c:a aac -c:s:0 ass -c:s:1 copy "
        "-metadata:s:a:0 language=eng -metadata:s:a:1 language=deu "
        "-metadata:s:s:0 language=eng -metadata:s:s:1 language=fra",
        ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=Opening\n"
        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=9000\ntitle=Middle & more\n[CHAPTER]\n"
        "TIMEBASE=1/1000\nSTART=9000\nEND=12000\ntitle=End\n");
}

/// Makes `path` (once): 8 s of 1280x720 test picture with DVD picture subtitles
/// drawn for that size near its bottom, beyond a DVD frame's 576 lines.
inline bool MakeWideSubtitleFilm(const std::string& path) {
    return MakeSubtitledFilm(
        path, "testsrc2=size=1280x720:rate=25:duration=8", "",
        "fontsize=\"40\" horizontal-alignment=\"center\" "
        "vertical-alignment=\"bottom\" bottom-margin=\"30\" "
        "movie-width=\"1280\" movie-height=\"720\"",
        "-i spu.mpg -map 0:v -map 1:s -c:v libx264 -preset ultrafast -c:s copy");
}

} // namespace tarvex::testkit
