// Warnings, resize candidates and the disc fill through the window's controls.
#include "FormFixture.h"
#include "geometry/PictureSteps.h"

#include <functional>

using namespace tarvex;

namespace {

/// A change made through the window and what the window then says of it.
struct ActRow {
    const char* Name;
    std::function<void(TMainForm&)> Act;
    std::vector<std::string> Expected;
    friend void PrintTo(const ActRow& r, std::ostream* os) { *os << r.Name; }
};

std::string RowName(const ::testing::TestParamInfo<ActRow>& info) {
    return info.param.Name;
}

// Which checks run is the model's to test; here each kind reaches the window's list beside the
// control it concerns (code@control), and goes.
class WarningRow : public FormTest, public ::testing::WithParamInterface<ActRow> {
  public:
    static const ActRow Causes[];
};

TEST_P(WarningRow, AppearsExactlyWhenItsCauseHolds) {
    TMainForm& f = Start();
    GetParam().Act(f);
    std::vector<std::string> codes;
    for (const TWarning& w : f.Warnings()) codes.push_back(w.Code + "@" + w.Concerns);
    EXPECT_EQ(codes, GetParam().Expected);
}

const ActRow WarningRow::Causes[] = {
    {"DefaultWindow", [](TMainForm&) {}, {}},
    {"ShortFilmAboveMax",
     [](TMainForm& f) { Type(f.EditMin, "20"); },
     {"VideoAboveMax@Label62", "DiscVideoRate@Videokbps"}},
    {"AudioFillsTheDisc",
     [](TMainForm& f) {
         f.Audio1kbps.Select(14);
         f.Audio2kbps.Select(15);
         Type(f.EditMin, "300");
     },
     {"VideoBelowMin@Label63", "NoRoomForVideo@Videokbps", "DiscOverfilled@EditImageBlocks",
      "DiscAudioRate@Audio1kbps", "DiscAudioRate@Audio2kbps"}},
    {"RateSteppedBack",
     [](TMainForm& f) {
         f.VideoUpDown10.ClickUp();
         f.VideoUpDown10.ClickDown();
     },
     {}},
    {"OddHeight",
     [](TMainForm& f) { Type(f.ResizeYEdit, "301"); },
     {"ResizeHeightOdd@ResizeYEdit", "BorderOdd@AVSMemo"}},
    {"LargeAspectError",
     [](TMainForm& f) {
         f.CropModeBox.Select(0);
         Type(f.ResizeYEdit, "312");
     },
     {"AspectError@ErrLabel"}},
    {"FrameSmallerThanTheFilm",
     [](TMainForm& f) { Type(f.SrcYEdit, "400"); },
     {"FilmAreaOutside@BorderLeftEdit", "CropOutside@CropXEdit"}}};
INSTANTIATE_TEST_SUITE_P(Causes, WarningRow, ::testing::ValuesIn(WarningRow::Causes), RowName);

TEST_F(FormTest, WarningsAreWordedWithTheNumbersTheWindowShows) {
    TMainForm& f = Start();
    Type(f.EditMin, "20");
    f.VideoUpDown10.ClickUp();
    const std::vector<TWarning> w = f.Warnings();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].Text, "The video rate of " + f.Videokbps.Text() +
                             " kbps is above the player's maximum of " + f.MaxRateLabel.Caption() +
                             ".");
    EXPECT_EQ(w[1].Text, "The disc image is " + std::to_string(-f.DiscImage.UnusedBlocks) +
                             " blocks larger than the disc (" +
                             std::to_string(f.DiscImage.BlocksUsable) + " usable blocks): " +
                             // 475 blocks of 2324 bytes are 6 seconds of CD time and 1.05 MB.
                             "0:06 min or 1.1 MB too much.");
    EXPECT_EQ(f.DiscImage.UnusedBlocks, -475);
}

// The colour bands are the crop model's; here the largest band reaches the label.
TEST_F(FormTest, LargeErrorIsShownInRed) {
    TMainForm& f = Start();
    f.CropModeBox.Select(0);
    Type(f.ResizeYEdit, "310");
    EXPECT_EQ(f.ErrLabel.Caption(), "error: 1.57%");
    EXPECT_EQ(f.ErrLabel.FontColour(), TColour::Red);
}

TEST_F(FormTest, LongFilmCountsEveryIFrame) {
    TMainForm& f = Start();
    f.FpsCombo.Select(2);
    Type(f.EditSec, "99999");
    // 2996970 frames in GOPs of 15 with 3.5 % more for scene changes: more than 16 bits hold.
    EXPECT_EQ(f.FilmLengthLabel.Caption(), "= 99999 seconds = 2996970 frames = 206791 I-frames");
}

TEST_F(FormTest, ChoosingACandidateIsTypingItsHeight) {
    TMainForm& f = Start();
    const std::vector<TResizeCandidate> rows = f.ResizeCandidates();
    ASSERT_GT(rows.size(), 2u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](auto& c) { return c.Current; }), 1);
    const TResizeCandidate& pick = rows[2];
    ASSERT_FALSE(pick.Current); // choosing it changes the window
    f.ChooseResizeHeight(pick.Height);
    EXPECT_EQ(f.ResizeYEdit.Text(), std::to_string(pick.Height));
    EXPECT_EQ(f.ResizeModel.ResizeY, pick.Height);
    EXPECT_EQ(f.ResizeModel.ResizeX, pick.Width);
    EXPECT_FALSE(f.AutoResizeY);
    EXPECT_TRUE(f.ResizeCandidates()[2].Current);
    const TBorderRect b = PictureSteps(PicturePlanOf(f.ResizeModel)).Borders;
    EXPECT_EQ(b.Top, pick.Borders.Top);
    EXPECT_EQ(b.Bottom, pick.Borders.Bottom);
}

} // namespace

namespace {

/// The video rate by its up-down, as the user clicks it.
void Rate(TMainForm& f, int kbps) {
    while (f.VideoUpDown.Position() != kbps)
        f.VideoUpDown.Click(f.VideoUpDown.Position() < kbps ? TUDButton::Up : TUDButton::Down);
}

/// A DVD of the film on a single-layer disc, with the DVD picture.
void Dvd(TMainForm& f) {
    f.CDTypeBox.Select(7);
    f.DestAspectBox.Select(0);
}

/// A VCD as the standard has it: rows, picture and sound.
void Vcd(TMainForm& f) {
    f.MuxModeBox.Select(Index(TMuxRow::VcdFfmpeg));
    f.AuthoringBox.Select(Index(TAuthoringRow::VcdVcdimager));
    f.DestAspectBox.Select(6);
    f.Audio1kbps.Select(10);
}

// The model finds the breaches; here the window words each with its fix, and Make
// disc's "Fix" answer makes the fix as the user would, so nothing is left to refuse.
// Every change computes the disc-filling rate anew, so each row sets the rate last.
class BreachRow : public FormTest, public ::testing::WithParamInterface<ActRow> {
  public:
    static const ActRow Breaches[];
};

TEST_P(BreachRow, IsWordedAndFixedInOneClick) {
    TMainForm& f = Start();
    GetParam().Act(f);
    std::vector<std::string> texts;
    for (const TWarning& w : f.Refusals()) texts.push_back(w.Text);
    EXPECT_EQ(texts, GetParam().Expected);
    Platform.Choice = 0;
    f.MakeDiscBtnClick();
    EXPECT_EQ(Platform.Answers, (std::vector<std::string>{"Fix", "Cancel"}));
    EXPECT_TRUE(f.Refusals().empty());
    for (const TWarning& w : f.Warnings()) EXPECT_NE(w.Code.substr(0, 4), "Disc") << w.Text;
}

const ActRow BreachRow::Breaches[] = {

    {"DvdRowWithTheSvcdPicture",
     [](TMainForm& f) {
         Dvd(f);
         f.DestAspectBox.Select(4);
         Rate(f, 6000);
     },
     {"A DVD needs a DVD picture (720 x 576, 704 x 576, 352 x 576 or 352 x 288), not 480 x "
      "576: choose DVD as destination."}},
    {"GopSixtyOnAPalDvd",
     [](TMainForm& f) {
         Dvd(f);
         while (f.GOPUpDown.Position() < 60) f.GOPUpDown.Click(TUDButton::Up);
         Rate(f, 6000);
     },
     {"A PAL DVD allows GOPs of at most 15 frames, not 60: set the GOP length to 15."}},
    {"Mp2OnAnNtscDvd",
     [](TMainForm& f) {
         Check(f.DestPALBox, false);
         Dvd(f);
         Check(f.AC3Box, false);
         Rate(f, 6000);
     },
     {"An NTSC DVD must carry AC-3 sound: tick \"Dolby Digital (AC-3)\"."}},
    {"DvdAt11822Kbps",
     [](TMainForm& f) {
         Dvd(f);
         Rate(f, 11822);
     },
     {"A DVD's video may reach at most 9800 kbps, not 11822 kbps: set the video rate to 9800 "
      "kbps."}},
    {"VcdAt2645Kbps",
     [](TMainForm& f) {
         Vcd(f);
         Rate(f, 2645);
     },
     {"A VCD's video runs at exactly 1150 kbps, not 2645 kbps: set the video rate to 1150 "
      "kbps."}},
    {"VcdMultiplexingSvcdAuthoring",
     [](TMainForm& f) {
         Vcd(f);
         f.AuthoringBox.Select(3);
         Rate(f, 1150);
     },
     {"The multiplexing makes a VCD stream, the authoring an SVCD: choose \"VCD vcdimager\" "
      "as authoring."}},
    {"VcdWith160KbpsSound",
     [](TMainForm& f) {
         Vcd(f);
         f.Audio1kbps.Select(8);
         Rate(f, 1150);
     },
     {"A VCD's sound is MPEG audio at 224 kbps, not 160 kbps (audio 1): choose 224 kbps for "
      "audio 1."}}};
INSTANTIATE_TEST_SUITE_P(Breaches, BreachRow, ::testing::ValuesIn(BreachRow::Breaches), RowName);

// A value cut to its field or range is not changed in silence.
struct CutRow {
    const char* Name;
    const char* Settings; ///< the settings file before start-up
    const char* Field;    ///< typed into, when not empty
    const char* Typed;
    const char* Shown;  ///< what the field shows afterwards
    const char* Notice; ///< what the window says
};

class CutValue : public FormTest, public ::testing::WithParamInterface<CutRow> {};

TEST_P(CutValue, IsSaidInWords) {
    const CutRow& row = GetParam();
    WriteSettings(row.Settings);
    TMainForm& f = Start();
    TEdit& edit = *std::get<TEdit*>(*f.FindControl(row.Field));
    if (*row.Typed != '\0') Type(edit, row.Typed);
    EXPECT_EQ(edit.Text(), row.Shown);
    EXPECT_EQ(f.Notice, row.Notice);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CutValue,
    ::testing::Values(
        CutRow{"MinutesLongerThanTheField", "", "EditMin", "9999", "999",
               "The minutes field takes at most 3 digits: the digit 9 was left out."},
        CutRow{"BorderOutsideTheFrame", "", "BorderTopEdit", "200", "20",
               "The top border of 200 does not fit the source frame: it stays at 20."},
        CutRow{"StoredLengthAboveTheMinutesRange", "[Image]\nSeconds=59980\n", "EditMin", "", "300",
               "The stored film length of 999:40 is longer than the minutes field's 300: it was "
               "cut to 300:40."},
        CutRow{"NothingCut", "", "EditMin", "95", "95", ""}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
