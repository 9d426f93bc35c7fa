// Start-up and shut-down of the main window.
#include "app/Main.h"

#include "common/Numeric.h"
#include "settings/IniFile.h"
#include "settings/Options.h"

#include <stdexcept>
#include <string_view>
#include <type_traits>

namespace tarvex {

namespace {

/// The stored value of the list, up-down or check box called `name`.
TIniValue StoredValue(const TControlOwner& form, const char* name) {
    const TAnyControl* any = form.FindControl(name);
    if (!any) throw std::logic_error(std::string("No control ") + name);
    return std::visit(
        [name](auto* c) -> TIniValue {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TComboBox>)
                return {[c] { return c->ItemIndex(); },
                        [c](std::int64_t v) { c->SetItemIndex(static_cast<int>(v)); }};
            else if constexpr (std::is_same_v<T, TUpDown>)
                return {[c] { return c->Position(); },
                        [c](std::int64_t v) { c->SetPosition(static_cast<int>(v)); }};
            else if constexpr (std::is_same_v<T, TCheckBox>)
                return {[c] { return c->Checked() ? 1 : 0; },
                        [c](std::int64_t v) { c->SetChecked(v != 0); }};
            else
                throw std::logic_error(std::string("No stored value in ") + name);
        },
        *any);
}

/// The control that keeps a settings key's value: the one of the key's name unless
/// listed here.
const char* ControlOfKey(const char* key) {
    static constexpr std::pair<std::string_view, const char*> Named[] = {
        {"Audio1", "Audio1kbps"},
        {"Audio2", "Audio2kbps"},
        {"FpsBox", "FpsCombo"},
        {"GOPLength", "GOPUpDown"},
        {"AddMatrices", "AddMatricesUpDown"},
        {"MenuPics", "MenuUpDown"},
        {"RateMode", "RateModeBox"},
        {"ChapterMinutes", "ChapterUpDown"},
        {"DestIsAnamorphic", "DestAnamorphic"},
        {"TVBorderBlocks", "TVBorderUpDown"},
        {"SourceFilter", "SourceFilterBox"},
    };
    for (const auto& [stored, control] : Named)
        if (stored == key) return control;
    return key;
}

/// The slider position of a rounding: 2^position, 5 for any other.
int ExpFromRound(int round) {
    int exponent = 0;
    while (exponent < 5 && round != 1 << exponent) ++exponent;
    return exponent;
}

} // namespace

TSettingsFile TMainForm::SettingsFile() {
    return TSettingsFile(
        Platform.SettingsFileName(AppName),
        {.ResizeModel = ResizeModel,
         .DiscImage = DiscImage,
         .FilmSeconds = FilmSeconds,
         .DiscCount = DiscCount,
         .WindowPosX = WindowPosX,
         .WindowPosY = WindowPosY,
         .ResizeMode = ResizeMode,
         .BffToTff = BffToTff,
         .ResampleAudio = ResampleAudio,
         .ConvertToRGB = ConvertToRGB,
         .FileNameSrc = FileNameSrc,
         .DiscFolder = DiscFolder,
         .TypedKbps = TypedKbps,
         .RecentFilms = RecentFilms,
         .Version = Version,
         .Window = [this](const char* key) { return StoredValue(*this, ControlOfKey(key)); }});
}

void TMainForm::DisplayChanged() {
    const TScreenInfo screen = Platform.Screen();
    WorkArea = GetWorkArea(screen.Width, screen.Height, screen.WorkArea, screen.Taskbar);
}

void TMainForm::FormCreate() {
    Updating = true;
    DisplayChanged();
    // "1.1.2.0" becomes "1.1.2"; "0" (no version) becomes empty.
    const std::string version = Platform.FileVersionText();
    Version = version.size() > 2 ? version.substr(0, version.size() - 2) : "";
    AppName = "Tarvex";
    SrcRateEdit.SetVisible(false);
    Caption = AppName + " v" + Version;

    const std::string settingsName = Platform.SettingsFileName(AppName);
    const auto unread = SettingsFile().ReadIni(Platform.MayDeleteSettings());
    SettingsUnread = unread.has_value();
    if (unread)
        Platform.ShowMessage("Error", "The settings file " + settingsName + " cannot be read (" +
                                          *unread +
                                          "): Tarvex starts from its defaults and leaves the "
                                          "file as it is.");
    Platform.MoveWindow(SetLastWindowPositions(Platform.WindowPosition(), Platform.WindowSize(),
                                               WorkArea, WindowPosX, WindowPosY));

    OpenDialogFile = FileNameSrc;
    FpsComboChange();
    // Both parts from the stored length: the first text change recomputes it.
    const std::uint32_t seconds = FilmSeconds;
    SecUpDown.SetPosition(static_cast<int>(seconds % 60));
    MinUpDown.SetPosition(static_cast<int>(seconds / 60));
    if (seconds / 60 > static_cast<std::uint32_t>(MinUpDown.Max()))
        Notice = "The stored film length of " + IntToStr(seconds / 60) + ":" +
                 IntToStr(seconds % 60) + " is longer than the minutes field's " +
                 IntToStr(MinUpDown.Max()) + ": it was cut to " + EditMin.Text() + ":" +
                 EditSec.Text() + ".";
    EditSubPics.SetText(IntToStr(std::int64_t{DiscImage.SubtitlePics} * DiscCount));
    SubKBytes.SetText(IntToStr(std::int64_t{DiscImage.BMPSubSize} * DiscCount));
    CDNrUpDown.SetPosition(DiscCount);
    CDTypeBox.SetItemIndex(DiscImage.CDType);
    const std::int64_t leadOut = std::int64_t{DiscImage.BlocksUsable} + 1;
    CDMinUpDown.SetPosition(static_cast<int>(leadOut / 4500));
    CDSecUpDown.SetPosition(static_cast<int>(Round(static_cast<Real>(leadOut) / 75) % 60));
    MuxModeBox.SetItemIndex(DiscImage.MuxMode);
    AC3Box.SetChecked(DiscImage.AC3Audio);
    MuxModeBoxChange();
    ExtraDataModeBox.SetItemIndex(DiscImage.ExtraBlocksMode2324 ? 1 : 0);
    EditExtraDataKB.SetText(
        IntToStr(DiscImage.ExtraBlocksMode2324
                     ? FloorInt64(static_cast<Real>(DiscImage.ExtraBlocks) * 2.26953125L)
                     : std::int64_t{DiscImage.ExtraBlocks} * 2));
    AuthoringBox.SetItemIndex(DiscImage.AuthoringMode);
    AutoResizeY = true;

    if (!FileNameSrc.empty()) ReadSource(OpenDialogFile);
    ShowFilmInCaption();
    SetFileInfos();

    SrcPALBox.SetChecked(ResizeModel.SrcIsPAL);
    DestPALBox.SetChecked(ResizeModel.DestIsPAL);
    SrcPixelXEdit.SetText(IntToStr(ResizeModel.SrcPixelX));
    SrcPixelYEdit.SetText(IntToStr(ResizeModel.SrcPixelY));
    RoundXCrop.SetPosition(ExpFromRound(ResizeModel.CropRoundX));
    RoundYCrop.SetPosition(ExpFromRound(ResizeModel.CropRoundY));
    RoundYResize.SetPosition(ExpFromRound(ResizeModel.DestPixelRoundY));
    LabelRoundXCrop.SetCaption(IntToStr(ResizeModel.CropRoundX));
    LabelRoundYCrop.SetCaption(IntToStr(ResizeModel.CropRoundY));
    LabelRoundXResize.SetCaption(IntToStr(ResizeModel.DestPixelRoundX));
    LabelRoundYResize.SetCaption(IntToStr(ResizeModel.DestPixelRoundY));
    CropModeBox.SetItemIndex(ResizeModel.CropMode);
    AutoResizeY = true;
    ResetResizeToDest();
    InterlacedResBox.SetChecked(ResizeModel.InterlacedResizing);
    BffToTffBox.SetChecked(BffToTff);
    RGBoutputBox.SetChecked(ConvertToRGB);
    ResampleAudioBox.SetChecked(ResampleAudio);
    OptPosSlider.SetPosition(ResizeModel.OptPositioning);
    ResizeBox.SetItemIndex(ResizeMode);

    // The geometry chain re-centres the film area; the stored offsets win.
    const std::int16_t borderLeft = ResizeModel.BorderLeft, borderTop = ResizeModel.BorderTop;
    Updating = false;
    SrcChange();
    ResizeModel.SetBorderLeft(borderLeft);
    ResizeModel.SetBorderTop(borderTop);
    BorderLeftEdit.SetText(IntToStr(ResizeModel.BorderLeft));
    BorderTopEdit.SetText(IntToStr(ResizeModel.BorderTop));
    MakeScript();
    ChangeAVSOptions();
    CDTimeChange();
}

void TMainForm::FormClose() {
    const TPoint position = Platform.WindowPosition();
    WindowPosX = position.X;
    WindowPosY = position.Y;
    // A file that could not be read is never overwritten; start-up said so.
    if (!Platform.MayWriteSettings() || SettingsUnread) return;
    try {
        SettingsFile().WriteIni();
    } catch (const TIniError& e) {
        Platform.ShowMessage("Error", std::string("The settings could not be saved. ") + e.what());
    }
}

} // namespace tarvex
