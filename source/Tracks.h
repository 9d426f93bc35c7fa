// What a film carries besides its picture: its chapters, sound tracks and
// subtitle streams, and a subtitle file beside it. Read through the probe
// library, which is loaded for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

struct TSoundTrack {
    int Index = 0;        ///< among the film's sound streams, from 0
    std::string Language; ///< ISO 639 code as the film says it; empty when unknown
    std::string Codec;
    int Channels = 0;
    bool operator==(const TSoundTrack&) const = default;
};

struct TSubtitleTrack {
    int Index = -1;       ///< among the film's subtitle streams; -1 for a file beside the film
    std::string File;     ///< the subtitle file beside the film, else empty
    std::string Language; ///< ISO 639 code; empty when unknown
    std::string Codec;
    bool Pictures = false;    ///< bitmaps (PGS, DVD, DVB) rather than text
    std::int64_t Events = -1; ///< pictures or lines; -1 when not counted
    std::int64_t Bytes = -1;
    bool operator==(const TSubtitleTrack&) const = default;
};

struct TChapterMark {
    double Start = 0; ///< seconds from the film's start
    std::string Title;
    bool operator==(const TChapterMark&) const = default;
};

struct TSourceTracks {
    std::vector<TChapterMark> Chapters; ///< in time order
    std::vector<TSoundTrack> Sound;
    std::vector<TSubtitleTrack> Subtitles;
    bool operator==(const TSourceTracks&) const = default;
};

/// Lists what `path` carries; false with a reason when the probe library cannot
/// read it. Subtitle packets are counted for at most `countLimitUs` microseconds.
bool ReadTracks(const std::string& path, TSourceTracks& tracks, std::string& reason,
                std::int64_t countLimitUs = 2'000'000);

/// Adds `film`'s subtitle file when one lies beside it ("film.srt" or
/// "film.LANG.srt" for the film "film.mkv"), with its lines counted.
void AddSubtitleFile(const std::string& film, TSourceTracks& tracks);

/// Subtitle pictures the disc gets from these tracks, every stream together.
std::int64_t SubtitlePictures(const TSourceTracks& tracks);

} // namespace tarvex
