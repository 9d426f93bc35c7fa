// The frame decoding module: the libav side of `TFrameReader`.
#include "common/AvInput.h"
#include "preview/FrameSource.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace tarvex {
namespace {

/// Packets read after a seek before giving up on that position. A GOP of a
/// low-rate film with its audio packets between stays well below it.
constexpr int MaxPacketsPerSeek = 4000;
/// Video packets without a key flag after which every packet is tried as a picture:
/// some demuxers never mark keyframes.
constexpr int KeyFlagPatience = 120;
/// How long an open, and the seek and decode of one position, may read. A damaged
/// or half-written file (a hole of zeros, say) is given up on after that.
constexpr auto OpenTime = std::chrono::seconds(10);
constexpr auto PositionTime = std::chrono::seconds(3);
/// How much of the file a position reads after its seek before giving up: this
/// many seconds of the film's bytes, within the bounds below.
constexpr double SeekSeconds = 5;
constexpr std::int64_t MinSeekBytes = std::int64_t{4} << 20;
constexpr std::int64_t MaxSeekBytes = std::int64_t{64} << 20;
/// How much an open may read: the probe and the search for the film's length at
/// its end read far less, but in zeros no packet ever ends a read.
constexpr std::int64_t OpenBytes = std::int64_t{64} << 20;

using TClock = std::chrono::steady_clock;

bool IsKey(const AVPacket& p) {
    return (p.flags & AV_PKT_FLAG_KEY) != 0;
}

/// Whether the first plane of `format` is 8-bit luma that can be copied as it is.
bool HasPlainLuma(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (!d || d->nb_components < 1) return false;
    if (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                    AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_FLOAT))
        return false;
    return d->comp[0].plane == 0 && d->comp[0].depth == 8 && d->comp[0].step == 1 &&
           d->comp[0].offset == 0;
}

bool SideOk(int side) {
    return side >= TFrameReader::MinSide && side <= TFrameReader::MaxSide;
}

} // namespace

/// A film opened through libavformat, decoded one keyframe at a time.
class TAvFrameSource final : public IFrameSource {
  public:
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Picture = nullptr;
    SwsContext* ToGray = nullptr;
    SwsContext* ToRgb = nullptr;
    int Stream = -1;
    TFrameCrop Crop;
    int FrameWidth = 0;
    int FrameHeight = 0;
    double Length = 0;
    std::int64_t FileSize = 0;
    bool ByteSeek = false;
    bool BareStream = false;
    int HoleFd = -1; ///< the file again, to ask the system where its data lies
    const std::atomic<bool>* Cancel = nullptr;
    TClock::time_point Deadline = TClock::time_point::max();
    std::int64_t SeekBytes = MinSeekBytes * 4; ///< what a position may read after its seek
    std::int64_t ReadLimit = -1;               ///< the bytes read that reading stops at; -1: none

    ~TAvFrameSource() override {
        if (HoleFd >= 0) ::close(HoleFd);
        sws_freeContext(ToRgb);
        sws_freeContext(ToGray);
        av_frame_free(&Picture);
        av_packet_free(&Packet);
        avcodec_free_context(&Codec);
        avformat_close_input(&Format);
    }

    void SetCancel(const std::atomic<bool>* cancel) override { Cancel = cancel; }
    TFrameError Open(const std::string& name, const TFrameCrop& crop) override {
        Crop = crop;
        Deadline = TClock::now() + OpenTime;
        ReadLimit = OpenBytes;
        const TFrameError error = OpenFile(name);
        ReadLimit = -1;
        Deadline = TClock::time_point::max();
        return error;
    }
    int Width() const override { return FrameWidth; }
    int Height() const override { return FrameHeight; }
    double Duration() const override { return Length; }
    std::optional<TFrame> DecodeAt(double fraction, bool withRgb) override {
        Deadline = TClock::now() + PositionTime;
        // The seek itself may read (a search for time stamps), so it counts too.
        ReadLimit = Format->pb ? Format->pb->bytes_read + SeekBytes : -1;
        std::optional<TFrame> frame;
        if (Seek(fraction)) frame = DecodeKeyframe(withRgb);
        ReadLimit = -1;
        Deadline = TClock::time_point::max();
        return frame;
    }

  private:
    /// libavformat asks before each read whether to stop: on a cancel, past the
    /// deadline, or past the bytes a position may read.
    static int Interrupted(void* opaque);
    TFrameError OpenFile(const std::string& name);
    bool Seek(double fraction);
    std::optional<TFrame> DecodeKeyframe(bool withRgb);
    std::optional<TFrame> Convert(const AVFrame& f, const AVPacket& key, bool withRgb);
    void Place(const AVFrame& f, const AVPacket& key, TFrame& out) const;
    bool CopyLuma(const AVFrame& f, TFrame& out);
    bool CopyRgb(const AVFrame& f, TFrame& out);
};

int TAvFrameSource::Interrupted(void* opaque) {
    const auto* self = static_cast<const TAvFrameSource*>(opaque);
    if (self->Cancel && self->Cancel->load()) return 1;
    if (TClock::now() > self->Deadline) return 1;
    return self->ReadLimit >= 0 && self->Format && self->Format->pb &&
           self->Format->pb->bytes_read > self->ReadLimit;
}

TFrameError TAvFrameSource::OpenFile(const std::string& name) {
    Format = avformat_alloc_context();
    if (!Format) return TFrameError::CannotOpen;
    Format->interrupt_callback = {&TAvFrameSource::Interrupted, this};
    if (OpenLocalInput(&Format, name, nullptr) < 0) return TFrameError::CannotOpen;
    if (avformat_find_stream_info(Format, nullptr) < 0) return TFrameError::CannotOpen;
    const AVCodec* decoder = nullptr;
    Stream = av_find_best_stream(Format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (Stream == AVERROR_STREAM_NOT_FOUND) return TFrameError::NoVideo;
    if (Stream < 0 || !decoder) return TFrameError::NoDecoder;

    const AVStream* stream = Format->streams[Stream];
    Codec = avcodec_alloc_context3(decoder);
    if (!Codec || avcodec_parameters_to_context(Codec, stream->codecpar) < 0)
        return TFrameError::NoDecoder;
    // One picture per seek: threads would only add start-up time and delay.
    Codec->thread_count = 1;
    Codec->skip_frame = AVDISCARD_NONKEY;
    if (avcodec_open2(Codec, decoder, nullptr) < 0) return TFrameError::NoDecoder;
    Packet = av_packet_alloc();
    Picture = av_frame_alloc();
    if (!Packet || !Picture) return TFrameError::NoDecoder;

    const int fullWidth = stream->codecpar->width;
    const int fullHeight = stream->codecpar->height;
    if (!SideOk(fullWidth) || !SideOk(fullHeight) || Crop.Left < 0 || Crop.Top < 0 ||
        Crop.Right < 0 || Crop.Bottom < 0)
        return TFrameError::BadFrameSize;
    FrameWidth = fullWidth - Crop.Left - Crop.Right;
    FrameHeight = fullHeight - Crop.Top - Crop.Bottom;
    if (FrameWidth < TFrameReader::MinSide || FrameHeight < TFrameReader::MinSide)
        return TFrameError::BadFrameSize;

    if (Format->duration != AV_NOPTS_VALUE && Format->duration > 0)
        Length = static_cast<double>(Format->duration) / AV_TIME_BASE;
    else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        Length = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    FileSize = Format->pb ? avio_size(Format->pb) : 0;
    HoleFd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (FileSize > 0 && Length > 0)
        SeekBytes = std::clamp(
            static_cast<std::int64_t>(static_cast<double>(FileSize) / Length * SeekSeconds),
            MinSeekBytes, MaxSeekBytes);

    // Program and transport streams (time stamps that jump) and bare elementary
    // streams (no index: a time seek would read up to the target) are seeked by
    // bytes; containers with an index by time.
    const int flags = Format->iformat->flags;
    const bool canByteSeek = !(flags & AVFMT_NO_BYTE_SEEK) && FileSize > 0;
    const bool weakTimes = (flags & (AVFMT_TS_DISCONT | AVFMT_GENERIC_INDEX)) || Length <= 0;
    ByteSeek = canByteSeek && weakTimes;
    BareStream = (flags & AVFMT_GENERIC_INDEX) != 0;
    return TFrameError::None;
}

bool TAvFrameSource::Seek(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (!ByteSeek && Length > 0) {
        const AVStream* stream = Format->streams[Stream];
        const auto offset = static_cast<std::int64_t>(fraction * Length * AV_TIME_BASE);
        std::int64_t ts = av_rescale_q(offset, AV_TIME_BASE_Q, stream->time_base);
        if (stream->start_time != AV_NOPTS_VALUE) ts += stream->start_time;
        if (av_seek_frame(Format, Stream, ts, AVSEEK_FLAG_BACKWARD) >= 0 ||
            av_seek_frame(Format, Stream, ts, 0) >= 0)
            return true;
    }
    if (FileSize <= 0 || (Format->iformat->flags & AVFMT_NO_BYTE_SEEK)) return fraction == 0;
    auto pos = static_cast<std::int64_t>(fraction * static_cast<double>(FileSize));
    // A hole (a file made its full size before it was written) reads as zeros: go on
    // where the data goes on, and find nothing when only the hole is left.
    if (HoleFd >= 0) {
        const off_t data = ::lseek(HoleFd, static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0 && errno == ENXIO) return false;
        if (data > pos) pos = data;
    }
    return av_seek_frame(Format, -1, pos, AVSEEK_FLAG_BYTE) >= 0;
}

std::optional<TFrame> TAvFrameSource::DecodeKeyframe(bool withRgb) {
    int videoPackets = 0;
    for (int read = 0; read < MaxPacketsPerSeek; ++read) {
        if (av_read_frame(Format, Packet) < 0) return std::nullopt;
        const bool ours = Packet->stream_index == Stream;
        if (!ours || (!IsKey(*Packet) && ++videoPackets <= KeyFlagPatience)) {
            av_packet_unref(Packet);
            continue;
        }
        // Send the keyframe alone and drain, so the decoder gives it back at once
        // instead of holding it until the next reference picture.
        const int sent = avcodec_send_packet(Codec, Packet);
        std::optional<TFrame> frame;
        if (sent >= 0 && avcodec_send_packet(Codec, nullptr) >= 0) {
            while (avcodec_receive_frame(Codec, Picture) >= 0) {
                if (!frame) frame = Convert(*Picture, *Packet, withRgb);
                av_frame_unref(Picture);
            }
        }
        av_packet_unref(Packet);
        avcodec_flush_buffers(Codec);
        if (frame) return frame;
    }
    return std::nullopt;
}

void TAvFrameSource::Place(const AVFrame& f, const AVPacket& key, TFrame& out) const {
    const AVStream* stream = Format->streams[Stream];
    const double byteShare = key.pos >= 0 && FileSize > 0
                                 ? static_cast<double>(key.pos) / static_cast<double>(FileSize)
                                 : 0;
    std::int64_t ts = f.best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = key.pts;
    if (ts == AV_NOPTS_VALUE) ts = key.dts;
    if (ts != AV_NOPTS_VALUE && !BareStream) {
        if (stream->start_time != AV_NOPTS_VALUE) ts -= stream->start_time;
        out.Seconds = static_cast<double>(ts) * av_q2d(stream->time_base);
        out.Position = Length > 0 ? std::clamp(out.Seconds / Length, 0.0, 1.0) : byteShare;
        return;
    }
    // A bare stream read from the middle has no time stamps (what the parser makes
    // up counts from the seek): the share of the bytes before the keyframe.
    out.Position = std::clamp(byteShare, 0.0, 1.0);
    out.Seconds = Length * out.Position;
}

std::optional<TFrame> TAvFrameSource::Convert(const AVFrame& f, const AVPacket& key, bool withRgb) {
    if (!SideOk(f.width) || !SideOk(f.height)) return std::nullopt;
    TFrame out;
    out.Width = f.width - Crop.Left - Crop.Right;
    out.Height = f.height - Crop.Top - Crop.Bottom;
    if (out.Width < TFrameReader::MinSide || out.Height < TFrameReader::MinSide)
        return std::nullopt;
    Place(f, key, out);
    out.FilePos = key.pos;
    if (!CopyLuma(f, out)) return std::nullopt;
    if (withRgb && !CopyRgb(f, out)) return std::nullopt;
    return out;
}

bool TAvFrameSource::CopyLuma(const AVFrame& f, TFrame& out) {
    const auto format = static_cast<AVPixelFormat>(f.format);
    out.Luma.resize(static_cast<std::size_t>(out.Width) * out.Height);
    if (HasPlainLuma(format)) {
        for (int y = 0; y < out.Height; ++y) {
            const std::uint8_t* row =
                f.data[0] + static_cast<std::ptrdiff_t>(y + Crop.Top) * f.linesize[0] + Crop.Left;
            std::memcpy(&out.Luma[static_cast<std::size_t>(y) * out.Width], row,
                        static_cast<std::size_t>(out.Width));
        }
        return true;
    }
    // Any other layout (RGB, packed YUV, deeper samples) goes through a grey conversion.
    ToGray = sws_getCachedContext(ToGray, f.width, f.height, format, f.width, f.height,
                                  AV_PIX_FMT_GRAY8, SWS_POINT, nullptr, nullptr, nullptr);
    if (!ToGray) return false;
    std::vector<std::uint8_t> full(static_cast<std::size_t>(f.width) * f.height);
    std::uint8_t* dst[4] = {full.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {f.width, 0, 0, 0};
    if (sws_scale(ToGray, f.data, f.linesize, 0, f.height, dst, dstStride) != f.height)
        return false;
    for (int y = 0; y < out.Height; ++y)
        std::memcpy(&out.Luma[static_cast<std::size_t>(y) * out.Width],
                    &full[static_cast<std::size_t>(y + Crop.Top) * f.width + Crop.Left],
                    static_cast<std::size_t>(out.Width));
    return true;
}

bool TAvFrameSource::CopyRgb(const AVFrame& f, TFrame& out) {
    const auto format = static_cast<AVPixelFormat>(f.format);
    ToRgb = sws_getCachedContext(ToRgb, f.width, f.height, format, f.width, f.height,
                                 AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    if (!ToRgb) return false;
    std::vector<std::uint32_t> full(static_cast<std::size_t>(f.width) * f.height);
    std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(full.data()), nullptr, nullptr,
                            nullptr};
    const int dstStride[4] = {f.width * 4, 0, 0, 0};
    if (sws_scale(ToRgb, f.data, f.linesize, 0, f.height, dst, dstStride) != f.height) return false;
    out.Rgb.resize(static_cast<std::size_t>(out.Width) * out.Height);
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Rgb[static_cast<std::size_t>(y) * out.Width + x] =
                full[static_cast<std::size_t>(y + Crop.Top) * f.width + Crop.Left + x] |
                0xFF000000u;
    return true;
}

} // namespace tarvex

extern "C" __attribute__((visibility("default"))) tarvex::IFrameSource* tarvex_framereader_v2() {
    // Damaged files make libav talk; nothing here is logged.
    av_log_set_level(AV_LOG_QUIET);
    return new tarvex::TAvFrameSource;
}
