// Timings and accuracy of the border detection and the preview's frame access,
// beside ffmpeg's cropdetect filter. Run through bench/preview.sh.
//
//   tarvex_preview_bench detect FILM     detection time (goal: under 2 s) and area
//   tarvex_preview_bench seek FILM       time to show a new position (goal: under 100 ms)
//   tarvex_preview_bench times FILM      the seconds of the detection's positions
//   tarvex_preview_bench films DIR       accuracy on the test films, beside cropdetect
#include "preview/Borders.h"
#include "tests/support/Films.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tarvex;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string Text(const std::optional<TFilmArea>& a) {
    if (!a) return "none";
    return std::to_string(a->Width) + "x" + std::to_string(a->Height) + " at " +
           std::to_string(a->Left) + "," + std::to_string(a->Top);
}

int Detect(const std::string& film) {
    const auto start = Clock::now();
    const TDetectResult r = DetectFilmArea(film, {}, {}, {}, nullptr);
    const double ms = Ms(Clock::now() - start);
    std::printf("detection: %.1f ms, %zu frames, film area %s\n", ms, r.Frames.size(),
                Text(r.Area).c_str());
    return r.Area && ms < 2000 ? 0 : 1;
}

int Seek(const std::string& film) {
    TFrameReader reader;
    const auto opened = Clock::now();
    if (reader.Open(film) != TFrameError::None) return 1;
    std::printf("open: %.1f ms\n", Ms(Clock::now() - opened));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> where(0, 1);
    std::vector<double> times;
    for (int i = 0; i < 40; ++i) {
        const auto start = Clock::now();
        const auto frame = reader.DecodeAt(where(random), true);
        times.push_back(Ms(Clock::now() - start));
        if (!frame) return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("new preview position (keyframe, luma and RGB): median %.1f ms, max %.1f ms\n",
                times[times.size() / 2], times.back());
    return times.back() < 100 ? 0 : 1;
}

int Times(const std::string& film) {
    TFrameReader reader;
    if (reader.Open(film) != TFrameError::None) return 1;
    for (const double p : DetectPositions({})) std::printf("%.3f\n", p * reader.Duration());
    return 0;
}

/// The last area cropdetect reports over the whole film, as "WxH at X,Y".
std::string CropDetect(const std::string& film) {
    const std::string command = "ffmpeg -nostdin -hide_banner -i '" + film +
                                "' -vf cropdetect=limit=24:round=2:reset=0:skip=0 -f null - 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "?";
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    const auto at = out.rfind("crop=");
    int w = 0, h = 0, x = 0, y = 0;
    if (at == std::string::npos ||
        std::sscanf(out.c_str() + at, "crop=%d:%d:%d:%d", &w, &h, &x, &y) != 4)
        return "?";
    return Text(TFilmArea{w, h, x, y});
}

int Films(const std::string& dir) {
    std::filesystem::create_directories(dir);
    std::printf("| film | picture | Tarvex | cropdetect |\n|---|---|---|---|\n");
    for (const auto& f : testkit::AllFilms()) {
        const std::string path = dir + "/" + f.Name;
        if (!std::filesystem::exists(path) && !testkit::MakeFilm(f, path)) return 1;
        const TDetectResult r = DetectFilmArea(path, {}, {}, {}, nullptr);
        std::printf("| %s | %s | %s | %s |\n", f.Name.c_str(), Text(f.Picture).c_str(),
                    Text(r.Area).c_str(), CropDetect(path).c_str());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3) {
        const std::string what = argv[1];
        if (what == "detect") return Detect(argv[2]);
        if (what == "seek") return Seek(argv[2]);
        if (what == "times") return Times(argv[2]);
        if (what == "films") return Films(argv[2]);
    }
    std::cerr << "usage: tarvex_preview_bench detect|seek|times FILM, or films DIR\n";
    return 2;
}
