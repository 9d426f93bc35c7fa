#include "disc/Runner.h"

#include "disc/PackScan.h"
#include "disc/Process.h"
#include "disc/Pulldown.h"
#include "disc/ReadBack.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarvex {

namespace {

/// The Debian package of each tool a job runs.
const std::map<std::string, std::string> Packages = {
    {"ffmpeg", "ffmpeg"},           {"mplex", "mjpegtools"}, {"vcdimager", "vcdimager"},
    {"vcdxbuild", "vcdimager"},     {"spumux", "dvdauthor"}, {"dvdauthor", "dvdauthor"},
    {"genisoimage", "genisoimage"}, {"lsdvd", "lsdvd"},      {"ffprobe", "ffmpeg"},
    {"vcdxrip", "vcdimager"},       {"xorriso", "xorriso"}};

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

/// The log file, made new (never through a link planted under its name); a write
/// that fails is remembered, not thrown.
class TLog {
  public:
    explicit TLog(const std::string& name)
        : Fd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)),
          Error(Fd < 0 ? errno : 0) {}
    ~TLog() {
        if (Fd >= 0) close(Fd);
    }
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;
    bool Ok() const { return Error == 0; }
    /// Why the log could not be written.
    std::string Reason() const { return std::generic_category().message(Error); }
    void Line(std::string_view text) {
        std::string line(text);
        line += '\n';
        for (std::size_t done = 0; Ok() && done < line.size();) {
            const ssize_t n = write(Fd, line.data() + done, line.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EINTR)
                Error = errno;
        }
    }

  private:
    int Fd;
    int Error;
};

/// The output folder held by one run: a lock on the folder itself, which the
/// system lets go when the run ends, however it ends.
class TFolderLock {
  public:
    explicit TFolderLock(const std::string& dir)
        : Fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~TFolderLock() {
        if (Fd >= 0) close(Fd);
    }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;
    /// False when another run holds the folder; a folder that cannot be opened is
    /// left to the writes that follow to say why.
    bool Take() { return Fd < 0 || flock(Fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

  private:
    int Fd;
};

/// Removes the work folders of runs that were killed: with the folder's lock taken,
/// no live run owns any of them.
void RemoveStaleWork(const fs::path& dir, const std::string& workPrefix) {
    std::error_code ec;
    std::vector<fs::path> stale;
    for (auto entry = fs::directory_iterator(dir, ec); !ec && entry != fs::directory_iterator();
         entry.increment(ec))
        if (entry->path().filename().string().starts_with(workPrefix + "-") &&
            entry->is_directory(ec) && !entry->is_symlink(ec))
            stale.push_back(entry->path());
    for (const fs::path& dir : stale) fs::remove_all(dir, ec);
}

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

/// Renames a finished file to its final name; one that appeared there since the
/// run started is replaced only when the run may replace files.
std::error_code MoveImage(const fs::path& from, const std::string& to, bool replace) {
    const int rc = replace
                       ? std::rename(from.c_str(), to.c_str())
                       : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    return rc == 0 ? std::error_code{} : std::error_code(errno, std::generic_category());
}

/// The job's tools that cannot be found.
std::vector<std::string> MissingTools(const TDiscJob& job, const std::string& searchPath) {
    std::set<std::string> tools;
    for (const TDiscPart& part : job.Parts)
        for (const TStep& step : part.Steps)
            if (!step.Args.empty()) tools.insert(step.Args[0]);
    for (const TDiscPart& part : job.Parts)
        if (part.Expected.Frames > 0)
            for (const std::string& tool : ReadBackTools(job.Format)) tools.insert(tool);
    std::vector<std::string> missing;
    for (const std::string& tool : tools) {
        if (FindProgram(tool, searchPath).empty()) missing.push_back(tool);
    }
    return missing;
}

/// The expectation for a disc whose encoder made `frames` pictures (within its
/// slack): the pictures, fields and playing time follow them.
TExpectedDisc WithFramesMade(TExpectedDisc e, std::int64_t frames) {
    if (frames == e.Frames || e.Frames <= 0 || frames <= 0) return e;
    const bool pulldown = e.Fields != 2 * e.Frames;
    e.Seconds = e.Seconds * static_cast<double>(frames) / static_cast<double>(e.Frames);
    e.Frames = frames;
    e.Fields = pulldown ? PulldownFields(frames) : 2 * frames;
    return e;
}

/// Runs jobs' steps and keeps what the result needs.
class TMaker {
  public:
    TMaker(const TDiscJob& job, const TMakeOptions& options)
        : Job(job), Options(options), Path(SearchPathOf(options)), Clock(job, options) {}
    ~TMaker() {
        std::error_code ec;
        if (!Work.empty() && !Options.KeepWork) fs::remove_all(Work, ec);
    }
    TMaker(const TMaker&) = delete;
    TMaker& operator=(const TMaker&) = delete;

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
    bool Fail(const std::string& message, TMakeStatus status = TMakeStatus::Failed) {
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

    /// The end of a step's failure: where the log is, and the discs finished before.
    std::string SeeLog() const { return ". The log is " + Result.LogFile + "." + Finished(); }

    bool Prepare() {
        if (Job.Parts.empty()) return Fail("The job makes no disc.");
        std::error_code ec;
        fs::create_directories(Job.OutDir, ec);
        Lock = std::make_unique<TFolderLock>(Job.OutDir);
        if (!ec && !Lock->Take())
            return Fail("Another run of Tarvex is making discs in " + Job.OutDir +
                        ". Wait until it ends or choose another folder.");
        const fs::path work(Job.WorkDir);
        RemoveStaleWork(work.parent_path(), work.filename().string());
        if (!ec && !ClearEarlierRun()) return false;
        Log = std::make_unique<TLog>(Result.LogFile);
        if (ec || !Log->Ok())
            return Fail("Cannot write into " + Job.OutDir + ": " +
                        (ec ? ec.message() : Log->Reason()) + ".");
        const std::vector<std::string> missing = MissingTools(Job, Path);
        if (!missing.empty()) {
            std::string list, packages;
            std::set<std::string> named;
            for (const std::string& tool : missing) {
                list += (list.empty() ? "" : ", ") + tool;
                if (named.insert(PackageOf(tool)).second) packages += " " + PackageOf(tool);
            }
            return Fail("These tools are missing: " + list + ". Install them (apt install" +
                        packages + ") and try again.");
        }
        struct statvfs space {};
        if (statvfs(Job.OutDir.c_str(), &space) == 0) {
            const std::uint64_t free = std::uint64_t{space.f_bavail} * space.f_frsize;
            if (free < Job.NeededBytes)
                return Fail("Not enough free space in " + Job.OutDir + ": the discs need about " +
                            Megabytes(Job.NeededBytes) + ", " + Megabytes(free) + " are free.");
        }
        std::string pattern = Job.WorkDir + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return Fail("Cannot make the work folder " + Job.WorkDir + ": " +
                        std::generic_category().message(errno) + ".");
        Work = pattern;
        Log->Line("# work folder " + Work.string());
        return true;
    }

    /// The project files the disc's steps read.
    bool WriteTexts(const TDiscPart& part) {
        for (const TWorkText& text : part.Texts) {
            std::ofstream out(Work / text.Name, std::ios::binary | std::ios::trunc);
            out << text.Text;
            if (!out.flush()) return Fail("Cannot write " + text.Name + " in the work folder.");
        }
        return true;
    }

    /// Files of an earlier run are replaced only when asked; the old log goes first,
    /// so that the new one is a file of this run's own.
    bool ClearEarlierRun() {
        const std::vector<std::string> existing = ExistingOutputs(Job, Options);
        if (existing.empty()) return true;
        if (!Options.Replace) {
            std::string names;
            for (const std::string& name : existing)
                names += (names.empty() ? "" : ", ") + fs::path(name).filename().string();
            return Fail(Job.OutDir + " already holds " + names +
                        " of an earlier run. Choose another folder or let Tarvex replace them.");
        }
        std::error_code ec;
        fs::remove(Result.LogFile, ec);
        return true;
    }

    bool MakeDisc(const TDiscPart& part) {
        for (const std::string& dir : part.MakeDirs) {
            std::error_code ec;
            fs::create_directories(Work / dir, ec);
            if (ec) return Fail("Cannot make " + dir + ": " + ec.message());
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
        if (!part.SubtitleFolder.empty())
            disc.Measured.emplace_back("subtitles",
                                       TitleSubpictureBytes((Work / part.SubtitleFolder).string()));
        for (const TWorkText& m : part.Measured)
            disc.Measured.emplace_back(m.Name, FileSize(Work / m.Text));
        if (!ReadBack(part, disc)) return false;
        for (const TFinalFile& file : part.Images) {
            const std::error_code ec =
                MoveImage(Work / file.WorkName, file.FinalName, Options.Replace);
            if (ec)
                return Fail("Cannot move the image to " + file.FinalName + ": " + ec.message() +
                            ".");
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

    /// Reads the made image back as a player would; a part without expectations
    /// (a job not built from a plan) is not read.
    bool ReadBack(const TDiscPart& part, TDiscResult& disc) {
        if (part.Expected.Frames <= 0) return true;
        // A VCD's track is read out into the work folder: the room of the streams,
        // measured already, makes room for it.
        std::error_code ec;
        for (const std::string& stream : part.AudioFiles)
            if (!Options.KeepWork) fs::remove(Work / stream, ec);
        if (!Options.KeepWork) fs::remove(Work / part.VideoFile, ec);
        TStep reading;
        reading.Title = "Disc " + std::to_string(part.Number) + ": reading the image back";
        reading.Weight = 0;
        Clock.Start(part.Number, reading);
        TDiscPart made = part;
        made.Expected = WithFramesMade(part.Expected, disc.VideoFrames);
        const TReadBack found =
            ReadBackImage(Job.Format, made,
                          {.WorkDir = Work.string(),
                           .SearchPath = Path,
                           .Cancel = Options.Cancel,
                           .Log = [this](std::string_view line) { Log->Line(line); }});
        if (Options.Cancel && Options.Cancel->load()) return Cancel();
        for (const std::string& line : found.Found) Log->Line("# " + line);
        if (!found.Difference.empty())
            return Fail("Disc " + std::to_string(part.Number) +
                        " was read back and differs from the plan: " + found.Difference +
                        ". Its image was not kept; the log is " + Result.LogFile + "." +
                        Finished());
        disc.ReadBack = found.Found;
        return true;
    }

    bool Cancel() {
        return Fail("Cancelled: no image of the disc being made was written." + Finished(),
                    TMakeStatus::Cancelled);
    }

    bool RunStep(const TDiscPart& part, const TStep& step, std::int64_t& frames) {
        if (step.Args.empty()) return Fail("\"" + step.Title + "\" names no program.");
        Clock.Start(part.Number, step);
        TCommand command{.Program = FindProgram(step.Args[0], Path),
                         .Args = step.Args,
                         .Env = step.Env,
                         .Dir = Work.string()};
        const bool progress = step.Frames > 0;
        if (progress) // ffmpeg reports its frames on standard output
            command.Args.insert(command.Args.begin() + 1, {"-progress", "pipe:1", "-nostats"});
        Log->Line("$ " + CommandLine(step));
        TTail tail;
        std::int64_t stepFrames = 0;
        const auto onOutput = [&](std::string_view line) {
            std::int64_t frame = 0;
            if (progress && ParseFrame(line, frame)) {
                frames = stepFrames = frame;
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
            return Fail("\"" + step.Title + "\" could not start " + step.Args[0] + ": " +
                        run.StartError + ".");
        Log->Line("# exit code " + std::to_string(run.ExitCode));
        if (run.ExitCode == 0) return Checked(step, stepFrames, part.Expected.FramesSlack, tail);
        const std::string how = run.Signal != 0
                                    ? "was stopped by signal " + std::to_string(run.Signal)
                                    : "ended with exit code " + std::to_string(run.ExitCode);
        if (tail.Contains("No space left on device")) return DiskFull(step);
        return Fail("\"" + step.Title + "\" failed: " + step.Args[0] + " " + how +
                    (tail.Last().empty() ? "" : " (" + tail.Last() + ")") + SeeLog());
    }

    /// A step that says it succeeded has made what the next step needs: a full disk
    /// or a source that ends early can end a tool with success.
    bool Checked(const TStep& step, std::int64_t frames, std::int64_t slack, const TTail& tail) {
        if (tail.Contains("No space left on device")) return DiskFull(step);
        for (const std::string& output : step.Outputs) {
            if (FileSize(Work / output) > 0) continue;
            std::error_code ec;
            const bool made = fs::exists(Work / output, ec);
            return Fail("\"" + step.Title + "\" " +
                        (made ? "left " + output + " empty" : "did not make " + output) + SeeLog());
        }
        if (step.Frames > 0 && std::abs(frames - step.Frames) > slack)
            return Fail("\"" + step.Title + "\" made " + std::to_string(frames) + " of the " +
                        std::to_string(step.Frames) +
                        " frames planned: the source ends early or could not be read to its end" +
                        SeeLog());
        Clock.Report(1);
        Clock.Finish();
        return true;
    }

    bool DiskFull(const TStep& step) {
        return Fail("The disk is full: \"" + step.Title +
                    "\" could not write its output. Free some space and try again." + Finished());
    }

    const TDiscJob& Job;
    const TMakeOptions& Options;
    const std::string Path;
    TProgressClock Clock;
    TMakeResult Result;
    std::unique_ptr<TFolderLock> Lock;
    std::unique_ptr<TLog> Log;
    fs::path Work;
};

} // namespace

std::vector<std::string> ExistingOutputs(const TDiscJob& job, const TMakeOptions& options) {
    std::vector<std::string> names;
    for (const TDiscPart& part : job.Parts)
        for (const TFinalFile& file : part.Images) names.push_back(file.FinalName);
    names.push_back((fs::path(job.OutDir) / options.LogName).string());
    names.push_back((fs::path(job.OutDir) / ReportName).string());
    std::vector<std::string> existing;
    for (const std::string& name : names) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(name, ec))) existing.push_back(name);
    }
    return existing;
}

TMakeResult MakeDiscs(const TDiscJob& job, const TMakeOptions& options) {
    return TMaker(job, options).Run();
}

int AudioStreamCount(const std::string& file, const std::string& searchPath) {
    const std::string ffprobe =
        FindProgram("ffprobe", searchPath.empty() ? SearchPathOf({}) : searchPath);
    if (ffprobe.empty()) return -1;
    int streams = 0;
    const TProcessResult run = RunProcess(
        {.Program = ffprobe,
         .Args = {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=index",
                  "-of", "csv=p=0", "-protocol_whitelist", LocalProtocols(file), file},
         .Env = {},
         .Dir = {}},
        [&streams](std::string_view line) { streams += !line.empty(); }, [](std::string_view) {},
        nullptr);
    return run.Started && run.ExitCode == 0 ? streams : -1;
}

TMakeResult MakePlan(TDiscPlan plan, const std::string& outDir, const TMakeOptions& options) {
    plan = WithFullNames(std::move(plan)); // before any tool sees a name
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

std::unique_ptr<TMakeJob> StartMakeJob(TDiscPlan plan, std::string outDir, TMakeOptions options,
                                       std::function<void()> wake) {
    return std::make_unique<TMakeJob>(
        [plan = std::move(plan), outDir = std::move(outDir), options = std::move(options)](
            const TMakeJob::TReport& report, const std::atomic<bool>& cancel) {
            TMakeOptions run = options;
            run.OnProgress = report;
            run.Cancel = &cancel;
            return MakePlan(plan, outDir, run);
        },
        [](const std::string& what) {
            TMakeResult failed;
            failed.Message = "Making the discs stopped on an error: " + what + ".";
            return failed;
        },
        std::move(wake));
}

} // namespace tarvex
