#include "source/QuickProbe.h"

#include "common/Numeric.h"
#include "source/MpegStream.h"
#include "source/ParameterSets.h"
#include "source/QuickContainers.h"

#include <cmath>
#include <limits>

namespace tarvex {

namespace quick {

std::uint64_t BigEndian(TBytes d, std::size_t at, std::size_t count) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i) v = v << 8 | d[at + i];
    return v;
}

namespace {

std::optional<TCodecView> SpsView(const char* codec, TBytes spsNal, bool (*parse)(TByteSpan, TSps&),
                                  TFieldOrder order) {
    TSps sps;
    if (spsNal.empty() || !parse(spsNal, sps) || !sps.FramesOnly) return std::nullopt;
    return TCodecView{codec, sps.Width, sps.Height, sps.SampleAspect, sps.FrameRate, order};
}

} // namespace

std::optional<TCodecView> H264View(TBytes spsNal) {
    return SpsView("h264", spsNal, h264::ParseSps, TFieldOrder::Progressive);
}

std::optional<TCodecView> HevcView(TBytes spsNal) {
    return SpsView("hevc", spsNal, hevc::ParseSps, TFieldOrder::Unknown);
}

std::optional<TCodecView> MpegView(TBytes stream) {
    mpeg::TSequence seq;
    if (!mpeg::ReadSequence(stream, seq)) return std::nullopt;
    const TFieldOrder order = mpeg::FirstFieldOrder(stream, seq);
    if (order == TFieldOrder::Unknown) return std::nullopt;
    return TCodecView{seq.Mpeg2 ? "mpeg2video" : "mpeg1video",
                      seq.Width,
                      seq.Height,
                      seq.SampleAspect,
                      seq.FrameRate,
                      order};
}

// Continued fractions, taking the better of the last convergent and the last
// semiconvergent. The terms are worked in 128 bits, so no input overflows them.
TRatio Approximate(std::int64_t num, std::int64_t den, std::int64_t max) {
    using Wide = __int128;
    if (num <= 0 || den <= 0 || max <= 0) return {};
    Wide n = num, d = den, a0n = 0, a0d = 1, a1n = 1, a1d = 0;
    while (d) {
        Wide x = n / d;
        const Wide next = n - d * x;
        if (x * a1n + a0n > max || x * a1d + a0d > max) {
            if (a1n) x = (max - a0n) / a1n;
            if (a1d) x = std::min(x, (max - a0d) / a1d);
            if (d * (2 * x * a1d + a0d) > n * a1d) {
                a1n = x * a1n + a0n;
                a1d = x * a1d + a0d;
            }
            break;
        }
        const Wide a2n = x * a1n + a0n, a2d = x * a1d + a0d;
        a0n = a1n;
        a0d = a1d;
        a1n = a2n;
        a1d = a2d;
        n = d;
        d = next;
    }
    return TRatio{static_cast<std::int64_t>(a1n), static_cast<std::int64_t>(a1d)}.Reduced();
}

bool Finish(const TCodecView& v, TRatio sampleAspect, TRatio rate, std::int64_t frames,
            bool estimated, const std::string& fourCC, TMediaInfo& info) {
    if (v.Width <= 0 || v.Height <= 0 || !rate.Known() || frames < 0 ||
        frames > std::numeric_limits<std::int32_t>::max())
        return false;
    info = {};
    info.Width = v.Width;
    info.Height = v.Height;
    info.FourCC = fourCC;
    info.FrameCount = frames;
    info.Facts.FrameRate = rate;
    info.Facts.SampleAspect = sampleAspect.Known() ? sampleAspect : v.SampleAspect;
    info.Facts.DisplayAspect = DisplayAspectOf(v.Width, v.Height, info.Facts.SampleAspect);
    info.Facts.FieldOrder = v.FieldOrder;
    info.Facts.Codec = v.Name;
    info.Facts.FrameCountEstimated = estimated;
    return true;
}

} // namespace quick

TRatio UsualFrameRate(TRatio rate) {
    if (!rate.Known()) return rate;
    const Real value = static_cast<Real>(rate.Num) / rate.Den;
    auto near = [value](TRatio usual) {
        return std::fabs(value * usual.Den / usual.Num - 1) < Real(1e-4);
    };
    for (std::int64_t n : {24, 30, 48, 60, 120, 12, 15})
        if (near({n * 1000, 1001})) return TRatio{n * 1000, 1001}.Reduced();
    for (std::int64_t n = 1; n <= 120; ++n)
        if (near({n, 1})) return {n, 1};
    return rate.Reduced();
}

bool QuickProbe(const std::string& path, TMediaInfo& info) {
    TBinaryFile file;
    if (!file.Open(path)) return false;
    try {
        return quick::ReadMatroska(file, info) || quick::ReadMp4(file, info) ||
               quick::ReadTransportStream(file, info);
    } catch (const FloatError&) {
        return false;
    }
}

} // namespace tarvex
