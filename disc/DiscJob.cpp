#include "disc/DiscJob.h"

#include "common/Numeric.h"
#include "disc/JobParts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>

namespace tarvex {

using namespace job;

namespace {

/// The highest video rate the encoders take for a disc.
constexpr std::uint32_t MaxMpegRate = 15000000;

/// The video rates the disc's standard allows.
void CheckVideoRate(const TDiscPlan& plan) {
    const TDiscStandard& s = StandardOf(plan);
    const std::string name = plan.Format == TDiscFormat::VCD    ? "a VCD"
                             : plan.Format == TDiscFormat::SVCD ? "an SVCD"
                                                                : "a DVD";
    const std::string rate = KbpsText(plan.VideoRate);
    const std::string limit = KbpsText(s.MaxVideoRate);
    if (s.ConstantVideoRate && plan.VideoRate != s.MaxVideoRate)
        throw TJobError("The video of " + name + " runs at exactly " + limit + ", not " + rate +
                        ".");
    if (plan.VideoRate > s.MaxVideoRate)
        throw TJobError("The video rate of " + rate + " is above the " + limit + " " + name +
                        " allows.");
}

const std::array<int, 14> MpegAudioKbps = {32,  48,  56,  64,  80,  96,  112,
                                           128, 160, 192, 224, 256, 320, 384};
const std::array<int, 19> Ac3Kbps = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                     192, 224, 256, 320, 384, 448, 512, 576, 640};

void CheckAudioRate(const TDiscPlan& plan, std::uint32_t rate, int stream) {
    if (rate == 0) return;
    const auto kbps = static_cast<int>(rate / 1000);
    const bool ac3 = plan.AC3;
    const bool known =
        rate % 1000 == 0 &&
        (ac3 ? std::find(Ac3Kbps.begin(), Ac3Kbps.end(), kbps) != Ac3Kbps.end()
             : std::find(MpegAudioKbps.begin(), MpegAudioKbps.end(), kbps) != MpegAudioKbps.end());
    if (!known)
        throw TJobError("Audio stream " + IntToStr(stream) + ": " + IntToStr(rate / 1000) +
                        " kbps is not a rate of " + (ac3 ? "AC-3" : "MPEG audio") + ".");
}

void CheckPlan(const TDiscPlan& plan) {
    const TPicturePlan& p = plan.Picture;
    if (plan.Source.empty()) throw TJobError("No source film is open.");
    if (plan.DiscCount < 1) throw TJobError("The number of discs must be at least 1.");
    if (plan.SrcFrames < plan.DiscCount)
        throw TJobError("The film has fewer frames than there are discs.");
    if (plan.VideoRate == 0) throw TJobError("The video rate is 0 kbps.");
    if (plan.VideoRate > MaxMpegRate)
        throw TJobError("The video rate of " + KbpsText(plan.VideoRate) +
                        " is more than the 15000 kbps a disc's MPEG video can have.");
    CheckVideoRate(plan);
    if (plan.GOPLength < 1) throw TJobError("The GOP length must be at least 1.");
    if (p.CropX <= 0 || p.CropY <= 0 || p.ResizeX <= 0 || p.ResizeY <= 0)
        throw TJobError("The crop window and the resize size must not be empty.");
    const auto [left, top, right, bottom] = PictureSteps(p).Borders;
    if (left < 0 || top < 0 || right < 0 || bottom < 0)
        throw TJobError("The resized picture is larger than the frame: a border is negative.");
    if (plan.AC3 && plan.Format != TDiscFormat::DVD)
        throw TJobError("AC-3 audio goes on DVDs only.");
    CheckAudioRate(plan, plan.Audio1Rate, 1);
    CheckAudioRate(plan, plan.Audio2Rate, 2);
}

/// Bytes of one disc's streams, from the rates and its playing time.
double StreamBytes(const TDiscPlan& plan, std::int64_t frames) {
    const double seconds = static_cast<double>(frames) / Value(ScriptRate(plan));
    return (static_cast<double>(plan.VideoRate) + plan.Audio1Rate + plan.Audio2Rate) / 8 * seconds;
}

std::string Quote(const std::string& arg) {
    const bool plain = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("_./:=+,-").find(c) != std::string_view::npos;
    });
    if (plain) return arg;
    std::string quoted = "'";
    for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string FullName(const std::string& name) {
    return name.empty() ? name : std::filesystem::absolute(name).lexically_normal().string();
}

TDiscPlan WithFullNames(TDiscPlan plan) {
    plan.Source = FullName(plan.Source);
    for (std::string& more : plan.MoreSources) more = FullName(more);
    for (TDiscSubtitle& sub : plan.Extras.Subtitles)
        if (!sub.File.empty()) sub.File = FullName(sub.File);
    return plan;
}

std::string InputOf(const TDiscPlan& plan) {
    // "file:" before a full name: nothing in it reads as a protocol or an option.
    const TDiscPlan full = WithFullNames(plan);
    if (full.MoreSources.empty()) return "file:" + full.Source;
    std::string input = "concat:file:" + full.Source;
    for (const std::string& more : full.MoreSources) input += "|file:" + more;
    return input;
}

std::string LocalProtocols(const std::string& input) {
    return input.starts_with("concat:") ? "file,concat" : "file";
}

std::vector<std::string> FileInput(const std::string& name) {
    return {"-protocol_whitelist", LocalProtocols(name), "-i", name};
}

TDiscJob BuildJob(const TDiscPlan& planned, const std::string& workDir, const std::string& outDir) {
    CheckPlan(planned);
    // The steps run in the work folder, so every other name is a full one.
    const TDiscPlan plan = WithFullNames(planned);
    TDiscJob job;
    job.Format = plan.Format;
    job.WorkDir = FullName(workDir);
    job.OutDir = FullName(outDir);
    const std::int64_t share = (plan.SrcFrames + plan.DiscCount - 1) / plan.DiscCount;
    double images = 0;
    double largest = 0;
    for (int n = 1; n <= plan.DiscCount; ++n) {
        const std::int64_t first = share * (n - 1);
        const std::int64_t end = std::min(share * n, plan.SrcFrames);
        if (end <= first)
            throw TJobError("The film has too few frames for " + IntToStr(plan.DiscCount) +
                            " discs.");
        const TDiscPart part = MakePart(plan, n, first, end, job.OutDir);
        job.Parts.push_back(part);
        const double bytes = StreamBytes(plan, part.EndFrame - part.FirstFrame);
        images += bytes;
        largest = std::max(largest, bytes);
    }
    // Every image, plus one disc's streams and multiplexed file while it is made (and
    // the encoder's film stream before its pulldown flags are written), with a tenth
    // more for the multiplexing and the file systems.
    const double work = SoftPulldown(plan) ? 3 : 2;
    job.NeededBytes = static_cast<std::uint64_t>((images + work * largest) * 1.1);
    return job;
}

TDiscJob BuildJobIn(const TDiscPlan& plan, const std::string& outDir) {
    return BuildJob(plan, outDir + "/.tarvex-work", outDir);
}

std::string CommandLine(const TStep& step) {
    std::string line;
    for (const std::string& env : step.Env) line += Quote(env) + " ";
    for (const std::string& arg : step.Args) line += Quote(arg) + " ";
    if (!line.empty()) line.pop_back();
    return line;
}

std::vector<std::string> JobScript(const TDiscJob& job) {
    // As a run of the program: the output folder held while the job runs, nothing of
    // an earlier run replaced, a work folder of its own that goes when the job ends.
    std::vector<std::string> lines = {
        "#!/bin/sh",
        "set -e",
        "out=" + Quote(job.OutDir),
        "mkdir -p \"$out\"",
        "exec 9<\"$out\"",
        "flock -n 9 || { echo \"Another run is making discs in $out.\" >&2; exit 1; }"};
    std::string finals;
    for (const TDiscPart& part : job.Parts)
        for (const TFinalFile& file : part.Images) finals += " " + Quote(file.FinalName);
    lines.push_back(
        "for f in" + finals + "; do if [ -e \"$f\" ] || [ -L \"$f\" ]; then echo " +
        "\"$f is there from an earlier run: move it away first.\" >&2; exit 1; fi; done");
    lines.push_back("work=$(mktemp -d \"$out\"/" +
                    Quote(std::filesystem::path(job.WorkDir).filename().string() + "-XXXXXX") +
                    ")");
    lines.push_back("trap 'rm -rf \"$work\"' EXIT");
    lines.push_back("trap 'exit 1' HUP INT TERM");
    lines.push_back("cd \"$work\"");
    for (const TDiscPart& part : job.Parts) {
        lines.push_back("# Disc " + IntToStr(part.Number) + ": source frames " +
                        IntToStr(part.FirstFrame) + " to " + IntToStr(part.EndFrame - 1));
        for (const std::string& dir : part.MakeDirs) lines.push_back("mkdir -p " + Quote(dir));
        for (const TWorkText& text : part.Texts)
            lines.push_back("printf '%s' " + Quote(text.Text) + " > " + Quote(text.Name));
        for (const TStep& step : part.Steps) lines.push_back(CommandLine(step));
        for (const TFinalFile& file : part.Images)
            lines.push_back("mv -n " + Quote(file.WorkName) + " " + Quote(file.FinalName));
    }
    return lines;
}

} // namespace tarvex
