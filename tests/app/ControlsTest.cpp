#include "app/Controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace tarvex;

namespace {

/// Collects the events the controls emit as one line, so a test compares whole sequences.
/// An unnamed control's events go without the name.
struct Recorder {
    std::string events;
    void Add(const TControl& s, const std::string& event) {
        events += (events.empty() ? "" : " ") + (s.Name().empty() ? "" : s.Name() + ".") + event;
    }
    std::string Take() { return std::exchange(events, {}); }
};

std::string KeyName(char key) {
    const auto code = static_cast<unsigned char>(key);
    return code >= 32 && code < 127 ? std::string(1, key) : "#" + std::to_string(code);
}

std::string DirectionName(TUpDownDirection d) {
    return d == TUpDownDirection::Up ? "Up" : d == TUpDownDirection::Down ? "Down" : "None";
}

void Watch(TEdit& e, Recorder& r) {
    e.OnChange = [&r, &e](TControl& s) { r.Add(s, "Change:" + e.Text()); };
    e.OnKeyUp = [&r](TControl& s, char k) { r.Add(s, "KeyUp:" + KeyName(k)); };
    e.OnExit = [&r](TControl& s) { r.Add(s, "Exit"); };
}

/// The program's digit filter: Backspace and "0".."9" pass, every other key is discarded.
void WatchDigitsOnly(TEdit& e, Recorder& r) {
    e.OnKeyPress = [&r](TControl& s, char& k) {
        r.Add(s, "KeyPress:" + KeyName(k));
        if (k != TEdit::Backspace && (k < '0' || k > '9')) k = 0;
    };
}

void RecordChanging(Recorder& r, TControl& s, int v, TUpDownDirection d) {
    r.Add(s, "ChangingEx:" + std::to_string(v) + "," + DirectionName(d));
}

void Watch(TUpDown& u, Recorder& r) {
    u.OnChangingEx = [&r](TControl& s, bool&, int v, TUpDownDirection d) {
        RecordChanging(r, s, v, d);
    };
    u.OnClick = [&r](TControl& s, TUDButton b) {
        r.Add(s, std::string("Click:") + (b == TUDButton::Up ? "Up" : "Down"));
    };
}

// ---------------------------------------------------------------------------
// Edit

constexpr int Plain = 0, Digits = 1, ReadOnly = 2;

struct TypingRow {
    const char* name;
    std::string start; // the text; a selection in brackets, else the caret at the end
    int maxLength;
    int mode; // Digits: the program's digit filter; ReadOnly
    const char *keys, *expected, *events;
};

void PrintTo(const TypingRow& row, std::ostream* os) {
    *os << row.name;
}

class EditTyping : public testing::TestWithParam<TypingRow> {};

TEST_P(EditTyping, EmitsFilterEditChangeAndKeyUpInOrder) {
    const TypingRow& row = GetParam();
    std::string text = row.start;
    const auto open = text.find('['), close = text.find(']');
    if (open != std::string::npos) text.erase(close, 1).erase(open, 1);
    TEdit e("", text);
    e.SetMaxLength(row.maxLength);
    e.SetReadOnly((row.mode & ReadOnly) != 0);
    if (open != std::string::npos)
        e.SetSelection(static_cast<int>(open), static_cast<int>(close - open - 1));
    Recorder r;
    Watch(e, r);
    if (row.mode & Digits) WatchDigitsOnly(e, r);
    EXPECT_TRUE(e.TypeKeys(row.keys));
    EXPECT_EQ(e.Text(), row.expected);
    EXPECT_EQ(r.Take(), row.events);
}

const TypingRow typingRows[] = {
    {"DigitAppended", "12", 0, Digits, "3", "123", "KeyPress:3 Change:123 KeyUp:3"},
    {"LetterMinusPointDiscarded", "12", 0, Digits, "a-.", "12",
     "KeyPress:a KeyUp:a KeyPress:- KeyUp:- KeyPress:. KeyUp:."},
    {"BackspaceDeletesLast", "12", 0, Digits, "\b", "1", "KeyPress:#8 Change:1 KeyUp:#8"},
    {"BackspaceOnEmptyChangesNothing", "", 0, Digits, "\b", "", "KeyPress:#8 KeyUp:#8"},
    {"FullFieldIgnoresKey", "123", 3, Digits, "4", "123", "KeyPress:4 KeyUp:4"},
    {"FullFieldSelectionReplaced", "[123]", 3, Digits, "4", "4", "KeyPress:4 Change:4 KeyUp:4"},
    {"PartialSelectionReplacedThenCaretFollows", "1[23]4", 0, Digits, "98", "1984",
     "KeyPress:9 Change:194 KeyUp:9 KeyPress:8 Change:1984 KeyUp:8"},
    {"BackspaceDeletesSelection", "1[23]4", 0, Digits, "\b", "14",
     "KeyPress:#8 Change:14 KeyUp:#8"},
    {"SameTextReplacedIsNoChange", "[5]", 0, Digits, "5", "5", "KeyPress:5 KeyUp:5"},
    {"OverlongTextLosesSelectionButNotKey", "1234[5]", 3, Digits, "9", "1234",
     "KeyPress:9 Change:1234 KeyUp:9"},
    {"MaxLengthStopsTyping", "", 3, Digits, "1234", "123",
     "KeyPress:1 Change:1 KeyUp:1 KeyPress:2 Change:12 KeyUp:2 "
     "KeyPress:3 Change:123 KeyUp:3 KeyPress:4 KeyUp:4"},
    {"ReadOnlyKeepsTextButKeysRun", "[80]", 0, Digits | ReadOnly, "1\b", "80",
     "KeyPress:1 KeyUp:1 KeyPress:#8 KeyUp:#8"},
    {"EnterInsertsNothing", "12", 0, Plain, "\r", "12", "KeyUp:#13"},
    {"UnfilteredLetterAppended", "12", 0, Plain, "x", "12x", "Change:12x KeyUp:x"},
};

INSTANTIATE_TEST_SUITE_P(Rows, EditTyping, testing::ValuesIn(typingRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Edit, SetTextRunsOnChangeOnlyWhenTheTextDiffers) {
    TEdit e("E", "12");
    e.SetReadOnly(true); // code writes read-only fields all the time
    e.SetMaxLength(2);   // the limit is for typing only
    Recorder r;
    Watch(e, r);
    e.SetText("12");
    EXPECT_EQ(r.Take(), "");
    e.SetText("12345");
    EXPECT_EQ(r.Take(), "E.Change:12345");
    EXPECT_EQ(e.SelStart(), 5);
    EXPECT_EQ(e.SelLength(), 0);
}

TEST(Edit, FilterMayReplaceTheKeyWhileKeyUpSeesTheTypedOne) {
    TEdit e("E", "");
    Recorder r;
    Watch(e, r);
    e.OnKeyPress = [](TControl&, char& k) { k = static_cast<char>(k - 'a' + 'A'); };
    e.TypeKey('q');
    EXPECT_EQ(e.Text(), "Q");
    EXPECT_EQ(r.Take(), "E.Change:Q E.KeyUp:q");
}

TEST(Edit, ExitRunsOnlyWhenTheFocusLeaves) {
    TEdit e("E", "1");
    Recorder r;
    Watch(e, r);
    EXPECT_FALSE(e.Leave());
    EXPECT_TRUE(e.Focus());
    EXPECT_TRUE(e.Leave());
    EXPECT_EQ(r.Take(), "E.Exit");
    e.TypeKey('2'); // typing takes the focus
    EXPECT_TRUE(e.Focused());
    EXPECT_TRUE(e.Leave());
    EXPECT_FALSE(e.Leave());
    EXPECT_EQ(r.Take(), "E.Change:12 E.KeyUp:2 E.Exit");
}

TEST(Edit, DisabledOrHiddenFieldTakesNoUserInput) {
    TEdit e("E", "1");
    Recorder r;
    Watch(e, r);
    WatchDigitsOnly(e, r);
    e.SetEnabled(false);
    EXPECT_FALSE(e.TypeKey('2'));
    EXPECT_FALSE(e.Focus());
    e.SetEnabled(true);
    e.SetVisible(false);
    EXPECT_FALSE(e.TypeKey('2'));
    EXPECT_EQ(e.Text(), "1");
    EXPECT_EQ(r.Take(), "");
}

TEST(Edit, SelectionIsCutToTheText) {
    TEdit e("E", "abc");
    e.SetSelection(2, 10);
    EXPECT_EQ(std::pair(e.SelStart(), e.SelLength()), std::pair(2, 1));
    e.SetSelection(-4, 2);
    EXPECT_EQ(std::pair(e.SelStart(), e.SelLength()), std::pair(0, 2));
    e.SetSelection(9, 1);
    EXPECT_EQ(e.SelStart(), 3);
    EXPECT_EQ(e.SelLength(), 0);
}

// ---------------------------------------------------------------------------
// Check box, list, track bar, button

TEST(CheckBox, CodeRunsOnClickOnRealChangesAndClicksAlwaysToggle) {
    TCheckBox c("C", "PAL");
    Recorder r;
    c.OnClick = [&](TControl& s) { r.Add(s, c.Checked() ? "Click:1" : "Click:0"); };
    c.SetChecked(false);
    c.SetChecked(true);
    c.SetChecked(true);
    c.Click();
    c.Click();
    c.SetVisible(false);
    EXPECT_FALSE(c.Click());
    EXPECT_EQ(r.Take(), "C.Click:1 C.Click:0 C.Click:1");
    EXPECT_TRUE(c.Checked());
}

TEST(ComboBox, CodeSelectsSilentlyAndTheUserAlwaysFiresOnChange) {
    TComboBox b("B", {"23.976fps", "25fps", "29.97fps"}, 0);
    Recorder r;
    b.OnChange = [&](TControl& s) { r.Add(s, "Change:" + b.Text()); };
    b.SetItemIndex(2);
    EXPECT_EQ(b.Text(), "29.97fps");
    EXPECT_TRUE(b.Select(2)); // the same item again
    EXPECT_TRUE(b.Select(1));
    EXPECT_FALSE(b.Select(3));
    EXPECT_FALSE(b.Select(-1));
    EXPECT_EQ(r.Take(), "B.Change:29.97fps B.Change:25fps");
    b.SetItemIndex(7);
    EXPECT_EQ(b.ItemIndex(), -1);
    EXPECT_EQ(b.Text(), "");
    EXPECT_EQ(r.Take(), "");
}

TEST(TrackBar, ChangesAreClampedAndOnlyRealOnesFire) {
    TTrackBar t("T", 0, 5, 1);
    Recorder r;
    t.OnChange = [&](TControl& s) { r.Add(s, std::to_string(t.Position())); };
    t.SetPosition(1);
    t.SetPosition(3);
    t.SetPosition(9);
    t.SetPosition(7);
    EXPECT_TRUE(t.Slide(-2));
    EXPECT_TRUE(t.Slide(0));
    t.SetEnabled(false);
    EXPECT_FALSE(t.Slide(4));
    EXPECT_EQ(r.Take(), "T.3 T.5 T.0");
}

TEST(Button, ClickRunsOnClickWhenReachable) {
    TButton b("SaveAVSBtn", "Save script");
    int clicks = 0;
    b.OnClick = [&](TControl& s) {
        EXPECT_EQ(&s, &b);
        ++clicks;
    };
    EXPECT_TRUE(b.Click());
    b.SetEnabled(false);
    EXPECT_FALSE(b.Click());
    EXPECT_EQ(clicks, 1);
}

TEST(LabelAndMemo, PlainState) {
    TLabel l("ErrLabel", "Error:");
    EXPECT_EQ(l.FontColour(), TColour::Default);
    l.SetFontColour(TColour::Red);
    EXPECT_EQ(l.FontColour(), TColour::Red);

    TMemo m("AVSMemo");
    m.SetText("a\r\nb\nc\rd\r\n\r\ne");
    EXPECT_EQ(m.Lines(), (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(m.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
    m.SetText("");
    EXPECT_TRUE(m.Lines().empty());
    EXPECT_EQ(m.Text(), "");
}

// ---------------------------------------------------------------------------
// Up-down

/// An up-down "U" with its partner edit "E", both watched by one recorder.
struct Partners {
    TEdit e{"E"};
    TUpDown u;
    Recorder r;
    Partners(int min, int max, int position) : u("U", min, max, position) {
        u.SetAssociate(&e);
        Watch(e, r);
        Watch(u, r);
    }
};

struct ClickRow {
    const char* name;
    int min, max, position, increment;
    bool wrap;
    TUDButton button;
    int expected;
    const char* events;
};

void PrintTo(const ClickRow& row, std::ostream* os) {
    *os << row.name;
}

class UpDownClick : public testing::TestWithParam<ClickRow> {};

TEST_P(UpDownClick, ReportsChangeThenMovesThenWritesPartnerThenClicks) {
    const ClickRow& row = GetParam();
    auto [e, u, r] = Partners(row.min, row.max, row.position);
    u.SetIncrement(row.increment);
    u.SetWrap(row.wrap);
    EXPECT_TRUE(u.Click(row.button));
    EXPECT_EQ(u.Position(), row.expected);
    EXPECT_EQ(e.Text(), std::to_string(row.expected));
    EXPECT_EQ(r.Take(), row.events);
}

constexpr auto Up = TUDButton::Up;
constexpr auto Down = TUDButton::Down;

const ClickRow clickRows[] = {
    {"UpInside", 0, 59, 58, 1, true, Up, 59, "U.ChangingEx:59,Up E.Change:59 U.Click:Up"},
    {"DownInside", 0, 59, 1, 1, true, Down, 0, "U.ChangingEx:0,Down E.Change:0 U.Click:Down"},
    {"UpPastMaxWraps", 0, 59, 59, 1, true, Up, 0, "U.ChangingEx:60,None E.Change:0 U.Click:Up"},
    {"DownPastMinWraps", 0, 59, 0, 1, true, Down, 59,
     "U.ChangingEx:-1,None E.Change:59 U.Click:Down"},
    {"UpAtMaxStops", 0, 3, 3, 1, false, Up, 3, "U.Click:Up"},
    {"DownAtMinStops", 0, 3, 0, 1, false, Down, 0, "U.Click:Down"},
    {"StepOfTen", 400, 15000, 2000, 10, true, Down, 1990,
     "U.ChangingEx:1990,Down E.Change:1990 U.Click:Down"},
    {"StepOfTenPastMaxWraps", 400, 15000, 14995, 10, true, Up, 400,
     "U.ChangingEx:15005,None E.Change:400 U.Click:Up"},
    {"StepOfTenPastMaxClamps", 400, 15000, 14995, 10, false, Up, 15000,
     "U.ChangingEx:15005,None E.Change:15000 U.Click:Up"},
    {"OneValueRangeCannotMove", 1, 1, 1, 1, true, Up, 1, "U.Click:Up"},
};

INSTANTIATE_TEST_SUITE_P(Rows, UpDownClick, testing::ValuesIn(clickRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpDown, SetPositionReportsTheRequestWithoutDirectionAndClamps) {
    auto [e, u, r] = Partners(400, 15000, 2000);
    EXPECT_EQ(e.Text(), "2000");
    u.SetPosition(2000);
    EXPECT_EQ(r.Take(), "");
    u.SetPosition(2500);
    EXPECT_EQ(r.Take(), "U.ChangingEx:2500,None E.Change:2500");
    // A request outside the range still reaches the handler as asked for.
    u.SetPosition(300);
    EXPECT_EQ(r.Take(), "U.ChangingEx:300,None E.Change:400");
    u.SetPosition(300);
    EXPECT_EQ(r.Take(), "U.ChangingEx:300,None");
    EXPECT_EQ(u.Position(), 400);
}

TEST(UpDown, RefusedChangeKeepsPositionAndPartnerButStillClicks) {
    auto [e, u, r] = Partners(0, 59, 58);
    auto record = u.OnChangingEx;
    u.OnChangingEx = [&](TControl& s, bool& allow, int v, TUpDownDirection d) {
        record(s, allow, v, d);
        allow = false;
    };
    u.ClickUp();
    u.SetPosition(10);
    EXPECT_EQ(r.Take(), "U.ChangingEx:59,Up U.Click:Up U.ChangingEx:10,None");
    EXPECT_EQ(u.Position(), 58);
    EXPECT_EQ(e.Text(), "58");
}

TEST(UpDown, PartnerHandlersSeeTheNewPosition) {
    TEdit e("EditCDNr", "1");
    TUpDown u("CDNrUpDown", 1, 9, 1);
    u.SetWrap(true);
    u.SetAssociate(&e);
    Recorder r;
    e.OnChange = [&](TControl&) { r.Add(u, e.Text() + "@" + std::to_string(u.Position())); };
    u.ClickDown();
    u.ClickUp();
    EXPECT_EQ(r.Take(), "CDNrUpDown.9@9 CDNrUpDown.1@1");
}

TEST(UpDown, PositionFollowsNumbersWrittenIntoThePartner) {
    TEdit e("EditCDmin");
    TUpDown u("CDMinUpDown", 10, 510, 80);
    u.SetAssociate(&e);
    Recorder r;
    Watch(u, r);
    e.SetText("79");
    EXPECT_EQ(u.Position(), 79);
    e.SetText("abc"); // not a number
    EXPECT_EQ(u.Position(), 79);
    e.SetText("999"); // outside the range
    EXPECT_EQ(u.Position(), 79);
    EXPECT_EQ(r.Take(), "");
    u.ClickUp();
    EXPECT_EQ(e.Text(), "80");
}

TEST(UpDown, SecondsCarryIntoMinutesThroughTheChangingHandler) {
    TEdit minEdit("EditMin"), secEdit("EditSec");
    TUpDown minUD("MinUpDown", 0, 300, 79), secUD("SecUpDown", 0, 59, 59);
    minUD.SetWrap(true);
    secUD.SetWrap(true);
    minUD.SetAssociate(&minEdit);
    secUD.SetAssociate(&secEdit);
    Recorder r;
    Watch(minEdit, r);
    Watch(secEdit, r);
    Watch(minUD, r);
    Watch(secUD, r);
    secUD.OnChangingEx = [&](TControl& s, bool& allow, int v, TUpDownDirection d) {
        RecordChanging(r, s, v, d);
        if (d != TUpDownDirection::None) return;
        if (v == 60) minUD.SetPosition(minUD.Position() + 1);
        if (v == -1) minUD.SetPosition(minUD.Position() - 1);
        (void)allow;
    };
    secUD.ClickUp();
    EXPECT_EQ(r.Take(), "SecUpDown.ChangingEx:60,None MinUpDown.ChangingEx:80,None "
                        "EditMin.Change:80 EditSec.Change:0 SecUpDown.Click:Up");
    secUD.ClickDown();
    EXPECT_EQ(r.Take(), "SecUpDown.ChangingEx:-1,None MinUpDown.ChangingEx:79,None "
                        "EditMin.Change:79 EditSec.Change:59 SecUpDown.Click:Down");
}

TEST(UpDown, ClickHandlerRunsAfterTheMove) {
    // A coarse up-down whose click steps a fine one, which in turn sets the coarse one back.
    TUpDown coarse("VideoUpDown10", 400, 15000, 2000), fine("VideoUpDown", 400, 15000, 2000);
    coarse.SetIncrement(10);
    coarse.SetWrap(true);
    Recorder r;
    Watch(coarse, r);
    Watch(fine, r);
    coarse.OnClick = [&](TControl& s, TUDButton b) {
        r.Add(s, "Click@" + std::to_string(coarse.Position()));
        fine.SetPosition(fine.Position() + (b == TUDButton::Up ? 10 : -10));
    };
    fine.OnChangingEx = [&](TControl& s, bool&, int v, TUpDownDirection) {
        r.Add(s, "ChangingEx:" + std::to_string(v));
        coarse.SetPosition(v);
    };
    coarse.ClickUp();
    EXPECT_EQ(r.Take(), "VideoUpDown10.ChangingEx:2010,Up VideoUpDown10.Click@2010 "
                        "VideoUpDown.ChangingEx:2010");
    EXPECT_EQ(fine.Position(), 2010);
}

TEST(UpDown, PartnerLinksSurviveRebindingAndDestruction) {
    TUpDown first("First", 0, 9, 1), second("Second", 0, 9, 5);
    auto edit = std::make_unique<TEdit>("E");
    first.SetAssociate(edit.get());
    EXPECT_EQ(edit->Text(), "1");
    second.SetAssociate(edit.get());
    EXPECT_EQ(first.Associate(), nullptr);
    EXPECT_EQ(edit->Text(), "5");
    first.ClickUp();
    EXPECT_EQ(edit->Text(), "5");
    edit.reset();
    EXPECT_EQ(second.Associate(), nullptr);
    EXPECT_TRUE(second.ClickUp());
    EXPECT_EQ(second.Position(), 6);

    TEdit kept("Kept");
    {
        TUpDown shortLived("ShortLived", 0, 9, 3);
        shortLived.SetAssociate(&kept);
    }
    kept.SetText("7"); // must not reach the destroyed up-down
    EXPECT_EQ(kept.Text(), "7");
}

TEST(UpDown, RefusedSettings) {
    TUpDown u("U", 5, 1, 140); // the default range stays
    EXPECT_EQ(std::tuple(u.Min(), u.Max(), u.Position()), std::tuple(0, 100, 100));
    u.SetIncrement(0);
    EXPECT_EQ(u.Increment(), 1);
    u.SetEnabled(false);
    EXPECT_FALSE(u.ClickDown());
    EXPECT_EQ(u.Position(), 100);
}

TEST(ControlOwner, ListsItsControlsInTheOrderTheyAreDeclared) {
    struct TForm : TControlOwner {
        TEdit Edit{*this, "Edit", "1"};
        TLabel Label{*this, "Label"};
        TUpDown UpDown{*this, "UpDown", 0, 9, 3};
    } form;
    TEdit loose("Loose"); // made without an owner: in no list
    const std::vector<TAnyControl> expected = {&form.Edit, &form.Label, &form.UpDown};
    EXPECT_EQ(form.AllControls(), expected);
    EXPECT_EQ(form.FindControl("Label"), &form.AllControls()[1]);
    EXPECT_EQ(form.FindControl("Loose"), nullptr);
    EXPECT_EQ(form.Edit.Text(), "1");
    EXPECT_EQ(form.UpDown.Position(), 3);
}

} // namespace
