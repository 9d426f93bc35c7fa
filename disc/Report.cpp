#include "disc/Report.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

/// The bits per second that make `bytes` over the model's duration, the inverse of
/// the model's Ceil(rate / 8 x duration); the error is below one byte per 8 / duration.
std::uint32_t RateOf(std::int64_t bytes, const TCDImage& m) {
    const std::int64_t rate = Round(Div(static_cast<Real>(std::max<std::int64_t>(bytes, 0)) * 8,
                                        static_cast<Real>(m.Duration)));
    return Store<std::uint32_t>(std::clamp<std::int64_t>(rate, 0, UINT32_MAX));
}

std::int64_t Blocks(std::int64_t bytes, std::int64_t blockSize) {
    return (bytes + blockSize - 1) / blockSize;
}

std::int64_t PlannedBytes(std::uint32_t rate, const TCDImage& m) {
    return rate == 0 ? 0 : CeilInt64(static_cast<Real>(rate) / 8 * m.Duration) + 4;
}

} // namespace

TDiscCheck CheckDisc(const TCDImage& plan, const TDiscResult& disc, TDiscFormat format) {
    const bool dvd = format == TDiscFormat::DVD;
    TDiscCheck c;
    c.Number = disc.Number;
    c.PlannedVideoBytes = PlannedBytes(plan.VideoRate, plan) + plan.ScanOffsetBytes;
    c.PlannedAudioBytes = PlannedBytes(plan.Audio1Rate, plan) + PlannedBytes(plan.Audio2Rate, plan);
    c.RealVideoBytes = disc.VideoBytes;
    for (const std::int64_t bytes : disc.AudioBytes) c.RealAudioBytes += bytes;

    // The model again, fed with what the encoder really wrote: its frames (so its
    // GOPs) and rates that give back the real byte counts.
    TCDImage m = plan;
    if (disc.VideoFrames > 0) m.SetFrames(Store<std::uint32_t>(disc.VideoFrames));
    m.SetVideoRate(RateOf(disc.VideoBytes - 4 - m.ScanOffsetBytes, m));
    const std::int64_t audio1 = disc.AudioBytes.size() > 0 ? disc.AudioBytes[0] : 0;
    const std::int64_t audio2 = disc.AudioBytes.size() > 1 ? disc.AudioBytes[1] : 0;
    m.SetAudio1Rate(audio1 > 0 ? RateOf(audio1 - 4, m) : 0);
    m.SetAudio2Rate(audio2 > 0 ? RateOf(audio2 - 4, m) : 0);
    m.SetMuxMode(m.MuxMode); // a second audio stream may change the layout
    m.ComputeImage();
    c.PredictedMuxBlocks = Blocks(m.StreamBytes, m.SectorSize);

    const std::int64_t authoring =
        std::int64_t{plan.AuthoringOverhead} + std::int64_t{plan.AuthoringReserve};
    c.RealMuxBlocks = Blocks(disc.MuxBytes, dvd ? 2048 : 2324);
    c.PredictedImageBlocks = c.RealMuxBlocks + authoring;
    c.RealImageBlocks = Blocks(disc.ImageBytes, dvd ? 2048 : 2352);
    c.StreamImageBlocks = c.PredictedMuxBlocks + authoring;
    c.PlannedImageBlocks = std::int64_t{plan.ImageBlocks} - plan.ExtraBlocks;
    c.BlocksUsable = plan.BlocksUsable;
    c.ExtraBlocks = plan.ExtraBlocks;
    c.Fits = c.RealImageBlocks + c.ExtraBlocks <= c.BlocksUsable;
    return c;
}

void TakeBudget(TDiscPlan& plan, const TCDImage& budget) {
    plan.VideoRate = budget.VideoRate;
    plan.MaxVideoRate = static_cast<std::uint32_t>(std::max(budget.MaxVideoRate, 0));
    plan.GOPLength = budget.GOPLength;
    plan.SceneDetect = budget.SceneDetect;
    plan.Audio1Rate = budget.Audio1Rate;
    plan.Audio2Rate = budget.Audio2Rate;
    plan.AC3 = budget.AC3Audio;
    plan.PlannedVideoRate = budget.VideoRate;
    if (plan.Format == TDiscFormat::VCD || plan.DiscCount < 1 || plan.SrcFrameRate <= 0 ||
        budget.Duration <= 0)
        return;
    const std::int64_t share = (plan.SrcFrames + plan.DiscCount - 1) / plan.DiscCount;
    const double real = static_cast<double>(share) / plan.SrcFrameRate;
    if (real <= budget.Duration) return;
    // The whole stream (video, audio, multiplexing) runs at about the same rate for
    // the longer time; the video gives up what the extra time would take.
    const double streamRate = static_cast<double>(budget.StreamBytes) * 8 / budget.Duration;
    const double lowered = budget.VideoRate - streamRate * (real - budget.Duration) / real;
    plan.VideoRate = lowered > 0 ? static_cast<std::uint32_t>(std::floor(lowered)) : 0;
}

namespace {

/// Whole megabytes with a comma between thousands.
std::string GroupedMB(std::int64_t bytes) {
    const std::string digits = IntToStr(Round(static_cast<Real>(bytes) / 1048576));
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') grouped += ',';
        grouped += digits[i];
    }
    return grouped + " MB";
}

} // namespace

std::string DiscSummary(const TDiscCheck& c, TDiscFormat format) {
    const std::int64_t block = format == TDiscFormat::DVD ? 2048 : 2352;
    const std::int64_t held = c.RealImageBlocks + c.ExtraBlocks;
    const Real full =
        c.BlocksUsable > 0 ? static_cast<Real>(held) * 100 / static_cast<Real>(c.BlocksUsable) : 0;
    return "Disc " + IntToStr(c.Number) + (c.Fits ? " fits: " : " does not fit: ") +
           GroupedMB(held * block) + " of " + GroupedMB(c.BlocksUsable * block) + " (" +
           RoundedToStr(full, 10, '.') + " %)";
}

double Deviation(std::int64_t predicted, std::int64_t real) {
    if (predicted == 0) return 0;
    return static_cast<double>(real - predicted) * 100 / static_cast<double>(predicted);
}

} // namespace tarvex
