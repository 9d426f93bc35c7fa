#include "budget/Imaging.h"

#include "budget/DiscRows.h"
#include "common/Numeric.h"

#include <algorithm>

namespace tarvex {

namespace {

std::uint16_t Payload(std::uint16_t sectorSize, std::uint16_t header) {
    return Store<std::uint16_t>(std::int64_t{sectorSize} - header);
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
    AuthoringReserve = AuthoringTraits(AuthoringMode).Reserve;
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
    // The frames the encoder puts into a GOP.
    const int codedGopLength = Pulldown ? PulldownGopLength(GOPLength) : GOPLength;
    Real gops = Div(Frames, codedGopLength);
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
    if (MuxTraits(MuxMode).Layout.SectorPerGop) SetMuxMode(MuxMode);
}

void TCDImage::SetMuxMode(std::int8_t value) {
    MuxMode = value;
    const TMuxLayout& row = MuxTraits(value).Layout;
    const int ac3 = AC3Audio ? row.Ac3HeaderExtra : 0;
    const std::uint16_t videoFirst = Payload(row.SectorSize, row.FirstVideoHeader);
    const std::uint16_t videoGop = Payload(row.SectorSize, row.GopVideoHeader);
    const std::uint16_t video = Payload(row.SectorSize, row.VideoHeader);
    const std::uint16_t audioFirst = Payload(row.SectorSize, row.FirstAudioHeader + ac3);
    const std::uint16_t audio = Payload(row.SectorSize, row.AudioHeader + ac3);
    const std::uint32_t extra = row.ExtraSectors + (Audio2Rate != 0 ? row.SecondAudioSectors : 0) +
                                (row.SectorPerGop ? IFrames : 0);

    if (SectorSize == row.SectorSize && VideoFirstPayload == videoFirst &&
        VideoGopPayload == videoGop && VideoPayload == video && AudioFirstPayload == audioFirst &&
        AudioPayload == audio && ExtraSectors == extra && PictureStampBytes == row.PictureStamps)
        return;

    SectorSize = row.SectorSize;
    VideoFirstPayload = videoFirst;
    VideoGopPayload = videoGop;
    AudioFirstPayload = audioFirst;
    AudioPayload = audio;
    ExtraSectors = extra;
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

void TCDImage::SetAuthoringMode(std::int8_t value) {
    if (value == AuthoringMode) return;
    AuthoringMode = value;
    AuthoringReserve = AuthoringTraits(value).Reserve;
}

void TCDImage::ComputeAuthoringOverhead() {
    AuthoringOverhead = Store<std::uint32_t>(
        AuthoringTraits(AuthoringMode).Overhead({MenuBlocks, Duration, IFrames}));
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
