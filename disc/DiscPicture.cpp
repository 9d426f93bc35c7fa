// The picture steps of the script as an ffmpeg filter graph, and the encoder
// settings that keep the stream within its disc's standard.
#include "disc/DiscJob.h"

#include "budget/Imaging.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tarvex {

namespace job {

std::string Num(double v) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), v);
    return std::string(text.data(), result.ptr);
}

std::string Num(std::int64_t v) {
    return std::to_string(v);
}

std::string RateText(TRate r) {
    return r.Den == 1 ? Num(std::int64_t{r.Num})
                      : Num(std::int64_t{r.Num}) + "/" + Num(std::int64_t{r.Den});
}

double Value(TRate r) {
    return static_cast<double>(r.Num) / r.Den;
}

bool Mpeg1(const TDiscPlan& plan) {
    return plan.Format == TDiscFormat::VCD;
}

std::array<int, 4> Borders(const TPicturePlan& p) {
    if (!p.Interlaced) return {p.BorderLeft, p.BorderTop, p.BorderRight, p.BorderBottom};
    const int top = 2 * ((p.DestY - p.ResizeY) / 4);
    return {p.BorderLeft, top, p.BorderRight, p.DestY - top - 2 * (p.ResizeY / 2)};
}

bool BottomFirst(const TPicturePlan& p) {
    return p.BottomFirst && !p.BffToTff;
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

std::string ScaleFlags(int resizeMode) {
    switch (resizeMode) {
    case 0:
        return "flags=bilinear";
    case 1:
        return "flags=bicubic:param0=1/3:param1=1/3";
    case 3:
        return "flags=lanczos:param0=3";
    default:
        return "flags=bicubic:param0=0:param1=0.6";
    }
}

/// The crop window and the resize, on whole frames or on the fields of each frame,
/// whose order in time is kept.
std::string Resize(const TPicturePlan& p) {
    const int div = p.Interlaced ? 2 : 1;
    const std::string crop = "crop=w=" + Num(std::int64_t{p.CropX}) +
                             ":h=" + Num(std::int64_t{p.CropY / div}) +
                             ":x=" + Num(std::int64_t{p.CropLeft}) +
                             ":y=" + Num(std::int64_t{p.CropTop / div}) + ":exact=1";
    const std::string scale = "scale=w=" + Num(std::int64_t{p.ResizeX}) +
                              ":h=" + Num(std::int64_t{p.ResizeY / div}) + ":" +
                              ScaleFlags(p.ResizeMode);
    if (!p.Interlaced) return crop + "," + scale;
    const bool bff = BottomFirst(p);
    return std::string(bff ? "setfield=bff" : "setfield=tff") + ",separatefields," + crop + "," +
           scale + ",weave=first_field=" + (bff ? "bottom" : "top");
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
    const TPicturePlan& p = plan.Picture;
    std::string graph;
    // DoubleWeave().SelectOdd(): the top field of frame k and the bottom field of
    // frame k + 1 make a frame, top first, so the fields keep their order in time;
    // the clip keeps its length, its last field shown twice.
    if (p.BffToTff)
        graph += "setfield=bff,separatefields,trim=start_frame=1,tpad=stop=1:stop_mode=clone,"
                 "weave=first_field=top,";
    graph += Trim("trim", first > 0 ? "start_frame=" + Num(first) : "",
                  end > 0 ? "end_frame=" + Num(end) : "");
    graph += Resize(p);
    const auto [left, top, right, bottom] = Borders(p);
    if (left != 0 || top != 0 || right != 0 || bottom != 0) {
        const int rows = p.Interlaced ? 2 * (p.ResizeY / 2) : p.ResizeY;
        graph += ",pad=w=" + Num(std::int64_t{left + p.ResizeX + right}) +
                 ":h=" + Num(std::int64_t{top + rows + bottom}) + ":x=" + Num(std::int64_t{left}) +
                 ":y=" + Num(std::int64_t{top}) + ":color=black";
    }
    const TRate script = ScriptRate(plan);
    if (p.SrcIsPAL != p.DestIsPAL) // AssumeFPS: every frame stays, shown at the new rate
        graph += ",setpts=N*" + Num(std::int64_t{script.Den}) + "/" +
                 Num(std::int64_t{script.Num}) + "/TB";
    else
        graph += ",setpts=PTS-STARTPTS";
    // Film for NTSC keeps its frames: the pulldown flags make the player's fields.
    const TRate coded = EncodeRate(plan);
    if (!(script == coded)) graph += ",fps=" + RateText(coded);
    if (IsInterlaced(plan)) graph += BottomFirst(p) ? ",setfield=bff" : ",setfield=tff";
    if (p.ConvertToRGB) graph += ",format=rgb24";
    return graph + ",format=yuv420p";
}

std::vector<std::string> VideoCodecArgs(const TDiscPlan& plan) {
    const bool mpeg1 = Mpeg1(plan);
    const TDiscStandard& s = StandardOf(plan);
    // The rate the header states is the one the player's buffer is filled at: a
    // VCD's constant one, else the player's highest within the standard's.
    std::vector<std::string> args = {"-c:v", mpeg1 ? "mpeg1video" : "mpeg2video"};
    if (s.ConstantVideoRate) {
        const std::string rate = Num(std::int64_t{s.MaxVideoRate});
        args = Concat(args, {"-b:v", rate, "-minrate", rate, "-maxrate", rate});
    } else {
        const std::uint32_t max =
            std::min(std::max(plan.MaxVideoRate, plan.VideoRate), s.MaxVideoRate);
        args = Concat(
            args, {"-b:v", Num(std::int64_t{plan.VideoRate}), "-maxrate", Num(std::int64_t{max})});
    }
    args = Concat(args, {"-bufsize", Num(std::int64_t{s.VbvBufferBits}), "-g",
                         Num(std::int64_t{EncodeGopLength(plan)}), "-bf", "2"});
    if (!plan.SceneDetect) args = Concat(args, {"-sc_threshold", "1000000000"});
    // SVCD players and vcdimager expect room for the scan offsets in every GOP.
    if (plan.Format == TDiscFormat::SVCD) args = Concat(args, {"-scan_offset", "1"});
    if (IsInterlaced(plan))
        args =
            Concat(args, {"-flags", "+ildct+ilme", "-top", BottomFirst(plan.Picture) ? "0" : "1"});
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
