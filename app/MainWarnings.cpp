// What the window warns about, in words, and the numbers it shows beside the
// resize fields and the disc image: the resize candidates and the disc fill.
#include "app/Main.h"

#include "budget/BudgetCheck.h"
#include "common/Numeric.h"
#include "geometry/ScriptCheck.h"

namespace tarvex {

namespace {

std::string Size(std::int64_t w, std::int64_t h) {
    return IntToStr(w) + " x " + IntToStr(h);
}

/// How much too large an image of `blocks` extra blocks is, as playing time and megabytes.
std::string Overfill(std::int64_t blocks, std::uint16_t sectorSize, char separator) {
    const std::int64_t seconds = blocks / 75;
    return IntToStr(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") + IntToStr(seconds % 60) +
           " min or " +
           RoundedToStr(static_cast<Real>(blocks) * sectorSize / 1048576, 10, separator) + " MB";
}

TWarning Worded(const TBudgetFinding& f, const TCDImage& d, char separator) {
    switch (f.Issue) {
    case TBudgetIssue::VideoAboveMax:
        return {"VideoAboveMax", "Label62",
                "The video rate of " + KbpsText(f.Value) + " is above the player's maximum of " +
                    KbpsText(f.Limit) + "."};
    case TBudgetIssue::VideoBelowMin:
        return {"VideoBelowMin", "Label63",
                "The video rate of " + KbpsText(f.Value) + " is below the player's minimum of " +
                    KbpsText(f.Limit) + "."};
    case TBudgetIssue::NoRoomForVideo:
        return {"NoRoomForVideo", "Videokbps",
                "Audio and overheads alone fill the disc: there is no room for video."};
    case TBudgetIssue::DiscOverfilled:
        break;
    }
    return {"DiscOverfilled", "EditImageBlocks",
            "The disc image is " + IntToStr(f.Value) + " blocks larger than the disc (" +
                IntToStr(f.Limit) +
                " usable blocks): " + Overfill(f.Value, d.SectorSize, separator) + " too much."};
}

TWarning Worded(const TScriptFinding& f, const TResizeStruct& m) {
    const std::string frame = " the source frame (" + Size(m.SrcResX, m.SrcResY) + ").";
    switch (f.Issue) {
    case TScriptIssue::ResizeEmpty:
        return {"ResizeEmpty", "ResizeXEdit",
                "The resized picture (" + Size(f.A, f.B) + ") has no area."};
    case TScriptIssue::CropEmpty:
        return {"CropEmpty", "CropXEdit", "The crop (" + Size(f.A, f.B) + ") has no area."};
    case TScriptIssue::FilmAreaEmpty:
        return {"FilmAreaEmpty", "SrcPixelXEdit",
                "The film area (" + Size(f.A, f.B) + ") has no area."};
    case TScriptIssue::DestEmpty:
        return {"DestEmpty", "DestXEdit",
                "The destination frame (" + Size(f.A, f.B) + ") has no area."};
    case TScriptIssue::ResizeWidthOdd:
        return {"ResizeWidthOdd", "ResizeXEdit",
                "The resize width " + IntToStr(f.A) +
                    " is odd: AviSynth+ resizes YV12 to even widths only."};
    case TScriptIssue::ResizeHeightOdd:
        return {"ResizeHeightOdd", "ResizeYEdit",
                "The resize height " + IntToStr(f.A) +
                    " is odd: AviSynth+ resizes YV12 to even heights only."};
    case TScriptIssue::FieldHeightOdd:
        return {"FieldHeightOdd", "ResizeYEdit",
                "Interlaced resizing makes each field half of " + IntToStr(f.A) +
                    " lines: for YV12 the height must be a multiple of 4."};
    case TScriptIssue::BorderOdd:
        return {"BorderOdd", "AVSMemo",
                "The borders " + IntToStr(f.A) + ", " + IntToStr(f.B) + ", " + IntToStr(f.C) +
                    ", " + IntToStr(f.D) + " include an odd one: YV12 takes even borders only."};
    case TScriptIssue::BorderNegative:
        return {"BorderNegative", "AVSMemo",
                "The resized picture (" + Size(f.A, f.B) +
                    ") is larger than the destination frame (" + Size(f.C, f.D) + ")."};
    case TScriptIssue::FilmAreaOutside:
        return {"FilmAreaOutside", "BorderLeftEdit",
                "The film area (" + Size(f.A, f.B) + " at " + IntToStr(f.C) + ", " + IntToStr(f.D) +
                    ") reaches outside" + frame};
    case TScriptIssue::CropOutside:
        break;
    }
    return {"CropOutside", "CropXEdit",
            "The crop (" + Size(f.A, f.B) + " at " + IntToStr(f.C) + ", " + IntToStr(f.D) +
                ") reaches outside" + frame};
}

} // namespace

const char* FillPartName(TFillPart part) {
    // In the order of TFillPart.
    static const char* const names[] = {"Authoring reserve",
                                        "Authoring overhead",
                                        "Extra data",
                                        "Subtitles",
                                        "Audio 1",
                                        "Audio 2",
                                        "Video",
                                        "Multiplexing overhead",
                                        "Safety margin",
                                        "Unused"};
    return names[static_cast<std::size_t>(part)];
}

std::vector<TWarning> TMainForm::Warnings() const {
    std::vector<TWarning> warnings;
    for (const TBudgetFinding& f : CheckBudget(DiscImage))
        warnings.push_back(Worded(f, DiscImage, DecimalSeparator));
    for (const TScriptFinding& f : CheckScript(ResizeModel))
        warnings.push_back(Worded(f, ResizeModel));
    for (TWarning& w : ComplianceWarnings()) warnings.push_back(std::move(w));
    if (LastCrop.Error && LastCrop.Band == TErrorBand::Large)
        warnings.push_back({"AspectError", "ErrLabel",
                            "The aspect error of " + FloatToStr(*LastCrop.Error, DecimalSeparator) +
                                " % distorts the picture visibly: crop the film, or change the "
                                "resize height."});
    return warnings;
}

std::vector<TResizeCandidate> TMainForm::ResizeCandidates() const {
    const int overscan = 16 * TVBorderUpDown.Position();
    return tarvex::ResizeCandidates(ResizeModel, ResizeModel.DestX - overscan,
                                    ResizeModel.DestY - overscan, DiscImage.VideoRate);
}

void TMainForm::ChooseResizeHeight(std::int32_t height) {
    ResizeYEdit.SetText(IntToStr(height));
    TakeResizeHeight(height);
}

TDiscFill TMainForm::DiscFill() const {
    return ComputeDiscFill(DiscImage);
}

} // namespace tarvex
