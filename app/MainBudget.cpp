// The bitrate report and the film length: the handlers that feed the disc model
// and the three procedures that recompute it and write every result.
#include "app/Main.h"

#include "common/Numeric.h"

#include <limits>

namespace tarvex {

namespace {

/// The hint of one audio stream; seconds is the playing time of one disc.
std::string AudioHint(int stream, std::uint32_t rate, Real seconds) {
    return "Audio stream " + IntToStr(stream) + ": \r\n" + IntToStr(rate / 1000) +
           " kbps = " + IntToStr(rate) + " bps\r\n" +
           "Per CD: " + IntToStr(Round(seconds * rate / 8192)) +
           " KB = " + IntToStr(Round(seconds * rate / 8)) + " Byte";
}

/// The bitrate of a list of kbps values, or false without a selection or number.
bool SelectedRate(const TComboBox& box, std::uint32_t& rate) {
    std::int32_t kbps;
    if (box.ItemIndex() < 0 || !TryStrToInt(box.Text(), kbps)) return false;
    rate = Store<std::uint32_t>(std::int64_t{kbps} * 1000);
    return true;
}

/// The largest whole-kbps rate a 32-bit rate field holds.
constexpr std::uint32_t MaxShownRate = std::numeric_limits<std::uint32_t>::max() / 1000 * 1000;

/// Player rate limits in kbps and the kbps of one CD speed, for the hints.
struct TPlayerRates {
    std::int32_t Max, Min;
    Real Speed;
};

/// A stream rate in CD speeds with two decimals.
std::string CdSpeed(std::int32_t kbps, Real speed, char separator) {
    return FloatToStr(static_cast<Real>(Round(Div(kbps, speed))) / 100, separator);
}

} // namespace

// Film length.

void TMainForm::CarrySeconds(int proposed, TUpDownDirection direction, TUpDown& minutes) {
    // Only a click past either end of the range comes without a direction.
    if (direction != TUpDownDirection::None || (proposed != 60 && proposed != -1)) return;
    // The seconds wrap, so the minutes step with them and wrap at the ends of
    // their range as their own buttons do: the length runs round from the
    // longest to the shortest instead of jumping back by 59 seconds.
    const int next = minutes.Position() + (proposed == 60 ? 1 : -1);
    if (next > minutes.Max())
        minutes.SetPosition(minutes.Wrap() ? minutes.Min() : minutes.Max());
    else if (next < minutes.Min())
        minutes.SetPosition(minutes.Wrap() ? minutes.Max() : minutes.Min());
    else
        minutes.SetPosition(next);
}

void TMainForm::TimeChange() {
    std::int32_t minutes, seconds;
    if (TryStrToInt(EditMin.Text(), minutes) && TryStrToInt(EditSec.Text(), seconds))
        FilmSeconds = Store<std::uint32_t>(std::int64_t{minutes} * 60 + seconds);
    if (!Updating) CalcImage();
}

void TMainForm::EditSecExit() {
    if (EditSec.Text().empty()) EditSec.SetText("0");
    std::int32_t seconds;
    if (!TryStrToInt(EditSec.Text(), seconds)) return;
    if (seconds >= 60) { // the whole film length typed as seconds
        FilmSeconds = Store<std::uint32_t>(seconds);
        EditMin.SetText(IntToStr(seconds / 60));
        EditSec.SetText(IntToStr(seconds % 60));
    }
}

float TMainForm::FpsRate() const {
    if (FpsCombo.ItemIndex() == 2) return 29.97f;
    if (FpsCombo.ItemIndex() == 0) return 23.976f;
    return 25.0f;
}

float TMainForm::DiscFrameRate() const {
    const TResizeStruct& m = ResizeModel;
    // The script's AssumeFPS keeps every frame and shows it at the new rate.
    if (m.SrcIsPAL != m.DestIsPAL) return m.DestIsPAL ? 25.0f : 23.976f;
    return FpsRate();
}

void TMainForm::FpsComboChange() {
    try {
        DiscImage.SetFrameRate(DiscFrameRate());
    } catch (const FloatError&) {
        return;
    }
    if (!Updating) CalcImage();
}

// Subtitles: the edits hold the whole film, the model one disc's share.

void TMainForm::EditSubPicsChange() {
    try {
        std::int32_t pictures;
        if (TryStrToInt(EditSubPics.Text(), pictures))
            DiscImage.SetSubtitlePics(Store<std::uint16_t>(Ceil(Div(pictures, DiscCount))));
        SubKBytes.SetText(IntToStr(std::int64_t{DiscImage.BMPSubSize} * DiscCount));
    } catch (const FloatError&) {
    }
}

void TMainForm::SubKBytesChange() {
    if (Updating) return;
    try {
        std::int32_t kbytes;
        if (TryStrToInt(SubKBytes.Text(), kbytes))
            DiscImage.SetBMPSubSize(Store<std::uint32_t>(Ceil(Div(kbytes, DiscCount))));
    } catch (const FloatError&) {
        return;
    }
    CalcImage();
}

// The video bitrate by hand: only the image report follows.

void TMainForm::VideoUpDownChangingEx(int newValue) {
    // The proposal is a full 32-bit value: a disc-filling rate of 32768 kbps or
    // more must not wrap into a negative one.
    DiscImage.SetVideoRate(Store<std::uint32_t>(std::int64_t{newValue < 0 ? 0 : newValue} * 1000));
    VideoUpDown10.SetPosition(static_cast<int>(DiscImage.VideoRate / 1000));
    CalcExactImage();
}

void TMainForm::VideoUpDown10Click(TUDButton button) {
    const bool down = button == TUDButton::Down;
    if (const std::optional<int> end = VideoRangeEnd(down)) return VideoUpDownChangingEx(*end);
    VideoUpDown.SetPosition(VideoUpDown.Position() + (down ? -10 : 10));
}

// A rate outside the buttons' range (typed, or a short film filling its disc)
// steps to the range's nearest end, not on from the end the buttons stand at.
std::optional<int> TMainForm::VideoRangeEnd(bool down) const {
    const std::int64_t kbps = DiscImage.VideoRate / 1000;
    if (down && kbps > VideoUpDown.Max()) return VideoUpDown.Max();
    if (!down && kbps < VideoUpDown.Min()) return VideoUpDown.Min();
    return std::nullopt;
}

// The rate mode: how the video rate is chosen.

void TMainForm::RateModeBoxChange() {
    // Switching to "as typed" keeps the rate shown until the user types another.
    if (RateModeBox.ItemIndex() == AsTyped) TypedKbps = DiscImage.VideoRate / 1000;
    CalcImage();
}

void TMainForm::VideokbpsKeyUp(char key) {
    if (key != TEdit::Backspace && (key < '0' || key > '9')) return;
    std::int32_t kbps;
    if (!TryStrToInt(Videokbps.Text(), kbps) || kbps < 0) return;
    RateModeBox.SetItemIndex(AsTyped);
    TypedKbps = static_cast<std::uint32_t>(kbps);
    CalcImage();
}

void TMainForm::VideoRateStepped() {
    RateModeBox.SetItemIndex(AsTyped);
    TypedKbps = DiscImage.VideoRate / 1000;
}

void TMainForm::ApplyRateMode() {
    TCDImage& d = DiscImage;
    if (RateModeBox.ItemIndex() == AsTyped) {
        d.SetVideoRate(Store<std::uint32_t>(std::int64_t{TypedKbps} * 1000));
    } else if (RateModeBox.ItemIndex() == PlayerMaximum && d.VideoFits && d.MaxVideoRate > 0) {
        // The player's maximum, within what the disc's standard lets its video reach
        // (a VCD's one rate lies below the CD stream's maximum).
        const std::uint32_t standard =
            DiscStandard(MuxTraits(d.MuxMode).Family, ResizeModel.DestIsPAL).MaxVideoRate;
        const std::uint32_t highest =
            std::min(static_cast<std::uint32_t>(d.MaxVideoRate), standard) / 1000 * 1000;
        if (d.VideoRate > highest) d.SetVideoRate(highest);
    }
}

// The full recomputation.

bool TMainForm::ReadBudgetInputs() {
    TCDImage& d = DiscImage;
    // Every source frame reaches the disc, played at the disc's rate.
    d.SetFrameRate(DiscFrameRate());
    d.SetFrames(
        Store<std::uint32_t>(Ceil(Div(FilmSeconds * static_cast<Real>(FpsRate()), DiscCount))));
    std::uint32_t audio1, audio2;
    if (!SelectedRate(Audio1kbps, audio1)) return false;
    d.SetAudio1Rate(audio1);
    if (!SelectedRate(Audio2kbps, audio2)) return false;
    d.SetAudio2Rate(audio2);
    // The I-Author layout spends one more block on a second audio stream.
    d.SetMuxMode(d.MuxMode);
    std::int32_t gop;
    if (!TryStrToInt(EditGOP.Text(), gop)) return false;
    // Film with pulldown: the GOP field counts frames shown, the budget GOPs of film frames.
    d.SetPulldown(SoftPulldown(DiscPlan()));
    d.SetGOPLength(Store<std::uint8_t>(gop));
    d.SetAuthoringMode(Store<std::int8_t>(AuthoringBox.ItemIndex()));
    d.SetSceneDetect(SceneDetect.Checked());
    d.SetScanOffsets(ScanOffsets.Checked());
    d.SetSeqAligning(SeqAligning.Checked());
    d.SetAC3Audio(AC3Box.Checked());
    d.SetAddMatrices(Store<std::uint8_t>(AddMatricesUpDown.Position()));
    d.MenuBlocks = Store<std::uint32_t>(std::int64_t{MenuUpDown.Position()} * 150);
    d.ExtraBlocksMode2324 = ExtraDataModeBox.ItemIndex() != 0;
    try {
        std::int32_t kbytes;
        if (TryStrToInt(EditExtraDataKB.Text(), kbytes))
            d.ExtraBlocks = Store<std::uint32_t>(d.ExtraBlocksMode2324
                                                     ? Ceil(static_cast<Real>(kbytes) / 2324 * 1024)
                                                     : Ceil(static_cast<Real>(kbytes) / 2));
    } catch (const FloatError&) {
    }
    return true;
}

void TMainForm::ShowInputHints() {
    const TCDImage& d = DiscImage;
    const Real seconds = Div(d.Frames, d.FrameRate);
    const std::string audio1Hint = AudioHint(1, d.Audio1Rate, seconds);
    Audio1kbps.SetHint(audio1Hint);
    Audio1Label.SetHint(audio1Hint);
    const std::string audio2Hint = AudioHint(2, d.Audio2Rate, seconds);
    Audio2kbps.SetHint(audio2Hint);
    Audio2Label.SetHint(audio2Hint);

    SubKBytes.SetHint("Per CD: ~" +
                      IntToStr(Round(static_cast<Real>(d.SubtitleStreamBytes) / 1024)) +
                      " KB in the stream\r\n" + "Total: ~" +
                      IntToStr(Round(static_cast<Real>(d.SubtitleStreamBytes) / 1024 * DiscCount)) +
                      " KB in the stream");
    ScanOffsets.SetHint("The standard requires this, but no player does...\r\n" +
                        IntToStr(d.ScanOffsetBytes) + " Bytes");
    SeqAligning.SetHint("Causes many unnecessary overhead. Don't use this!\r\n" +
                        IntToStr(d.SeqAlignBytes) + " Bytes");
    LabelAddMatrices.SetHint(
        "The matrices you want to add later. This will increase the\r\nfinal bitrate, "
        "what the encoder sometimes doesn't regard.\r\n" +
        IntToStr(d.MatrixBytes) + " Bytes");

    FilmLengthLabel.SetCaption(
        "= " + IntToStr(FilmSeconds) +
        " seconds = " + IntToStr(Round(FilmSeconds * static_cast<Real>(FpsRate()))) +
        " frames = " + IntToStr(std::int64_t{d.IFrames} * DiscCount) + " I-frames");
    const std::string length = "Total Film-length:\r\n" + FilmLengthLabel.Caption();
    EditMin.SetHint(length);
    EditSec.SetHint(length);
    FpsCombo.SetHint(length);

    ExtraDataModeBox.SetHint(ExtraDataModeBox.ItemIndex() == 1
                                 ? "2324 bytes/sect. e.g. (S)VCD-MPEG-files"
                                 : "2048 bytes/sect. e.g. files in the filesystem or DVD-MPEGs");
    EditExtraDataKB.SetHint("Some extra data, you want to add to each CD.\r\nActually: " +
                            IntToStr(d.ExtraBlocks) + " blocks are used.");
}

void TMainForm::CalcImage() {
    if (Updating) return;
    ShowChapters(); // the film's length decides how many chapters there are
    try {
        TCDImage& d = DiscImage;
        if (!ReadBudgetInputs()) return;
        ShowInputHints();
        d.ComputeAuthoringOverhead();
        AuthoringBox.SetHint("Authoring-overhead = " +
                             IntToStr(std::int64_t{d.AuthoringOverhead} +
                                      AuthoringTraits(d.AuthoringMode).HintReserve) +
                             " blocks");

        d.ComputeVideoRate();
        // The model keeps the low 32 bits of the disc-filling rate: shown are no
        // video when none fits, and the largest rate when a film of a few seconds
        // on a whole disc asks for more than 32 bits hold.
        if (!d.VideoFits)
            d.SetVideoRate(0);
        else if (d.UncutVideoRate > MaxShownRate)
            d.SetVideoRate(MaxShownRate);
        ApplyRateMode();

        const int kbps = static_cast<int>(d.VideoRate / 1000);
        VideoUpDown.SetPosition(kbps);
        VideoUpDown10.SetPosition(kbps);
        CalcExactImage();
    } catch (const FloatError&) {
    }
}

// The image report for the current video bitrate.

void TMainForm::CalcExactImage() {
    try {
        TCDImage& d = DiscImage;
        d.ComputeImage();
        MuxModeBox.SetHint("Multiplexing-overhead = " + IntToStr(d.MuxOverhead) + " Byte");
        Videokbps.SetText(IntToStr(d.VideoRate / 1000));

        const Real seconds = Div(d.Frames, d.FrameRate);
        std::string videoHint =
            "Video stream:\r\n" + IntToStr(d.VideoRate / 1000) + " kbps = " +
            FloatToStr(static_cast<Real>(Round(d.VideoRate / 102.4L)) / 10, DecimalSeparator) +
            " Kbps = " + IntToStr(d.VideoRate) + " bps\r\n" +
            "Per CD: " + IntToStr(CeilInt64(seconds * d.VideoRate / 8192)) +
            " KB = " + IntToStr(Round(seconds * d.VideoRate / 8)) + " Byte";
        if (!d.VideoFits)
            videoHint =
                "No room for video: audio and overheads alone exceed the CD.\r\n" + videoHint;
        Videokbps.SetHint(videoHint);
        Label43.SetHint(videoHint);

        TPlayerRates player{d.PlayerRateSVCDMax, d.PlayerRateSVCDMin, 13.944L};
        if (d.SectorSize == 2048) {
            // Nothing gives the DVD player rates a value: the hints show the
            // limits the computation uses.
            const TStreamRateLimits limits = d.StreamRateLimits();
            player = TPlayerRates{limits.High / 1000, limits.Low / 1000, 12.288L};
        }
        MaxRateLabel.SetHint(
            "This maximum video-rate is for not exceeding your player's\r\nmaximum stream-rate "
            "of " +
            IntToStr(player.Max) +
            " kbps (= " + CdSpeed(player.Max, player.Speed, DecimalSeparator) + "x CD-speed)");
        MinRateLabel.SetHint(
            "This minimum video-rate is for not going below your player's\r\nminimum stream-rate "
            "of " +
            IntToStr(player.Min) +
            " kbps (= " + CdSpeed(player.Min, player.Speed, DecimalSeparator) + "x CD-speed)");

        // Signed: audio and overheads above the player's rate leave a negative limit.
        MaxRateLabel.SetCaption(KbpsText(d.MaxVideoRate));
        MinRateLabel.SetCaption(KbpsText(d.MinVideoRate));

        UpdateRatePerBlock();

        // MB of 1024 x 1024 bytes, as file managers count them.
        CapacityLabel.SetCaption(
            "(" + IntToStr(Round(static_cast<Real>(d.BlocksUsable) * d.SectorSize / 1048576)) +
            " MB)");
        EditImageBlocks.SetText(IntToStr(d.ImageBlocks));
        EditImageBlocks.SetHint(
            "The Image-size for each CD: " + IntToStr(d.ImageBlocks / 4500) + ":" +
            IntToStr(d.ImageBlocks / 75 % 60) + ":" + IntToStr(d.ImageBlocks % 75) +
            " (m:s:f)\r\n" + "Actually " + IntToStr(d.UnusedBlocks) + " blocks = " +
            IntToStr(Round(static_cast<Real>(d.UnusedBlocks) * d.SectorSize / 1024)) +
            " KB are left unused.\r\nPure MPEG-stream: " +
            IntToStr(Round(Div(d.StreamBytes, d.SectorSize))) +
            " blocks = " + IntToStr(Round(static_cast<Real>(d.StreamBytes) / 1024)) + " KB");
        if (ShowsJob()) MakeScript(); // the job encodes at the budget's rates
    } catch (const FloatError&) {
    }
}

} // namespace tarvex
