// The picture steps of the script as an ffmpeg filter graph, and the encoder
// settings that keep the stream within its disc's standard.
#include "disc/DiscJob.h"

#include "budget/Imaging.h"
#include "disc/DvdExtras.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarvex {

namespace job {

std::string Num(double v) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), v);
    return std::string(text.data(), result.ptr);
}

std::int64_t Whole(std::string_view text) {
    std::int64_t value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0 ? value : -1;
}

std::string MillisText(std::int64_t ms) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text.data();
}

std::string RateText(TRate r) {
    return r.Den == 1 ? IntToStr(r.Num) : IntToStr(r.Num) + "/" + IntToStr(r.Den);
}

double Value(TRate r) {
    return static_cast<double>(r.Num) / r.Den;
}

bool Mpeg1(const TDiscPlan& plan) {
    return plan.Format == TDiscFormat::VCD;
}

bool IsInterlaced(const TDiscPlan& plan) {
    // Film with pulldown is coded as progressive frames, whatever the resize did.
    return !Mpeg1(plan) && !SoftPulldown(plan) &&
           (plan.Picture.Interlaced || plan.Picture.BffToTff);
}

const TDiscStandard& StandardOf(const TDiscPlan& plan) {
    return DiscStandard(plan.Format, plan.Picture.DestIsPAL);
}

} // namespace job

using namespace job;

namespace {

/// The rate closest to a measured one among those MPEG video can carry.
TRate NearestMpegRate(double fps) {
    static const std::array<TRate, 8> rates = {
        {Film, {24, 1}, Pal, Ntsc, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}}};
    TRate best = rates[0];
    for (const TRate r : rates)
        if (std::fabs(Value(r) - fps) < std::fabs(Value(best) - fps)) best = r;
    return best;
}

std::string Trim(const char* filter, const std::string& first, const std::string& end) {
    std::string args;
    if (!first.empty()) args += first;
    if (!end.empty()) args += (args.empty() ? "" : ":") + end;
    return args.empty() ? "" : std::string(filter) + "=" + args + ",";
}

} // namespace

TRate ScriptRate(const TDiscPlan& plan) {
    const TPicturePlan& p = plan.Picture;
    if (p.SrcIsPAL != p.DestIsPAL) return p.SrcIsPAL ? Film : Pal;
    return NearestMpegRate(plan.SrcFrameRate);
}

TRate DiscRate(const TDiscPlan& plan) {
    if (plan.Picture.DestIsPAL) return Pal;
    // A VCD carries film frames as they are; (S)VCD and DVD players want 29.97.
    if (Mpeg1(plan) && ScriptRate(plan) == Film) return Film;
    return Ntsc;
}

bool SoftPulldown(const TDiscPlan& plan) {
    return !plan.Picture.DestIsPAL && !Mpeg1(plan) && ScriptRate(plan) == Film;
}

TRate EncodeRate(const TDiscPlan& plan) {
    return SoftPulldown(plan) ? Film : DiscRate(plan);
}

int EncodeGopLength(const TDiscPlan& plan) {
    return SoftPulldown(plan) ? PulldownGopLength(plan.GOPLength) : plan.GOPLength;
}

std::string VideoFilter(const TDiscPlan& plan, std::int64_t first, std::int64_t end) {
    TPictureSteps steps = PictureSteps(plan.Picture);
    steps.Burn = BurnIn(plan);
    const std::string cut = Trim("trim", first > 0 ? "start_frame=" + IntToStr(first) : "",
                                 end > 0 ? "end_frame=" + IntToStr(end) : "");
    // Film for NTSC keeps its frames: the pulldown flags make the player's fields.
    const TRate coded = EncodeRate(plan);
    std::string timing = ScriptRate(plan) == coded ? "" : ",fps=" + RateText(coded);
    if (IsInterlaced(plan)) timing += steps.BottomFirst ? ",setfield=bff" : ",setfield=tff";
    return FfmpegGraph(steps, cut, timing);
}

std::vector<std::string> VideoCodecArgs(const TDiscPlan& plan) {
    const bool mpeg1 = Mpeg1(plan);
    const TDiscStandard& s = StandardOf(plan);
    // The rate the header states is the one the player's buffer is filled at: a
    // VCD's constant one, else the player's highest within the standard's.
    std::vector<std::string> args = {"-c:v", mpeg1 ? "mpeg1video" : "mpeg2video"};
    if (s.ConstantVideoRate) {
        const std::string rate = IntToStr(s.MaxVideoRate);
        args = Concat(args, {"-b:v", rate, "-minrate", rate, "-maxrate", rate});
    } else {
        const std::uint32_t max =
            std::min(std::max(plan.MaxVideoRate, plan.VideoRate), s.MaxVideoRate);
        args = Concat(args, {"-b:v", IntToStr(plan.VideoRate), "-maxrate", IntToStr(max)});
    }
    args = Concat(args, {"-bufsize", IntToStr(s.VbvBufferBits), "-g",
                         IntToStr(EncodeGopLength(plan)), "-bf", "2"});
    if (!plan.SceneDetect) args = Concat(args, {"-sc_threshold", "1000000000"});
    // SVCD players and vcdimager expect room for the scan offsets in every GOP.
    if (plan.Format == TDiscFormat::SVCD) args = Concat(args, {"-scan_offset", "1"});
    if (IsInterlaced(plan))
        args = Concat(args, {"-flags", "+ildct+ilme", "-top",
                             PictureSteps(plan.Picture).BottomFirst ? "0" : "1"});
    return Concat(args, {"-aspect", plan.Picture.Widescreen ? "16:9" : "4:3"});
}

std::string AudioFilter(const TDiscPlan& plan, std::int64_t first, std::int64_t end) {
    const auto time = [&](std::int64_t frame) {
        return Num(static_cast<double>(frame) / plan.SrcFrameRate);
    };
    std::string graph =
        Trim("atrim", first > 0 ? "start=" + time(first) : "", end > 0 ? "end=" + time(end) : "");
    graph += "asetpts=PTS-STARTPTS";
    // AssumeFPS with its audio: the sound keeps pace with the pictures.
    const TPicturePlan& p = plan.Picture;
    if (p.SrcIsPAL != p.DestIsPAL)
        graph += ",atempo=" + Num(Value(ScriptRate(plan)) / plan.SrcFrameRate);
    return graph;
}

} // namespace tarvex
