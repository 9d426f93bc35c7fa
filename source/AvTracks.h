// The boundary between the source reader and the probe library for what a film
// carries besides its picture: chapters, sound tracks and subtitle streams. Plain
// C types only, with fixed room, so neither side allocates for the other.
#pragma once

#include <cstdint>

extern "C" {

/// What a stream of the film is, for the disc maker.
enum TAvTrackKind : std::int32_t { AvTrackAudio = 0, AvTrackTextSub = 1, AvTrackPictureSub = 2 };

/// One sound or subtitle stream.
struct TAvTrack {
    std::int32_t Kind;     ///< a TAvTrackKind value
    std::int32_t Index;    ///< the stream's number among its kind (ffmpeg's a:N or s:N)
    std::int32_t Channels; ///< sound only; 0 when unknown
    std::int64_t Events;   ///< subtitles: the pictures or lines counted; -1 when not counted
    std::int64_t Bytes;    ///< subtitles: their packets' bytes; -1 when not counted
    char Language[8];      ///< ISO 639 code, NUL-terminated; empty when unknown
    char Codec[32];        ///< libavcodec's name, NUL-terminated
};

struct TAvChapter {
    std::int64_t StartMs;
    char Title[64]; ///< NUL-terminated; empty when the chapter has none
};

inline constexpr int AvMaxTracks = 40;
inline constexpr int AvMaxChapters = 200;

struct TAvTracksResult {
    std::int32_t TrackCount;
    TAvTrack Tracks[AvMaxTracks];
    std::int32_t ChapterCount;
    TAvChapter Chapters[AvMaxChapters];
    std::int64_t DurationMs; ///< -1 when unknown
    char Reason[256];        ///< why the probe failed, NUL-terminated
};

/// Lists the tracks and chapters of `path`, counting the subtitle packets for at
/// most `countLimitUs` microseconds of wall-clock time; 0 on success.
using TAvTracksFunction = int (*)(const char* path, std::int64_t countLimitUs,
                                  TAvTracksResult* result);

inline constexpr const char* AvTracksSymbol = "tarvex_avtracks_v1";
}
