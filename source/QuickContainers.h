// What the hand readers of Matroska, MP4 and transport-stream files share: how
// far they read, the picture a codec's own headers describe, and the step that
// puts a container's and a codec's facts together.
#pragma once

#include "source/BinaryFile.h"
#include "source/MediaProbe.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

namespace tarvex::quick {

using TBytes = std::span<const unsigned char>;

// A header section is read whole up to this size.
constexpr std::size_t MaxSection = 1 << 20;
// More boxes or elements at one level than any real file has.
constexpr int MaxItems = 4096;

/// `count` bytes of `d` from `at` on as a big-endian number; the caller keeps
/// them inside `d`.
std::uint64_t BigEndian(TBytes d, std::size_t at, std::size_t count);

/// The picture a codec's own headers describe.
struct TCodecView {
    std::string Name; ///< libavcodec's name
    int Width = 0;
    int Height = 0;
    TRatio SampleAspect;
    TRatio FrameRate;
    TFieldOrder FieldOrder = TFieldOrder::Unknown;
};

/// An H.264 or HEVC stream of progressive frames only; anything that may hold
/// fields needs the full probe to tell its field order. An H.264 set that rules
/// fields out makes the stream progressive; an HEVC set says nothing of the
/// order, which only its container may state.
std::optional<TCodecView> H264View(TBytes spsNal);
std::optional<TCodecView> HevcView(TBytes spsNal);
/// MPEG-1 or MPEG-2 video from the bytes starting at its sequence header.
std::optional<TCodecView> MpegView(TBytes stream);

/// The order of a frame's two fields from a container's code for it: the codes
/// in `top` show the top field first, those in `bottom` the bottom one; any other
/// code leaves it unknown.
inline TFieldOrder FieldOrderOfCode(std::uint64_t code, std::initializer_list<std::uint64_t> top,
                                    std::initializer_list<std::uint64_t> bottom) {
    if (std::ranges::count(top, code)) return TFieldOrder::TopFirst;
    return std::ranges::count(bottom, code) ? TFieldOrder::BottomFirst : TFieldOrder::Unknown;
}

/// The best fraction with both terms up to `max`.
TRatio Approximate(std::int64_t num, std::int64_t den, std::int64_t max);

/// Puts the container's and the codec's facts together; a known `sampleAspect`
/// overrides the codec's. False when the picture or the rate is unknown or the
/// frame count out of range.
bool Finish(const TCodecView& v, TRatio sampleAspect, TRatio rate, std::int64_t frames,
            bool estimated, const std::string& fourCC, TMediaInfo& info);

// Each reads a file of its container; false when the file is another kind or
// its headers leave something open.
bool ReadMatroska(TBinaryFile& file, TMediaInfo& info);
bool ReadMp4(TBinaryFile& file, TMediaInfo& info);
bool ReadTransportStream(TBinaryFile& file, TMediaInfo& info);

} // namespace tarvex::quick
