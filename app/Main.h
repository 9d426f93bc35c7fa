// The main window without a toolkit: every control, the program's state and the
// change handlers that tie them to the models. A front end (window or command
// line) draws the controls and turns user input into their user actions.
#pragma once

#include "app/Controls.h"
#include "app/Platform.h"
#include "budget/DiscFill.h"
#include "budget/DiscRows.h"
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
#include "source/SourceKind.h"
#include "source/Tracks.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvex {

/// A change of one control that mends a warning, made as the user would make it.
struct TFix {
    enum class TKind { None, Select, Check, Position };
    TKind Kind = TKind::None;
    std::string Control; ///< a list, a check box or an up-down
    int Value = 0;       ///< the item, 0 or 1, or the position
};

/// Something the script or the budget gets wrong, in words, with the control it is
/// shown beside.
struct TWarning {
    TWarning() = default;
    TWarning(std::string code, std::string concerns, std::string text, bool refuses = false,
             TFix fix = {})
        : Code(std::move(code)), Concerns(std::move(concerns)), Text(std::move(text)),
          Refuses(refuses), Fix(std::move(fix)) {}
    std::string Code;
    std::string Concerns;
    std::string Text;
    bool Refuses = false; ///< no player accepts such a disc: Make disc does not make it
    TFix Fix;             ///< what mends it when the choice leaves no doubt
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
    /// The settings file exists but could not be read, so it is never overwritten.
    bool SettingsUnread = false;
    TResizeStruct ResizeModel;
    TCDImage DiscImage;
    TScriptWriter ScriptWriter;
    TOpenSrcFile SourceFile;
    std::uint32_t FilmSeconds = 0;  ///< film length in seconds, all discs
    std::uint8_t DiscCount = 0;     ///< discs the film is spread over
    std::uint32_t TypedKbps = 2000; ///< the video rate the user chose, for "as typed"
    std::string OpenDialogFile;     ///< the open dialog's selection
    TRect WorkArea;                 ///< the desktop area the window keeps to

    /// The decimal separator of the numbers the window shows.
    char DecimalSeparator = '.';
    /// "1:1 Monitor" among the source kinds.
    static constexpr int SquareKind = static_cast<int>(TSourceKind::Square);

    // Panel "Stream & Authoring".
    TLabel StreamTitle{*this, "StaticText2", "Stream & Authoring"};
    /// How the video rate is chosen: the rate that fills the discs, at most the
    /// player's maximum, or the rate the user typed. On the panel's title line.
    TComboBox RateModeBox{
        *this, "RateModeBox", {"fill the discs", "player maximum", "as typed"}, 0};
    TEdit EditMin{*this, "EditMin", "1"};
    TUpDown MinUpDown{*this, "MinUpDown", 0, 300, 1};
    TEdit EditSec{*this, "EditSec", "1"};
    TUpDown SecUpDown{*this, "SecUpDown", 0, 59, 1};
    TComboBox FpsCombo{*this, "FpsCombo", {"23.976fps", "25fps", "29.97fps"}, 0};
    TLabel FilmLengthLabel{*this, "Label10", "= ? sec"};
    TEdit Videokbps{*this, "Videokbps", "2000"};
    TUpDown VideoUpDown10{*this, "VideoUpDown10", 400, 15000, 2000};
    TUpDown VideoUpDown{*this, "VideoUpDown", 400, 15000, 2000};
    TLabel Label43{*this, "Label43", "kbps Video"};
    TLabel MaxRateLabel{*this, "Label62"};
    TLabel MinRateLabel{*this, "Label63"};
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
    TEdit AddMatricesEdit{*this, "Edit1", "0"};
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
    /// The disc's capacity in megabytes, beside its lead-out time.
    TLabel CapacityLabel{*this, "CapacityLabel"};
    TEdit EditImageBlocks{*this, "EditImageBlocks"};

    // Panel "MPEG Resizing".
    TLabel ResizingTitle{*this, "StaticText3", "MPEG Resizing"};
    TButton OpenVideoBtn{*this, "OpenVideoBtn", " Source:"};
    TButton PreviewBtn{*this, "PreviewBtn", "Preview"};
    TButton RecentBtn{*this, "RecentBtn", "Recent films"};
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
    TLabel FilmAspectLabel{*this, "Label13"};
    TEdit CropXEdit{*this, "CropXEdit"};
    TEdit CropYEdit{*this, "CropYEdit"};
    TComboBox CropModeBox{*this, "CropModeBox"};
    TLabel CropAspectLabel{*this, "Label17"};
    TLabel ErrLabel{*this, "ErrLabel", "Error:"};
    TTrackBar RoundXCrop{*this, "RoundXCrop", 0, 5, 1};
    TLabel LabelRoundXCrop{*this, "LabelRoundXCrop", "1"};
    TTrackBar RoundYCrop{*this, "RoundYCrop", 0, 5, 1};
    TLabel LabelRoundYCrop{*this, "LabelRoundYCrop", "1"};
    TEdit ResizeXEdit{*this, "ResizeXEdit", "100"};
    TEdit ResizeYEdit{*this, "ResizeYEdit", "100"};
    TUpDown ResizeYUpDown{*this, "ResizeYUpDown", 0, 10000, 5000};
    TLabel RatePerBlockLabel{*this, "Label56", "= ? blocks = ? bps per block"};
    TLabel ResizeAspectLabel{*this, "Label36"};
    TLabel LabelRoundXResize{*this, "LabelRoundXResize", "1"};
    TTrackBar RoundYResize{*this, "RoundYResize", 0, 5, 1};
    TLabel LabelRoundYResize{*this, "LabelRoundYResize", "1"};
    TLabel ResizeAlignLabel{*this, "Label57", "= ?-optimized"};
    TEdit DestXEdit{*this, "DestXEdit", "100"};
    TEdit DestYEdit{*this, "DestYEdit", "100"};
    TComboBox DestAspectBox{*this, "DestAspectBox"};
    TCheckBox DestPALBox{*this, "DestPALBox", "PAL"};
    TCheckBox DestAnamorphic{*this, "DestAnamorphic", "Anamorphic"};
    TEdit TVBorderEdit{*this, "TVBorderEdit", "2"};
    TUpDown TVBorderUpDown{*this, "TVBorderUpDown", 0, 3, 2};
    TLabel Label55{*this, "Label55", "Blocks TV-overscan"};

    // Panel "AviSynth Script".
    TLabel ScriptTitle{*this, "StaticText4", "AviSynth Script"};
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

    /// A value the window cut to its field or range, in words; empty when none.
    std::string Notice;

    // Source and destination pixel forms.
    void ApplySrcPixelForm();
    void SrcChange();
    void GetDestPixelForm();
    /// The destination frame of its kind and TV system, and the resize size that
    /// fills it within the overscan blocks.
    void ResetResizeToDest();
    void DestChange();
    void ShowCrop(const TCropResult& crop);

    // Resize size suggestion and the small geometry handlers.
    void MakeSuggestion();
    void CalcNewRes();
    void CalcNewXRes();
    void ResizeYEditKeyUp();
    void ResizeYUpDownChangingEx(TUpDownDirection direction);
    void CropModeBoxChange();
    void SrcChangeResManual();
    void CopyBtnClick();
    void BorderEditKeyUp();

    // Disc, multiplexing and authoring settings.
    void CDTypeBoxChange();
    void CDTimeChange();
    void MuxModeBoxChange();
    void AuthoringBoxChange();

    // Making discs.
    /// The plan of the current inputs for the disc maker.
    TDiscPlan DiscPlan() const;
    /// Whether the source's frames show their bottom field first.
    bool SourceBottomFirst() const;
    /// The job that makes the plan's discs in `dir`. Throws TJobError.
    TDiscJob DiscJob(const std::string& dir) const;
    /// The report of a run: its message, then per disc what `budget` (the disc
    /// budget the run was planned with) predicted against what was made; `plan` is
    /// the plan the run made.
    std::vector<std::string> DiscReport(const TMakeResult& result, const TCDImage& budget,
                                        const TDiscPlan& plan) const;
    /// Keeps the report beside the images (tarvex-report.txt in `dir`) and adds a
    /// line that says where, or why it could not be kept.
    static void SaveDiscReport(std::vector<std::string>& report, const std::string& dir);
    /// Asks for a folder and makes the discs there off the window's thread, or
    /// cancels the running job.
    void MakeDiscBtnClick();
    bool Making() const { return FMaking != nullptr; }
    /// Why made discs do not fit their discs, as one sentence; empty when they all fit.
    static std::string Unfit(const TMakeResult& result, const TCDImage& budget);
    /// Whether the window may close: while discs are made the user is asked.
    bool MayClose();
    /// Stops and waits for the running work; nothing it did arrives afterwards.
    void StopJobs();
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
    void EditSecExit();
    void FpsComboChange();
    /// The source's frame rate as the frame-rate list says.
    float FpsRate() const;
    /// The rate the disc plays the source's frames at: the list's, or the film rate of
    /// the other TV system when the script changes between PAL and NTSC.
    float DiscFrameRate() const;
    void EditSubPicsChange();
    void SubKBytesChange();
    void VideoUpDownChangingEx(int newValue);
    void VideoUpDown10Click(TUDButton button);
    /// The end of the buttons' range a step down (or up) lands on from a rate beyond it.
    std::optional<int> VideoRangeEnd(bool down) const;
    /// The items of RateModeBox.
    enum TRateMode { FillDiscs = 0, PlayerMaximum = 1, AsTyped = 2 };
    void RateModeBoxChange();
    /// A rate typed into Videokbps picks "as typed" and is kept.
    void VideokbpsKeyUp(char key);
    /// A rate stepped by hand picks "as typed" and is kept.
    void VideoRateStepped();
    void CalcImage();
    /// The controls into the disc model; false without audio rates or GOP length.
    bool ReadBudgetInputs();
    void ShowInputHints(); ///< what each of the budget's inputs costs a disc
    void CalcExactImage();
    void UpdateRatePerBlock();

    // Source information.
    /// Opens a film as the source (from the dialog, the command line, a drop or the
    /// recent films): on success the film leads the recent films and names the
    /// caption, and the outcome of discs made from another film is cleared.
    bool OpenFilm(const std::string& file);
    /// The films opened last, the latest first; empty entries are unused.
    static constexpr std::size_t RecentCount = 5;
    std::array<std::string, RecentCount> RecentFilms;
    /// Offers the recent films and opens the one chosen.
    void RecentBtnClick();
    void OpenVideoBtnClick();
    /// Reads `file` as the source and, when it opens, puts its frames into the
    /// model; the reader's result code.
    int ReadSource(const std::string& file);
    void SetFileInfos();

    // Film area found in the source's frames.
    /// Starts the detection off the window's thread, or cancels the running one.
    void DetectBtnClick();
    /// Whether a detection runs; its progress and result are taken on the window's
    /// thread when the worker wakes it through `Platform.Post`.
    bool Detecting() const { return FDetection != nullptr; }
    /// Told of each position the detection has done, on the window's thread.
    std::function<void(int done, int total)> OnDetectProgress;
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
    /// The breaches of the disc standard the plan would make, worded with their fixes.
    std::vector<TWarning> ComplianceWarnings() const;
    /// The warnings that keep Make disc from making the discs.
    std::vector<TWarning> Refusals() const;
    /// Makes a warning's fix as the user would; false when the control refused it.
    bool ApplyFix(const TFix& fix);

    // Script options and saving.
    void MakeScript();
    void ChangeAVSOptions();
    void SaveAVSBtnClick();

  private:
    /// Takes what the running jobs have for the window, on its thread.
    void TakeJobNews();
    /// Whether the job may go ahead when its folder holds files of an earlier run:
    /// the user is asked, and a yes lets the job replace them.
    bool MayReplace(const TDiscJob& job, TMakeOptions& options);
    /// Says so when a digit typed into a full field is left out.
    void NoteFullField(const TEdit& edit, char key);
    void RememberFilm(const std::string& file);
    /// The program's name and version, after the film's name when one is open.
    void ShowFilmInCaption();
    void DetectProgress(int done, int total);
    void DetectDone(const TDetectResult& result);
    void MakeProgress(const TProgress& progress);
    void MakeDone(const TMakeResult& result);
    /// Says what no player would accept and offers the fixes in one answer; false
    /// when the discs are not to be made.
    bool MayMakeDiscs();
    /// The folder a job writes to: the last one chosen for this film, or one named
    /// after the film beside it, so that films side by side keep their own discs.
    std::string JobFolder() const;
    bool ShowsJob() const { return ScriptViewBox.ItemIndex() == 1; }
    void TakeResizeHeight(std::int32_t height);
    /// Replaces the disc-filling rate by the one the rate mode asks for.
    void ApplyRateMode();
    void SetupControls();
    void WireHandlers();
    void BindModelOutputs();
    TSettingsFile SettingsFile();
    /// A seconds up-down stepped past either end carries into its minutes.
    static void CarrySeconds(int proposed, TUpDownDirection direction, TUpDown& minutes);
    void RoundCropChange(const TTrackBar& slider, TLabel& label, const std::int8_t& round,
                         void (TResizeStruct::*set)(std::int8_t));

    std::unique_ptr<TDetectJob> FDetection;
    std::unique_ptr<TMakeJob> FMaking;
    TCDImage FMakingBudget;        ///< the budget the running job was planned with
    TDiscPlan FMakingPlan;         ///< the plan it makes
    std::string FDiscFolderSource; ///< the film DiscFolder was chosen for
    /// The audio streams of the film last asked about, -1 when unknown.
    mutable std::pair<std::string, int> FAudioCount{"", -1};
    /// How the workers wake the window's thread; cut before the window goes.
    std::shared_ptr<TWaker> FWaker = std::make_shared<TWaker>(Platform, [this] { TakeJobNews(); });
};

} // namespace tarvex
