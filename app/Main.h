// The main window without a toolkit: every control, the program's state and the
// change handlers that tie them to the models. A front end (window or command
// line) draws the controls and turns user input into their user actions.
#pragma once

#include "app/Controls.h"
#include "app/Platform.h"
#include "budget/DiscFill.h"
#include "budget/Imaging.h"
#include "disc/DiscJob.h"
#include "disc/Runner.h"
#include "geometry/Candidates.h"
#include "geometry/ResUnit.h"
#include "preview/Borders.h"
#include "preview/Layout.h"
#include "script/Scripting.h"
#include "settings/Options.h"
#include "source/OpenSrc.h"
#include "source/Tracks.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {

/// Modes of the disc model's rows the handlers name: the DVD rows, and the rows
/// measured for the tools the disc maker runs.
namespace Rows {
constexpr std::int8_t DvdMux = 5, VcdFfmpeg = 6, SvcdFfmpeg = 7, DvdFfmpeg = 8;
constexpr std::int8_t DvdAuthoring = 4, VcdVcdimager = 5, DvdDvdauthor = 6;
/// The lists' items: each item's place is its mode.
inline const std::vector<std::string> MuxNames = {
    "SVCD MPEG-2 I-Author", "SVCD MPEG-2 bbMPEG", "SVCD MPEG-2 TMPGEnc",
    "VCD MPEG-1 bbMPEG",    "VCD MPEG-1 TMPGEnc", "DVD VOBs",
    "VCD MPEG-1 ffmpeg",    "SVCD MPEG-2 ffmpeg", "DVD VOBs ffmpeg"};
inline const std::vector<std::string> AuthoringNames = {
    "SVCD I-Author", "SuperVCD I-Author", "SVCD Nero 5.5", "SVCD vcdimager",
    "DVD",           "VCD vcdimager",     "DVD dvdauthor"};
} // namespace Rows

/// Something the script or the budget gets wrong, in words, with the control it is
/// shown beside.
struct TWarning {
    std::string Code;
    std::string Concerns;
    std::string Text;
};

/// The name of a part of the disc fill, as the window shows it.
const char* FillPartName(TFillPart part);

class TMainForm : public TControlOwner {
  public:
    explicit TMainForm(TPlatform& platform);
    /// Cancels a running detection or disc job and waits for its thread.
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    /// Start-up: reads the settings, fills the controls and computes everything once.
    void FormCreate();
    /// Shut-down: stores the window position and writes the settings file.
    void FormClose();
    /// The display or a system setting changed: the work area is taken anew.
    void DisplayChanged();

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
    TLabel StaticText2{*this, "StaticText2", "Stream & Authoring"};
    TEdit EditMin{*this, "EditMin", "1"};
    TUpDown MinUpDown{*this, "MinUpDown", 0, 300, 1};
    TEdit EditSec{*this, "EditSec", "1"};
    TUpDown SecUpDown{*this, "SecUpDown", 0, 59, 1};
    TComboBox FpsCombo{*this, "FpsCombo", {"23.976fps", "25fps", "29.97fps"}, 0};
    TLabel Label10{*this, "Label10", "= ? sec"};
    TEdit Videokbps{*this, "Videokbps", "2000"};
    TUpDown VideoUpDown10{*this, "VideoUpDown10", 400, 15000, 2000};
    TUpDown VideoUpDown{*this, "VideoUpDown", 400, 15000, 2000};
    TLabel Label43{*this, "Label43", "kbps Video"};
    TLabel Label62{*this, "Label62"};
    TLabel Label63{*this, "Label63"};
    TEdit EditGOP{*this, "EditGOP", "15"};
    TUpDown GOPUpDown{*this, "GOPUpDown", 12, 60, 15};
    TCheckBox SceneDetect{*this, "SceneDetect", "Scene change detect"};
    TComboBox Audio1kbps{*this, "Audio1kbps"};
    TLabel Audio1Label{*this, "Audio1Label", "kbps Audio1"};
    TComboBox Audio2kbps{*this, "Audio2kbps"};
    TLabel Audio2Label{*this, "Audio2Label", "kbps Audio2"};
    TCheckBox AC3Box{*this, "AC3Box", "Dolby Digital (AC-3)"};
    TCheckBox BurnSubsBox{*this, "BurnSubsBox", "burn in subtitles"}; ///< on (S)VCDs
    TEdit EditSubPics{*this, "EditSubPics", "0"};
    TEdit SubKBytes{*this, "SubKBytes", "0"};
    // Minutes between chapters, how many the disc gets, the film's sound tracks that
    // fill the disc's two sound streams.
    TEdit EditChapterMin{*this, "EditChapterMin", "5"};
    TUpDown ChapterUpDown{*this, "ChapterUpDown", 0, 60, 5};
    TLabel ChaptersLabel{*this, "ChaptersLabel", "min: 1 chapter"};
    TComboBox Sound1Box{*this, "Sound1Box", {"track 1"}, 0};
    TComboBox Sound2Box{*this, "Sound2Box", {"track 2"}, 0};
    TComboBox MuxModeBox{*this, "MuxModeBox"};
    TEdit Edit1{*this, "Edit1", "0"};
    TUpDown AddMatricesUpDown{*this, "AddMatricesUpDown", 0, 2, 0};
    TLabel LabelAddMatrices{*this, "LabelAddMatrices", "additional matrices"};
    TCheckBox SeqAligning{*this, "SeqAligning", "Seq.-header aligning"};
    TCheckBox ScanOffsets{*this, "ScanOffsets", "SVCD scan offsets"};
    TComboBox AuthoringBox{*this, "AuthoringBox"};
    TEdit EditMenuPics{*this, "EditMenuPics", "1"};
    TUpDown MenuUpDown{*this, "MenuUpDown", 0, 99, 1};
    TEdit EditExtraDataKB{*this, "EditExtraDataKB", "0"};
    TComboBox ExtraDataModeBox{*this, "ExtraDataModeBox", {"mode2048", "mode2324"}, 0};
    TEdit EditCDNr{*this, "EditCDNr", "1"};
    TUpDown CDNrUpDown{*this, "CDNrUpDown", 1, 9, 1};
    TComboBox CDTypeBox{*this, "CDTypeBox"};
    TEdit EditCDmin{*this, "EditCDmin", "80"};
    TUpDown CDMinUpDown{*this, "CDMinUpDown", 10, 927, 80}; // up to a DVD-9
    TEdit EditCDsec{*this, "EditCDsec", "0"};
    TUpDown CDSecUpDown{*this, "CDSecUpDown", 0, 59, 0};
    TEdit EditImageBlocks{*this, "EditImageBlocks"};

    // Panel "MPEG Resizing".
    TLabel StaticText3{*this, "StaticText3", "MPEG Resizing"};
    TButton OpenVideoBtn{*this, "OpenVideoBtn", " Source:"};
    TButton PreviewBtn{*this, "PreviewBtn", "Preview"};
    TEdit SrcXEdit{*this, "SrcXEdit", "100"};
    TEdit SrcYEdit{*this, "SrcYEdit", "100"};
    TButton CopyBtn{*this, "CopyBtn", "u"};
    TComboBox SrcAspectBox{*this, "SrcAspectBox"};
    TCheckBox SrcPALBox{*this, "SrcPALBox", "PAL"};
    TCheckBox SrcAnamorphic{*this, "SrcAnamorphic", "Anamorphic"};
    TCheckBox ITUAspect{*this, "ITUAspect", "ITU-R BT.601-4"};
    TLabel Label14{*this, "Label14", "Film pixel:"};
    TEdit SrcPixelXEdit{*this, "SrcPixelXEdit", "100"};
    TEdit SrcPixelYEdit{*this, "SrcPixelYEdit", "100"};
    TEdit BorderLeftEdit{*this, "BorderLeftEdit", "0"};
    TEdit BorderTopEdit{*this, "BorderTopEdit", "0"};
    TButton DetectBtn{*this, "DetectBtn", "Detect"};
    TLabel DetectLabel{*this, "DetectLabel"};
    TEdit SrcRateEdit{*this, "SrcRateEdit", "4432"};
    TLabel Label13{*this, "Label13"};
    TEdit CropXEdit{*this, "CropXEdit"};
    TEdit CropYEdit{*this, "CropYEdit"};
    TComboBox CropModeBox{*this, "CropModeBox"};
    TLabel Label17{*this, "Label17"};
    TLabel ErrLabel{*this, "ErrLabel", "Error:"};
    TTrackBar RoundXCrop{*this, "RoundXCrop", 0, 5, 1};
    TLabel LabelRoundXCrop{*this, "LabelRoundXCrop", "1"};
    TTrackBar RoundYCrop{*this, "RoundYCrop", 0, 5, 1};
    TLabel LabelRoundYCrop{*this, "LabelRoundYCrop", "1"};
    TEdit ResizeXEdit{*this, "ResizeXEdit", "100"};
    TEdit ResizeYEdit{*this, "ResizeYEdit", "100"};
    TUpDown ResizeYUpDown{*this, "ResizeYUpDown", 0, 10000, 5000};
    TLabel Label56{*this, "Label56", "= ? blocks = ? bps per block"};
    TLabel Label36{*this, "Label36"};
    TLabel LabelRoundXResize{*this, "LabelRoundXResize", "1"};
    TTrackBar RoundYResize{*this, "RoundYResize", 0, 5, 1};
    TLabel LabelRoundYResize{*this, "LabelRoundYResize", "1"};
    TLabel Label57{*this, "Label57", "= ?-optimized"};
    TEdit DestXEdit{*this, "DestXEdit", "100"};
    TEdit DestYEdit{*this, "DestYEdit", "100"};
    TComboBox DestAspectBox{*this, "DestAspectBox"};
    TCheckBox DestPALBox{*this, "DestPALBox", "PAL"};
    TCheckBox DestAnamorphic{*this, "DestAnamorphic", "Anamorphic"};
    TEdit TVBorderEdit{*this, "TVBorderEdit", "2"};
    TUpDown TVBorderUpDown{*this, "TVBorderUpDown", 0, 3, 2};
    TLabel Label55{*this, "Label55", "Blocks TV-overscan"};

    // Panel "AviSynth Script".
    TLabel StaticText4{*this, "StaticText4", "AviSynth Script"};
    /// What the script box shows: the AviSynth script, or the ffmpeg job that makes the discs.
    TComboBox ScriptViewBox{*this, "ScriptViewBox", {"AviSynth script", "ffmpeg job"}, 0};
    TMemo AVSMemo{*this, "AVSMemo", {"AviSource(\"x:\\some.avi\")"}};
    TComboBox ResizeBox{*this, "ResizeBox"};
    TLabel SourceFilterLabel{*this, "SourceFilterLabel", "Source filter"};
    TComboBox SourceFilterBox{*this, "SourceFilterBox"};
    TCheckBox InterlacedResBox{*this, "InterlacedResBox", "interlaced resizing"};
    TTrackBar OptPosSlider{*this, "OptPosSlider", 0, 2, 0};
    TLabel OptPosLabel{*this, "OptPosLabel", "OptPosLabel"};
    TCheckBox BffToTffBox{*this, "BffToTffBox", "bff -> tff"};
    TCheckBox RGBoutputBox{*this, "RGBoutputBox", "RGB-output"};
    TCheckBox ResampleAudioBox{*this, "ResampleAudioBox", "Resample Audio"};
    TButton SaveAVSBtn{*this, "SaveAVSBtn", "Save script"};

    // What the disc carries besides picture and sound rates (MainTracks.cpp); the
    // controls are declared in reading order, above.
    /// What the opened film carries; empty for the files read by hand.
    TSourceTracks Tracks;
    /// Reads the opened film's tracks and shows them: the sound lists, the chapters
    /// and the subtitle fields of the budget.
    void ReadSourceTracks();
    /// The chapter starts of the whole film, in seconds.
    std::vector<double> FilmChapterTimes() const;
    void ShowChapters();
    void SetupTrackControls();
    /// Chapters, sound tracks, subtitles and menu of the plan.
    TDiscExtras DiscExtras() const;

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

    // Making discs.
    /// The plan of the current inputs for the disc maker.
    TDiscPlan DiscPlan() const;
    /// The job that makes the plan's discs in `dir`. Throws TJobError.
    TDiscJob DiscJob(const std::string& dir) const;
    /// The report of a run: its message, then per disc what `budget` (the disc
    /// budget the run was planned with) predicted against what was made.
    std::vector<std::string> DiscReport(const TMakeResult& result, const TCDImage& budget) const;
    /// Keeps the report beside the images (tarvex-report.txt in `dir`) and adds a
    /// line that says where, or why it could not be kept.
    static void SaveDiscReport(std::vector<std::string>& report, const std::string& dir);
    /// Asks for a folder and makes the discs there off the window's thread, or
    /// cancels the running job.
    void MakeDiscBtnClick();
    bool Making() const { return FMaking != nullptr; }
    /// What the window shows of the disc maker beside its button, which reads
    /// "Cancel" while `Making()`.
    struct TMakeState {
        std::string Status;  ///< the running step and the time left, or the outcome
        double Fraction = 0; ///< of the whole job, 0..1
    } Make;
    /// The folder the discs were last made in.
    std::string DiscFolder;
    /// Where a saved ffmpeg job was last written.
    std::string FileNameJob;

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

    // Film area found in the source's frames.
    /// Starts the detection off the window's thread, or cancels the running one.
    void DetectBtnClick();
    /// Whether a detection runs; its progress and result arrive through `Platform.Post`.
    bool Detecting() const { return FDetection != nullptr; }
    /// Types a film area into the film-pixel and border fields, as the user would.
    void TypeFilmArea(const TFilmArea& area);
    /// The preview window: the platform opens it.
    void PreviewBtnClick() { Platform.ShowPreview(); }
    /// What the preview draws, as the window's geometry stands.
    TPreviewGeometry PreviewGeometry() const;
    /// The crop as the geometry model last published it.
    TCropResult LastCrop;

    // What the window warns about and shows beside the resize fields and the image size.
    /// Every warning of the current state; nothing is kept, so a cause gone is a warning gone.
    std::vector<TWarning> Warnings() const;
    /// The resize heights that fit the usable area, for the current source and destination.
    std::vector<TResizeCandidate> ResizeCandidates() const;
    /// Takes a candidate's height as if the user had typed it into ResizeYEdit.
    void ChooseResizeHeight(std::int32_t height);
    TDiscFill DiscFill() const;

    // Script options and saving.
    void MakeScript();
    void ChangeAVSOptions();
    void SaveAVSBtnClick();

  private:
    void DetectProgress(int done, int total);
    void DetectDone(const TDetectResult& result);
    void MakeProgress(const TProgress& progress);
    void MakeDone(const TMakeResult& result);
    /// The folder a job writes to before the user chose one: the source's.
    std::string JobFolder() const;
    bool ShowsJob() const { return ScriptViewBox.ItemIndex() == 1; }
    void TakeResizeHeight(std::int32_t height);
    void SetupControls();
    void WireHandlers();
    void BindModelOutputs();
    TClassIni SettingsFile();
    /// A seconds up-down stepped past either end carries into its minutes.
    static void CarrySeconds(int proposed, TUpDownDirection direction, TUpDown& minutes);
    void RoundCropChange(const TTrackBar& slider, TLabel& label, const std::int8_t& round,
                         void (TResizeStruct::*set)(std::int8_t));

    std::unique_ptr<TDetectJob> FDetection;
    std::unique_ptr<TMakeThread> FMaking;
    TCDImage FMakingBudget; ///< the budget the running job was planned with
    /// Work posted by a worker runs only while the window it was posted for lives.
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

} // namespace tarvex
