#include "source/Tracks.h"

#include "common/Module.h"
#include "source/AvTracks.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace tarvex {

namespace {

namespace fs = std::filesystem;

std::string Text(const char* field, std::size_t size) {
    return std::string(field, ::strnlen(field, size));
}

/// A subtitle file larger than this is not read; a film's lines are far fewer.
constexpr std::uintmax_t MaxSubtitleFile = 16 * 1024 * 1024;

/// The cues of an SRT file: its lines with a time arrow.
std::int64_t SrtCues(const fs::path& file) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > MaxSubtitleFile) return -1;
    std::ifstream in(file, std::ios::binary);
    std::int64_t cues = 0;
    std::string line;
    while (std::getline(in, line))
        if (line.find("-->") != std::string::npos) ++cues;
    return cues;
}

void Convert(const TAvTracksResult& r, TSourceTracks& tracks) {
    tracks = {};
    const int count = std::clamp(r.TrackCount, 0, AvMaxTracks);
    for (int i = 0; i < count; ++i) {
        const TAvTrack& t = r.Tracks[i];
        const std::string language = Text(t.Language, sizeof t.Language);
        const std::string codec = Text(t.Codec, sizeof t.Codec);
        if (t.Kind == AvTrackAudio)
            tracks.Sound.push_back({t.Index, language, codec, std::max(t.Channels, 0)});
        else
            tracks.Subtitles.push_back({.Index = t.Index,
                                        .File = {},
                                        .Language = language,
                                        .Codec = codec,
                                        .Pictures = t.Kind == AvTrackPictureSub,
                                        .Events = t.Events,
                                        .Bytes = t.Bytes});
    }
    const int chapters = std::clamp(r.ChapterCount, 0, AvMaxChapters);
    for (int i = 0; i < chapters; ++i)
        tracks.Chapters.push_back({static_cast<double>(r.Chapters[i].StartMs) / 1000,
                                   Text(r.Chapters[i].Title, sizeof r.Chapters[i].Title)});
    std::stable_sort(
        tracks.Chapters.begin(), tracks.Chapters.end(),
        [](const TChapterMark& a, const TChapterMark& b) { return a.Start < b.Start; });
}

} // namespace

bool ReadTracks(const std::string& path, TSourceTracks& tracks, std::string& reason,
                std::int64_t countLimitUs) {
    const auto function = reinterpret_cast<TAvTracksFunction>(
        LoadModuleSymbol("libtarvex_avprobe.so", TARVEX_AVPROBE_PATH, AvTracksSymbol, reason));
    if (!function) return false;
    // Too large for the stack of a window's thread.
    const auto result = std::make_unique<TAvTracksResult>();
    if (function(path.c_str(), countLimitUs, result.get()) != 0) {
        reason = Text(result->Reason, sizeof result->Reason);
        return false;
    }
    Convert(*result, tracks);
    reason.clear();
    return true;
}

void AddSubtitleFile(const std::string& film, TSourceTracks& tracks) {
    const fs::path path(film);
    const std::string stem = path.stem().string();
    std::error_code error;
    fs::directory_iterator entries(path.parent_path().empty() ? "." : path.parent_path(), error);
    // A folder of thousands of files is not searched to its end.
    int seen = 0;
    for (; !error && entries != fs::directory_iterator() && seen < 5000;
         entries.increment(error), ++seen) {
        const fs::path file = entries->path();
        const std::string name = file.filename().string();
        if (file.extension() != ".srt" || name.rfind(stem + ".", 0) != 0) continue;
        // "film.srt" has no language; "film.de.srt" or "film.deu.srt" has one.
        const std::string middle = name.substr(stem.size() + 1, name.size() - stem.size() - 5);
        const bool language =
            middle.size() >= 2 && middle.size() <= 3 &&
            std::all_of(middle.begin(), middle.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        if (!middle.empty() && !language) continue;
        const std::int64_t cues = SrtCues(file);
        if (cues < 0) continue;
        tracks.Subtitles.push_back({.Index = -1,
                                    .File = fs::absolute(file).lexically_normal().string(),
                                    .Language = middle,
                                    .Codec = "subrip",
                                    .Pictures = false,
                                    .Events = cues,
                                    .Bytes = -1});
    }
}

std::int64_t SubtitlePictures(const TSourceTracks& tracks) {
    std::int64_t pictures = 0;
    for (const TSubtitleTrack& s : tracks.Subtitles)
        pictures += std::max<std::int64_t>(s.Events, 0);
    return pictures;
}

} // namespace tarvex
