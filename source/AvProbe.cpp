// The probe library: opens a file with libavformat, within limits, and reports
// its first video stream. Loaded by MediaProbe on first use.
#include "source/AvProbe.h"

#include "common/AvInput.h"
#include "source/SourceFacts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/time.h>
}

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Copy(char* to, std::size_t size, const char* text) {
    std::snprintf(to, size, "%s", text);
}

int Fail(TAvProbeResult* r, const char* reason) {
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
