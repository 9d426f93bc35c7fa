// Start-up and shut-down of the main window.
#include "app/Main.h"

#include "common/Numeric.h"
#include "settings/IniFile.h"
#include "settings/Options.h"

namespace tarvex {

TIniControls TMainForm::IniControls() {
    const auto index = [](TComboBox& box) {
        return TIniControl{[&box] { return box.ItemIndex(); },
                           [&box](std::int32_t v) { box.SetItemIndex(v); }};
    };
    const auto position = [](TUpDown& upDown) {
        return TIniControl{[&upDown] { return upDown.Position(); },
                           [&upDown](std::int32_t v) { upDown.SetPosition(v); }};
    };
    const auto checked = [](TCheckBox& box) {
        return TIniControl{[&box] { return box.Checked() ? 1 : 0; },
                           [&box](std::int32_t v) { box.SetChecked(v != 0); }};
    };
    return TIniControls{index(Audio1kbps),       index(Audio2kbps),           index(FpsCombo),
                        position(GOPUpDown),     position(AddMatricesUpDown), checked(SceneDetect),
                        checked(ScanOffsets),    checked(SeqAligning),        position(MenuUpDown),
                        index(SrcAspectBox),     checked(ITUAspect),          index(DestAspectBox),
                        checked(DestAnamorphic), position(TVBorderUpDown)};
}

TClassIni TMainForm::SettingsFile(TIniControls& controls) {
    return TClassIni(
        Platform.SettingsFileName(Settings.AppName),
        TIniTargets{Settings, ResizeModel, DiscImage, FilmSeconds, DiscCount, controls});
}

void TMainForm::DisplayChanged() {
    const TScreenInfo screen = Platform.Screen();
    WorkArea = GetWorkArea(screen.Width, screen.Height, screen.WorkArea, screen.Taskbar);
}

void TMainForm::FormCreate() {
    Settings.Updating = true;
    DisplayChanged();
    // "1.1.2.0" becomes "1.1.2"; "0" (no version) becomes empty.
    const std::string version = Platform.FileVersionText();
    Settings.Version = version.size() > 2 ? version.substr(0, version.size() - 2) : "";
    Settings.AppName = "Tarvex";
    // The DVD rows are never offered.
    MuxModeBox.DeleteItem(MuxModeBox.Count() - 1);
    AuthoringBox.DeleteItem(AuthoringBox.Count() - 1);
    for (int i = 0; i < 3; ++i) CDTypeBox.DeleteItem(CDTypeBox.Count() - 1);
    SrcRateEdit.SetVisible(false);
    Caption = Settings.AppName + " v" + Settings.Version;

    TIniControls controls = IniControls();
    SettingsFile(controls).ReadIni(Platform.MayDeleteSettings());
    Platform.MoveWindow(SetLastWindowPositions(Platform.WindowPosition(), Platform.WindowSize(),
                                               WorkArea, Settings.WindowPosX, Settings.WindowPosY));

    OpenDialogFile = Settings.FileNameSrc;
    FpsComboChange();
    // Both parts from the stored length: the first text change recomputes it.
    const std::uint32_t seconds = FilmSeconds;
    SecUpDown.SetPosition(static_cast<int>(seconds % 60));
    MinUpDown.SetPosition(static_cast<int>(seconds / 60));
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
    Settings.AutoResizeY = true;

    if (!Settings.FileNameSrc.empty()) SourceFile.OpenFiles({OpenDialogFile});
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
    Settings.AutoResizeY = true;
    GetDestRes();
    InterlacedResBox.SetChecked(ResizeModel.InterlacedResizing);
    BffToTffBox.SetChecked(Settings.BffToTff);
    RGBoutputBox.SetChecked(Settings.ConvertToRGB);
    ResampleAudioBox.SetChecked(Settings.ResampleAudio);
    OptPosSlider.SetPosition(ResizeModel.OptPositioning);
    ResizeBox.SetItemIndex(Settings.ResizeMode);

    // The geometry chain re-centres the film area; the stored offsets win.
    const std::int16_t borderLeft = ResizeModel.BorderLeft, borderTop = ResizeModel.BorderTop;
    Settings.Updating = false;
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
    Settings.WindowPosX = position.X;
    Settings.WindowPosY = position.Y;
    if (!Platform.MayWriteSettings()) return;
    TIniControls controls = IniControls();
    try {
        SettingsFile(controls).WriteIni();
    } catch (const std::exception& e) {
        Platform.ShowMessage("Error", std::string("The settings could not be saved. ") + e.what());
    }
}

} // namespace tarvex
