// Reads a made disc image back the way a player does and compares what it finds
// with the plan: libdvdread (through lsdvd) opens a DVD image, the VCD reader
// (vcdxrip) takes the tracks out of a VCD or SVCD image, and ffprobe describes the
// streams read back.
#pragma once

#include "disc/DiscJob.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

/// One stream as ffprobe describes it.
struct TProbedStream {
    std::string Type; ///< "video", "audio", "data"
    std::string Codec;
    int Width = 0;
    int Height = 0;
    std::string Aspect; ///< display aspect, "16:9"
    std::string FieldOrder;
    int SampleRate = 0;
    int Channels = 0;
    std::int64_t Packets = 0;      ///< coded pictures of a video stream
    std::int64_t ShownFields = -1; ///< fields a player shows of the video; -1: not counted
};

/// What libdvdread makes of a DVD image.
struct TDvdTitle {
    bool Opened = false; ///< a title was listed
    double Seconds = 0;  ///< playing time of the first title
};

/// What was read back of one image.
struct TReadBack {
    std::vector<std::string> Found; ///< for the report, a line each
    std::string Difference;         ///< empty when the image holds what the plan asks for
};

/// The streams of ffprobe's "-of default" output with "-show_entries stream=...".
std::vector<TProbedStream> ParseProbe(const std::vector<std::string>& lines);

/// The first title of lsdvd's listing ("Title: 01, Length: 00:01:02.500 ...").
TDvdTitle ParseLsdvd(const std::vector<std::string>& lines);

/// Compares the streams read back (and for a DVD its title) with the plan.
TReadBack CompareReadBack(const TExpectedDisc& expected, const std::vector<TProbedStream>& streams,
                          const TDvdTitle* dvd);

/// Where the readers run and what they are told.
struct TReadBackContext {
    std::string WorkDir;    ///< the made image is in it; the tracks read back go there too
    std::string SearchPath; ///< where the readers are looked up
    const std::atomic<bool>* Cancel = nullptr;
    std::function<void(std::string_view)> Log; ///< every command and what it said
};

/// The readers a disc of `format` needs.
std::vector<std::string> ReadBackTools(TDiscFormat format);

/// Reads the image of `part` back and compares it with the plan. A reader that
/// cannot run or fails is a difference too.
TReadBack ReadBackImage(TDiscFormat format, const TDiscPart& part, const TReadBackContext& context);

} // namespace tarvex
