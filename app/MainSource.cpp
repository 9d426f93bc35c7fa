// Opening a source and copying what the reader found into the window.
#include "app/Main.h"

#include "common/Numeric.h"

#include <charconv>
#include <limits>

namespace tarvex {

namespace {

/// Every kind of file the source reader reads, by its usual extensions.
const std::string VideoFilesFilter = [] {
    const char* const kinds[] = {"avi", "d2v", "lst",  "vob", "mpg", "mpeg", "m2v", "m1v",
                                 "mpv", "mkv", "webm", "mp4", "m4v", "mov",  "ts",  "m2ts",
                                 "mts", "flv", "ogv",  "ogg", "dv",  "asf",  "wmv", "avs"};
    std::string shown, patterns;
    for (const char* k : kinds) {
        shown += std::string(shown.empty() ? "" : " ") + "*." + k;
        patterns += std::string(patterns.empty() ? "" : ";") + "*." + k + ";*." + UpperAscii(k);
    }
    return "Video files (" + shown + ")|" + patterns;
}();

} // namespace

void TMainForm::OpenVideoBtnClick() {
    TFileDialog dialog;
    dialog.Title = "Open a source-file";
    dialog.FileName = OpenDialogFile.empty() ? FileNameSrc : OpenDialogFile;
    dialog.DefaultExt = "*.d2v;*.avi";
    dialog.Filter = VideoFilesFilter + "|All files (*.d2v *.avi)|*.d2v;*.D2V;*.avi;*.AVI"
                                       "|All files (*.*)|*.*";
    dialog.MustExist = true;
    const auto chosen = Platform.OpenDialog(dialog);
    if (chosen) OpenFilm(*chosen);
}

int TMainForm::ReadSource(const std::string& file) {
    TResizeStruct& m = ResizeModel;
    // What the file does not state stays as the model holds it.
    SourceFile.Frame = {m.SrcResX,   m.SrcResY,       m.SrcFrameRate,    m.SrcFrameCount,
                        m.SrcFourCC, m.SrcAspectCode, m.SrcIsAnamorphic, m.SrcIsVFAPI};
    const int result = SourceFile.OpenFiles({file});
    if (result != TOpenSrcFile::OpenOk) return result;
    const TSourceFrame& read = SourceFile.Frame;
    m.SrcResX = read.Width;
    m.SrcResY = read.Height;
    m.SrcFrameRate = read.FrameRate;
    m.SrcFrameCount = read.FrameCount;
    m.SrcFourCC = read.FourCC;
    m.SrcAspectCode = read.AspectCode;
    m.SrcIsAnamorphic = read.Anamorphic;
    m.SrcIsVFAPI = read.Vfapi;
    return result;
}

void TMainForm::SetFileInfos() {
    TResizeStruct& m = ResizeModel;
    SrcAnamorphic.SetChecked(m.SrcIsAnamorphic);
    SrcXEdit.SetText(IntToStr(m.SrcResX));
    SrcPixelXEdit.SetText(IntToStr(m.SrcResX));
    SrcYEdit.SetText(IntToStr(m.SrcResY));
    SrcPixelYEdit.SetText(IntToStr(m.SrcResY));
    // Always with a point, whatever the user's locale: to_chars ignores it, printf does not.
    char rate[400]; // room for any double in fixed notation
    const auto written =
        std::to_chars(rate, rate + sizeof rate, m.SrcFrameRate, std::chars_format::fixed, 3);
    OpenVideoBtn.SetHint("Open a source-file.\r\nActual file: " + FileNameSrc + "\r\n" +
                         IntToStr(m.SrcResX) + "x" + IntToStr(m.SrcResY) + " @ " +
                         std::string(rate, written.ptr) + "fps\r\nFourCC: " + m.SrcFourCC + "\r\n" +
                         IntToStr(m.SrcFrameCount) + " frames");
    ApplySrcPixelForm();
    if (Updating) return;

    FileNameAVS = FileNameSrc + ".avs";
    if (const auto entry = RateEntryOf(m.SrcFrameRate)) {
        FpsCombo.SetItemIndex(entry->Index);
        m.SrcIsPAL = entry->Pal;
    }
    FpsComboChange();
    SrcPALBox.SetChecked(m.SrcIsPAL);
    m.DestIsPAL = m.SrcIsPAL;
    DestPALBox.SetChecked(m.SrcIsPAL);

    // Without a frame rate the length is unknown, and a damaged header can give a
    // negative or endless one: then the film length stays.
    try {
        const std::int64_t seconds = Round(Div(m.SrcFrameCount, m.SrcFrameRate));
        if (seconds >= 0 && seconds <= std::numeric_limits<std::int32_t>::max()) {
            if (seconds < 60) EditMin.SetText("0");
            EditSec.SetText(IntToStr(seconds));
            EditSecExit();
        }
    } catch (const FloatError&) {
    }

    const TSourceGuess guess = GuessSource(SourceFile, m.SrcIsPAL);
    if (!guess.ShapeStated) SrcAnamorphic.SetChecked(false);
    if (guess.Interlaced) InterlacedResBox.SetChecked(*guess.Interlaced);
    if (guess.BottomFirst) BffToTffBox.SetChecked(*guess.BottomFirst);
    const int kind = static_cast<int>(guess.Kind);
    SrcAspectBox.SetItemIndex(kind);
    ITUAspect.SetChecked(kind != SquareKind);
    SrcChange();
}

} // namespace tarvex
