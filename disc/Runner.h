// Makes the discs of a job: runs its steps one after the other with progress,
// time left and cancel, keeps a log, and moves each image to its final name
// only once it is complete.
#pragma once

#include "common/BackgroundJob.h"
#include "disc/DiscJob.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {

/// Where a running job is.
struct TProgress {
    int Disc = 0;  ///< the disc being made, from 1
    int Discs = 0; ///< discs of the job
    std::string Step;
    double Fraction = 0;     ///< of the whole job, 0..1
    double SecondsLeft = -1; ///< -1 while there is no estimate yet
};

enum class TMakeStatus { Done, Cancelled, Failed };

/// What was made of one disc: the real sizes of its streams, files and image.
struct TDiscResult {
    int Number = 0;
    std::int64_t VideoFrames = 0; ///< frames the encoder wrote
    std::int64_t VideoBytes = 0;
    std::vector<std::int64_t> AudioBytes; ///< one for each audio stream
    std::int64_t MuxBytes = 0;
    std::int64_t ImageBytes = 0;
    /// Sizes of the disc's parts beyond film and sound, named as in TDiscPart::Measured.
    std::vector<std::pair<std::string, std::int64_t>> Measured;
    std::vector<std::string> Files;    ///< final names, the image first
    std::vector<std::string> ReadBack; ///< what the players' readers found in the image
};

struct TMakeResult {
    TMakeStatus Status = TMakeStatus::Failed;
    std::string Message;            ///< for the user, whatever the outcome
    std::vector<TDiscResult> Discs; ///< the discs that were finished
    std::string LogFile;
    std::string WorkDir; ///< the work folder, when it was kept
};

struct TMakeOptions {
    std::string SearchPath; ///< where the tools are looked up; empty: the PATH of this process
    std::function<void(const TProgress&)> OnProgress; ///< called on the running thread
    const std::atomic<bool>* Cancel = nullptr;        ///< set from any thread to stop
    std::string LogName = "tarvex-disc.log";          ///< in the output folder
    bool KeepWork = false; ///< leave the streams and multiplexed files in the work folder
    bool Replace = false;  ///< replace images, report and log of an earlier run
};

/// The report a front end keeps beside the images.
inline const std::string ReportName = "tarvex-report.txt";

/// The files of an earlier run that the job would replace: its images, the log and
/// the report, as full names.
std::vector<std::string> ExistingOutputs(const TDiscJob& job, const TMakeOptions& options);

/// Runs the whole job in the calling thread and returns when it is done, failed or
/// cancelled. The work folder is removed unless asked to keep it; the output folder
/// holds only complete images and the log. Files of an earlier run stop it unless
/// `options.Replace`; so does another run in the same output folder.
TMakeResult MakeDiscs(const TDiscJob& job, const TMakeOptions& options);

/// The audio streams ffprobe finds in `file` (an input as InputOf gives it; an empty
/// searchPath is this process's PATH), or -1 when it cannot tell.
int AudioStreamCount(const std::string& file, const std::string& searchPath);

/// Makes the discs of `plan` in outDir (its work folder inside it): the source's
/// own audio streams are counted first, and a plan that cannot become a job is a
/// failed result with the reason.
TMakeResult MakePlan(TDiscPlan plan, const std::string& outDir, const TMakeOptions& options);

/// MakePlan as background work: its progress and its result are taken from the job.
using TMakeJob = TBackgroundJob<TProgress, TMakeResult>;

/// Starts making the discs of `plan` in outDir on a thread of its own, with the
/// options given (their progress and cancel are the job's); `wake` is called on
/// that thread when there is progress or the result to take.
std::unique_ptr<TMakeJob> StartMakeJob(TDiscPlan plan, std::string outDir, TMakeOptions options,
                                       std::function<void()> wake);

} // namespace tarvex
