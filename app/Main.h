// The main window without a toolkit: every control, the program's state and the
// change handlers that tie them to the models. A front end (window or command
// line) draws the controls and turns user input into their user actions.
#pragma once

#include "app/Controls.h"
#include "app/Platform.h"
#include "budget/Imaging.h"
#include "geometry/ResUnit.h"
#include "script/Scripting.h"
#include "settings/Options.h"
#include "source/OpenSrc.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tarvex {

using TAnyControl =
    std::variant<TEdit*, TUpDown*, TComboBox*, TCheckBox*, TTrackBar*, TLabel*, TMemo*, TButton*>;

class TMainForm {
  public:
    explicit TMainForm(TPlatform& platform);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    /// Start-up: reads the settings, fills the controls and computes everything once.
    void FormCreate();
    /// Shut-down: stores the window position and writes the settings file.
    void FormClose();
    /// The display or a system setting changed: the work area is taken anew.
    void DisplayChanged();

    /// Every named control, in window order.
    const std::vector<TAnyControl>& AllControls() const { return FControls; }
    /// The control with this name, or nothing.
    const TAnyControl* FindControl(const std::string& name) const;

    std::string Caption; ///< the window caption

    // Program-wide state.
    TPlatform& Platform;
    std::string AppName;      ///< "Tarvex"
    std::string Version;      ///< version text of the program
    bool Updating = false;    ///< handlers that start a recomputation return at once
    bool AutoResizeY = false; ///< the resize height follows the suggestion
    std::string FileNameSrc;  ///< full path of the opened source file
    std::string FileNameAVS;  ///< script file name proposed for saving
    std::int32_t WindowPosX = 0, WindowPosY = 0; ///< window position at the last close
    std::int8_t ResizeMode = 0; ///< script options: ResizeBox index, -1 with no selection
    bool BffToTff = false, ResampleAudio = false, ConvertToRGB = false;
    TResizeStruct ResizeModel;
    TCDImage DiscImage;
    TClassAVS ScriptWriter;
    TOpenSrcFile SourceFile;
    std::uint32_t FilmSeconds = 0; ///< film length in seconds, all discs
    std::uint8_t DiscCount = 0;    ///< discs the film is spread over
    std::string OpenDialogFile;    ///< the open dialog's selection
    TRect WorkArea;                ///< the desktop area the window keeps to

    /// The decimal separator of the numbers the window shows.
    char DecimalSeparator = '.';
    /// "1:1 Monitor" among the source kinds.
    static constexpr int SquareKind = 6;

    // Panel "Stream & Authoring".
    TLabel StaticText2{"StaticText2", "Stream & Authoring"};
    TEdit EditMin{"EditMin", "1"};
    TUpDown MinUpDown{"MinUpDown", 0, 300, 1};
    TEdit EditSec{"EditSec", "1"};
    TUpDown SecUpDown{"SecUpDown", 0, 59, 1};
    TComboBox FpsCombo{"FpsCombo", {"23.976fps", "25fps", "29.97fps"}, 0};
    TLabel Label10{"Label10", "= ? sec"};
    TEdit Videokbps{"Videokbps", "2000"};
    TUpDown VideoUpDown10{"VideoUpDown10", 400, 15000, 2000};
    TUpDown VideoUpDown{"VideoUpDown", 400, 15000, 2000};
    TLabel Label43{"Label43", "kbps Video"};
    TLabel Label62{"Label62"};
    TLabel Label63{"Label63"};
    TEdit EditGOP{"EditGOP", "15"};
    TUpDown GOPUpDown{"GOPUpDown", 12, 60, 15};
    TCheckBox SceneDetect{"SceneDetect", "Scene change detect"};
    TComboBox Audio1kbps{"Audio1kbps"};
    TLabel Audio1Label{"Audio1Label", "kbps Audio1"};
    TComboBox Audio2kbps{"Audio2kbps"};
    TLabel Audio2Label{"Audio2Label", "kbps Audio2"};
    TCheckBox AC3Box{"AC3Box", "Dolby Digital (AC-3)"};
    TEdit EditSubPics{"EditSubPics", "0"};
    TEdit SubKBytes{"SubKBytes", "0"};
    TComboBox MuxModeBox{"MuxModeBox"};
    TEdit Edit1{"Edit1", "0"};
    TUpDown AddMatricesUpDown{"AddMatricesUpDown", 0, 2, 0};
    TLabel LabelAddMatrices{"LabelAddMatrices", "additional matrices"};
    TCheckBox SeqAligning{"SeqAligning", "Seq.-header aligning"};
    TCheckBox ScanOffsets{"ScanOffsets", "SVCD scan offsets"};
    TComboBox AuthoringBox{"AuthoringBox"};
    TEdit EditMenuPics{"EditMenuPics", "1"};
    TUpDown MenuUpDown{"MenuUpDown", 0, 99, 1};
    TEdit EditExtraDataKB{"EditExtraDataKB", "0"};
    TComboBox ExtraDataModeBox{"ExtraDataModeBox", {"mode2048", "mode2324"}, 0};
    TEdit EditCDNr{"EditCDNr", "1"};
    TUpDown CDNrUpDown{"CDNrUpDown", 1, 9, 1};
    TComboBox CDTypeBox{"CDTypeBox"};
    TEdit EditCDmin{"EditCDmin", "80"};
    TUpDown CDMinUpDown{"CDMinUpDown", 10, 510, 80};
    TEdit EditCDsec{"EditCDsec", "0"};
    TUpDown CDSecUpDown{"CDSecUpDown", 0, 59, 0};
    TEdit EditImageBlocks{"EditImageBlocks"};

    // Panel "MPEG Resizing".
    TLabel StaticText3{"StaticText3", "MPEG Resizing"};
    TButton OpenVideoBtn{"OpenVideoBtn", " Source:"};
    TEdit SrcXEdit{"SrcXEdit", "100"};
    TEdit SrcYEdit{"SrcYEdit", "100"};
    TButton CopyBtn{"CopyBtn", "u"};
    TComboBox SrcAspectBox{"SrcAspectBox"};
    TCheckBox SrcPALBox{"SrcPALBox", "PAL"};
    TCheckBox SrcAnamorphic{"SrcAnamorphic", "Anamorphic"};
    TCheckBox ITUAspect{"ITUAspect", "ITU-R BT.601-4"};
    TLabel Label14{"Label14", "Film pixel:"};
    TEdit SrcPixelXEdit{"SrcPixelXEdit", "100"};
    TEdit SrcPixelYEdit{"SrcPixelYEdit", "100"};
    TEdit BorderLeftEdit{"BorderLeftEdit", "0"};
    TEdit BorderTopEdit{"BorderTopEdit", "0"};
    TEdit SrcRateEdit{"SrcRateEdit", "4432"};
    TLabel Label13{"Label13"};
    TEdit CropXEdit{"CropXEdit"};
    TEdit CropYEdit{"CropYEdit"};
    TComboBox CropModeBox{"CropModeBox"};
    TLabel Label17{"Label17"};
    TLabel ErrLabel{"ErrLabel", "Error:"};
    TTrackBar RoundXCrop{"RoundXCrop", 0, 5, 1};
    TLabel LabelRoundXCrop{"LabelRoundXCrop", "1"};
    TTrackBar RoundYCrop{"RoundYCrop", 0, 5, 1};
    TLabel LabelRoundYCrop{"LabelRoundYCrop", "1"};
    TEdit ResizeXEdit{"ResizeXEdit", "100"};
    TEdit ResizeYEdit{"ResizeYEdit", "100"};
    TUpDown ResizeYUpDown{"ResizeYUpDown", 0, 10000, 5000};
    TLabel Label56{"Label56", "= ? blocks = ? bps per block"};
    TLabel Label36{"Label36"};
    TLabel LabelRoundXResize{"LabelRoundXResize", "1"};
    TTrackBar RoundYResize{"RoundYResize", 0, 5, 1};
    TLabel LabelRoundYResize{"LabelRoundYResize", "1"};
    TLabel Label57{"Label57", "= ?-optimized"};
    TEdit DestXEdit{"DestXEdit", "100"};
    TEdit DestYEdit{"DestYEdit", "100"};
    TComboBox DestAspectBox{"DestAspectBox"};
    TCheckBox DestPALBox{"DestPALBox", "PAL"};
    TCheckBox DestAnamorphic{"DestAnamorphic", "Anamorphic"};
    TEdit TVBorderEdit{"TVBorderEdit", "2"};
    TUpDown TVBorderUpDown{"TVBorderUpDown", 0, 3, 2};
    TLabel Label55{"Label55", "Blocks TV-overscan"};

    // Panel "AviSynth Script".
    TLabel StaticText4{"StaticText4", "AviSynth Script"};
    TMemo AVSMemo{"AVSMemo", {"AviSource(\"x:\\some.avi\")"}};
    TComboBox ResizeBox{"ResizeBox"};
    TCheckBox InterlacedResBox{"InterlacedResBox", "interlaced resizing"};
    TTrackBar OptPosSlider{"OptPosSlider", 0, 2, 0};
    TLabel OptPosLabel{"OptPosLabel", "OptPosLabel"};
    TCheckBox BffToTffBox{"BffToTffBox", "bff -> tff"};
    TCheckBox RGBoutputBox{"RGBoutputBox", "RGB-output"};
    TCheckBox ResampleAudioBox{"ResampleAudioBox", "Resample Audio"};
    TButton SaveAVSBtn{"SaveAVSBtn", "Save script"};

    // Digit filter of the number fields.
    void OnlyNumbers(char& key);

    // Source and destination pixel forms.
    void GetSrcPixelForm();
    void SrcChange();
    void GetDestPixelForm();
    void SetDestResDefault();
    void GetDestRes();
    void DestChange();
    void ShowCrop(const TCropResult& crop);

    // Resize size suggestion and the small geometry handlers.
    static std::uint8_t RoundFromExp(int exponent);
    static int ExpFromRound(int round);
    void MakeSuggestion();
    void CalcNewRes();
    void CalcNewXRes();
    void CalcNewYRes();
    void ResizeYEditKeyUp();
    void ResizeYUpDownChangingEx(TUpDownDirection direction);
    void RoundXCropChange();
    void RoundYCropChange();
    void CropModeBoxChange();
    void SrcChangeResManual();
    void CopyBtnClick();
    void BorderTopEditKeyUp();

    // Disc, multiplexing and authoring settings.
    void CDTypeBoxChange();
    void CDTimeChange();
    void CDSecUpDownChangingEx(int newValue, TUpDownDirection direction);
    void MuxModeBoxChange();
    void AuthoringBoxChange();
    void EditExtraDataKBChange();

    // Bitrate report and film length.
    void TimeChange();
    void SecUpDownChangingEx(int newValue, TUpDownDirection direction);
    void EditSecExit();
    void EditSecKeyUp(char key);
    void FpsComboChange();
    void EditSubPicsChange();
    void SubKBytesChange();
    void VideoUpDownChangingEx(int newValue);
    void VideoUpDown10Click(TUDButton button);
    void CalcImage();
    void CalcExactImage();
    void ShowRatePerBlock();

    // Source information.
    void OpenVideoBtnClick();
    void SetFileInfos();

    // Script options and saving.
    void MakeScript();
    void ChangeAVSOptions();
    void SaveAVSBtnClick();

  private:
    void SetupControls();
    void WireHandlers();
    void BindModelOutputs();
    TClassIni SettingsFile();
    /// A seconds up-down stepped past either end carries into its minutes.
    static void CarrySeconds(int proposed, TUpDownDirection direction, TUpDown& minutes);
    void RoundCropChange(const TTrackBar& slider, TLabel& label, const std::int8_t& round,
                         void (TResizeStruct::*set)(std::int8_t));

    std::vector<TAnyControl> FControls;
};

} // namespace tarvex
