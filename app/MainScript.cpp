// Script options, and saving the script or the ffmpeg job the script box shows.
#include "app/Main.h"

#include "common/AtomicFile.h"
#include "common/Numeric.h"

#include <filesystem>

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
    if (ShowsJob()) {
        try {
            AVSMemo.SetLines(JobScript(DiscJob(JobFolder())));
        } catch (const TJobError& e) {
            AVSMemo.SetLines({std::string("# No ffmpeg job: ") + e.what()});
        }
        return;
    }
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
    const bool job = ShowsJob();
    if (job) try {
            (void)DiscJob(JobFolder());
        } catch (const TJobError& e) {
            Platform.ShowMessage("Error",
                                 std::string("There is no ffmpeg job to save: ") + e.what());
            return;
        }
    TFileDialog dialog;
    dialog.Title = job ? "Save ffmpeg job" : "Save script";
    dialog.FileName = job ? FileNameJob : FileNameAVS;
    dialog.DefaultExt = job ? "sh" : "avs";
    dialog.Filter = job ? "Shell scripts (*.sh)|*.sh|All files (*.*)|*.*"
                        : "AviSynth-scripts (*.avs)|*.avs;*.AVS|All files (*.*)|*.*";
    const auto chosen = Platform.SaveDialog(dialog);
    if (!chosen) return;
    (job ? FileNameJob : FileNameAVS) = *chosen;
    try {
        // A job is a shell script: lines end in "\n", and it may be run as it is.
        WriteFileAtomically(*chosen, AVSMemo.Text(job ? "\n" : "\r\n"));
        if (job) {
            namespace fs = std::filesystem;
            std::error_code ec;
            fs::permissions(*chosen, fs::perms::owner_exec | fs::perms::group_exec,
                            fs::perm_options::add, ec);
        }
    } catch (const TFileError& e) {
        Platform.ShowMessage("Error", e.what());
    }
}

} // namespace tarvex
