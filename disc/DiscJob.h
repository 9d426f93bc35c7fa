// The plan as an ffmpeg job: the picture steps of the AviSynth script as a filter
// graph, the disc budget as encoder settings, and the commands that encode,
// multiplex and author each disc.
#pragma once

#include "budget/DiscStandard.h"
#include "disc/DiscExtras.h"
#include "geometry/PictureSteps.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// The disc kinds a job makes: MPEG-1 on a VCD, MPEG-2 on an SVCD or a DVD.
using TDiscFormat = TDiscFamily;

/// Everything a job is built from: the source, the picture steps and the budget
/// of one disc (all discs of a film share it).
struct TDiscPlan {
    std::string Source;                   ///< the film's file
    std::vector<std::string> MoreSources; ///< files that continue the film (a list of MPEG files)
    double SrcFrameRate = 25;             ///< frames per second of the source
    std::int64_t SrcFrames = 0;           ///< frames of the whole film
    /// SrcFrames is read from a stated duration, not counted: a container's length
    /// may round up or end with its longest stream, a frame or two past the video.
    bool SrcFramesEstimated = false;
    int SourceAudioStreams = 1; ///< audio streams in the source; 0 makes silence
    TPicturePlan Picture;
    TDiscFormat Format = TDiscFormat::SVCD;
    int DiscCount = 1;
    std::uint32_t VideoRate = 0; ///< bps
    /// bps of the budget; VideoRate is lower when the film plays longer than the budget counts
    std::uint32_t PlannedVideoRate = 0;
    std::uint32_t MaxVideoRate = 0; ///< bps the player allows; below VideoRate it is ignored
    int GOPLength = 15;
    bool SceneDetect = false;     ///< the encoder may start a GOP at a scene change
    std::uint32_t Audio1Rate = 0; ///< bps
    std::uint32_t Audio2Rate = 0; ///< bps, 0 without a second stream
    bool AC3 = false;             ///< AC-3 instead of MPEG audio (DVD only)
    TDiscExtras Extras;           ///< chapters, sound tracks, subtitles and menu
};

/// A plan that cannot become a job; the text says why, for the user.
class TJobError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// A frame rate as a fraction.
struct TRate {
    int Num = 25;
    int Den = 1;
    bool operator==(const TRate&) const = default;
};

/// One child process of a job.
struct TStep {
    std::string Title;             ///< shown while it runs
    std::vector<std::string> Args; ///< Args[0] is the program, looked up in PATH
    std::vector<std::string> Env;  ///< NAME=value added to the environment
    std::int64_t Frames = 0;       ///< frames it encodes, when it reports ffmpeg progress; else 0
    double Weight = 1;             ///< its share of the whole work
    std::vector<std::string> Outputs; ///< the files it makes in the work folder, checked after it
};

/// A file of the work folder that becomes a final file once its disc is complete.
struct TFinalFile {
    std::string WorkName;
    std::string FinalName;
};

/// A text file the job writes into the work folder before a disc's steps run.
struct TWorkText {
    std::string Name;
    std::string Text;
};

/// What a player must find on a made disc: the streams the plan asks for.
struct TExpectedDisc {
    std::int64_t Frames = 0;     ///< coded pictures of the video stream
    std::int64_t MenuFrames = 0; ///< pictures of a DVD's menu, read with the film's
    double Seconds = 0;          ///< playing time
    int Width = 0;
    int Height = 0;
    double Aspect = 4.0 / 3; ///< display aspect
    std::string FieldOrder;  ///< as ffprobe names it: "progressive", "tt", "bb"
    std::string AudioCodec;  ///< as ffprobe names it: "mp2", "ac3"
    int AudioStreams = 0;
    int SampleRate = 0;
    /// The largest video buffer a CD track's system header may state, in bytes.
    std::int64_t VideoBufferBytes = 0;
    /// Fields the player shows: with pulldown three for every other film frame.
    std::int64_t Fields = 0;
    /// Pictures the encoder may make more or fewer than Frames: the last disc of a
    /// film whose length is an estimate ends where the source really ends.
    std::int64_t FramesSlack = 0;
};

/// One disc: its share of the film and the steps that make it.
struct TDiscPart {
    int Number = 1;
    std::int64_t FirstFrame = 0;         ///< first source frame
    std::int64_t EndFrame = 0;           ///< source frame after the last
    std::string VideoFile;               ///< elementary streams and the multiplexed file, in
    std::vector<std::string> AudioFiles; ///< the work folder
    std::string MuxFile;
    std::vector<std::string> MakeDirs; ///< folders the steps expect
    std::vector<TWorkText> Texts;      ///< files the steps read, written before them
    /// Files whose sizes the report shows, by what they hold ("menu").
    std::vector<TWorkText> Measured;
    /// The DVD folder whose title VOBs' subpicture packs the report shows as the subtitles.
    std::string SubtitleFolder;
    std::vector<TStep> Steps;
    std::vector<TFinalFile> Images; ///< renamed in this order; the first is the image
    TExpectedDisc Expected;         ///< checked against the image before it is renamed
};

/// The whole job: every disc, run in the work folder, finished into the output folder.
struct TDiscJob {
    TDiscFormat Format = TDiscFormat::SVCD;
    std::string WorkDir;
    std::string OutDir;
    std::vector<TDiscPart> Parts;
    std::uint64_t NeededBytes = 0; ///< free space the job needs in the output folder
};

/// `name` as a full, normal name (relative names start in the current folder).
std::string FullName(const std::string& name);
/// The plan with the full names of its films.
TDiscPlan WithFullNames(TDiscPlan plan);

/// The film as ffmpeg's input: the full name of the source as a local file, or its
/// files read one after the other.
std::string InputOf(const TDiscPlan& plan);
/// The protocols ffmpeg may use to read `input`: local files only.
std::string LocalProtocols(const std::string& input);
/// An input of ffmpeg that can only be a local file: no other protocol is
/// allowed, and the name is never read as an option or a URL.
std::vector<std::string> FileInput(const std::string& name);

/// The frame rate the script's picture steps give the film.
TRate ScriptRate(const TDiscPlan& plan);
/// The frame rate written on the disc.
TRate DiscRate(const TDiscPlan& plan);
/// Whether film goes onto an NTSC DVD or SVCD as 23.976 progressive frames that the
/// player shows at 29.97 by repeating fields (3:2 pulldown).
bool SoftPulldown(const TDiscPlan& plan);
/// The frame rate the encoder codes: the film's with pulldown, else the disc's.
TRate EncodeRate(const TDiscPlan& plan);
/// Frames the encoder puts into a GOP: the plan's GOP length counts frames shown,
/// and with pulldown a film frame is shown for two or three fields.
int EncodeGopLength(const TDiscPlan& plan);
/// The filter graph for source frames [first, end) of the film; end 0 means to the end.
std::string VideoFilter(const TDiscPlan& plan, std::int64_t first, std::int64_t end);
/// The encoder settings for the video, without input, pass and output.
std::vector<std::string> VideoCodecArgs(const TDiscPlan& plan);
/// The audio filter for source frames [first, end); end 0 means to the end.
std::string AudioFilter(const TDiscPlan& plan, std::int64_t first, std::int64_t end);

/// The job for `plan`, with its work files in workDir and its images going to outDir.
/// Throws TJobError when the plan cannot be made.
TDiscJob BuildJob(const TDiscPlan& plan, const std::string& workDir, const std::string& outDir);
/// The job for `plan` with its images in outDir and its work folder inside it.
TDiscJob BuildJobIn(const TDiscPlan& plan, const std::string& outDir);

/// A step as one shell command line, its environment first.
std::string CommandLine(const TStep& step);

/// The job as a shell script, one command a line, to run in the work folder.
std::vector<std::string> JobScript(const TDiscJob& job);

} // namespace tarvex
