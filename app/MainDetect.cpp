// Finding the film area in the source's frames: a worker decodes them, the
// window's thread takes the result and types it into the film-pixel fields.
#include "app/Main.h"

#include "common/Numeric.h"

namespace tarvex {

namespace {

/// What a failed detection tells the user.
std::string DetectFailure(const TDetectResult& r, const std::string& file) {
    if (!r.Failure.empty()) return "Can't find the film area of " + file + ": " + r.Failure;
    switch (r.Error) {
    case TFrameError::None:
        return "No picture found in the frames of " + file;
    case TFrameError::NoVideo:
        return "No video stream in " + file;
    case TFrameError::NoDecoder:
        return "Can't decode the video of " + file;
    case TFrameError::BadFrameSize:
        return "Unusable frame size in " + file;
    case TFrameError::NoLibrary:
        return "Can't read the frames of " + file + ": " + FrameLibraryFailure();
    default:
        return "Can't open " + file;
    }
}

} // namespace

TMainForm::~TMainForm() {
    StopJobs();
}

void TMainForm::StopJobs() {
    FWaker->Cut();
    FDetection.reset();
    FMaking.reset();
}

void TMainForm::TakeJobNews() {
    if (FDetection) {
        if (const auto step = FDetection->TakeProgress()) DetectProgress(step->Done, step->Total);
        if (const auto result = FDetection->TakeResult()) DetectDone(*result);
    }
    if (FMaking) {
        if (const auto progress = FMaking->TakeProgress()) MakeProgress(*progress);
        if (const auto result = FMaking->TakeResult()) MakeDone(*result);
    }
}

void TMainForm::DetectBtnClick() {
    if (FDetection) {
        FDetection->Cancel();
        return;
    }
    const std::string file = SourceFile.FrameFile;
    if (file.empty()) {
        Platform.ShowMessage("Error", "Open a source first: its frames show the film area.");
        return;
    }
    const auto& c = SourceFile.FrameCrop;
    DetectBtn.SetCaption("Cancel");
    DetectLabel.SetCaption("0%");
    FDetection = StartDetectJob(file, TFrameCrop{c[0], c[1], c[2], c[3]}, TDetectOptions{},
                                [waker = FWaker] { waker->Wake(); });
}

void TMainForm::DetectProgress(int done, int total) {
    if (!FDetection || total <= 0) return;
    DetectLabel.SetCaption(IntToStr(100 * done / total) + "%");
    if (OnDetectProgress) OnDetectProgress(done, total);
}

void TMainForm::DetectDone(const TDetectResult& result) {
    FDetection.reset();
    DetectBtn.SetCaption("Detect");
    DetectLabel.SetCaption(result.Cancelled ? "cancelled" : "");
    if (result.Cancelled) return;
    if (!result.Area) {
        Platform.ShowMessage("Error", DetectFailure(result, SourceFile.FrameFile));
        return;
    }
    // The film-pixel fields refuse a smaller area, so typing it would leave the plan behind.
    const TFilmArea& area = *result.Area;
    const int least = TResizeStruct::MinFilmSide;
    if (area.Width < least || area.Height < least) {
        Platform.ShowMessage("Error", "The film area found in " + SourceFile.FrameFile + " (" +
                                          IntToStr(area.Width) + " x " + IntToStr(area.Height) +
                                          ") is smaller than the " + IntToStr(least) + " x " +
                                          IntToStr(least) + " pixels a film needs to be planned.");
        return;
    }
    // The size first: each size re-centres its border, which the border then replaces.
    SrcPixelXEdit.Retype(IntToStr(area.Width));
    SrcPixelYEdit.Retype(IntToStr(area.Height));
    BorderLeftEdit.Retype(IntToStr(area.Left));
    BorderTopEdit.Retype(IntToStr(area.Top));
}

TPreviewGeometry TMainForm::PreviewGeometry() const {
    const TResizeStruct& m = ResizeModel;
    const TBorderRect b = m.GetBorders();
    return {.SrcResX = m.SrcResX,
            .SrcResY = m.SrcResY,
            .SrcPixelX = m.SrcPixelX,
            .SrcPixelY = m.SrcPixelY,
            .BorderLeft = m.BorderLeft,
            .BorderTop = m.BorderTop,
            .CropX = m.CropX,
            .CropY = m.CropY,
            .CropLeft = m.CropLeft,
            .CropTop = m.CropTop,
            .ResizeX = m.ResizeX,
            .ResizeY = m.ResizeY,
            .DestX = m.DestX,
            .DestY = m.DestY,
            .DestBorders = {b.Left, b.Top, b.Right, b.Bottom},
            .OverscanBlocks = TVBorderUpDown.Position(),
            .SrcPixelForm = m.SrcPixelForm,
            .DestPixelForm = m.DestPixelForm,
            .AspectError = LastCrop.Error.value_or(0),
            .ErrorBand = static_cast<int>(LastCrop.Band)};
}

} // namespace tarvex
