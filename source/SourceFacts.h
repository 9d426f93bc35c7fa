// Facts about a source beyond the resize model's source fields: the exact frame
// rate, the pixel and picture shapes, the field order and the codec.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

/// Which field of an interlaced frame is shown first.
enum class TFieldOrder { Unknown, Progressive, TopFirst, BottomFirst };

/// A fraction; 0/0 stands for "not known".
struct TRatio {
    std::int64_t Num = 0;
    std::int64_t Den = 0;

    bool Known() const { return Num > 0 && Den > 0; }
    /// The fraction in lowest terms (unknown stays 0/0).
    TRatio Reduced() const;
    bool operator==(const TRatio&) const = default;
};

/// The picture shape of a `width` x `height` frame whose pixels have the shape
/// `sample` (pixel width / height), in lowest terms; unknown when any part is.
TRatio DisplayAspectOf(std::int64_t width, std::int64_t height, TRatio sample);

/// The MPEG aspect code that describes a frame with pixel shape `sample`: 1 for
/// square pixels, 2, 3 or 4 for a picture of about 4:3, 16:9 or 2.21:1 made of
/// other pixels, 0 when the shape is unknown or none of these.
std::uint8_t AspectCodeOf(std::int64_t width, std::int64_t height, TRatio sample);

/// `text` with the letters a to z made capitals.
std::string UpperAscii(std::string text);

/// The four-character code shown for a codec of libavcodec's name: "MPG1" and
/// "MPG2" for MPEG video, else the name in capitals ("H264", "HEVC").
std::string FourCCOfCodec(const std::string& codec);

struct TSourceFacts {
    TRatio FrameRate;     ///< frames per second
    TRatio SampleAspect;  ///< pixel width / height
    TRatio DisplayAspect; ///< picture width / height
    TFieldOrder FieldOrder = TFieldOrder::Unknown;
    std::string Codec; ///< codec name, for example "h264" or "mpeg2video"
    /// The frame count was worked out from the duration and the rate, not counted.
    bool FrameCountEstimated = false;
    bool operator==(const TSourceFacts&) const = default;
};

} // namespace tarvex
