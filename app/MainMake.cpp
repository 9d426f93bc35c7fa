// Making discs: the plan of the window's inputs for the disc maker, and the texts
// of its report.
#include "app/Main.h"

#include "common/Numeric.h"
#include "disc/Report.h"

#include <cmath>

namespace tarvex {

namespace {

TDiscFormat FormatOf(std::int8_t muxMode) {
    switch (muxMode) {
    case 3:
    case 4:
    case Rows::VcdFfmpeg:
        return TDiscFormat::VCD;
    case 0:
    case 1:
    case 2:
    case Rows::SvcdFfmpeg:
        return TDiscFormat::SVCD;
    default:
        return TDiscFormat::DVD;
    }
}

} // namespace

TDiscPlan TMainForm::DiscPlan() const {
    const TResizeStruct& m = ResizeModel;
    const TCDImage& d = DiscImage;
    TDiscPlan plan;
    plan.Source = FileNameSrc;
    plan.SrcFrameRate = m.SrcFrameRate > 0 ? m.SrcFrameRate : d.FrameRate;
    // Without a frame count from the source, the film length the user typed.
    plan.SrcFrames = m.SrcFrameCount > 0
                         ? m.SrcFrameCount
                         : std::llround(static_cast<double>(FilmSeconds) * plan.SrcFrameRate);
    const TBorderRect borders = m.GetBorders();
    plan.Picture = {.CropLeft = m.CropLeft,
                    .CropTop = m.CropTop,
                    .CropX = m.CropX,
                    .CropY = m.CropY,
                    .ResizeX = m.ResizeX,
                    .ResizeY = m.ResizeY,
                    .DestY = m.DestY,
                    .BorderLeft = borders.Left,
                    .BorderTop = borders.Top,
                    .BorderRight = borders.Right,
                    .BorderBottom = borders.Bottom,
                    .Interlaced = m.InterlacedResizing,
                    .ResizeMode = ResizeMode,
                    .BffToTff = BffToTff,
                    .ConvertToRGB = ConvertToRGB,
                    .SrcIsPAL = m.SrcIsPAL,
                    .DestIsPAL = m.DestIsPAL,
                    .Widescreen = DestAnamorphic.Checked()};
    plan.Format = FormatOf(d.MuxMode);
    plan.DiscCount = DiscCount;
    TakeBudget(plan, d);
    return plan;
}

TDiscJob TMainForm::DiscJob(const std::string& dir) const {
    return BuildJob(DiscPlan(), dir + "/.tarvex-work", dir);
}

std::vector<std::string> TMainForm::DiscReport(const TMakeResult& result) const {
    std::vector<std::string> lines = {result.Message};
    const TDiscFormat format = FormatOf(DiscImage.MuxMode);
    const auto row = [&](const char* what, std::int64_t predicted, std::int64_t real,
                         const char* unit) {
        return std::string("  ") + what + ": " + IntToStr(real) + " " + unit + ", predicted " +
               IntToStr(predicted) + " (" + (real >= predicted ? "+" : "") +
               RoundedToStr(Deviation(predicted, real), 1000, DecimalSeparator) + " %)";
    };
    for (const TDiscResult& disc : result.Discs) {
        const TDiscCheck c = CheckDisc(DiscImage, disc, format);
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
    }
    return lines;
}

} // namespace tarvex
