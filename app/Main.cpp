// The main window's controls: their items, ranges, initial states, hints and wiring.
#include "app/Main.h"

#include "common/Numeric.h"

namespace tarvex {

namespace {

const std::vector<std::string> AudioRates = {"32",  "48",  "56",  "64",  "80",  "96",  "112", "128",
                                             "160", "192", "224", "256", "320", "384", "448"};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

} // namespace

TMainForm::TMainForm(TPlatform& platform) : Caption("Tarvex"), Platform(platform) {
    SetupControls();
    WireHandlers();
    SetupTrackControls();
    BindModelOutputs();
}

void TMainForm::SetupControls() {
    StreamTitle.SetFontColour(TColour::Green);
    EditMin.SetMaxLength(3);
    MinUpDown.SetWrap(true);
    MinUpDown.SetAssociate(&EditMin);
    EditSec.SetMaxLength(5);
    SecUpDown.SetWrap(true);
    SecUpDown.SetAssociate(&EditSec);
    Videokbps.SetMaxLength(5);
    VideoUpDown10.SetIncrement(10);
    VideoUpDown10.SetWrap(true);
    VideoUpDown.SetWrap(true);
    EditGOP.SetReadOnly(true);
    GOPUpDown.SetWrap(true);
    GOPUpDown.SetAssociate(&EditGOP);
    Audio1kbps.SetItems(AudioRates);
    Audio1kbps.SetItemIndex(0);
    std::vector<std::string> audio2 = {"0"};
    audio2.insert(audio2.end(), AudioRates.begin(), AudioRates.end());
    Audio2kbps.SetItems(audio2);
    Audio2kbps.SetItemIndex(0);
    EditSubPics.SetMaxLength(4);
    MuxModeBox.SetItems(MuxNames());
    AddMatricesEdit.SetReadOnly(true);
    AddMatricesUpDown.SetAssociate(&AddMatricesEdit);
    AuthoringBox.SetItems(AuthoringNames());
    EditMenuPics.SetReadOnly(true);
    MenuUpDown.SetWrap(true);
    MenuUpDown.SetAssociate(&EditMenuPics);
    EditCDNr.SetReadOnly(true);
    EditCDNr.SetMaxLength(3);
    CDNrUpDown.SetWrap(true);
    CDNrUpDown.SetAssociate(&EditCDNr);
    CDTypeBox.SetItems({"21min CD", "74min CD", "80min CD", "90min CD", "99min CD", "2.6GB DVD",
                        "3.95GB DVD", "4.7GB DVD", "8.5GB DVD"});
    EditCDmin.SetReadOnly(true);
    EditCDmin.SetMaxLength(3);
    CDMinUpDown.SetWrap(true);
    CDMinUpDown.SetAssociate(&EditCDmin);
    EditCDsec.SetReadOnly(true);
    EditCDsec.SetMaxLength(5);
    CDSecUpDown.SetWrap(true);
    CDSecUpDown.SetAssociate(&EditCDsec);
    EditImageBlocks.SetReadOnly(true);

    ResizingTitle.SetFontColour(TColour::Red);
    SrcXEdit.SetMaxLength(4);
    SrcXEdit.SetButtonFace(true);
    SrcYEdit.SetMaxLength(4);
    SrcYEdit.SetButtonFace(true);
    SrcAspectBox.SetItems(
        {"DVD", "XVCD", "\u00be DVD", "SVCD", "\u00bd DVD", "VCD", "1:1 Monitor"});
    SrcPixelXEdit.SetMaxLength(4);
    SrcPixelYEdit.SetMaxLength(4);
    BorderLeftEdit.SetMaxLength(3);
    BorderTopEdit.SetMaxLength(3);
    SrcRateEdit.SetMaxLength(4);
    CropXEdit.SetReadOnly(true);
    CropYEdit.SetReadOnly(true);
    CropModeBox.SetItems({"no cropping", "accurate", "average", "max. height", "max. width"});
    ResizeXEdit.SetReadOnly(true);
    ResizeYEdit.SetMaxLength(3);
    ResizeYUpDown.SetWrap(true);
    DestXEdit.SetReadOnly(true);
    DestYEdit.SetReadOnly(true);
    DestAspectBox.SetItems({"DVD", "XVCD", "\u00be DVD full", "\u00be DVD small", "SVCD",
                            "\u00bd DVD", "VCD", "1:1 Monitor"});
    TVBorderEdit.SetReadOnly(true);
    TVBorderUpDown.SetAssociate(&TVBorderEdit);

    ScriptTitle.SetFontColour(TColour::Navy);
    ResizeBox.SetItems({"Bilinear", "Bicubic std", "Bicubic precise", "Lanczos"});
    SourceFilterBox.SetItems({std::begin(SourceFilters), std::end(SourceFilters)});

    OpenVideoBtn.SetHint("Open a source-file");
    PreviewBtn.SetHint("Show the source's frames and the destination frame the script makes");
    DetectBtn.SetHint("Find the film area without the black borders in the source's frames");
    SaveAVSBtn.SetHint("Save the avisynth-script");
    RecentBtn.SetHint("Open one of the films opened last (or drop a film onto the window)");
    CopyBtn.SetHint("Take the whole source frame as the film pixel area");
    Label43.SetHint("Note that the SVCD-standard doesn't allow more than 2600kbps");
    EditMin.SetHint("= ? min");
    EditSec.SetHint("= ? sec");
    FpsCombo.SetHint("= ? frames");
    RateModeBox.SetHint(
        Lines({"fill the discs: the video rate that fills the discs exactly.",
               "player maximum: as above, but a film too short to fill its disc gets",
               "the player's maximum rate and leaves the rest of the disc empty.",
               "as typed: the rate typed into the video field, kept through other changes."}));
    SceneDetect.SetHint("An estimation of the I-frames when using scene detection");
    AC3Box.SetHint(Lines(
        {"The audio-streams are in Dolby Digital.", "Otherwise calculation is for MP2-Audio."}));
    SeqAligning.SetHint("Causes many unnecessary overhead. Don't use this!");
    ScanOffsets.SetHint("The standard requires this, but no player does...");
    LabelAddMatrices.SetHint(Lines({"The matrices you want to add later. This will increase the",
                                    "final bitrate, what the encoder sometimes doesn't regard."}));
    EditExtraDataKB.SetHint("Some extra data, you want to add to each CD");
    EditCDmin.SetHint("Enter the max. LeadOutPos: get this ATIP-value from e.g. Feurio");
    EditCDsec.SetHint("Max. LeadOutPos: get this ATIP-value from e.g. Feurio");
    EditImageBlocks.SetHint("The Image-size for each CD");
    Label14.SetHint("This is the area of the film which is not black");
    const std::string anamorphic = Lines({"Coded egg-heads. The Film is zoomed and then",
                                          "squeezed horizontally by 4/3 to gain more detail.",
                                          "This is often called a \"16:9\" aspect-ratio."});
    SrcAnamorphic.SetHint(anamorphic);
    DestAnamorphic.SetHint(anamorphic);
    ITUAspect.SetHint(Lines(
        {"Check this, if the source is conform to the ITU-R BT.601-4.",
         "The ITU-R BT.601-4 standard describes the pixelform used by your TV.",
         "Nevertheless, many DVDs use wrong generic aspect-ratios: e.g. 1.333 or 1.778",
         "Turning this off might help you in some cases to correct the source-aspect-ratio."}));
    CropModeBox.SetHint(Lines(
        {"Cropping mode:",
         "no cropping: Retain the full film-pixel. This causes aspect-ratio error.",
         "accurate: Retain as much film-pixel as possible. Crop to retain the exact "
         "aspect-ratio. <default>",
         "average: Average between no-cropping and aspect-ratio-retaining. This causes slight "
         "aspect-ratio error.",
         "max. height: Retain the film-pixel's height. Crop the width to retain the "
         "aspect-ratio.",
         "max. width: Retain the film-pixel's width. Crop the height to retain the "
         "aspect-ratio."}));
    ErrLabel.SetHint(
        Lines({"Aspect-ratio error: ", "Cropping aspect-ratio / resizing aspect-ratio"}));
    DestPALBox.SetHint(
        Lines({"If this is different from the source-file, a standards-conversion is tried.",
               "Don't forget to speed-up/slow-down external audio somewhere, too."}));
    const char* overscan = "The count of surrounding black TV-overscan blocks (8x8 pixels each)";
    TVBorderEdit.SetHint(overscan);
    Label55.SetHint(overscan);
    InterlacedResBox.SetHint("special resizing-mode to retain the fields");
    OptPosLabel.SetHint(
        Lines({"This positions the film vertically to optimize the block-usage.",
               "To achieve this, the film is moved up/down some pixels (if necessary)"}));
    ResizeBox.SetHint("Resizing mode");
    ScriptViewBox.SetHint(Lines({"The AviSynth script, or the ffmpeg job: the same picture steps",
                                 "and the budget's rates as commands that encode, multiplex and",
                                 "author the discs (\"Make disc\" runs them)."}));
    SourceFilterBox.SetHint(Lines({"The AviSynth filter that loads the source.",
                                   "automatic: mpeg2source for d2v projects, AviSource for AVI",
                                   "files, LWLibavVideoSource for every other film."}));
    BffToTffBox.SetHint("Convert a bff-video to a tff-video. (e.g. for DV-AVIs)");
    RGBoutputBox.SetHint(Lines({"Convert the output color-format to RGB24.",
                                "This is needed when you want to process the avisynth-script",
                                "in TMPGEnc or encapsulate it in a VFAPI-AVI."}));
    ResampleAudioBox.SetHint(Lines({"Although this program doesn't support audio-handling,",
                                    "this can be used to fix a crashing-issue with the CCE."}));
}

void TMainForm::WireHandlers() {
    // The number fields take digits only.
    const auto digits = [this](TControl& sender, char& key) {
        if (key != TEdit::Backspace && (key < '0' || key > '9')) key = 0;
        NoteFullField(static_cast<TEdit&>(sender), key);
    };
    for (TEdit* edit : {&EditMin, &EditSec, &Videokbps, &EditSubPics, &SubKBytes, &EditExtraDataKB,
                        &SrcXEdit, &SrcYEdit, &SrcPixelXEdit, &SrcPixelYEdit, &BorderLeftEdit,
                        &BorderTopEdit, &SrcRateEdit, &ResizeYEdit})
        edit->OnKeyPress = digits;

    const auto on = [this](void (TMainForm::*handler)()) {
        return [this, handler](TControl&) { (this->*handler)(); };
    };
    EditMin.OnChange = on(&TMainForm::TimeChange);
    EditSec.OnChange = on(&TMainForm::TimeChange);
    EditSec.OnExit = on(&TMainForm::EditSecExit);
    EditSec.OnKeyUp = [this](TControl&, char key) {
        if (key == 13) EditSecExit(); // Enter
    };
    SecUpDown.OnChangingEx = [this](TControl&, bool&, int value, TUpDownDirection direction) {
        CarrySeconds(value, direction, MinUpDown);
    };
    FpsCombo.OnChange = on(&TMainForm::FpsComboChange);
    VideoUpDown10.OnClick = [this](TControl&, TUDButton button) {
        VideoUpDown10Click(button);
        VideoRateStepped();
    };
    VideoUpDown.OnClick = [this](TControl&, TUDButton) { VideoRateStepped(); };
    Videokbps.OnKeyUp = [this](TControl&, char key) { VideokbpsKeyUp(key); };
    RateModeBox.OnChange = on(&TMainForm::RateModeBoxChange);
    VideoUpDown.OnChangingEx = [this](TControl&, bool& allow, int value,
                                      TUpDownDirection direction) {
        const std::optional<int> end = direction == TUpDownDirection::None
                                           ? std::nullopt
                                           : VideoRangeEnd(direction == TUpDownDirection::Down);
        allow = !end; // the buttons already stand at that end
        VideoUpDownChangingEx(end.value_or(value));
    };
    for (TEdit* edit : {&EditGOP, &AddMatricesEdit}) edit->OnChange = on(&TMainForm::CalcImage);
    SceneDetect.OnClick = on(&TMainForm::CalcImage);
    Audio1kbps.OnChange = on(&TMainForm::CalcImage);
    Audio2kbps.OnChange = on(&TMainForm::CalcImage);
    EditSubPics.OnChange = on(&TMainForm::EditSubPicsChange);
    SubKBytes.OnChange = on(&TMainForm::SubKBytesChange);
    MuxModeBox.OnChange = on(&TMainForm::MuxModeBoxChange);
    for (TCheckBox* box : {&AC3Box, &SeqAligning, &ScanOffsets})
        box->OnClick = on(&TMainForm::MuxModeBoxChange);
    AuthoringBox.OnChange = on(&TMainForm::AuthoringBoxChange);
    EditMenuPics.OnChange = on(&TMainForm::AuthoringBoxChange);
    EditExtraDataKB.OnChange = on(&TMainForm::CalcImage);
    ExtraDataModeBox.OnChange = on(&TMainForm::CalcImage);
    for (TEdit* edit : {&EditCDNr, &EditCDmin, &EditCDsec})
        edit->OnChange = on(&TMainForm::CDTimeChange);
    CDTypeBox.OnChange = on(&TMainForm::CDTypeBoxChange);
    CDSecUpDown.OnChangingEx = [this](TControl&, bool&, int value, TUpDownDirection direction) {
        CarrySeconds(value, direction, CDMinUpDown);
    };

    OpenVideoBtn.OnClick = on(&TMainForm::OpenVideoBtnClick);
    DetectBtn.OnClick = on(&TMainForm::DetectBtnClick);
    PreviewBtn.OnClick = [this](TControl&) { Platform.ShowPreview(); };
    RecentBtn.OnClick = on(&TMainForm::RecentBtnClick);
    SrcXEdit.OnKeyUp = [this](TControl&, char) { SrcChangeResManual(); };
    SrcYEdit.OnKeyUp = [this](TControl&, char) { SrcChangeResManual(); };
    CopyBtn.OnClick = on(&TMainForm::CopyBtnClick);
    SrcAspectBox.OnChange = on(&TMainForm::SrcChange);
    for (TCheckBox* box : {&SrcPALBox, &SrcAnamorphic, &ITUAspect})
        box->OnClick = on(&TMainForm::SrcChange);
    SrcPixelXEdit.OnChange = on(&TMainForm::SrcChange);
    SrcPixelYEdit.OnChange = on(&TMainForm::SrcChange);
    BorderLeftEdit.OnKeyUp = [this](TControl&, char) { BorderEditKeyUp(); };
    BorderTopEdit.OnKeyUp = [this](TControl&, char) { BorderEditKeyUp(); };
    SrcRateEdit.OnChange = on(&TMainForm::UpdateRatePerBlock);
    CropModeBox.OnChange = on(&TMainForm::CropModeBoxChange);
    RoundXCrop.OnChange = [this](TControl&) {
        RoundCropChange(RoundXCrop, LabelRoundXCrop, ResizeModel.CropRoundX,
                        &TResizeStruct::SetCropRoundX);
    };
    RoundYCrop.OnChange = [this](TControl&) {
        RoundCropChange(RoundYCrop, LabelRoundYCrop, ResizeModel.CropRoundY,
                        &TResizeStruct::SetCropRoundY);
    };
    ResizeYEdit.OnKeyUp = [this](TControl&, char) { ResizeYEditKeyUp(); };
    ResizeYUpDown.OnChangingEx = [this](TControl&, bool&, int, TUpDownDirection direction) {
        ResizeYUpDownChangingEx(direction);
    };
    RoundYResize.OnChange = on(&TMainForm::DestChange);
    DestAspectBox.OnChange = on(&TMainForm::DestChange);
    DestPALBox.OnClick = on(&TMainForm::DestChange);
    DestAnamorphic.OnClick = on(&TMainForm::DestChange);
    TVBorderEdit.OnChange = on(&TMainForm::DestChange);

    ResizeBox.OnChange = on(&TMainForm::ChangeAVSOptions);
    SourceFilterBox.OnChange = on(&TMainForm::ChangeAVSOptions);
    OptPosSlider.OnChange = on(&TMainForm::ChangeAVSOptions);
    for (TCheckBox* box : {&InterlacedResBox, &BffToTffBox, &RGBoutputBox, &ResampleAudioBox})
        box->OnClick = on(&TMainForm::ChangeAVSOptions);
    SaveAVSBtn.OnClick = on(&TMainForm::SaveAVSBtnClick);
    ScriptViewBox.OnChange = on(&TMainForm::MakeScript);
}

void TMainForm::BindModelOutputs() {
    ResizeModel.OnCropResult = [this](const TCropResult& crop) { ShowCrop(crop); };
    SourceFile.ShowError = [this](const std::string& text) { Platform.ShowMessage("Error", text); };
}

void TMainForm::NoteFullField(const TEdit& edit, char key) {
    if (key < '0' || key > '9') return;
    const bool full = edit.MaxLength() > 0 && edit.SelLength() == 0 &&
                      static_cast<int>(edit.Text().size()) >= edit.MaxLength();
    const std::pair<const TEdit*, const char*> named[] = {
        {&EditMin, "The minutes field"},     {&EditSec, "The seconds field"},
        {&Videokbps, "The video rate"},      {&BorderLeftEdit, "The left border"},
        {&BorderTopEdit, "The top border"},  {&SrcPixelXEdit, "The film width"},
        {&SrcPixelYEdit, "The film height"}, {&ResizeYEdit, "The resize height"}};
    std::string name = "This field";
    for (const auto& [control, words] : named)
        if (control == &edit) name = words;
    Notice = full ? name + " takes at most " + IntToStr(edit.MaxLength()) + " digits: the digit " +
                        std::string(1, key) + " was left out."
                  : std::string();
}

} // namespace tarvex
