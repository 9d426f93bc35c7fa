// Script options and saving the script.
#include "app/Main.h"

#include "common/AtomicFile.h"
#include "common/Numeric.h"

namespace tarvex {

void TMainForm::ChangeAVSOptions() {
    if (Updating) return;
    ResizeMode = Store<std::int8_t>(ResizeBox.ItemIndex());
    BffToTff = BffToTffBox.Checked();
    ConvertToRGB = RGBoutputBox.Checked();
    ResampleAudio = ResampleAudioBox.Checked();
    ResizeModel.SetInterlacedResizing(InterlacedResBox.Checked());
    ResizeModel.OptPositioning = Store<std::int16_t>(OptPosSlider.Position());
    const int position = OptPosSlider.Position();
    OptPosLabel.SetCaption(position == 2   ? "macroblock aligned"
                           : position == 1 ? "block aligned"
                                           : "centered");
    MakeScript();
}

void TMainForm::MakeScript() {
    if (Updating) return;
    ScriptWriter.MakeScript(ResizeModel,
                            {.AppName = AppName,
                             .Version = Version,
                             .FileNameSrc = FileNameSrc,
                             .FileType = SourceFile.FileType,
                             .ResizeMode = ResizeMode,
                             .SourceFilter = Store<std::int8_t>(SourceFilterBox.ItemIndex()),
                             .BffToTff = BffToTff,
                             .ResampleAudio = ResampleAudio,
                             .ConvertToRGB = ConvertToRGB},
                            AVSMemo.Lines());
}

void TMainForm::SaveAVSBtnClick() {
    TFileDialog dialog;
    dialog.Title = "Save script";
    dialog.FileName = FileNameAVS;
    dialog.DefaultExt = "avs";
    dialog.Filter = "AviSynth-scripts (*.avs)|*.avs;*.AVS|All files (*.*)|*.*";
    const auto chosen = Platform.SaveDialog(dialog);
    if (!chosen) return;
    FileNameAVS = *chosen;
    try {
        WriteFileAtomically(*chosen, AVSMemo.Text());
    } catch (const TFileError& e) {
        Platform.ShowMessage("Error", e.what());
    }
}

} // namespace tarvex
