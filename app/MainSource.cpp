// Opening a source and copying what the reader found into the window.
#include "app/Main.h"

#include "common/Numeric.h"

#include <charconv>
#include <limits>

namespace tarvex {

namespace {

/// Frame-rate list entry and PAL flag for a source rate; false when none fits.
bool FrameRateEntry(double rate, int& index, bool& pal) {
    std::int64_t once, twice;
    try {
        once = Round(rate);
        twice = Round(2 * static_cast<Real>(rate));
    } catch (const FloatError&) {
        return false;
    }
    const struct {
        bool doubled;
        std::int64_t value;
        int index;
        bool pal;
    } rows[] = {{false, 25, 1, true}, {false, 24, 0, false}, {false, 30, 2, false},
                {true, 30, 2, false}, {true, 24, 0, false},  {true, 25, 1, false}};
    for (const auto& r : rows) {
        if ((r.doubled ? twice : once) == r.value) {
            index = r.index;
            pal = r.pal;
            return true;
        }
    }
    return false;
}

/// The source kind of a project file (read directly or served through an AVI).
int ProjectKind(const TResizeStruct& m) {
    if (m.SrcAspectCode == 1) return TMainForm::SquareKind;
    if (m.SrcResX > 704) return 0;
    if (m.SrcResX > 544) return 1;
    if (m.SrcResX > 480) return 2;
    if (m.SrcResX > 360) return 3;
    if (m.SrcResY > 288) return 4;
    if (m.SrcAspectCode == 2 || m.SrcAspectCode == 3) return 5;
    return TMainForm::SquareKind;
}

/// The source kind of any other file, from its frame's aspect: full frames and
/// frames cut to 3/4 and 9/16 of the full height at the usual widths.
int FrameKind(const TResizeStruct& m) {
    std::int64_t q;
    try {
        q = Round(50 * static_cast<Real>(m.SourceAspect()));
    } catch (const FloatError&) {
        return TMainForm::SquareKind;
    }
    const int dvd = m.SrcResX > 360 ? 0 : 5;  // D
    const int xvcd = m.SrcResX > 352 ? 1 : 5; // X
    const struct {
        std::int64_t q;
        int kind;
    } pal[] = {{62, dvd}, {61, xvcd}, {42, 3},    {31, 4},     {83, dvd}, {81, xvcd},
               {56, 3},   {41, 4},    {111, dvd}, {109, xvcd}, {74, 3},   {54, 4}},
      ntsc[] = {{75, dvd},  {73, xvcd}, {50, 3},    {37, 4},     {100, dvd},
                {98, xvcd}, {49, 4},    {133, dvd}, {130, xvcd}, {65, 4}};
    if (m.SrcIsPAL) {
        for (const auto& r : pal)
            if (r.q == q) return r.kind;
    } else {
        for (const auto& r : ntsc)
            if (r.q == q) return r.kind;
    }
    return TMainForm::SquareKind;
}

/// Whether a stated display aspect of 4:3 (16:9 with the anamorphic flag) makes the
/// frame's pixels square: the pixel follows from the stated aspect, not a kind's.
bool StatedSquare(const TResizeStruct& m) {
    if (m.SrcAspectCode != 2 && m.SrcAspectCode != 3) return false;
    const std::int64_t off = std::int64_t{4} * m.SrcResY - std::int64_t{3} * m.SrcResX;
    return m.SrcResX > 0 && (off < 0 ? -off : off) * 100 < std::int64_t{3} * m.SrcResX;
}

/// Every kind of file the source reader reads, by its usual extensions.
const std::string VideoFilesFilter = [] {
    const char* const kinds[] = {"avi", "d2v", "lst",  "vob", "mpg", "mpeg", "m2v", "m1v",
                                 "mpv", "mkv", "webm", "mp4", "m4v", "mov",  "ts",  "m2ts",
                                 "mts", "flv", "ogv",  "ogg", "dv",  "asf",  "wmv", "avs"};
    std::string shown, patterns;
    for (const char* k : kinds) {
        shown += std::string(shown.empty() ? "" : " ") + "*." + k;
        std::string upper = k;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        patterns += std::string(patterns.empty() ? "" : ";") + "*." + k + ";*." + upper;
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
    m.SetSrcResX(read.Width);
    m.SetSrcResY(read.Height);
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
    GetSrcPixelForm();
    if (Updating) return;

    FileNameAVS = FileNameSrc + ".avs";
    int fpsIndex;
    bool pal;
    if (FrameRateEntry(m.SrcFrameRate, fpsIndex, pal)) {
        FpsCombo.SetItemIndex(fpsIndex);
        m.SrcIsPAL = pal;
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

    // Projects and MPEG streams say their picture shape by their aspect code, and
    // so do other films whose pixels are stated to be other than square.
    const TSourceReader reader = SourceFile.Reader;
    const bool shapeStated =
        reader == TSourceReader::Mpeg ||
        (reader == TSourceReader::MediaProbe && m.SrcAspectCode >= 2 && m.SrcAspectCode <= 4);
    // DV by its FourCC, or by its codec in a container without one (a .dv file).
    const bool dv =
        m.SrcFourCC == "DVSD" || m.SrcFourCC == "CDVC" || SourceFile.Facts.Codec == "dvvideo";
    int kind;
    if (SourceFile.FileType == ".d2v" || m.SrcIsVFAPI || shapeStated) {
        kind = StatedSquare(m) ? SquareKind : ProjectKind(m);
    } else {
        SrcAnamorphic.SetChecked(false);
        InterlacedResBox.SetChecked(dv);
        kind = FrameKind(m);
    }
    // DV is always interlaced; otherwise a field order read from the stream ticks
    // interlaced resizing, and the field swap for bottom-first pictures.
    const TFieldOrder order = SourceFile.Facts.FieldOrder;
    if (reader == TSourceReader::Mpeg || reader == TSourceReader::MediaProbe) {
        if (dv) {
            InterlacedResBox.SetChecked(true);
        } else if (order != TFieldOrder::Unknown) {
            InterlacedResBox.SetChecked(order != TFieldOrder::Progressive);
            BffToTffBox.SetChecked(order == TFieldOrder::BottomFirst);
        }
    }
    SrcAspectBox.SetItemIndex(kind);
    ITUAspect.SetChecked(kind != SquareKind);
    SrcChange();
}

} // namespace tarvex
