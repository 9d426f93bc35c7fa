#include "budget/Imaging.h"

#include "common/Numeric.h"

#include <algorithm>

namespace tarvex {

namespace {

/// One packet layout of a multiplexer: block size, the header bytes of each kind
/// of pack, and the whole blocks it adds besides audio and video packs.
struct MuxLayout {
    std::uint16_t SectorSize;
    std::uint16_t FirstVideoHeader;
    std::uint16_t GopVideoHeader;
    std::uint16_t VideoHeader;
    std::uint16_t FirstAudioHeader;
    std::uint16_t AudioHeader;
    std::uint32_t ExtraSectors;
    /// Time stamp bytes per picture beyond what the headers above hold: the rows
    /// measured for ffmpeg count the packs' own headers alone, so that they hold at
    /// any rate.
    std::uint8_t PictureStamps;
};

/// Modes of the rows measured for ffmpeg's multiplexers, appended after the DVD row.
constexpr std::int8_t VcdFfmpeg = 6, SvcdFfmpeg = 7, DvdFfmpeg = 8;

bool IsDvdLayout(std::int8_t mode) {
    return mode < 0 || mode == 5 || mode >= DvdFfmpeg;
}

MuxLayout LayoutFor(std::int8_t mode, std::uint32_t audio2Rate, bool ac3, std::uint32_t iFrames) {
    switch (mode) {
    case 0: // SVCD, I-Author: a second audio stream costs one more block
        return {2324, 33, 33, 33, 33, 33, audio2Rate != 0 ? 3u : 2u, 0};
    case 1: // SVCD, bbMPEG
    case 2: // SVCD, TMPGEnc
        return {2324, 36, 36, 36, 31, 31, 2, 0};
    case 3: // VCD, bbMPEG
        return {2324, 30, 30, 30, 45, 45, 3, 0};
    case 4: // VCD, TMPGEnc
        return {2324, 30, 30, 30, 45, 45, 2, 0};
    case VcdFfmpeg: // 20 zero bytes follow every audio packet
        return {2324, 22, 22, 22, 44, 44, 2, 0};
    case SvcdFfmpeg:
        return {2324, 25, 25, 25, 30, 30, 1, 6};
    case DvdFfmpeg: // a navigation pack per GOP and one more; the pack before each is padded out
        return {2048,        25, 25, 25, std::uint16_t(ac3 ? 33 : 29), std::uint16_t(ac3 ? 33 : 29),
                iFrames + 1, 6};
    default: // DVD VOBs: one navigation block per GOP
        return {2048,    36, 33, 23, std::uint16_t(ac3 ? 35 : 31), std::uint16_t(ac3 ? 32 : 28),
                iFrames, 0};
    }
}

std::uint16_t Payload(std::uint16_t sectorSize, std::uint16_t header) {
    return Store<std::uint16_t>(std::int64_t{sectorSize} - header);
}

/// Authoring blocks of a simple menu structure: 300 plus the menus, at least 301.
std::int64_t MenuBase(std::uint32_t menuBlocks) {
    return menuBlocks == 0 ? 301 : 300 + std::int64_t{menuBlocks};
}

} // namespace

int PulldownGopLength(int shownFrames) {
    // Each pair of film frames fills five fields, an odd frame at most three more.
    const int frames = shownFrames * 4 / 5;
    // The encoder starts GOPs only at whole groups of a reference frame and its two
    // B-frames; a GOP length between them would give shorter GOPs than counted.
    return frames >= 3 ? frames - frames % 3 : std::max(1, frames);
}

TCDImage::TCDImage() {
    SetFrameRate(25.0f);
    SetGOPLength(15);
    Duration = 60.0;
    SectorSize = 2324;
    AuthoringReserve = 238;
}

void TCDImage::SetVideoRate(std::uint32_t value) {
    if (value != VideoRate) VideoRate = value;
}

void TCDImage::SetAudio1Rate(std::uint32_t value) {
    if (value != Audio1Rate) Audio1Rate = value;
}

void TCDImage::SetAudio2Rate(std::uint32_t value) {
    if (value != Audio2Rate) Audio2Rate = value;
}

void TCDImage::SetGOPLength(std::uint8_t value) {
    if (value == 0 || value == GOPLength) return;
    GOPLength = value;
    UpdateGopOverheads();
}

void TCDImage::SetPulldown(bool value) {
    if (value == Pulldown) return;
    Pulldown = value;
    UpdateGopOverheads();
}

int TCDImage::CodedGOPLength() const {
    return Pulldown ? PulldownGopLength(GOPLength) : GOPLength;
}

void TCDImage::SetSceneDetect(bool value) {
    if (value == SceneDetect) return;
    SceneDetect = value;
    UpdateGopOverheads();
}

void TCDImage::SetFrames(std::uint32_t value) {
    if (value == 0 || value == Frames) return;
    Frames = value;
    Duration = ToDouble(Div(Frames, FrameRate));
    UpdateGopOverheads();
}

void TCDImage::SetFrameRate(float value) {
    if (value == FrameRate || value == 0.0f) return;
    FrameRate = value;
    Duration = ToDouble(Div(Frames, FrameRate));
}

void TCDImage::SetScanOffsets(bool value) {
    if (value == ScanOffsets) return;
    ScanOffsets = value;
    UpdateGopOverheads();
}

void TCDImage::SetSeqAligning(bool value) {
    if (value == SeqAligning) return;
    SeqAligning = value;
    UpdateGopOverheads();
}

void TCDImage::SetAC3Audio(bool value) {
    if (value == AC3Audio) return;
    AC3Audio = value;
    SetMuxMode(MuxMode);
}

void TCDImage::SetAddMatrices(std::uint8_t value) {
    if (value == AddMatrices) return;
    AddMatrices = value;
    UpdateGopOverheads();
}

void TCDImage::UpdateGopOverheads() {
    Real gops = Div(Frames, CodedGOPLength());
    if (SceneDetect) gops = gops * 1.035L;
    IFrames = Store<std::uint32_t>(CeilInt64(gops));

    ScanOffsetBytes = ScanOffsets ? Store<std::uint32_t>(std::int64_t{IFrames} * 18) : 0;

    if (SeqAligning) {
        // The product is a 32-bit signed value; with no GOP at all it is negative.
        const auto lost = Store<std::int32_t>((std::int64_t{IFrames} - 1) * VideoPayload);
        SeqAlignBytes = Store<std::uint32_t>(Round(static_cast<Real>(lost) * 0.5L));
    } else {
        SeqAlignBytes = 0;
    }

    MatrixBytes = Store<std::uint32_t>(std::int64_t{AddMatrices} * 64 * IFrames);
    StampBytes = Store<std::uint32_t>(std::int64_t{PictureStampBytes} * Frames);

    // The DVD layout spends one block per GOP, so its extra blocks follow IFrames.
    // The nested call finds the layout in place and stops there.
    if (IsDvdLayout(MuxMode)) SetMuxMode(MuxMode);
}

void TCDImage::SetMuxMode(std::int8_t value) {
    MuxMode = value;
    const MuxLayout row = LayoutFor(value, Audio2Rate, AC3Audio, IFrames);
    const std::uint16_t videoFirst = Payload(row.SectorSize, row.FirstVideoHeader);
    const std::uint16_t videoGop = Payload(row.SectorSize, row.GopVideoHeader);
    const std::uint16_t video = Payload(row.SectorSize, row.VideoHeader);
    const std::uint16_t audioFirst = Payload(row.SectorSize, row.FirstAudioHeader);
    const std::uint16_t audio = Payload(row.SectorSize, row.AudioHeader);

    if (SectorSize == row.SectorSize && VideoFirstPayload == videoFirst &&
        VideoGopPayload == videoGop && VideoPayload == video && AudioFirstPayload == audioFirst &&
        AudioPayload == audio && ExtraSectors == row.ExtraSectors &&
        PictureStampBytes == row.PictureStamps)
        return;

    SectorSize = row.SectorSize;
    VideoFirstPayload = videoFirst;
    VideoGopPayload = videoGop;
    AudioFirstPayload = audioFirst;
    AudioPayload = audio;
    ExtraSectors = row.ExtraSectors;
    if (PictureStampBytes != row.PictureStamps) {
        PictureStampBytes = row.PictureStamps;
        StampBytes = Store<std::uint32_t>(std::int64_t{PictureStampBytes} * Frames);
    }
    if (VideoPayload != video) {
        VideoPayload = video;
        UpdateGopOverheads(); // the alignment loss is counted in video payloads
    }
}

std::int64_t TCDImage::DvdSubtitleBytes() const {
    // Whole blocks of their own: spumux packs each picture apart. Measured at 720 x 576
    // and 720 x 480 with the 26-point font: 2 blocks for a word or a short line, 3.2
    // for two lines of 6 words, 4 for two lines of 9 words.
    return std::int64_t{SubtitlePics} * SubtitleBlocksPerPicture * 2048;
}

void TCDImage::SetSubtitlePics(std::uint16_t value) {
    if (value == SubtitlePics) return;
    SubtitlePics = value;
    // A picture is 9627 bytes as a bitmap and a 2.5th of that in the stream.
    BMPSubSize = Store<std::uint32_t>(Round(static_cast<Real>(value) * 9627 / 1024));
    SubtitleStreamBytes = Store<std::uint32_t>(Ceil(static_cast<Real>(BMPSubSize) / 2.5L * 1024));
}

void TCDImage::SetBMPSubSize(std::uint32_t value) {
    if (value == BMPSubSize) return;
    BMPSubSize = value;
    // Any 32-bit size must be taken: the field keeps the low 32 bits, as it
    // does for every other result, rather than failing half-way.
    SubtitleStreamBytes = Store<std::uint32_t>(CeilInt64(static_cast<Real>(value) / 2.5L * 1024));
    SubtitlePics = Store<std::uint16_t>(Round(static_cast<Real>(value) * 1024 / 9627));
}

void TCDImage::SetMenuBlocks(std::uint32_t value) {
    if (value != MenuBlocks) MenuBlocks = value;
}

void TCDImage::SetExtraBlocks(std::uint32_t value) {
    if (value != ExtraBlocks) ExtraBlocks = value;
}

void TCDImage::SetExtraBlocksMode2324(bool value) {
    if (value != ExtraBlocksMode2324) ExtraBlocksMode2324 = value;
}

void TCDImage::SetAuthoringMode(std::int8_t value) {
    if (value == AuthoringMode) return;
    AuthoringMode = value;
    AuthoringReserve = value == 0 || value == 1   ? 238
                       : value == 2               ? 225
                       : value == 3 || value == 5 ? 150
                                                  : 0;
}

void TCDImage::SetBlocksUsable(std::uint32_t value) {
    if (value != BlocksUsable) BlocksUsable = value;
}

void TCDImage::SetSafety(std::int32_t value) {
    if (value != Safety) Safety = value;
}

void TCDImage::ComputeAuthoringOverhead() {
    const std::int64_t menus = MenuBlocks;
    const Real seconds = Duration;
    std::int64_t blocks;
    switch (AuthoringMode) {
    case 0:
        blocks = MenuBase(MenuBlocks);
        break;
    case 1:
        blocks = MenuBase(MenuBlocks) + Ceil((seconds * 3 * 2 + 24 + 60) / 2048);
        break;
    case 2:
        blocks = 225 + menus + 25 + (Ceil((seconds * 3 * 2 + 14) / 2048 + 2) + 1) + 153;
        if (blocks < 600) blocks = 600;
        break;
    case 3:
        blocks = 225 + menus + Ceil((seconds * 3 * 2 + 24) / 2048) + 3 + 150;
        break;
    case 5: // vcdimager's VCD 2.0: a fixed file system and track gaps
        blocks = 525 + menus;
        break;
    case 6: {
        // dvdauthor and genisoimage: a fixed UDF and ISO 9660 file system and menu
        // IFO; the title set's IFO and its backup hold a VOBU map (4 bytes a GOP)
        // and a time map (4 bytes a second, at most 2048 entries), each table in
        // whole sectors.
        const std::int64_t vobus = Ceil((static_cast<Real>(IFrames) * 4 + 4) / 2048);
        const std::int64_t times = Ceil((seconds < 2048 ? seconds : 2048) * 4 / 2048);
        blocks = 468 + 2 * (vobus + times) + menus / 2;
        break;
    }
    default:
        blocks = 450 + menus / 2;
        break;
    }
    AuthoringOverhead = Store<std::uint32_t>(blocks);
}

TStreamRateLimits TCDImage::StreamRateLimits() const {
    if (SectorSize != 2048) return {1395000, 2788000};
    // DVD layouts: on a CD (miniDVD) the drive reads far slower than from a DVD.
    return CDType <= 4 ? TStreamRateLimits{1229000, 4915000} : TStreamRateLimits{2458000, 9800000};
}

void TCDImage::ComputeVideoRate() {
    SignedStreamSpace =
        std::int64_t{BlocksUsable} - AuthoringOverhead - ExtraBlocks - AuthoringReserve;
    StreamSpace = Store<std::uint32_t>(SignedStreamSpace);
    std::int64_t blocks = std::int64_t{StreamSpace} - Safety;

    // Each audio stream carries 4 bytes beyond its data; a stream that fits into
    // its first pack takes one pack.
    const auto audioBytes = [this](std::uint32_t rate) {
        return CeilInt64(static_cast<Real>(rate) / 8 * Duration + 4);
    };
    const auto audioPacks = [this](std::int64_t bytes) -> std::int64_t {
        if (bytes == 0) return 0;
        Real rest = Div(bytes - AudioFirstPayload, AudioPayload);
        if (rest < 0) rest = 0;
        return 1 + CeilInt64(rest);
    };
    const std::int64_t audio1 = audioBytes(Audio1Rate);
    const std::int64_t audio2 = Audio2Rate != 0 ? audioBytes(Audio2Rate) : 0;
    blocks = blocks - audioPacks(audio1) - audioPacks(audio2) - ExtraSectors;

    const std::int64_t subtitles =
        SectorSize == 2048 ? DvdSubtitleBytes() : std::int64_t{SubtitleStreamBytes};
    const std::int64_t video =
        blocks * VideoPayload - (std::int64_t{VideoPayload} - VideoFirstPayload) -
        (std::int64_t{VideoPayload} - VideoGopPayload) * IFrames - ScanOffsetBytes - subtitles -
        SeqAlignBytes - MatrixBytes - StampBytes - 4;
    StreamBytes = video;

    UncutVideoRate = FloorInt64(Div(video, Duration) * 8);
    ExactVideoRate = Store<std::uint32_t>(UncutVideoRate);
    VideoRate = ExactVideoRate / 1000 * 1000;

    // What the player's stream-rate limits leave for video, as elementary rates.
    double audio =
        ToDouble(Div(Store<std::uint32_t>(std::int64_t{SectorSize} * Audio1Rate), AudioPayload));
    if (Audio2Rate != 0)
        audio = ToDouble(
            audio + Div(Store<std::uint32_t>(std::int64_t{SectorSize} * Audio2Rate), AudioPayload));
    const double matrices =
        ToDouble(Div(static_cast<Real>(std::int64_t{MatrixBytes} + StampBytes) * 8, Duration));
    double align = ToDouble(Div(static_cast<Real>(SeqAlignBytes) * 8, Duration));
    const double scan = ToDouble(Div(static_cast<Real>(ScanOffsetBytes) * 8, Duration));
    double gop;
    double subs;
    const TStreamRateLimits limits = StreamRateLimits();
    if (SectorSize == 2048) {
        align = ToDouble(align + Div(static_cast<Real>(IFrames) * VideoPayload * 8, Duration));
        gop = ToDouble(
            Div(static_cast<Real>(std::int64_t{VideoPayload} - VideoGopPayload) * IFrames * 8,
                Duration));
        subs = ToDouble(Div(static_cast<Real>(DvdSubtitleBytes()) * 8, Duration));
    } else {
        gop = 0;
        subs = ToDouble(Div(static_cast<Real>(SubtitleStreamBytes) * 8, Duration));
    }

    const auto videoShare = [&](Real limit) {
        double r = ToDouble(limit - audio);
        for (const double part : {gop, align, subs, scan, matrices}) r = ToDouble(r - part);
        return ToDouble(Div(r, SectorSize) * VideoPayload);
    };
    MaxVideoRate = Floor(videoShare(limits.High));
    MinVideoRate = Ceil(videoShare(limits.Low));
    VideoFits = StreamBytes >= 0 && SignedStreamSpace >= 0;
}

void TCDImage::ComputeImage() {
    const bool dvd = SectorSize == 2048;
    std::int64_t video = CeilInt64(static_cast<Real>(VideoRate) / 8 * Duration) + 4 +
                         ScanOffsetBytes + (dvd ? 0 : std::int64_t{SubtitleStreamBytes}) +
                         SeqAlignBytes + MatrixBytes + StampBytes;
    std::int64_t videoPacks =
        CeilInt64(Div(video + (std::int64_t{VideoPayload} - VideoFirstPayload) +
                          (std::int64_t{VideoPayload} - VideoGopPayload) * IFrames,
                      VideoPayload));
    if (dvd) {
        videoPacks += DvdSubtitleBytes() / 2048;
        video += DvdSubtitleBytes();
    }
    const std::int64_t videoOverhead = videoPacks * SectorSize - video;

    std::int64_t audioOverhead = 0;
    const auto audioStream = [&](std::uint32_t rate) -> std::int64_t {
        const std::int64_t bytes = CeilInt64(static_cast<Real>(rate) / 8 * Duration) + 4;
        const std::int64_t packs =
            CeilInt64(Div(bytes + AudioPayload - std::int64_t{AudioFirstPayload}, AudioPayload));
        audioOverhead += packs * SectorSize - bytes;
        return bytes;
    };
    const std::int64_t audio1 = audioStream(Audio1Rate);
    const std::int64_t audio2 = Audio2Rate != 0 ? audioStream(Audio2Rate) : 0;

    MuxOverhead = Store<std::uint32_t>(videoOverhead + audioOverhead +
                                       std::int64_t{SectorSize} * ExtraSectors);
    StreamBytes = std::int64_t{MuxOverhead} + video + audio1 + audio2;
    ImageSubtitleBytes = dvd ? DvdSubtitleBytes() : SubtitleStreamBytes;
    ImageVideoBytes = video - ImageSubtitleBytes;
    ImageAudio1Bytes = audio1;
    ImageAudio2Bytes = audio2;
    const std::int64_t blocks = CeilInt64(Div(StreamBytes, SectorSize));
    UnusedBlocks = Store<std::int32_t>(std::int64_t{StreamSpace} - blocks);
    ImageBlocks = Store<std::uint32_t>(std::int64_t{BlocksUsable} - UnusedBlocks);
}

} // namespace tarvex
