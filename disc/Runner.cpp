#include "disc/Runner.h"

#include "disc/Process.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace tarvex {

namespace {

/// The Debian package of each tool a job runs.
const std::map<std::string, std::string> Packages = {
    {"ffmpeg", "ffmpeg"},       {"mplex", "mjpegtools"}, {"vcdimager", "vcdimager"},
    {"vcdxbuild", "vcdimager"}, {"spumux", "dvdauthor"}, {"dvdauthor", "dvdauthor"},
    {"xorriso", "xorriso"}};

/// The Debian package that has a tool; the tool's own name for one not listed.
std::string PackageOf(const std::string& tool) {
    const auto package = Packages.find(tool);
    return package == Packages.end() ? tool : package->second;
}

std::string SearchPathOf(const TMakeOptions& options) {
    if (!options.SearchPath.empty()) return options.SearchPath;
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/bin:/bin";
}

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MB";
}

/// The log file; a write that fails is remembered, not thrown.
class TLog {
  public:
    explicit TLog(const std::string& name) : Out(name, std::ios::trunc) {}
    bool Ok() const { return static_cast<bool>(Out); }
    void Line(std::string_view text) {
        Out << text << '\n';
        Out.flush();
    }

  private:
    std::ofstream Out;
};

/// Weighs the steps of the whole job and turns the running step's share into
/// the job's fraction and the time left.
class TProgressClock {
  public:
    TProgressClock(const TDiscJob& job, const TMakeOptions& options) : Options(options) {
        for (const TDiscPart& part : job.Parts)
            for (const TStep& step : part.Steps) Total += step.Weight;
        Progress.Discs = static_cast<int>(job.Parts.size());
    }
    void Start(int disc, const TStep& step) {
        Progress.Disc = disc;
        Progress.Step = step.Title;
        Current = step.Weight;
        Report(0);
    }
    void Report(double stepFraction) {
        if (!Options.OnProgress) return;
        const double done = Done + Current * std::min(1.0, std::max(0.0, stepFraction));
        Progress.Fraction = Total > 0 ? done / Total : 0;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
        Progress.SecondsLeft = Progress.Fraction >= 0.01 && elapsed >= 1
                                   ? elapsed * (1 - Progress.Fraction) / Progress.Fraction
                                   : -1;
        Options.OnProgress(Progress);
    }
    void Finish() {
        Done += Current;
        Current = 0;
    }

  private:
    const TMakeOptions& Options;
    TProgress Progress;
    double Total = 0;
    double Done = 0;
    double Current = 0;
    std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
};

/// The last lines a step wrote, for the message when it fails.
class TTail {
  public:
    void Add(std::string_view line) {
        if (line.empty()) return;
        Lines.emplace_back(line.substr(0, 400));
        if (Lines.size() > 20) Lines.pop_front();
    }
    bool Contains(std::string_view text) const {
        for (const std::string& line : Lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
    std::string Last() const { return Lines.empty() ? "" : Lines.back(); }

  private:
    std::deque<std::string> Lines;
};

/// Reads the frame counter of ffmpeg's -progress output.
bool ParseFrame(std::string_view line, std::int64_t& frame) {
    constexpr std::string_view key = "frame=";
    if (line.substr(0, key.size()) != key) return false;
    std::int64_t value = 0;
    for (const char c : line.substr(key.size())) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) return false;
        value = value * 10 + (c - '0');
    }
    frame = value;
    return true;
}

std::int64_t FileSize(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

/// Runs jobs' steps and keeps what the result needs.
class TMaker {
  public:
    TMaker(const TDiscJob& job, const TMakeOptions& options)
        : Job(job), Options(options), Path(SearchPathOf(options)), Clock(job, options) {}

    TMakeResult Run() {
        Result.LogFile = (fs::path(Job.OutDir) / Options.LogName).string();
        if (!Prepare()) return Result;
        for (const TDiscPart& part : Job.Parts)
            if (!MakeDisc(part)) break;
        std::error_code ec;
        if (Options.KeepWork)
            Result.WorkDir = Work.string();
        else
            fs::remove_all(Work, ec);
        if (Result.Status == TMakeStatus::Done) {
            Result.Message = "Made " + std::to_string(Result.Discs.size()) +
                             (Result.Discs.size() == 1 ? " disc image" : " disc images") + " in " +
                             Job.OutDir + ".";
            Log->Line("# " + Result.Message);
        }
        return Result;
    }

  private:
    bool Fail(TMakeStatus status, const std::string& message) {
        Result.Status = status;
        Result.Message = message;
        if (Log && Log->Ok()) Log->Line("# " + message);
        return false;
    }

    std::string Finished() const {
        if (Result.Discs.empty()) return "";
        return " The " + std::to_string(Result.Discs.size()) + " finished " +
               (Result.Discs.size() == 1 ? "disc is" : "discs are") + " in " + Job.OutDir + ".";
    }

    bool Prepare() {
        if (Job.Parts.empty()) return Fail(TMakeStatus::Failed, "The job makes no disc.");
        std::error_code ec;
        fs::create_directories(Job.OutDir, ec);
        Log = std::make_unique<TLog>(Result.LogFile);
        if (ec || !Log->Ok())
            return Fail(TMakeStatus::Failed,
                        "Cannot write into " + Job.OutDir + ": " +
                            (ec ? ec.message() : std::string(std::strerror(errno))) + ".");
        const std::vector<std::string> missing = MissingTools(Job, Path);
        if (!missing.empty()) {
            std::string list, packages;
            for (const std::string& tool : missing) {
                list += (list.empty() ? "" : ", ") + tool;
                packages += " " + PackageOf(tool);
            }
            return Fail(TMakeStatus::Failed, "These tools are missing: " + list +
                                                 ". Install them (apt install" + packages +
                                                 ") and try again.");
        }
        struct statvfs space {};
        if (statvfs(Job.OutDir.c_str(), &space) == 0) {
            const std::uint64_t free = std::uint64_t{space.f_bavail} * space.f_frsize;
            if (free < Job.NeededBytes)
                return Fail(TMakeStatus::Failed,
                            "Not enough free space in " + Job.OutDir + ": the discs need about " +
                                Megabytes(Job.NeededBytes) + ", " + Megabytes(free) + " are free.");
        }
        std::string pattern = Job.WorkDir + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return Fail(TMakeStatus::Failed, "Cannot make the work folder " + Job.WorkDir + ": " +
                                                 std::strerror(errno) + ".");
        Work = pattern;
        Log->Line("# work folder " + Work.string());
        return true;
    }

    /// The project files the disc's steps read.
    bool WriteTexts(const TDiscPart& part) {
        for (const TWorkText& text : part.Texts) {
            std::ofstream out(Work / text.Name, std::ios::binary | std::ios::trunc);
            out << text.Text;
            if (!out.flush())
                return Fail(TMakeStatus::Failed,
                            "Cannot write " + text.Name + " in the work folder.");
        }
        return true;
    }

    bool MakeDisc(const TDiscPart& part) {
        for (const std::string& dir : part.MakeDirs) {
            std::error_code ec;
            fs::create_directories(Work / dir, ec);
            if (ec) return Fail(TMakeStatus::Failed, "Cannot make " + dir + ": " + ec.message());
        }
        if (!WriteTexts(part)) return false;
        TDiscResult disc;
        disc.Number = part.Number;
        for (const TStep& step : part.Steps) {
            if (Options.Cancel && Options.Cancel->load()) return Cancel();
            if (!RunStep(part, step, disc.VideoFrames)) return false;
        }
        disc.VideoBytes = FileSize(Work / part.VideoFile);
        for (const std::string& audio : part.AudioFiles)
            disc.AudioBytes.push_back(FileSize(Work / audio));
        disc.MuxBytes = FileSize(Work / part.MuxFile);
        if (!part.Images.empty()) disc.ImageBytes = FileSize(Work / part.Images[0].WorkName);
        for (const TWorkText& m : part.Measured)
            disc.Measured.emplace_back(m.Name, FileSize(Work / m.Text));
        for (const TFinalFile& file : part.Images) {
            std::error_code ec;
            fs::rename(Work / file.WorkName, file.FinalName, ec);
            if (ec)
                return Fail(TMakeStatus::Failed, "Cannot move the image to " + file.FinalName +
                                                     ": " + ec.message() + ".");
            disc.Files.push_back(file.FinalName);
        }
        Result.Discs.push_back(disc);
        Log->Line("# disc " + std::to_string(part.Number) + " finished: " + disc.Files[0]);
        // The next disc needs the room its streams took.
        std::error_code ec;
        for (auto entry = fs::directory_iterator(Work, ec);
             !Options.KeepWork && !ec && entry != fs::directory_iterator(); entry.increment(ec))
            fs::remove_all(entry->path(), ec);
        Result.Status = TMakeStatus::Done;
        return true;
    }

    bool Cancel() {
        return Fail(TMakeStatus::Cancelled, "Cancelled: no image of the disc being made was "
                                            "written." +
                                                Finished());
    }

    bool RunStep(const TDiscPart& part, const TStep& step, std::int64_t& frames) {
        Clock.Start(part.Number, step);
        TCommand command{.Program = FindProgram(step.Args.at(0), Path),
                         .Args = step.Args,
                         .Env = step.Env,
                         .Dir = Work.string()};
        const bool progress = step.Frames > 0;
        if (progress) // ffmpeg reports its frames on standard output
            command.Args.insert(command.Args.begin() + 1, {"-progress", "pipe:1", "-nostats"});
        Log->Line("$ " + CommandLine(step));
        TTail tail;
        const auto onOutput = [&](std::string_view line) {
            std::int64_t frame = 0;
            if (progress && ParseFrame(line, frame)) {
                frames = frame;
                Clock.Report(static_cast<double>(frame) / static_cast<double>(step.Frames));
            } else if (!progress) {
                Log->Line(line);
                tail.Add(line);
            }
        };
        const auto onError = [&](std::string_view line) {
            Log->Line(line);
            tail.Add(line);
        };
        const TProcessResult run = RunProcess(command, onOutput, onError, Options.Cancel);
        if (run.Cancelled) return Cancel();
        if (!run.Started)
            return Fail(TMakeStatus::Failed, "\"" + step.Title + "\" could not start " +
                                                 step.Args[0] + ": " + run.StartError + ".");
        Log->Line("# exit code " + std::to_string(run.ExitCode));
        if (run.ExitCode == 0) {
            Clock.Report(1);
            Clock.Finish();
            return true;
        }
        const std::string how = run.Signal != 0
                                    ? "was stopped by signal " + std::to_string(run.Signal)
                                    : "ended with exit code " + std::to_string(run.ExitCode);
        if (tail.Contains("No space left on device"))
            return Fail(TMakeStatus::Failed, "The disk is full: \"" + step.Title +
                                                 "\" could not write its output. Free some space "
                                                 "and try again." +
                                                 Finished());
        return Fail(TMakeStatus::Failed, "\"" + step.Title + "\" failed: " + step.Args[0] + " " +
                                             how +
                                             (tail.Last().empty() ? "" : " (" + tail.Last() + ")") +
                                             ". The log is " + Result.LogFile + "." + Finished());
    }

    const TDiscJob& Job;
    const TMakeOptions& Options;
    const std::string Path;
    TProgressClock Clock;
    TMakeResult Result;
    std::unique_ptr<TLog> Log;
    fs::path Work;
};

} // namespace

std::vector<std::string> MissingTools(const TDiscJob& job, const std::string& searchPath) {
    std::set<std::string> tools;
    for (const TDiscPart& part : job.Parts)
        for (const TStep& step : part.Steps)
            if (!step.Args.empty()) tools.insert(step.Args[0]);
    std::vector<std::string> missing;
    for (const std::string& tool : tools) {
        if (FindProgram(tool, searchPath).empty()) missing.push_back(tool);
    }
    return missing;
}

TMakeResult MakeDiscs(const TDiscJob& job, const TMakeOptions& options) {
    return TMaker(job, options).Run();
}

int AudioStreamCount(const std::string& file, const std::string& searchPath) {
    const std::string ffprobe = FindProgram("ffprobe", searchPath);
    if (ffprobe.empty()) return -1;
    int streams = 0;
    const TProcessResult run = RunProcess(
        {.Program = ffprobe,
         .Args = {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=index",
                  "-of", "csv=p=0", file},
         .Env = {},
         .Dir = {}},
        [&streams](std::string_view line) { streams += !line.empty(); }, [](std::string_view) {},
        nullptr);
    return run.Started && run.ExitCode == 0 ? streams : -1;
}

TMakeResult MakePlan(TDiscPlan plan, const std::string& outDir, const TMakeOptions& options) {
    const int streams = AudioStreamCount(InputOf(plan), SearchPathOf(options));
    if (streams >= 0) plan.SourceAudioStreams = streams;
    try {
        return MakeDiscs(BuildJobIn(plan, outDir), options);
    } catch (const TJobError& e) {
        TMakeResult result;
        result.Message = e.what();
        return result;
    }
}

TMakeThread::TMakeThread(TDiscPlan plan, std::string outDir,
                         std::function<void(const TProgress&)> progress, TDone done)
    : Worker([this, plan = std::move(plan), outDir = std::move(outDir),
              progress = std::move(progress), done = std::move(done)] {
          TMakeOptions options;
          options.OnProgress = progress;
          options.Cancel = &Stop;
          const TMakeResult result = MakePlan(plan, outDir, options);
          if (done) done(result);
      }) {}

TMakeThread::~TMakeThread() {
    Cancel();
    if (Worker.joinable()) Worker.join();
}

} // namespace tarvex
