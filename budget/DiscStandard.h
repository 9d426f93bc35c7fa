// What each disc format allows a stream to be, and what in a plan breaks it.
// Numbers only; the window words them.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvex {

/// The kinds of disc a player tells apart: MPEG-1 on a CD, MPEG-2 on a CD, DVD-Video.
enum class TDiscFamily { VCD, SVCD, DVD };

struct TPictureSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TPictureSize&) const = default;
};

/// What a player of one disc family and television system accepts.
struct TDiscStandard {
    TDiscFamily Family = TDiscFamily::DVD;
    bool Pal = true;
    std::vector<TPictureSize> Pictures; ///< the frame sizes it shows
    std::vector<double> FrameRates;     ///< frames per second in the sequence header
    int MaxGop = 15;                    ///< frames from one I-frame to the next
    std::uint32_t MaxVideoRate = 0;     ///< bps
    bool ConstantVideoRate = false;     ///< the video runs at exactly MaxVideoRate
    std::uint32_t VbvBufferBits = 0;    ///< the decoder's video buffer
    std::uint32_t MaxMuxRate = 0;       ///< bps of the multiplexed stream
    std::uint32_t VideoBufferBytes = 0; ///< the system header's video buffer
    std::uint32_t SampleRate = 0;       ///< Hz of every sound stream
    int MaxAudioStreams = 1;
    std::vector<int> MpegAudioKbps; ///< rates of MPEG-1 Layer II sound; empty: none allowed
    std::vector<int> Ac3Kbps;       ///< rates of AC-3 sound; empty: none allowed
    bool NeedsAc3 = false;          ///< one stream at least must be AC-3 (or LPCM)
};

/// The standard of a family on a PAL (25 fps) or NTSC (29.97 fps) disc.
const TDiscStandard& DiscStandard(TDiscFamily family, bool pal);

/// The stream a plan makes, as the disc maker would encode it.
struct TStreamPlan {
    std::int8_t MuxMode = 0;
    std::int8_t AuthoringMode = 0;
    bool Pal = true;
    TPictureSize Picture;
    double FrameRate = 25; ///< of the disc
    int GOPLength = 15;
    std::uint32_t VideoRate = 0; ///< bps
    bool AC3 = false;
    std::uint32_t Audio1Rate = 0; ///< bps
    std::uint32_t Audio2Rate = 0; ///< bps, 0 without a second stream
};

enum class TComplianceIssue {
    FamiliesDiffer,   ///< multiplexing for Family, authoring for Value's family
    PictureSize,      ///< Value x Limit is no picture of the family
    FrameRate,        ///< Value thousandths of frames per second
    GopTooLong,       ///< Value frames, Limit the longest
    VideoNotConstant, ///< Value bps, Limit the one rate allowed
    VideoAboveMax,    ///< Value bps above Limit
    Ac3NotAllowed,    ///< AC-3 sound on a disc without AC-3
    NeedsAc3,         ///< MPEG sound only where AC-3 (or LPCM) must be there
    AudioRate,        ///< stream Value at Limit bps, a rate the family does not take
    TooManyStreams,   ///< Value streams, Limit the most
};

struct TComplianceFinding {
    TComplianceIssue Issue;
    std::int64_t Value = 0;
    std::int64_t Limit = 0;
};

/// Every breach of the standard of the disc the multiplexing row makes, in the
/// order of the enumeration.
std::vector<TComplianceFinding> CheckCompliance(const TStreamPlan& plan);

} // namespace tarvex
