// The per-disc budget: which average video bitrate fills one disc, and how large
// the disc image becomes for a given video bitrate.
#pragma once

#include <cstdint>

namespace tarvex {

/// Blocks a DVD subtitle picture takes in the image: enough for two full lines.
inline constexpr int SubtitleBlocksPerPicture = 4;

/// The player's stream-rate limits (bps) the budget keeps the multiplexed stream within.
struct TStreamRateLimits {
    std::int32_t Low = 0;
    std::int32_t High = 0;
};

/// The film frames of a GOP that shows at most `shownFrames` frames when the film is
/// shown with 3:2 pulldown (two or three fields a film frame): whole groups of three
/// as the encoder makes them, at least one frame.
int PulldownGopLength(int shownFrames);

/// The budget of one disc. Everything is per disc: a film spread over several
/// discs is divided by the caller before its frames and subtitles reach here.
///
/// Fields are public because the window reads the results directly and writes
/// the inputs that nothing else depends on (the disc type and blocks, the menu
/// and extra blocks, the safety margin and the player-rate limits).
/// Setters compare first and do nothing when the value is unchanged. The
/// computations throw FloatError on a division by a zero duration, frame rate,
/// sector size or payload; whatever was stored before the failing step stays.
class TCDImage {
  public:
    std::uint32_t VideoRate = 0;      ///< bps; whole kbps after ComputeVideoRate
    std::uint32_t ExactVideoRate = 0; ///< bps that fills the disc, before the cut to kbps
    std::int64_t UncutVideoRate = 0;  ///< ExactVideoRate before the cut to 32 bits
    std::int32_t MinVideoRate = 0;    ///< lowest video bps within the player's stream rate
    std::int32_t MaxVideoRate = 0;    ///< highest video bps within the player's stream rate
    std::uint32_t Audio1Rate = 0;     ///< bps
    std::uint32_t Audio2Rate = 0;     ///< bps, 0 when there is no second stream
    double Duration = 0;              ///< seconds, Frames / FrameRate
    std::int8_t AuthoringMode = 0;
    std::int8_t MuxMode = 0;
    std::uint8_t GOPLength = 0;
    std::uint32_t Frames = 0;
    float FrameRate = 0;
    std::uint32_t IFrames = 0; ///< GOPs on this disc
    bool Pulldown = false;     ///< film shown with 3:2 pulldown: GOPLength counts frames shown
    bool SceneDetect = false;  ///< 3.5 % more GOPs
    bool ScanOffsets = false;  ///< 18 bytes per GOP
    bool SeqAligning = false;  ///< half a video payload per GOP after the first
    bool AC3Audio = false;
    std::uint8_t AddMatrices = 0; ///< quantiser matrices, 64 bytes each per GOP
    std::uint16_t AudioFirstPayload = 0;
    std::uint16_t AudioPayload = 0;
    std::uint16_t VideoFirstPayload = 0;
    std::uint16_t VideoGopPayload = 0;
    std::uint16_t VideoPayload = 0;
    std::uint16_t SectorSize = 0;    ///< user-data bytes per block
    std::uint32_t ExtraSectors = 0;  ///< blocks the multiplexer adds besides audio and video
    std::uint32_t SeqAlignBytes = 0; ///< bytes lost to sequence-header alignment
    std::uint32_t ScanOffsetBytes = 0;
    std::uint32_t MatrixBytes = 0;
    std::uint8_t PictureStampBytes = 0; ///< time stamps the multiplexer writes per picture
    std::uint32_t StampBytes = 0;       ///< PictureStampBytes for every frame
    std::uint16_t SubtitlePics = 0;
    std::uint32_t BMPSubSize = 0; ///< KB of subtitle bitmaps
    std::uint32_t SubtitleStreamBytes = 0;
    std::int64_t StreamBytes =
        0; ///< video bytes after ComputeVideoRate, whole stream after ComputeImage
    std::uint32_t MuxOverhead = 0;
    // What the last ComputeImage put into the stream besides MuxOverhead, in bytes:
    // the video with its per-GOP additions, the subtitles and each audio stream.
    std::int64_t ImageVideoBytes = 0;
    std::int64_t ImageSubtitleBytes = 0;
    std::int64_t ImageAudio1Bytes = 0;
    std::int64_t ImageAudio2Bytes = 0;
    std::uint32_t MenuBlocks = 0;
    std::uint32_t ExtraBlocks = 0;
    bool ExtraBlocksMode2324 = false; ///< read by the window only
    std::uint32_t AuthoringReserve = 0;
    std::uint32_t AuthoringOverhead = 0;
    std::uint32_t StreamSpace = 0;      ///< blocks for the multiplexed stream, safety included
    std::int64_t SignedStreamSpace = 0; ///< StreamSpace before the cut to 32 bits
    bool VideoFits = true; ///< audio and overheads leave room, after a successful ComputeVideoRate
    std::uint32_t BlocksUsable = 0;
    std::uint32_t ImageBlocks = 0;
    std::int32_t UnusedBlocks = 0; ///< negative when the image does not fit
    std::int32_t Safety = 0;
    std::int8_t CDType = 0;
    // Player stream-rate limits in kbps, for display only.
    std::int32_t PlayerRateDVDMin = 0;
    std::int32_t PlayerRateDVDMax = 0;
    std::int32_t PlayerRateSVCDMin = 0;
    std::int32_t PlayerRateSVCDMax = 0;
    std::int32_t PlayerRateDVDonCDMin = 0;
    std::int32_t PlayerRateDVDonCDMax = 0;

    /// 25 fps, GOP length 15, 60 s, 2324-byte sectors, authoring mode 0.
    /// The payloads stay 0 until the first SetMuxMode.
    TCDImage();

    void SetVideoRate(std::uint32_t value);
    void SetAudio1Rate(std::uint32_t value);
    /// Does not re-derive the layout; the next SetMuxMode counts the extra block.
    void SetAudio2Rate(std::uint32_t value);
    void SetGOPLength(std::uint8_t value); ///< 0 is ignored
    void SetSceneDetect(bool value);
    void SetPulldown(bool value);
    void SetFrames(std::uint32_t value); ///< 0 is ignored
    void SetFrameRate(float value);      ///< 0 is ignored; IFrames kept
    void SetScanOffsets(bool value);
    void SetSeqAligning(bool value);
    void SetAC3Audio(bool value);
    void SetAddMatrices(std::uint8_t value);
    /// Recomputes IFrames and the per-GOP byte counts.
    void UpdateGopOverheads();
    /// Derives the packet layout; always evaluated, also for the current mode.
    void SetMuxMode(std::int8_t value);
    void SetSubtitlePics(std::uint16_t value);
    /// Bytes of a DVD's subtitle pictures in its image, in whole blocks.
    std::int64_t DvdSubtitleBytes() const;
    void SetBMPSubSize(std::uint32_t value);
    void SetAuthoringMode(std::int8_t value);

    /// The limits ComputeVideoRate uses for the current layout and disc type.
    TStreamRateLimits StreamRateLimits() const;
    /// Sets AuthoringOverhead from the authoring mode, menus and duration.
    void ComputeAuthoringOverhead();
    /// Sets StreamSpace, StreamBytes, ExactVideoRate, VideoRate, MinVideoRate, MaxVideoRate
    /// and VideoFits.
    void ComputeVideoRate();
    /// Sets StreamBytes, MuxOverhead, ImageBlocks and UnusedBlocks for VideoRate, using
    /// StreamSpace from the last ComputeVideoRate.
    void ComputeImage();
};

} // namespace tarvex
