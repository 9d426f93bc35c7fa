#include "disc/DiscJob.h"

#include "budget/DiscStandard.h"
#include "budget/Imaging.h"
#include "disc/Chapters.h"
#include "disc/DiscAuthoring.h"
#include "disc/DvdExtras.h"
#include "disc/Pulldown.h"
#include "disc/VcdEntries.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>

namespace tarvex {

namespace {

/// The highest video rate the encoders take for a disc.
constexpr std::uint32_t MaxMpegRate = 15000000;

const TRate Film{24000, 1001};
const TRate Pal{25, 1};
const TRate Ntsc{30000, 1001};

/// A real number in its shortest exact form, whatever the locale.
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

bool IsInterlaced(const TDiscPlan& plan) {
    // Film with pulldown is coded as progressive frames, whatever the resize did.
    return !Mpeg1(plan) && !SoftPulldown(plan) &&
           (plan.Picture.Interlaced || plan.Picture.BffToTff);
}

const TDiscStandard& StandardOf(const TDiscPlan& plan) {
    const TDiscFamily family = plan.Format == TDiscFormat::VCD    ? TDiscFamily::VCD
                               : plan.Format == TDiscFormat::SVCD ? TDiscFamily::SVCD
                                                                  : TDiscFamily::DVD;
    return DiscStandard(family, plan.Picture.DestIsPAL);
}

/// The video rates the disc's standard allows.
void CheckVideoRate(const TDiscPlan& plan) {
    const TDiscStandard& s = StandardOf(plan);
    const std::string name = plan.Format == TDiscFormat::VCD    ? "a VCD"
                             : plan.Format == TDiscFormat::SVCD ? "an SVCD"
                                                                : "a DVD";
    const std::string rate = Num(std::int64_t{plan.VideoRate / 1000}) + " kbps";
    const std::string limit = Num(std::int64_t{s.MaxVideoRate / 1000}) + " kbps";
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
        throw TJobError("Audio stream " + Num(std::int64_t{stream}) + ": " +
                        Num(std::int64_t{rate / 1000}) + " kbps is not a rate of " +
                        (ac3 ? "AC-3" : "MPEG audio") + ".");
}

void CheckPlan(const TDiscPlan& plan) {
    const TPicturePlan& p = plan.Picture;
    if (plan.Source.empty()) throw TJobError("No source film is open.");
    if (plan.DiscCount < 1) throw TJobError("The number of discs must be at least 1.");
    if (plan.SrcFrames < plan.DiscCount)
        throw TJobError("The film has fewer frames than there are discs.");
    if (plan.VideoRate == 0) throw TJobError("The video rate is 0 kbps.");
    if (plan.VideoRate > MaxMpegRate)
        throw TJobError("The video rate of " + Num(std::int64_t{plan.VideoRate / 1000}) +
                        " kbps is more than the 15000 kbps a disc's MPEG video can have.");
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

TStep Step(std::string title, std::vector<std::string> args, double weight, std::int64_t frames = 0,
           std::vector<std::string> env = {}) {
    return TStep{std::move(title), std::move(args), std::move(env), frames, weight, {}};
}

const std::vector<std::string> FfmpegStart = {"ffmpeg", "-nostdin", "-hide_banner",
                                              "-v",     "warning",  "-y"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Ext(const TDiscPlan& plan, bool video) {
    if (video) return Mpeg1(plan) ? ".m1v" : ".m2v";
    return plan.AC3 ? ".ac3" : ".mp2";
}

std::string Kbps(std::uint32_t rate) {
    return Num(std::int64_t{rate / 1000}) + "k";
}

/// Frames the encoder writes for source frames [first, end).
std::int64_t OutputFrames(const TDiscPlan& plan, std::int64_t first, std::int64_t end) {
    return static_cast<std::int64_t>(std::ceil(static_cast<double>(end - first) *
                                               Value(EncodeRate(plan)) / Value(ScriptRate(plan))));
}

std::vector<TStep> VideoSteps(const TDiscPlan& plan, const TDiscPart& part, bool lastPart) {
    const std::string name = "disc" + Num(std::int64_t{part.Number});
    const std::int64_t frames = OutputFrames(plan, part.FirstFrame, part.EndFrame);
    const std::string graph =
        VideoFilter(plan, plan.DiscCount == 1 ? 0 : part.FirstFrame, lastPart ? 0 : part.EndFrame);
    // Subtitle pictures come from a second stream of the film: a graph of its own.
    const std::vector<std::string> filter =
        BurnIn(plan).PictureStream < 0
            ? std::vector<std::string>{"-map", "0:v:0", "-an", "-vf", graph}
            : std::vector<std::string>{"-filter_complex", graph, "-map", "[v]", "-an"};
    const std::vector<std::string> input =
        Concat(Concat(FileInput(InputOf(plan)), filter), {"-r", RateText(EncodeRate(plan))});
    // A GOP starts at each chapter, where players jump to.
    const std::vector<std::string> codec =
        Concat(Concat(VideoCodecArgs(plan),
                      ChapterKeyFrames(plan, PartChapters(plan, part.FirstFrame, part.EndFrame))),
               {"-passlogfile", name + "_pass"});
    const std::string disc = "Disc " + Num(std::int64_t{part.Number});
    const bool pulldown = SoftPulldown(plan);
    // With pulldown the encoder's film frames are rewritten into the disc's stream.
    const std::string encoded = pulldown ? name + "_film.m2v" : part.VideoFile;
    std::vector<TStep> steps = BurnSteps(plan, disc + ": subtitles", 0.01 * frames);
    steps.push_back(Making(
        Step(disc + ": video, first pass",
             Concat(Concat(Concat(FfmpegStart, input), codec), {"-pass", "1", "-f", "null", "-"}),
             static_cast<double>(frames), frames),
        name + "_pass-0.log"));
    steps.push_back(Making(
        Step(disc + ": video, second pass",
             Concat(Concat(Concat(FfmpegStart, input), codec),
                    {"-pass", "2", "-f", Mpeg1(plan) ? "mpeg1video" : "mpeg2video", encoded}),
             1.2 * static_cast<double>(frames), frames),
        encoded));
    if (pulldown)
        steps.push_back(Making(Step(disc + ": pulldown flags",
                                    {PulldownProgram(), "--pulldown", encoded, part.VideoFile},
                                    0.01 * static_cast<double>(frames)),
                               part.VideoFile));
    return steps;
}

/// The rates of the planned audio streams, in stream order.
std::vector<std::uint32_t> AudioRates(const TDiscPlan& plan) {
    std::vector<std::uint32_t> rates;
    for (const std::uint32_t rate : {plan.Audio1Rate, plan.Audio2Rate})
        if (rate != 0) rates.push_back(rate);
    return rates;
}

TStep AudioStep(const TDiscPlan& plan, const TDiscPart& part, bool lastPart, int stream) {
    const std::uint32_t rate = AudioRates(plan)[static_cast<std::size_t>(stream - 1)];
    std::vector<std::string> input;
    const int source = SourceSoundTrack(plan, stream);
    if (source < 0) {
        // A film without sound still gets the planned streams, silent.
        const double seconds =
            static_cast<double>(part.EndFrame - part.FirstFrame) / Value(ScriptRate(plan));
        input = {"-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo", "-t", Num(seconds)};
    } else {
        input = Concat(FileInput(InputOf(plan)),
                       {"-map", "0:a:" + Num(std::int64_t{source}), "-vn", "-af",
                        AudioFilter(plan, plan.DiscCount == 1 ? 0 : part.FirstFrame,
                                    lastPart ? 0 : part.EndFrame)});
    }
    const bool dvd = plan.Format == TDiscFormat::DVD;
    const std::vector<std::string> codec = {"-c:a",
                                            plan.AC3 ? "ac3" : "mp2",
                                            "-b:a",
                                            Kbps(rate),
                                            "-ar",
                                            dvd ? "48000" : "44100",
                                            "-ac",
                                            "2",
                                            "-f",
                                            plan.AC3 ? "ac3" : "mp2",
                                            part.AudioFiles[stream - 1]};
    const auto frames = static_cast<double>(part.EndFrame - part.FirstFrame);
    return Making(Step("Disc " + Num(std::int64_t{part.Number}) + ": audio stream " +
                           Num(std::int64_t{stream}),
                       Concat(Concat(FfmpegStart, input), codec), 0.05 * frames),
                  part.AudioFiles[stream - 1]);
}

TStep MuxStep(const TDiscPlan& plan, const TDiscPart& part) {
    // Raw video carries no presentation times on its I-frames; the DVD muxer
    // needs them to start a navigation pack at each GOP.
    std::vector<std::string> args =
        Concat(Concat(FfmpegStart, {"-fflags", "+genpts"}), FileInput("file:" + part.VideoFile));
    for (const std::string& audio : part.AudioFiles)
        args = Concat(args, FileInput("file:" + audio));
    args = Concat(args, {"-map", "0:v"});
    for (std::size_t i = 0; i < part.AudioFiles.size(); ++i)
        args = Concat(args, {"-map", Num(static_cast<std::int64_t>(i + 1)) + ":a"});
    const char* muxer = plan.Format == TDiscFormat::VCD    ? "vcd"
                        : plan.Format == TDiscFormat::SVCD ? "svcd"
                                                           : "dvd";
    // Without the packet size the (S)VCD muxers write 2048-byte packs, which the
    // authoring tool then pads to full sectors.
    const char* packet = plan.Format == TDiscFormat::DVD ? "2048" : "2324";
    // The rate the pack headers state, which the player's drive must deliver: a
    // single-speed CD for a VCD, twice that for an SVCD, a DVD's 10.08 Mbit/s.
    // Without it the muxer states the streams' peak rates plus a margin.
    const std::string muxRate = Num(std::int64_t{StandardOf(plan).MaxMuxRate});
    args = Concat(args, {"-c", "copy", "-f", muxer, "-packetsize", packet, "-muxrate", muxRate,
                         part.MuxFile});
    const std::int64_t frames = OutputFrames(plan, part.FirstFrame, part.EndFrame);
    return Making(Step("Disc " + Num(std::int64_t{part.Number}) + ": multiplexing", args,
                       0.05 * static_cast<double>(frames), frames),
                  part.MuxFile);
}

void AddAuthoring(const TDiscPlan& plan, const std::string& outDir, TDiscPart& part) {
    const std::string n = Num(std::int64_t{part.Number});
    const std::string title = "Disc " + n + ": authoring";
    const double weight = 0.05 * static_cast<double>(part.EndFrame - part.FirstFrame);
    const std::string base = "disc" + n;
    if (plan.Format != TDiscFormat::DVD) {
        AddVcdAuthoring(plan, part, title, weight);
        // The cue sheet names the image, so the image is complete before it appears.
        part.Images = {{base + ".bin", outDir + "/" + base + ".bin"},
                       {base + ".cue", outDir + "/" + base + ".cue"}};
        return;
    }
    const std::string dir = base + "_dvd";
    part.MakeDirs = {dir + "/AUDIO_TS"};
    AddDvdAuthoring(plan, dir, part, title, weight);
    // A UDF bridge with the files in the order the video manager expects: what
    // players and libdvdread read.
    part.Steps.push_back(Making(Step("Disc " + n + ": disc image",
                                     {"genisoimage", "-quiet", "-dvd-video", "-udf", "-V",
                                      "TARVEX_" + n, "-o", base + ".iso", dir},
                                     weight),
                                base + ".iso"));
    part.Images = {{base + ".iso", outDir + "/" + base + ".iso"}};
}

/// The field order the encoder writes into the stream.
std::string FieldOrder(const TDiscPlan& plan) {
    return IsInterlaced(plan) ? "tt" : "progressive";
}

TExpectedDisc Expected(const TDiscPlan& plan, const TDiscPart& part) {
    const TPicturePlan& p = plan.Picture;
    const TPictureSteps steps = PictureSteps(p);
    TExpectedDisc e;
    e.Frames = OutputFrames(plan, part.FirstFrame, part.EndFrame);
    e.Seconds =
        static_cast<double>(e.Frames) / Value(EncodeRate(plan)); // film frames with pulldown
    e.MenuFrames = MenuFrames(plan);
    e.Width = steps.Width;
    e.Height = steps.Height;
    e.Aspect = p.Widescreen ? 16.0 / 9 : 4.0 / 3;
    e.FieldOrder = FieldOrder(plan);
    e.AudioCodec = plan.AC3 ? "ac3" : "mp2";
    e.AudioStreams = static_cast<int>(AudioRates(plan).size());
    e.SampleRate = StandardOf(plan).SampleRate;
    return e;
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
    const std::string cut = Trim("trim", first > 0 ? "start_frame=" + Num(first) : "",
                                 end > 0 ? "end_frame=" + Num(end) : "");
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

TStep Making(TStep step, std::string output) {
    step.Output = std::move(output);
    return step;
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
        TDiscPart part;
        part.Number = n;
        part.FirstFrame = share * (n - 1);
        part.EndFrame = std::min(share * n, plan.SrcFrames);
        if (part.EndFrame <= part.FirstFrame)
            throw TJobError("The film has too few frames for " + Num(std::int64_t{plan.DiscCount}) +
                            " discs.");
        const std::string base = "disc" + Num(std::int64_t{n});
        part.VideoFile = base + Ext(plan, true);
        for (std::size_t i = 1; i <= AudioRates(plan).size(); ++i)
            part.AudioFiles.push_back(base + "_audio" + Num(static_cast<std::int64_t>(i)) +
                                      Ext(plan, false));
        part.MuxFile = base + ".mpg";
        const bool last = n == plan.DiscCount;
        part.Steps = VideoSteps(plan, part, last);
        for (std::size_t i = 0; i < part.AudioFiles.size(); ++i)
            part.Steps.push_back(AudioStep(plan, part, last, static_cast<int>(i) + 1));
        part.Steps.push_back(MuxStep(plan, part));
        AddAuthoring(plan, job.OutDir, part);
        part.Expected = Expected(plan, part);
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
        lines.push_back("# Disc " + Num(std::int64_t{part.Number}) + ": source frames " +
                        Num(part.FirstFrame) + " to " + Num(part.EndFrame - 1));
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
