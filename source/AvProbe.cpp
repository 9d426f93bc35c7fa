// The probe library: opens a file with libavformat, within limits, and reports
// its first video stream, or lists its chapters, sound tracks and subtitle
// streams. Subtitles are counted by reading their packets only, within a time
// limit; a count cut short is scaled up to the film's length. Loaded by
// MediaProbe and Tracks on first use.
#include "source/AvProbe.h"
#include "source/AvTracks.h"

#include "common/AvInput.h"
#include "source/SourceFacts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/time.h>
}

#include <cstdio>

namespace {

void Copy(char* to, std::size_t size, const char* text) {
    std::snprintf(to, size, "%s", text ? text : "");
}

template <class TResult>
int Fail(TResult* r, const char* reason) {
    Copy(r->Reason, sizeof r->Reason, reason);
    return 1;
}

int Fail(TAvProbeResult* r, int error, const char* step) {
    if (error == AVERROR_EXIT) return Fail(r, "reading the file took too long");
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::snprintf(r->Reason, sizeof r->Reason, "%s: %s", step, text);
    return 1;
}

struct TDeadline {
    std::int64_t At;
};

int TimeIsUp(void* opaque) {
    return av_gettime_relative() > static_cast<TDeadline*>(opaque)->At ? 1 : 0;
}

tarvex::TFieldOrder FieldOrderOf(AVFieldOrder order) {
    switch (order) {
    case AV_FIELD_PROGRESSIVE:
        return tarvex::TFieldOrder::Progressive;
    case AV_FIELD_TT: // top coded first, top shown first
    case AV_FIELD_BT: // bottom coded first, top shown first
        return tarvex::TFieldOrder::TopFirst;
    case AV_FIELD_BB:
    case AV_FIELD_TB:
        return tarvex::TFieldOrder::BottomFirst;
    default:
        return tarvex::TFieldOrder::Unknown;
    }
}

/// The first video stream that is not a cover picture, or null.
AVStream* FirstVideo(AVFormatContext* ctx) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream* st = ctx->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return st;
    }
    return nullptr;
}

void Describe(AVFormatContext* ctx, AVStream* st, TAvProbeResult* r) {
    const AVCodecParameters* par = st->codecpar;
    r->Width = par->width;
    r->Height = par->height;
    const AVRational sar = av_guess_sample_aspect_ratio(ctx, st, nullptr);
    r->SarNum = sar.num;
    r->SarDen = sar.den;
    const AVRational rate = av_guess_frame_rate(ctx, st, nullptr);
    r->RateNum = rate.num;
    r->RateDen = rate.den;
    r->StreamFrames = st->nb_frames;
    r->StreamDuration = st->duration == AV_NOPTS_VALUE ? -1 : st->duration;
    r->TimeBaseNum = st->time_base.num;
    r->TimeBaseDen = st->time_base.den;
    r->FileDurationUs = ctx->duration == AV_NOPTS_VALUE ? -1 : ctx->duration;
    r->FieldOrder = static_cast<std::int32_t>(FieldOrderOf(par->field_order));
    for (int i = 0; i < 4; ++i)
        r->CodecTag[i] = static_cast<char>(par->codec_tag >> (8 * i) & 0xFF);
    r->CodecTag[4] = '\0';
    Copy(r->CodecName, sizeof r->CodecName, avcodec_get_name(par->codec_id));
}

bool PictureSubtitle(AVCodecID id) {
    return id == AV_CODEC_ID_HDMV_PGS_SUBTITLE || id == AV_CODEC_ID_DVD_SUBTITLE ||
           id == AV_CODEC_ID_DVB_SUBTITLE || id == AV_CODEC_ID_XSUB;
}

/// Adds the stream when it is sound or subtitles; `slot` maps the file's stream
/// number to the listing's entry for the count that follows.
void AddTrack(AVStream* st, int kindIndex, TAvTracksResult* r, int* slot) {
    const AVCodecParameters* par = st->codecpar;
    if (r->TrackCount >= AvMaxTracks) return;
    TAvTrack& t = r->Tracks[r->TrackCount];
    t = TAvTrack{};
    t.Index = kindIndex;
    t.Events = -1;
    t.Bytes = -1;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        t.Kind = AvTrackAudio;
        t.Channels = par->ch_layout.nb_channels;
    } else {
        t.Kind = PictureSubtitle(par->codec_id) ? AvTrackPictureSub : AvTrackTextSub;
        t.Events = 0;
        t.Bytes = 0;
        *slot = r->TrackCount;
    }
    const AVDictionaryEntry* lang = av_dict_get(st->metadata, "language", nullptr, 0);
    Copy(t.Language, sizeof t.Language, lang ? lang->value : "");
    Copy(t.Codec, sizeof t.Codec, avcodec_get_name(par->codec_id));
    ++r->TrackCount;
}

void ListChapters(AVFormatContext* ctx, TAvTracksResult* r) {
    for (unsigned i = 0; i < ctx->nb_chapters && r->ChapterCount < AvMaxChapters; ++i) {
        const AVChapter* c = ctx->chapters[i];
        if (c->time_base.num <= 0 || c->time_base.den <= 0 || c->start < 0) continue;
        TAvChapter& out = r->Chapters[r->ChapterCount++];
        out.StartMs = av_rescale_q(c->start, c->time_base, AVRational{1, 1000});
        const AVDictionaryEntry* title = av_dict_get(c->metadata, "title", nullptr, 0);
        Copy(out.Title, sizeof out.Title, title ? title->value : "");
    }
}

/// Reads the subtitle packets until the end or the deadline.
void CountSubtitles(AVFormatContext* ctx, const int* slots, TAvTracksResult* r) {
    AVPacket* packet = av_packet_alloc();
    if (!packet) return;
    std::int64_t lastMs = 0;
    bool complete = false;
    for (;;) {
        const int error = av_read_frame(ctx, packet);
        if (error < 0) {
            complete = error == AVERROR_EOF;
            break;
        }
        const int slot = slots[packet->stream_index];
        if (slot >= 0) {
            ++r->Tracks[slot].Events;
            r->Tracks[slot].Bytes += packet->size;
            const AVStream* st = ctx->streams[packet->stream_index];
            if (packet->pts != AV_NOPTS_VALUE)
                lastMs = av_rescale_q(packet->pts, st->time_base, AVRational{1, 1000});
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (complete || lastMs <= 0 || r->DurationMs <= lastMs) return;
    for (int i = 0; i < r->TrackCount; ++i) {
        TAvTrack& t = r->Tracks[i];
        if (t.Kind == AvTrackAudio) continue;
        t.Events = av_rescale(t.Events, r->DurationMs, lastMs);
        t.Bytes = av_rescale(t.Bytes, r->DurationMs, lastMs);
    }
}

void ListTracks(AVFormatContext* ctx, TAvTracksResult* r, TDeadline& deadline,
                std::int64_t countLimitUs) {
    r->DurationMs = ctx->duration == AV_NOPTS_VALUE ? -1 : ctx->duration / 1000;
    ListChapters(ctx, r);
    int audio = 0;
    int subtitles = 0;
    constexpr unsigned MaxStreams = 1024;
    int slots[MaxStreams];
    bool anySubtitles = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream* st = ctx->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (i < MaxStreams) slots[i] = -1;
        if (type == AVMEDIA_TYPE_AUDIO)
            AddTrack(st, audio++, r, i < MaxStreams ? &slots[i] : nullptr);
        else if (type == AVMEDIA_TYPE_SUBTITLE && i < MaxStreams)
            AddTrack(st, subtitles++, r, &slots[i]);
        const bool counted = i < MaxStreams && slots[i] >= 0;
        st->discard = counted ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        anySubtitles = anySubtitles || counted;
    }
    if (!anySubtitles || ctx->nb_streams > MaxStreams) return;
    deadline.At = av_gettime_relative() + countLimitUs;
    CountSubtitles(ctx, slots, r);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
tarvex_avprobe_v1(const char* path, const TAvProbeLimits* limits, TAvProbeResult* r) {
    *r = TAvProbeResult{};
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) return Fail(r, "out of memory");
    TDeadline deadline{av_gettime_relative() + limits->TimeLimitUs};
    ctx->interrupt_callback.callback = TimeIsUp;
    ctx->interrupt_callback.opaque = &deadline;

    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "probesize", limits->ProbeSize, 0);
    av_dict_set_int(&options, "formatprobesize", limits->ProbeSize, 0);
    av_dict_set_int(&options, "analyzeduration", limits->AnalyzeDurationUs, 0);
    int error = tarvex::OpenLocalInput(&ctx, path, options);
    if (error < 0) return Fail(r, error, "not a file of a known kind");

    error = avformat_find_stream_info(ctx, nullptr);
    int result = 0;
    AVStream* video = FirstVideo(ctx);
    if (error < 0)
        result = Fail(r, error, "its streams cannot be read");
    else if (!video)
        result = Fail(r, "it holds no video stream");
    else if (video->codecpar->width <= 0 || video->codecpar->height <= 0)
        result = Fail(r, "its video stream has no frame size");
    else
        Describe(ctx, video, r);
    avformat_close_input(&ctx);
    return result;
}

extern "C" __attribute__((visibility("default"))) int
tarvex_avtracks_v1(const char* path, std::int64_t countLimitUs, TAvTracksResult* r) {
    *r = TAvTracksResult{};
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) return Fail(r, "out of memory");
    TDeadline deadline{av_gettime_relative() + 5'000'000};
    ctx->interrupt_callback.callback = TimeIsUp;
    ctx->interrupt_callback.opaque = &deadline;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "probesize", 5'000'000, 0);
    av_dict_set_int(&options, "analyzeduration", 5'000'000, 0);
    if (tarvex::OpenLocalInput(&ctx, path, options) < 0)
        return Fail(r, "not a file of a known kind");
    if (avformat_find_stream_info(ctx, nullptr) < 0) {
        avformat_close_input(&ctx);
        return Fail(r, "its streams cannot be read");
    }
    ListTracks(ctx, r, deadline, countLimitUs);
    avformat_close_input(&ctx);
    return 0;
}
