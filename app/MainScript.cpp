// Script options and saving the script.
#include "app/Main.h"

#include "common/AtomicFile.h"
#include "common/Numeric.h"

namespace tarvex {

void TMainForm::ChangeAVSOptions() {
    if (Settings.Updating) return;
    Settings.ResizeMode = Store<std::int8_t>(ResizeBox.ItemIndex());
    Settings.BffToTff = BffToTffBox.Checked();
    Settings.ConvertToRGB = RGBoutputBox.Checked();
    Settings.ResampleAudio = ResampleAudioBox.Checked();
    ResizeModel.SetInterlacedResizing(InterlacedResBox.Checked());
    ResizeModel.OptPositioning = Store<std::int16_t>(OptPosSlider.Position());
    switch (OptPosSlider.Position()) {
    case 2:
        OptPosLabel.SetCaption("macroblock aligned");
        break;
    case 1:
        OptPosLabel.SetCaption("block aligned");
        break;
    default:
        OptPosLabel.SetCaption("centered");
        break;
    }
    MakeScript();
}

void TMainForm::SaveAVSBtnClick() {
    TFileDialog dialog;
    dialog.Title = "Save script";
    dialog.FileName = Settings.FileNameAVS;
    dialog.DefaultExt = "avs";
    dialog.Filter = "AviSynth-scripts (*.avs)|*.avs;*.AVS|All files (*.*)|*.*";
    const auto chosen = Platform.SaveDialog(dialog);
    if (!chosen) return;
    Settings.FileNameAVS = *chosen;
    try {
        WriteFileAtomically(*chosen, AVSMemo.Text());
    } catch (const TFileError& e) {
        Platform.ShowMessage("Error", e.what());
    }
}

} // namespace tarvex
