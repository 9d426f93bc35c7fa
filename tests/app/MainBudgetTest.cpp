// The film length, the bitrate report and the rate per block through the window's controls.
#include "FormFixture.h"

#include "common/Numeric.h"

using namespace tarvex;

namespace {

// Items of the audio lists.
constexpr int Audio1_224 = 10, Audio1_448 = 14;
constexpr int Audio2_128 = 8, Audio2_448 = 15;

const std::string MatricesHint = "The matrices you want to add later. This will increase the\r\n"
                                 "final bitrate, what the encoder sometimes doesn't regard.\r\n";

/// What the window shows of a computed image: the video rate, the image size
/// and its report, the rate limits.
struct ImageReport {
    const char *kbps, *blocks, *time, *unused, *pure, *maxRate, *minRate;
};

class BudgetForm : public FormTest {
  protected:
    static void ExpectReport(const TMainForm& f, const ImageReport& r) {
        EXPECT_EQ(f.Videokbps.Text(), r.kbps);
        EXPECT_EQ(f.EditImageBlocks.Text(), r.blocks);
        EXPECT_EQ(f.EditImageBlocks.Hint(), std::string("The Image-size for each CD: ") + r.time +
                                                " (m:s:f)\r\nActually " + r.unused +
                                                " are left unused.\r\nPure MPEG-stream: " + r.pure);
        EXPECT_EQ(f.MaxRateLabel.Caption(), std::string(r.maxRate) + " kbps");
        EXPECT_EQ(f.MinRateLabel.Caption(), std::string(r.minRate) + " kbps");
    }

    /// One hour at 25 fps on an "80min CD", I-Author, 224 kbps audio, no scene
    /// detection, no menus: the model's own worked example, set up by hand.
    TMainForm& StartOneHourIAuthor() {
        TMainForm& f = Start();
        f.AuthoringBox.Select(0);
        f.Audio1kbps.Select(Audio1_224);
        Check(f.SceneDetect, false);
        f.MenuUpDown.ClickDown();
        Type(f.EditMin, "60");
        return f;
    }
};

TEST_F(BudgetForm, StartUpFilmLength) {
    TMainForm& f = Start();
    // Scene detection is on by default: Ceil(5000 x 1.035) GOPs.
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3000 seconds = 75000 frames = 5175 I-frames");
    const std::string hint = "Total Film-length:\r\n" + f.FilmLengthLabel.Caption();
    EXPECT_EQ(f.EditMin.Hint(), hint);
    EXPECT_EQ(f.EditSec.Hint(), hint);
    EXPECT_EQ(f.FpsCombo.Hint(), hint);
    Check(f.SceneDetect, false);
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3000 seconds = 75000 frames = 5000 I-frames");

    // Two discs: each holds half the frames, the caption keeps the film's totals.
    f.CDNrUpDown.ClickUp();
    EXPECT_EQ(f.DiscCount, 2);
    EXPECT_EQ(f.DiscImage.Frames, 37500u);
    EXPECT_EQ(f.DiscImage.IFrames, 2500);
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3000 seconds = 75000 frames = 5000 I-frames");
    Check(f.SceneDetect, true);
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3000 seconds = 75000 frames = 5176 I-frames");
}

TEST_F(BudgetForm, FrameRates) {
    const struct {
        int index;
        float rate;
        const char* frames;
        std::uint32_t perDisc;
    } rows[] = {
        {2, 29.97f, "89910", 89910}, {0, 23.976f, "71928", 71928}, {1, 25.0f, "75000", 75000}};
    TMainForm& f = Start();
    for (const auto& r : rows) {
        f.FpsCombo.Select(r.index);
        EXPECT_EQ(f.DiscImage.FrameRate, r.rate) << r.index;
        EXPECT_EQ(f.DiscImage.Frames, r.perDisc) << r.index;
        const std::string prefix = std::string("= 3000 seconds = ") + r.frames + " frames = ";
        EXPECT_EQ(f.FilmLengthLabel.Caption().rfind(prefix, 0), 0u) << f.FilmLengthLabel.Caption();
    }
}

TEST_F(BudgetForm, SecondsCarryIntoMinutes) {
    enum Step { TypeMin, TypeSec, EnterSec, Up, Down };
    const struct {
        Step step;
        const char* text;
        const char *minutes, *seconds;
        std::uint32_t total;
    } steps[] = {
        {TypeSec, "75", "1", "15", 75}, // seconds typed as the whole length
        {TypeMin, "7", "7", "15", 435},
        {EnterSec, "90", "1", "30", 90}, // Enter does the same, whatever the minutes were
        {TypeSec, "45", "1", "45", 105}, // below a minute the seconds stay where they are
        {TypeSec, "59", "1", "59", 119},
        {Up, "", "2", "0", 120},
        {Down, "", "1", "59", 119},
        {Down, "", "1", "58", 118}, // inside the range: no carry
        {TypeMin, "300", "300", "58", 18058},
        {Up, "", "300", "59", 18059},
        {Up, "", "0", "0", 0}, // the minutes wrap as their own buttons do
        {Down, "", "300", "59", 18059},
    };
    TMainForm& f = Start();
    for (const auto& s : steps) {
        switch (s.step) {
        case TypeMin:
            Type(f.EditMin, s.text);
            break;
        case TypeSec:
            Type(f.EditSec, s.text);
            break;
        case EnterSec:
            f.EditSec.Focus();
            f.EditSec.SelectAll();
            f.EditSec.TypeKeys(std::string(s.text) + "\r");
            break;
        case Up:
            f.SecUpDown.ClickUp();
            break;
        case Down:
            f.SecUpDown.ClickDown();
            break;
        }
        const std::string step = std::to_string(&s - steps);
        EXPECT_TRUE(Shows(f, "EditMin=" + std::string(s.minutes) + "; EditSec=" + s.seconds))
            << step;
        EXPECT_EQ(f.FilmSeconds, s.total) << step;
        EXPECT_EQ(
            f.FilmLengthLabel.Caption().rfind("= " + std::to_string(s.total) + " seconds = ", 0),
            0u)
            << step;
    }
}

TEST_F(BudgetForm, EmptyFieldsLeaveTheirValues) {
    TMainForm& f = Start();
    const std::string image = f.EditImageBlocks.Text();
    Type(f.EditMin, "");
    EXPECT_EQ(f.FilmSeconds, 3000u);
    EXPECT_EQ(f.EditImageBlocks.Text(), image);
    Type(f.EditMin, "50");

    Type(f.EditSec, ""); // leaving an empty seconds field writes 0
    EXPECT_EQ(f.EditSec.Text(), "0");
    EXPECT_EQ(f.FilmSeconds, 3000u);

    Type(f.EditSubPics, "3");
    const std::uint16_t pictures = f.DiscImage.SubtitlePics;
    Type(f.EditSubPics, "");
    EXPECT_EQ(f.DiscImage.SubtitlePics, pictures);
    Type(f.SubKBytes, "");
    EXPECT_EQ(f.DiscImage.SubtitlePics, pictures);

    Type(f.EditSubPics, "1x2"); // the digit filter drops the letter
    EXPECT_EQ(f.EditSubPics.Text(), "12");
    EXPECT_TRUE(Platform.Messages.empty());
}

TEST_F(BudgetForm, SubtitlesAreSharedByTheDiscs) {
    TMainForm& f = Start();
    Type(f.EditSubPics, "1");
    EXPECT_EQ(f.SubKBytes.Text(), "9"); // Round(9627 / 1024)
    EXPECT_EQ(f.DiscImage.SubtitleStreamBytes, 3687u);
    EXPECT_EQ(f.SubKBytes.Hint(), "Per CD: ~4 KB in the stream\r\nTotal: ~4 KB in the stream");

    f.CDNrUpDown.ClickUp();
    Type(f.EditSubPics, "3"); // Ceil(1.5) pictures per disc
    EXPECT_EQ(f.DiscImage.SubtitlePics, 2);
    EXPECT_EQ(f.DiscImage.BMPSubSize, 19u);
    EXPECT_EQ(f.SubKBytes.Text(), "38");
    EXPECT_EQ(f.SubKBytes.Hint(), "Per CD: ~8 KB in the stream\r\nTotal: ~15 KB in the stream");

    // The size in KB feeds the model without rewriting the picture count.
    Type(f.SubKBytes, "20");
    EXPECT_EQ(f.DiscImage.BMPSubSize, 10u);
    EXPECT_EQ(f.DiscImage.SubtitlePics, 1);
    EXPECT_EQ(f.EditSubPics.Text(), "3");
}

TEST_F(BudgetForm, ImageReportOfTheWorkedExample) {
    TMainForm& f = StartOneHourIAuthor();
    EXPECT_EQ(f.MuxModeBox.ItemIndex(), 0);
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3600 seconds = 90000 frames = 6000 I-frames");
    ExpectReport(f, {"1604", "359599", "79:54:49", "250 blocks = 567 KB",
                     "359060 blocks = 814898 KB", "2524", "1151"});
    EXPECT_TRUE(Shows(f, "VideoUpDown=1604; VideoUpDown10=1604"));
    EXPECT_EQ(f.MuxModeBox.Hint(), "Multiplexing-overhead = 11855432 Byte");
    EXPECT_EQ(f.AuthoringBox.Hint(), "Authoring-overhead = 464 blocks");
    const std::string video = "Video stream:\r\n1604 kbps = 1566.4 Kbps = 1604000 bps\r\n"
                              "Per CD: 704883 KB = 721800000 Byte";
    EXPECT_EQ(f.Videokbps.Hint(), video);
    EXPECT_EQ(f.Label43.Hint(), video);
    const std::string audio = "Audio stream 1: \r\n224 kbps = 224000 bps\r\n"
                              "Per CD: 98438 KB = 100800000 Byte";
    EXPECT_EQ(f.Audio1kbps.Hint(), audio);
    EXPECT_EQ(f.Audio1Label.Hint(), audio);
    EXPECT_EQ(f.Audio2kbps.Hint(), "Audio stream 2: \r\n0 kbps = 0 bps\r\nPer CD: 0 KB = 0 Byte");
    EXPECT_EQ(f.MaxRateLabel.Hint(),
              "This maximum video-rate is for not exceeding your player's\r\n"
              "maximum stream-rate of 2788 kbps (= 2x CD-speed)");
    EXPECT_EQ(f.MinRateLabel.Hint(),
              "This minimum video-rate is for not going below your player's\r\n"
              "minimum stream-rate of 1395 kbps (= 1x CD-speed)");
    EXPECT_EQ(f.ScanOffsets.Hint(), "The standard requires this, but no player does...\r\n0 Bytes");
    EXPECT_EQ(f.SeqAligning.Hint(), "Causes many unnecessary overhead. Don't use this!\r\n0 Bytes");
    EXPECT_EQ(f.LabelAddMatrices.Hint(), MatricesHint + "0 Bytes");
}

TEST_F(BudgetForm, GopOverheadsInTheHints) {
    TMainForm& f = StartOneHourIAuthor();
    f.AddMatricesUpDown.ClickUp();
    f.AddMatricesUpDown.ClickUp();
    f.AddMatricesUpDown.ClickUp(); // stops at 2
    EXPECT_EQ(f.AddMatricesEdit.Text(), "2");
    EXPECT_EQ(f.LabelAddMatrices.Hint(), MatricesHint + "768000 Bytes"); // 2 x 64 x 6000
    f.GOPUpDown.ClickDown(); // 14 frames per GOP: Ceil(6428.6) GOPs
    EXPECT_EQ(f.DiscImage.IFrames, 6429);
    EXPECT_EQ(f.LabelAddMatrices.Hint(), MatricesHint + "822912 Bytes");
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 3600 seconds = 90000 frames = 6429 I-frames");
}

TEST_F(BudgetForm, StepByTenRecomputesOnlyTheImage) {
    TMainForm& f = StartOneHourIAuthor();
    f.VideoUpDown10.ClickUp();
    // 10 kbps more for an hour no longer fit: the report says by how much.
    ExpectReport(f, {"1614", "361564", "80:20:64", "-1715 blocks = -3892 KB",
                     "361025 blocks = 819358 KB", "2524", "1151"});
    EXPECT_TRUE(Shows(f, "VideoUpDown=1614; VideoUpDown10=1614"));
    EXPECT_EQ(f.DiscImage.ExactVideoRate, 1604509u); // the disc-filling rate was not recomputed

    f.VideoUpDown10.ClickDown();
    EXPECT_TRUE(Shows(f, "Videokbps=1604; EditImageBlocks=359599"));
    f.VideoUpDown.ClickUp();
    EXPECT_TRUE(Shows(f, "Videokbps=1605; VideoUpDown10=1605"));
}

// A disc-filling rate above 32767 kbps (a minute of film on a whole CD) is
// taken as it is, and stays the same however often the disc is recomputed.
TEST_F(BudgetForm, HighDiscFillingRateDoesNotWrap) {
    TMainForm& f = Start();
    Type(f.EditMin, "1");
    const std::uint32_t rate = f.DiscImage.VideoRate;
    EXPECT_GT(rate, 32768000u);
    EXPECT_EQ(f.Videokbps.Text(), IntToStr(rate / 1000));
    EXPECT_GE(f.DiscImage.UnusedBlocks, 150); // the safety margin
    EXPECT_LE(f.DiscImage.UnusedBlocks, 155);
    const std::vector<std::string> once = Snapshot(f);
    f.Audio1kbps.Select(f.Audio1kbps.ItemIndex());
    EXPECT_EQ(Snapshot(f), once);
}

// Audio and overheads alone above the player's stream rate: the limits are negative.
TEST_F(BudgetForm, NegativeRateLimitsAreShownSigned) {
    TMainForm& f = Start();
    Type(f.EditMin, "1");
    Type(f.EditSubPics, "9999");
    EXPECT_EQ(f.DiscImage.MaxVideoRate, -2469185);
    EXPECT_EQ(f.DiscImage.MinVideoRate, -3840605);
    EXPECT_TRUE(Shows(f, "Label62=-2469 kbps; Label63=-3840 kbps; Videokbps=104209"));
}

// Five hours with two 448 kbps streams do not fit on a "21min CD" even without video.
TEST_F(BudgetForm, AudioAloneAboveTheDisc) {
    TMainForm& f = Start();
    f.CDTypeBox.Select(0);
    f.Audio1kbps.Select(Audio1_448);
    f.Audio2kbps.Select(Audio2_448);
    Type(f.EditMin, "300");
    ExpectReport(f, {"0", "879951", "195:32:51", "-785602 blocks = -1782948 KB",
                     "879201 blocks = 1995374 KB", "1850", "479"});
    EXPECT_EQ(f.DiscImage.VideoRate, 0u);
    const std::string video = "No room for video: audio and overheads alone exceed the CD.\r\n"
                              "Video stream:\r\n0 kbps = 0 Kbps = 0 bps\r\n"
                              "Per CD: 0 KB = 0 Byte";
    EXPECT_EQ(f.Videokbps.Hint(), video);
    EXPECT_EQ(f.Label43.Hint(), video);

    // Back within the disc the notice goes.
    Type(f.EditMin, "10");
    EXPECT_NE(f.Videokbps.Text(), "0");
    EXPECT_EQ(f.Videokbps.Hint().rfind("Video stream:", 0), 0u);
}

// Extra data larger than the disc leave no room for video either.
TEST_F(BudgetForm, ExtraDataAboveTheDisc) {
    TMainForm& f = Start();
    for (const char* kbytes : {"718300", "718400", "2000000"}) {
        Type(f.EditExtraDataKB, kbytes);
        EXPECT_EQ(f.Videokbps.Text(), "0") << kbytes;
        EXPECT_EQ(f.Videokbps.Hint().rfind("No room for video", 0), 0u) << kbytes;
        EXPECT_LT(f.DiscImage.UnusedBlocks, 0) << kbytes;
        EXPECT_GT(f.DiscImage.ImageBlocks, f.DiscImage.ExtraBlocks) << kbytes;
    }
}

// One second of film on a "99min CD" asks for more than a 32-bit rate holds.
TEST_F(BudgetForm, RateBeyondThirtyTwoBitsIsCapped) {
    TMainForm& f = Start();
    f.CDTypeBox.Select(4);
    Type(f.EditMin, "0");
    Type(f.EditSec, "1");
    EXPECT_TRUE(Shows(f, "Videokbps=4294967; EditImageBlocks=235408"));
    EXPECT_EQ(f.DiscImage.UnusedBlocks, 209941);
}

// The I-Author layout counts a third extra block for a second audio stream,
// whether the stream or the multiplexer was chosen first.
TEST_F(BudgetForm, SecondAudioStreamInEitherOrder) {
    TMainForm& f = Start();
    f.AuthoringBox.Select(0);
    f.Audio2kbps.Select(Audio2_128);
    EXPECT_EQ(f.DiscImage.ExtraSectors, 3u);
    EXPECT_TRUE(Shows(f, "Videokbps=1905; EditImageBlocks=359651"));
    const std::vector<std::string> streamLast = Snapshot(f);

    Form.reset();
    TMainForm& g = Start();
    g.Audio2kbps.Select(Audio2_128);
    g.AuthoringBox.Select(0);
    EXPECT_EQ(g.DiscImage.ExtraSectors, 3u);
    EXPECT_EQ(Snapshot(g), streamLast);

    g.Audio2kbps.Select(0);
    EXPECT_EQ(g.DiscImage.ExtraSectors, 2u);
}

TEST_F(BudgetForm, RatePerBlock) {
    TMainForm& f = Start();
    Check(f.SrcAnamorphic, false);
    // PAL "SVCD" resized to 448 x 416: 2912 luminance and 1456 chrominance blocks.
    ASSERT_TRUE(Shows(f, "ResizeXEdit=448; ResizeYEdit=416; Videokbps=2030"));
    EXPECT_EQ(f.RatePerBlockLabel.Hint(), "= 2912 LumBlocks and 1456 ChromBlocks");
    // 2030000 / 4368 = 464.74 bps per block; 768 x 25 / 464.74 = 41.31.
    EXPECT_EQ(f.RatePerBlockLabel.Caption(), "= 4368 blocks = 465 bps/block = 1:41.3 compression");
    // The film area of 720 x 436 at the default 4432 kbps: 581.93 bps per block.
    EXPECT_EQ(f.SrcRateEdit.Hint(), "Source analysis:\r\n= 7616 blocks = 582 bps/block = "
                                    "1:33 compression\r\n= 5040 LumBlocks and 2576 ChromBlocks");

    f.SrcRateEdit.SetText(""); // an unreadable source rate counts as 4400 kbps
    EXPECT_EQ(f.ResizeModel.SrcBitRate, 4400000.0);
    EXPECT_EQ(f.SrcRateEdit.Hint().rfind("Source analysis:\r\n= 7616 blocks = 578 bps/block", 0),
              0u);
    f.SrcRateEdit.SetText("2000");
    EXPECT_EQ(f.ResizeModel.SrcBitRate, 2000000.0);
}

} // namespace

// How the video rate is chosen, through the changes that recompute the disc.
namespace {

struct RateModeRow {
    const char* Name;
    const char* Minutes;                    ///< the film's length
    std::function<void(TMainForm&)> Choose; ///< how the user picks the mode
    std::function<void(TMainForm&)> Change; ///< a change that recomputes the disc afterwards
    enum { Fill, PlayerMaximum, Typed } Expected;
    int TypedKbps = 0; ///< the rate expected when it is not the filling or the player's one
};

class RateMode : public FormTest, public ::testing::WithParamInterface<RateModeRow> {};

void Nothing(TMainForm&) {}
void TypeRate(TMainForm& f, const char* kbps) {
    f.Videokbps.Focus();
    f.Videokbps.SelectAll();
    f.Videokbps.TypeKeys(kbps);
    f.Videokbps.Leave();
}
void Select(TMainForm& f, int mode) {
    f.RateModeBox.Select(mode);
}

TEST_P(RateMode, KeepsItsRateThroughOtherChanges) {
    const RateModeRow& row = GetParam();
    TMainForm& f = Start();
    Type(f.EditMin, row.Minutes);
    row.Choose(f);
    row.Change(f);
    TCDImage filling = f.DiscImage;
    filling.ComputeVideoRate();
    const std::uint32_t fill = filling.VideoRate / 1000;
    const std::uint32_t highest = static_cast<std::uint32_t>(filling.MaxVideoRate) / 1000;
    const std::uint32_t expected = row.TypedKbps != 0 ? static_cast<std::uint32_t>(row.TypedKbps)
                                   : row.Expected == RateModeRow::Fill ? fill
                                                                       : std::min(fill, highest);
    EXPECT_EQ(f.Videokbps.Text(), IntToStr(expected));
    EXPECT_EQ(f.DiscImage.VideoRate, expected * 1000);
    EXPECT_EQ(f.RateModeBox.ItemIndex(), static_cast<int>(row.Expected));
    if (row.Expected == RateModeRow::PlayerMaximum) {
        for (const TWarning& w : f.Warnings()) EXPECT_NE(w.Concerns, "Videokbps") << w.Text;
    }
}

const auto Audio224 = [](TMainForm& f) { f.Audio1kbps.Select(Audio1_224); };
const auto LongerGop = [](TMainForm& f) { f.GOPUpDown.ClickUp(); };
const auto Ac3 = [](TMainForm& f) { f.AC3Box.SetChecked(!f.AC3Box.Checked()); };
const auto Typed20000 = [](TMainForm& f) { TypeRate(f, "20000"); };
const auto Typed100 = [](TMainForm& f) { TypeRate(f, "100"); };

INSTANTIATE_TEST_SUITE_P(
    Modes, RateMode,
    ::testing::Values(
        RateModeRow{"FillRefillsAfterSound", "50", Nothing, Audio224, RateModeRow::Fill},
        RateModeRow{"PlayerMaximumCapsAShortFilm", "1", [](TMainForm& f) { Select(f, 1); }, Nothing,
                    RateModeRow::PlayerMaximum},
        RateModeRow{"PlayerMaximumOfAVcdIsItsOneRate", "1",
                    [](TMainForm& f) {
                        f.MuxModeBox.Select(Index(TMuxRow::VcdFfmpeg));
                        Select(f, 1);
                    },
                    Nothing, RateModeRow::PlayerMaximum, 1150},
        RateModeRow{"PlayerMaximumFillsALongFilm", "75", [](TMainForm& f) { Select(f, 1); },
                    Audio224, RateModeRow::PlayerMaximum},
        RateModeRow{"TypingPicksAsTyped", "50", [](TMainForm& f) { TypeRate(f, "2559"); }, Nothing,
                    RateModeRow::Typed, 2559},
        RateModeRow{"TypedRateKeptThroughSound", "50", [](TMainForm& f) { TypeRate(f, "2559"); },
                    Audio224, RateModeRow::Typed, 2559},
        RateModeRow{"TypedRateKeptThroughGop", "1", [](TMainForm& f) { TypeRate(f, "1800"); },
                    LongerGop, RateModeRow::Typed, 1800},
        RateModeRow{"TypedRateKeptThroughAc3", "50", [](TMainForm& f) { TypeRate(f, "900"); }, Ac3,
                    RateModeRow::Typed, 900},
        RateModeRow{"SteppedRateIsKept", "50", [](TMainForm& f) { f.VideoUpDown10.ClickUp(); },
                    Audio224, RateModeRow::Typed, 2040},
        RateModeRow{"BackToFillingRefills", "50",
                    [](TMainForm& f) {
                        TypeRate(f, "900");
                        Select(f, 0);
                    },
                    Ac3, RateModeRow::Fill},
        // From a rate beyond the buttons' range a step lands on the range's nearest end.
        RateModeRow{"DownFromAbove", "50", Typed20000,
                    [](TMainForm& f) { f.VideoUpDown.ClickDown(); }, RateModeRow::Typed, 15000},
        RateModeRow{"PageDownFromAbove", "50", Typed20000,
                    [](TMainForm& f) { f.VideoUpDown10.ClickDown(); }, RateModeRow::Typed, 15000},
        RateModeRow{"UpFromBelow", "50", Typed100, [](TMainForm& f) { f.VideoUpDown.ClickUp(); },
                    RateModeRow::Typed, 400},
        RateModeRow{"PageUpFromBelow", "50", Typed100,
                    [](TMainForm& f) { f.VideoUpDown10.ClickUp(); }, RateModeRow::Typed, 400}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormTest, RateModeAndTypedRateAreKeptInTheSettings) {
    WriteSettings("[Image]\nSeconds=3000\n"); // an older file: fill the discs
    EXPECT_EQ(Start().RateModeBox.ItemIndex(), TMainForm::FillDiscs);
    Type(Form->Videokbps, "2559");
    Form->FormClose();
    const TMainForm& g = Start();
    EXPECT_EQ(g.RateModeBox.ItemIndex(), TMainForm::AsTyped);
    EXPECT_EQ(g.Videokbps.Text(), "2559");
}

} // namespace

// Film on NTSC discs: the disc holds every source frame at the rate the script plays
// it, and with pulldown a GOP of 18 frames shown holds 12 film frames.
struct NtscDiscRow {
    const char* Name;
    bool SrcPal, DestPal;
    int Fps, Mux;
    std::uint32_t Frames;
    float Rate;
    std::uint32_t Gops;
};

class NtscDisc : public BudgetForm, public ::testing::WithParamInterface<NtscDiscRow> {};

TEST_P(NtscDisc, HoldsFilmFramesAndGops) {
    const NtscDiscRow& r = GetParam();
    TMainForm& f = Start();
    Check(f.SceneDetect, false);
    f.MuxModeBox.Select(r.Mux);
    Check(f.SrcPALBox, r.SrcPal);
    Check(f.DestPALBox, r.DestPal);
    f.FpsCombo.Select(r.Fps);
    f.GOPUpDown.SetPosition(18);
    const TCDImage& d = f.DiscImage;
    EXPECT_EQ(std::tuple(d.Frames, d.FrameRate, d.IFrames), std::tuple(r.Frames, r.Rate, r.Gops));
    EXPECT_NEAR(d.Duration, r.Frames / static_cast<double>(r.Rate), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Discs, NtscDisc,
    ::testing::Values(NtscDiscRow{"NtscFilmOnNtscDvd", false, false, 0, Index(TMuxRow::DvdFfmpeg),
                                  71928, 23.976f, 5994},
                      NtscDiscRow{"PalFilmSlowedOntoNtscSvcd", true, false, 1,
                                  Index(TMuxRow::SvcdFfmpeg), 75000, 23.976f, 6250},
                      NtscDiscRow{"NtscFilmOnVcd", false, false, 0, Index(TMuxRow::VcdFfmpeg),
                                  71928, 23.976f, 3996},
                      NtscDiscRow{"NtscVideoSlowedOntoPalDvd", false, true, 2,
                                  Index(TMuxRow::DvdFfmpeg), 89910, 25.0f, 4995}),
    [](const auto& info) { return std::string(info.param.Name); });
