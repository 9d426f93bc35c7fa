// The steps that make one disc: the video in two passes, the sound streams, the
// multiplexing and the authoring, and what the made image must hold.
#include "disc/DiscJob.h"

#include "disc/Chapters.h"
#include "disc/DiscAuthoring.h"
#include "disc/DvdExtras.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"
#include "disc/VcdEntries.h"

#include <cmath>

namespace tarvex::job {

namespace {

std::string Ext(const TDiscPlan& plan, bool video) {
    if (video) return Mpeg1(plan) ? ".m1v" : ".m2v";
    return plan.AC3 ? ".ac3" : ".mp2";
}

/// Frames the encoder writes for source frames [first, end), in whole numbers: the
/// same rate above and below a fraction bar must give the frames back exactly.
std::int64_t OutputFrames(const TDiscPlan& plan, std::int64_t first, std::int64_t end) {
    const TRate out = EncodeRate(plan);
    const TRate in = ScriptRate(plan);
    const std::int64_t num = (end - first) * out.Num * in.Den;
    const std::int64_t den = std::int64_t{out.Den} * in.Num;
    return (num + den - 1) / den;
}

std::string FfmpegRate(std::uint32_t rate) {
    return IntToStr(rate / 1000) + "k";
}

/// The muxer of the disc's program stream and its options.
struct TMuxer {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Options;
};

TMuxer MuxerOf(const TDiscPlan& plan) {
    const char* name = plan.Format == TDiscFormat::VCD    ? "vcd"
                       : plan.Format == TDiscFormat::SVCD ? "svcd"
                                                          : "dvd";
    // Without the packet size the (S)VCD muxers write 2048-byte packs, which the
    // authoring tool then pads to full sectors.
    const char* packet = plan.Format == TDiscFormat::DVD ? "2048" : "2324";
    // The rate the pack headers state, which the player's drive must deliver: a
    // single-speed CD for a VCD, twice that for an SVCD, a DVD's 10.08 Mbit/s.
    // Without it the muxer states the streams' peak rates plus a margin.
    return {name, {{"packetsize", packet}, {"muxrate", IntToStr(StandardOf(plan).MaxMuxRate)}}};
}

/// Whether the encoder's second pass multiplexes the disc's program stream itself.
/// The muxer learns the video buffer only from the encoder: fed a finished stream
/// it assumes 230 KB, five times a VCD's 46 KB. It then schedules the packs against
/// that and states it in the system header. With pulldown the flags are written
/// after encoding, so the muxer reads the finished stream: an SVCD allows the same
/// 230 KB (its 224 KB buffer and 6 KB for the muxer), and a DVD's system header
/// states 230 KB, within the 232 KB it allows.
bool MuxedByEncoder(const TDiscPlan& plan) {
    return !SoftPulldown(plan);
}

std::vector<TStep> VideoSteps(const TDiscPlan& plan, const TDiscPart& part, bool lastPart) {
    const std::string name = "disc" + IntToStr(part.Number);
    const std::int64_t frames = OutputFrames(plan, part.FirstFrame, part.EndFrame);
    const std::string graph =
        VideoFilter(plan, plan.DiscCount == 1 ? 0 : part.FirstFrame, lastPart ? 0 : part.EndFrame);
    // Subtitle pictures come from a second stream of the film: a graph of its own.
    const bool overlay = BurnIn(plan).PictureStream >= 0;
    const std::vector<std::string> map =
        overlay ? std::vector<std::string>{"-filter_complex", graph, "-map", "[v]"}
                : std::vector<std::string>{"-map", "0:v:0"};
    const std::vector<std::string> filter =
        overlay ? std::vector<std::string>{} : std::vector<std::string>{"-vf", graph};
    const std::vector<std::string> rate = {"-r", RateText(EncodeRate(plan))};
    // A GOP starts at each chapter, where players jump to.
    const std::vector<std::string> codec =
        Concat(Concat(VideoCodecArgs(plan),
                      ChapterKeyFrames(plan, PartChapters(plan, part.FirstFrame, part.EndFrame))),
               {"-passlogfile", name + "_pass"});
    const std::string disc = "Disc " + IntToStr(part.Number);
    const bool pulldown = SoftPulldown(plan);
    // With pulldown the encoder's film frames are rewritten into the disc's stream.
    const std::string encoded = pulldown ? name + "_film.m2v" : part.VideoFile;
    const std::string elementary = Mpeg1(plan) ? "mpeg1video" : "mpeg2video";
    const std::vector<std::string> source = Concat(FfmpegStart, FileInput(InputOf(plan)));
    const std::vector<std::string> picture = Concat(Concat(Concat(map, {"-an"}), filter), rate);
    std::vector<TStep> steps = BurnSteps(plan, disc + ": subtitles", 0.01 * frames);
    steps.push_back(
        Step(disc + ": video, first pass",
             Concat(Concat(source, picture), Concat(codec, {"-pass", "1", "-f", "null", "-"})),
             static_cast<double>(frames), {name + "_pass-0.log"}, frames));
    if (!MuxedByEncoder(plan)) {
        steps.push_back(Step(disc + ": video, second pass",
                             Concat(Concat(source, picture),
                                    Concat(codec, {"-pass", "2", "-f", elementary, encoded})),
                             1.2 * static_cast<double>(frames), {encoded}, frames));
        if (pulldown)
            steps.push_back(Step(disc + ": pulldown flags",
                                 {PulldownProgram(), "--pulldown", encoded, part.VideoFile},
                                 0.01 * static_cast<double>(frames), {part.VideoFile}));
        return steps;
    }
    // The elementary stream, kept for the report, and the program stream in one go.
    std::vector<std::string> args = source;
    for (const std::string& audio : part.AudioFiles)
        args = Concat(args, FileInput("file:" + audio));
    args = Concat(args, map);
    for (std::size_t i = 0; i < part.AudioFiles.size(); ++i)
        args = Concat(args, {"-map", IntToStr(i + 1) + ":a"});
    const TMuxer muxer = MuxerOf(plan);
    std::string slave = "f=" + muxer.Name;
    for (const auto& [key, value] : muxer.Options) slave += ":" + key + "=" + value;
    args = Concat(Concat(Concat(args, filter), rate),
                  Concat(codec, {"-pass", "2", "-c:a", "copy", "-f", "tee",
                                 "[select=v:f=" + elementary + "]" + encoded + "|[" + slave + "]" +
                                     part.MuxFile}));
    steps.push_back(Step(disc + ": video, second pass and multiplexing", args,
                         1.25 * static_cast<double>(frames), {encoded, part.MuxFile}, frames));
    return steps;
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
                       {"-map", "0:a:" + IntToStr(source), "-vn", "-af",
                        AudioFilter(plan, plan.DiscCount == 1 ? 0 : part.FirstFrame,
                                    lastPart ? 0 : part.EndFrame)});
    }
    const bool dvd = plan.Format == TDiscFormat::DVD;
    // A DVD's AC-3 keeps the film's channels, up to 5.1 (the encoder folds more
    // down); MPEG sound is stereo, as a VCD or SVCD asks.
    const std::vector<std::string> channels = dvd && plan.AC3 && source >= 0
                                                  ? std::vector<std::string>{}
                                                  : std::vector<std::string>{"-ac", "2"};
    const std::vector<std::string> codec =
        Concat(Concat({"-c:a", plan.AC3 ? "ac3" : "mp2", "-b:a", FfmpegRate(rate), "-ar",
                       dvd ? "48000" : "44100"},
                      channels),
               {"-f", plan.AC3 ? "ac3" : "mp2", part.AudioFiles[stream - 1]});
    const auto frames = static_cast<double>(part.EndFrame - part.FirstFrame);
    return Step("Disc " + IntToStr(part.Number) + ": audio stream " + IntToStr(stream),
                Concat(Concat(FfmpegStart, input), codec), 0.05 * frames,
                {part.AudioFiles[stream - 1]});
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
        args = Concat(args, {"-map", IntToStr(i + 1) + ":a"});
    const TMuxer muxer = MuxerOf(plan);
    args = Concat(args, {"-c", "copy", "-f", muxer.Name});
    for (const auto& [key, value] : muxer.Options) args = Concat(args, {"-" + key, value});
    args.push_back(part.MuxFile);
    const std::int64_t frames = OutputFrames(plan, part.FirstFrame, part.EndFrame);
    return Step("Disc " + IntToStr(part.Number) + ": multiplexing", args,
                0.05 * static_cast<double>(frames), {part.MuxFile}, frames);
}

void AddAuthoring(const TDiscPlan& plan, const std::string& outDir, TDiscPart& part) {
    const std::string n = IntToStr(part.Number);
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
    part.MakeDirs.push_back(dir + "/AUDIO_TS");
    AddDvdAuthoring(plan, dir, part, title, weight);
    // A UDF bridge with the files in the order the video manager expects: what
    // players and libdvdread read.
    part.Steps.push_back(Step("Disc " + n + ": disc image",
                              {"genisoimage", "-quiet", "-dvd-video", "-udf", "-V", "TARVEX_" + n,
                               "-o", base + ".iso", dir},
                              weight, {base + ".iso"}));
    part.Images = {{base + ".iso", outDir + "/" + base + ".iso"}};
}

/// The field order the encoder writes into the stream.
std::string FieldOrder(const TDiscPlan& plan) {
    if (!IsInterlaced(plan)) return "progressive";
    return PictureSteps(plan.Picture).BottomFirst ? "bb" : "tt";
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
    e.VideoBufferBytes = StandardOf(plan).VideoBufferBytes;
    e.Fields = SoftPulldown(plan) ? PulldownFields(e.Frames) : 2 * e.Frames;
    return e;
}

/// Source frames by which an estimated length may miss the film's end.
constexpr std::int64_t EstimateSlack = 2;

} // namespace

TStep Step(std::string title, std::vector<std::string> args, double weight,
           std::vector<std::string> outputs, std::int64_t frames, std::vector<std::string> env) {
    return {std::move(title), std::move(args), std::move(env), frames, weight, std::move(outputs)};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint32_t> AudioRates(const TDiscPlan& plan) {
    std::vector<std::uint32_t> rates;
    for (const std::uint32_t rate : {plan.Audio1Rate, plan.Audio2Rate})
        if (rate != 0) rates.push_back(rate);
    return rates;
}

TDiscPart MakePart(const TDiscPlan& plan, int number, std::int64_t first, std::int64_t end,
                   const std::string& outDir) {
    TDiscPart part;
    part.Number = number;
    part.FirstFrame = first;
    part.EndFrame = end;
    const std::string base = "disc" + IntToStr(number);
    part.VideoFile = base + Ext(plan, true);
    for (std::size_t i = 1; i <= AudioRates(plan).size(); ++i)
        part.AudioFiles.push_back(base + "_audio" + IntToStr(i) + Ext(plan, false));
    part.MuxFile = base + ".mpg";
    const bool last = number == plan.DiscCount;
    // The sound streams are made first when the encoder multiplexes them.
    for (std::size_t i = 0; i < part.AudioFiles.size(); ++i)
        part.Steps.push_back(AudioStep(plan, part, last, static_cast<int>(i) + 1));
    const std::vector<TStep> video = VideoSteps(plan, part, last);
    part.Steps.insert(MuxedByEncoder(plan) ? part.Steps.end() : part.Steps.begin(), video.begin(),
                      video.end());
    if (!MuxedByEncoder(plan)) part.Steps.push_back(MuxStep(plan, part));
    AddAuthoring(plan, outDir, part);
    part.Expected = Expected(plan, part);
    if (last && plan.SrcFramesEstimated)
        part.Expected.FramesSlack = OutputFrames(plan, 0, EstimateSlack);
    return part;
}

} // namespace tarvex::job
