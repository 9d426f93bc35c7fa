// Making discs: the plan of the window's inputs for the disc maker, and the texts
// of its report.
#include "app/Main.h"

#include "common/AtomicFile.h"
#include "common/Numeric.h"
#include "disc/Report.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tarvex {

namespace {

/// "2:05 left", "1:02:05 left"; nothing to say before there is an estimate.
std::string TimeLeft(double seconds) {
    if (seconds < 0) return "estimating the time left";
    const std::int64_t s = std::llround(seconds);
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + IntToStr(v); };
    const std::string minutes =
        s >= 3600 ? IntToStr(s / 3600) + ":" + two(s / 60 % 60) : IntToStr(s / 60);
    return minutes + ":" + two(s % 60) + " left";
}

} // namespace

TDiscPlan TMainForm::DiscPlan() const {
    const TResizeStruct& m = ResizeModel;
    const TCDImage& d = DiscImage;
    TDiscPlan plan;
    // A project or a list is decoded through the film file its frames come from.
    plan.Source = SourceFile.FrameFile.empty() ? FileNameSrc : SourceFile.FrameFile;
    plan.SrcFrameRate = m.SrcFrameRate > 0 ? m.SrcFrameRate : FpsRate();
    // Without a frame count from the source, the film length the user typed.
    plan.SrcFrames = m.SrcFrameCount > 0
                         ? m.SrcFrameCount
                         : std::llround(static_cast<double>(FilmSeconds) * plan.SrcFrameRate);
    plan.SrcFramesEstimated = m.SrcFrameCount > 0 && SourceFile.Facts.FrameCountEstimated;
    const std::vector<std::string>& files = SourceFile.FileNames;
    if (files.size() > 1 && IsMpegType(SourceFile.FileType)) {
        // The files of a list play one after the other, so ffmpeg reads them as one
        // stream; only the first file's frames were counted, the film length is the user's.
        plan.Source = files[0];
        plan.MoreSources.assign(files.begin() + 1, files.end());
        plan.SrcFrames = std::llround(static_cast<double>(FilmSeconds) * plan.SrcFrameRate);
    }
    TPicturePlan& p = plan.Picture;
    p = PicturePlanOf(m, ResizeMode, BffToTff);
    // What a project cuts from its film's frames comes off before the crop.
    p.CropLeft += SourceFile.FrameCrop[0];
    p.CropTop += SourceFile.FrameCrop[1];
    p.BottomFirst = SourceBottomFirst();
    p.ConvertToRGB = ConvertToRGB;
    p.Widescreen = DestAnamorphic.Checked();
    plan.Format = MuxTraits(d.MuxMode).Family;
    plan.DiscCount = DiscCount;
    TakeBudget(plan, d);
    plan.Extras = DiscExtras();
    return plan;
}

bool TMainForm::SourceBottomFirst() const {
    // DV shows the bottom field first, whatever its container says.
    const TResizeStruct& m = ResizeModel;
    return m.SrcFourCC == "DVSD" || m.SrcFourCC == "CDVC" || SourceFile.Facts.Codec == "dvvideo" ||
           SourceFile.Facts.FieldOrder == TFieldOrder::BottomFirst;
}

TDiscJob TMainForm::DiscJob(const std::string& dir) const {
    if (SourceFile.FileNames.size() > 1 && !IsMpegType(SourceFile.FileType))
        throw TJobError("Only a list of MPEG files can be made into discs: join the other "
                        "files into one film first.");
    TDiscPlan plan = DiscPlan();
    // As Make disc does: a film without sound gets silence (counted once a film).
    const std::string input = InputOf(plan);
    if (FAudioCount.first != input) FAudioCount = {input, AudioStreamCount(input, "")};
    if (FAudioCount.second >= 0) plan.SourceAudioStreams = FAudioCount.second;
    return BuildJobIn(plan, dir);
}

std::string TMainForm::JobFolder() const {
    if (!DiscFolder.empty() && FDiscFolderSource == FileNameSrc) return DiscFolder;
    const std::filesystem::path source(FullName(FileNameSrc));
    if (FileNameSrc.empty()) return DiscFolder.empty() ? "." : DiscFolder;
    return (source.parent_path() / (source.stem().string() + " discs")).string();
}

void TMainForm::MakeDiscBtnClick() {
    if (FMaking) {
        FMaking->Cancel();
        Make.Status = "Cancelling...";
        return;
    }
    if (!MayMakeDiscs()) return;
    try {
        (void)DiscJob(JobFolder()); // an impossible plan is said before the dialog
    } catch (const TJobError& e) {
        Platform.ShowMessage("Error", e.what());
        return;
    }
    // Hours of encoding for a plan the window warns about are asked about first.
    if (const std::vector<TWarning> warnings = Warnings(); !warnings.empty()) {
        std::string text = "The plan has warnings:\n";
        for (const TWarning& w : warnings) text += "- " + w.Text + "\n";
        if (!Platform.Confirm("Make disc", text + "Make the discs anyway?")) return;
    }
    TFileDialog dialog;
    dialog.Title = "Folder for the disc images";
    dialog.FileName = JobFolder();
    const auto folder = Platform.FolderDialog(dialog);
    if (!folder) return;
    TMakeOptions options;
    if (!MayReplace(DiscJob(*folder), options)) return;
    DiscFolder = *folder;
    FDiscFolderSource = FileNameSrc;
    MakeScript(); // a job shown names the folder at once
    FMakingBudget = DiscImage;
    FMakingPlan = DiscPlan();
    Make = {.Status = "Starting...", .Fraction = 0};
    FMaking = StartMakeJob(FMakingPlan, DiscFolder, options, [waker = FWaker] { waker->Wake(); });
}

bool TMainForm::MayReplace(const TDiscJob& job, TMakeOptions& options) {
    const std::vector<std::string> existing = ExistingOutputs(job, options);
    if (existing.empty()) return true;
    std::string names;
    for (const std::string& name : existing)
        names += "\n- " + std::filesystem::path(name).filename().string();
    options.Replace = Platform.Confirm(
        "Make disc", job.OutDir + " holds files of an earlier run:" + names + "\nReplace them?");
    return options.Replace;
}

bool TMainForm::MayClose() {
    return !Making() ||
           Platform.Confirm("Make disc", "Discs are being made. Stop making them and close?");
}

std::vector<TWarning> TMainForm::Refusals() const {
    std::vector<TWarning> refusals;
    for (TWarning& w : Warnings())
        if (w.Refuses) refusals.push_back(std::move(w));
    return refusals;
}

bool TMainForm::MayMakeDiscs() {
    std::vector<TWarning> refusals = Refusals();
    if (refusals.empty()) return true;
    std::string text = "No player accepts these discs:\n";
    bool fixable = true;
    for (const TWarning& w : refusals) {
        text += "- " + w.Text + "\n";
        fixable = fixable && w.Fix.Kind != TFix::TKind::None;
    }
    if (!fixable) {
        Platform.ShowMessage("Make disc", text);
        return false;
    }
    if (Platform.Choose("Make disc", text + "Fix this and make the discs?", {"Fix", "Cancel"}) != 0)
        return false;
    // Any other change computes the disc-filling rate anew, so the rate comes last,
    // and a rate the fixes made anew is fixed in a second round.
    for (int round = 0; round < 2 && !refusals.empty(); ++round) {
        std::stable_partition(refusals.begin(), refusals.end(),
                              [](const TWarning& w) { return w.Fix.Control != "VideoUpDown"; });
        for (const TWarning& w : refusals)
            if (w.Fix.Kind != TFix::TKind::None) ApplyFix(w.Fix);
        refusals = Refusals();
    }
    if (refusals.empty()) return true;
    text = "No player accepts these discs:\n";
    for (const TWarning& w : refusals) text += "- " + w.Text + "\n";
    Platform.ShowMessage("Make disc", text);
    return false;
}

void TMainForm::MakeProgress(const TProgress& progress) {
    if (!FMaking || FMaking->Cancelled()) return;
    Make.Fraction = progress.Fraction;
    Make.Status = progress.Step + ", " + TimeLeft(progress.SecondsLeft);
}

void TMainForm::MakeDone(const TMakeResult& result) {
    FMaking.reset();
    const std::string unfit = Unfit(result, FMakingBudget);
    Make = {.Status = unfit.empty() ? result.Message : unfit,
            .Fraction = result.Status == TMakeStatus::Done ? 1.0 : 0.0};
    std::vector<std::string> report = DiscReport(result, FMakingBudget, FMakingPlan);
    if (!result.Discs.empty()) SaveDiscReport(report, DiscFolder);
    if (result.Status != TMakeStatus::Cancelled) Platform.ShowReport("Disc report", report);
    if (!unfit.empty()) Platform.ShowMessage("Error", unfit);
}

std::string TMainForm::Unfit(const TMakeResult& result, const TCDImage& budget) {
    std::string discs;
    int count = 0;
    for (const TDiscResult& disc : result.Discs)
        if (!CheckDisc(budget, disc, MuxTraits(budget.MuxMode).Family).Fits)
            discs += (count++ == 0 ? "" : ", ") + IntToStr(disc.Number);
    if (count == 0) return "";
    if (count > 1)
        return "The images of discs " + discs +
               " do not fit their discs: burn them on larger "
               "ones, or lower the rates and make them again.";
    return "The image of disc " + discs +
           " does not fit its disc: burn it on a larger one, or "
           "lower the rates and make it again.";
}

void TMainForm::SaveDiscReport(std::vector<std::string>& report, const std::string& dir) {
    const std::string name = (std::filesystem::path(dir) / "tarvex-report.txt").string();
    std::string text;
    for (const std::string& line : report) text += line + "\n";
    try {
        WriteFileAtomically(name, text);
        report.push_back("This report is kept in " + name + ".");
    } catch (const TFileError& e) {
        report.push_back(std::string("The report could not be kept: ") + e.what());
    }
}

std::vector<std::string> TMainForm::DiscReport(const TMakeResult& result, const TCDImage& budget,
                                               const TDiscPlan& plan) const {
    // Images made for discs they do not fit are no discs made: the report says so first.
    const std::string unfit = Unfit(result, budget);
    std::vector<std::string> lines = {unfit.empty() ? result.Message : unfit};
    if (plan.VideoRate < plan.PlannedVideoRate) {
        const std::int64_t share = (plan.SrcFrames + plan.DiscCount - 1) / plan.DiscCount;
        lines.push_back("The film's " + IntToStr(share) + " frames a disc play longer than the " +
                        RoundedToStr(budget.Duration, 100, DecimalSeparator) +
                        " seconds planned: the video was encoded at " + IntToStr(plan.VideoRate) +
                        " bps instead of " + IntToStr(plan.PlannedVideoRate) +
                        " bps, so that every frame fits.");
    }
    const TDiscFormat format = MuxTraits(budget.MuxMode).Family;
    const auto row = [&](const char* what, std::int64_t predicted, std::int64_t real,
                         const char* unit) {
        return std::string("  ") + what + ": " + IntToStr(real) + " " + unit + ", predicted " +
               IntToStr(predicted) + " (" + (real >= predicted ? "+" : "") +
               RoundedToStr(Deviation(predicted, real), 1000, DecimalSeparator) + " %)";
    };
    for (const TDiscResult& disc : result.Discs) {
        const TDiscCheck c = CheckDisc(budget, disc, format);
        lines.push_back(DiscSummary(c, format));
        lines.push_back("Disc " + IntToStr(c.Number) + ": " + disc.Files.at(0));
        lines.push_back(
            row("video stream (encoder)", c.PlannedVideoBytes, c.RealVideoBytes, "bytes"));
        lines.push_back(
            row("audio streams (encoder)", c.PlannedAudioBytes, c.RealAudioBytes, "bytes"));
        lines.push_back(
            row("multiplexed file (layout)", c.PredictedMuxBlocks, c.RealMuxBlocks, "blocks"));
        lines.push_back(
            row("image (authoring)", c.PredictedImageBlocks, c.RealImageBlocks, "blocks"));
        lines.push_back(
            row("image (whole plan)", c.PlannedImageBlocks, c.RealImageBlocks, "blocks"));
        lines.push_back(std::string("  ") + (c.Fits ? "fits" : "does NOT fit") + " the disc of " +
                        IntToStr(c.BlocksUsable) + " blocks");
        for (const auto& [what, bytes] : disc.Measured) {
            const std::int64_t blocks = (bytes + 2047) / 2048;
            const std::int64_t predicted =
                what == "menu" ? std::int64_t{budget.MenuBlocks} : budget.ImageSubtitleBytes / 2048;
            lines.push_back(
                row(what == "menu" ? "menu" : "subtitles", predicted, blocks, "blocks"));
        }
        for (const std::string& found : disc.ReadBack) lines.push_back("  read back: " + found);
    }
    if (!result.Discs.empty() && budget.MenuBlocks > 0 && format != TDiscFormat::DVD)
        lines.push_back("The budget keeps " + IntToStr(budget.MenuBlocks) +
                        " blocks a disc for menu pictures, which the job does not make.");
    return lines;
}

} // namespace tarvex
