#include "source/MediaProbe.h"

#include "common/Module.h"
#include "common/Numeric.h"
#include "source/AvProbe.h"
#include "source/QuickProbe.h"

#include <cstring>
#include <limits>

namespace tarvex {

namespace {

/// The container's code when it is four printable characters, else a short
/// name of the codec.
std::string FourCCOf(const TAvProbeResult& r) {
    std::string tag(r.CodecTag, 4);
    bool printable = true;
    for (char c : tag) printable = printable && c > ' ' && c < 0x7F;
    return printable ? UpperAscii(tag) : FourCCOfCodec(r.CodecName);
}

/// The recorded frame count, else the duration (the stream's, else the file's)
/// times the rate; -1 when neither gives one.
std::int64_t FrameCountOf(const TAvProbeResult& r, TRatio rate, bool& estimated) {
    estimated = false;
    if (r.StreamFrames > 0) return r.StreamFrames;
    if (!rate.Known()) return -1;
    Real seconds;
    if (r.StreamDuration >= 0 && r.TimeBaseNum > 0 && r.TimeBaseDen > 0)
        seconds = static_cast<Real>(r.StreamDuration) * r.TimeBaseNum / r.TimeBaseDen;
    else if (r.FileDurationUs >= 0)
        seconds = static_cast<Real>(r.FileDurationUs) / 1'000'000;
    else
        return -1;
    std::int64_t frames;
    try {
        frames = Round(seconds * rate.Num / rate.Den);
    } catch (const FloatError&) {
        return -1;
    }
    if (frames > std::numeric_limits<std::int32_t>::max()) return -1;
    estimated = true;
    return frames;
}

} // namespace

bool ProbeMedia(const std::string& path, TMediaInfo& info, std::string& reason,
                const TProbeLimits& limits) {
    if (limits.ByHand && QuickProbe(path, info)) {
        reason.clear();
        return true;
    }
    // The probe library, loaded on the first file that needs it.
    const auto probe = reinterpret_cast<TAvProbeFunction>(
        LoadModuleSymbol("libtarvex_avprobe.so", TARVEX_AVPROBE_PATH, AvProbeSymbol, reason));
    if (!probe) return false;
    const TAvProbeLimits l{limits.ProbeSize, limits.AnalyzeDurationUs, limits.TimeLimitUs};
    TAvProbeResult r{};
    if (probe(path.c_str(), &l, &r) != 0) {
        reason.assign(r.Reason, ::strnlen(r.Reason, sizeof r.Reason));
        return false;
    }
    r.CodecName[sizeof r.CodecName - 1] = '\0';

    info = {};
    info.Width = r.Width;
    info.Height = r.Height;
    info.FourCC = FourCCOf(r);
    TSourceFacts& f = info.Facts;
    f.FrameRate = TRatio{r.RateNum, r.RateDen}.Reduced();
    f.SampleAspect = TRatio{r.SarNum, r.SarDen}.Reduced();
    f.DisplayAspect = DisplayAspectOf(r.Width, r.Height, f.SampleAspect);
    f.FieldOrder = r.FieldOrder >= 0 && r.FieldOrder <= static_cast<int>(TFieldOrder::BottomFirst)
                       ? static_cast<TFieldOrder>(r.FieldOrder)
                       : TFieldOrder::Unknown;
    f.Codec = r.CodecName;
    info.FrameCount = FrameCountOf(r, f.FrameRate, f.FrameCountEstimated);
    reason.clear();
    return true;
}

} // namespace tarvex
