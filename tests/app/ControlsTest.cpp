#include "app/Controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace tarvex;

namespace {

using Events = std::vector<std::string>;

/// Collects the events the controls emit, so a test compares whole sequences.
struct Recorder {
    Events events;
    Events Take() {
        Events taken;
        taken.swap(events);
        return taken;
    }
};

std::string KeyName(char key) {
    const auto code = static_cast<unsigned char>(key);
    return code >= 32 && code < 127 ? std::string(1, key) : "#" + std::to_string(code);
}

std::string DirectionName(TUpDownDirection d) {
    return d == TUpDownDirection::Up ? "Up" : d == TUpDownDirection::Down ? "Down" : "None";
}

void Watch(TEdit& e, Recorder& r) {
    e.OnChange = [&r, &e](TControl& s) { r.events.push_back(s.Name() + ".Change:" + e.Text()); };
    e.OnKeyUp = [&r](TControl& s, char k) {
        r.events.push_back(s.Name() + ".KeyUp:" + KeyName(k));
    };
    e.OnExit = [&r](TControl& s) { r.events.push_back(s.Name() + ".Exit"); };
}

/// The program's digit filter: Backspace and "0".."9" pass, every other key is discarded.
void WatchDigitsOnly(TEdit& e, Recorder& r) {
    e.OnKeyPress = [&r](TControl& s, char& k) {
        r.events.push_back(s.Name() + ".KeyPress:" + KeyName(k));
        if (k != TEdit::Backspace && (k < '0' || k > '9')) k = 0;
    };
}

void Watch(TUpDown& u, Recorder& r) {
    u.OnChangingEx = [&r](TControl& s, bool&, int v, TUpDownDirection d) {
        r.events.push_back(s.Name() + ".ChangingEx:" + std::to_string(v) + "," + DirectionName(d));
    };
    u.OnClick = [&r](TControl& s, TUDButton b) {
        r.events.push_back(s.Name() + ".Click:" + (b == TUDButton::Up ? "Up" : "Down"));
    };
}

// ---------------------------------------------------------------------------
// Edit

struct TypingRow {
    const char* name;
    std::string text;
    int maxLength;
    bool readOnly;
    bool digitsOnly;
    int selStart; // -1: caret at the end, nothing selected
    int selLength;
    std::string keys;
    std::string expected;
    Events events;
};

void PrintTo(const TypingRow& row, std::ostream* os) {
    *os << row.name;
}

class EditTyping : public testing::TestWithParam<TypingRow> {};

TEST_P(EditTyping, EmitsFilterEditChangeAndKeyUpInOrder) {
    const TypingRow& row = GetParam();
    TEdit e("E", row.text);
    e.SetMaxLength(row.maxLength);
    e.SetReadOnly(row.readOnly);
    if (row.selStart >= 0) e.SetSelection(row.selStart, row.selLength);
    Recorder r;
    Watch(e, r);
    if (row.digitsOnly) WatchDigitsOnly(e, r);
    EXPECT_TRUE(e.TypeKeys(row.keys));
    EXPECT_EQ(e.Text(), row.expected);
    EXPECT_EQ(r.Take(), row.events);
}

const TypingRow typingRows[] = {
    {"DigitAppended",
     "12",
     0,
     false,
     true,
     -1,
     0,
     "3",
     "123",
     {"E.KeyPress:3", "E.Change:123", "E.KeyUp:3"}},
    {"LetterMinusPointDiscarded",
     "12",
     0,
     false,
     true,
     -1,
     0,
     "a-.",
     "12",
     {"E.KeyPress:a", "E.KeyUp:a", "E.KeyPress:-", "E.KeyUp:-", "E.KeyPress:.", "E.KeyUp:."}},
    {"BackspaceDeletesLast",
     "12",
     0,
     false,
     true,
     -1,
     0,
     "\b",
     "1",
     {"E.KeyPress:#8", "E.Change:1", "E.KeyUp:#8"}},
    {"BackspaceOnEmptyChangesNothing",
     "",
     0,
     false,
     true,
     -1,
     0,
     "\b",
     "",
     {"E.KeyPress:#8", "E.KeyUp:#8"}},
    {"FullFieldIgnoresKey",
     "123",
     3,
     false,
     true,
     -1,
     0,
     "4",
     "123",
     {"E.KeyPress:4", "E.KeyUp:4"}},
    {"FullFieldSelectionReplaced",
     "123",
     3,
     false,
     true,
     0,
     3,
     "4",
     "4",
     {"E.KeyPress:4", "E.Change:4", "E.KeyUp:4"}},
    {"PartialSelectionReplacedThenCaretFollows",
     "1234",
     0,
     false,
     true,
     1,
     2,
     "98",
     "1984",
     {"E.KeyPress:9", "E.Change:194", "E.KeyUp:9", "E.KeyPress:8", "E.Change:1984", "E.KeyUp:8"}},
    {"BackspaceDeletesSelection",
     "1234",
     0,
     false,
     true,
     1,
     2,
     "\b",
     "14",
     {"E.KeyPress:#8", "E.Change:14", "E.KeyUp:#8"}},
    {"SameTextReplacedIsNoChange",
     "5",
     0,
     false,
     true,
     0,
     1,
     "5",
     "5",
     {"E.KeyPress:5", "E.KeyUp:5"}},
    {"OverlongTextLosesSelectionButNotKey",
     "12345",
     3,
     false,
     true,
     4,
     1,
     "9",
     "1234",
     {"E.KeyPress:9", "E.Change:1234", "E.KeyUp:9"}},
    {"MaxLengthStopsTyping",
     "",
     3,
     false,
     true,
     -1,
     0,
     "1234",
     "123",
     {"E.KeyPress:1", "E.Change:1", "E.KeyUp:1", "E.KeyPress:2", "E.Change:12", "E.KeyUp:2",
      "E.KeyPress:3", "E.Change:123", "E.KeyUp:3", "E.KeyPress:4", "E.KeyUp:4"}},
    {"ReadOnlyKeepsTextButKeysRun",
     "80",
     0,
     true,
     true,
     0,
     2,
     "1\b",
     "80",
     {"E.KeyPress:1", "E.KeyUp:1", "E.KeyPress:#8", "E.KeyUp:#8"}},
    {"EnterInsertsNothing", "12", 0, false, false, -1, 0, "\r", "12", {"E.KeyUp:#13"}},
    {"UnfilteredLetterAppended",
     "12",
     0,
     false,
     false,
     -1,
     0,
     "x",
     "12x",
     {"E.Change:12x", "E.KeyUp:x"}},
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
    EXPECT_EQ(r.Take(), Events{});
    e.SetText("12345");
    EXPECT_EQ(r.Take(), Events{"E.Change:12345"});
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
    EXPECT_EQ(r.Take(), (Events{"E.Change:Q", "E.KeyUp:q"}));
}

TEST(Edit, ExitRunsOnlyWhenTheFocusLeaves) {
    TEdit e("E", "1");
    Recorder r;
    Watch(e, r);
    EXPECT_FALSE(e.Leave());
    EXPECT_TRUE(e.Focus());
    EXPECT_TRUE(e.Leave());
    EXPECT_EQ(r.Take(), Events{"E.Exit"});
    e.TypeKey('2'); // typing takes the focus
    EXPECT_TRUE(e.Focused());
    EXPECT_TRUE(e.Leave());
    EXPECT_FALSE(e.Leave());
    EXPECT_EQ(r.Take(), (Events{"E.Change:12", "E.KeyUp:2", "E.Exit"}));
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
    EXPECT_EQ(r.Take(), Events{});
}

TEST(Edit, SelectionIsCutToTheText) {
    TEdit e("E", "abc");
    e.SetSelection(2, 10);
    EXPECT_EQ(e.SelText(), "c");
    e.SetSelection(-4, 2);
    EXPECT_EQ(e.SelText(), "ab");
    e.SetSelection(9, 1);
    EXPECT_EQ(e.SelStart(), 3);
    EXPECT_EQ(e.SelLength(), 0);
}

// ---------------------------------------------------------------------------
// Check box, list, track bar, button

TEST(CheckBox, CodeRunsOnClickOnRealChangesAndClicksAlwaysToggle) {
    TCheckBox c("C", "PAL");
    Events log;
    c.OnClick = [&](TControl&) { log.push_back(c.Checked() ? "Click:1" : "Click:0"); };
    c.SetChecked(false);
    c.SetChecked(true);
    c.SetChecked(true);
    c.Click();
    c.Click();
    c.SetVisible(false);
    EXPECT_FALSE(c.Click());
    EXPECT_EQ(log, (Events{"Click:1", "Click:0", "Click:1"}));
    EXPECT_TRUE(c.Checked());
}

TEST(ComboBox, CodeSelectsSilentlyAndTheUserAlwaysFiresOnChange) {
    TComboBox b("B", {"23.976fps", "25fps", "29.97fps"}, 0);
    Events log;
    b.OnChange = [&](TControl&) { log.push_back("Change:" + b.Text()); };
    b.SetItemIndex(2);
    EXPECT_EQ(b.Text(), "29.97fps");
    EXPECT_TRUE(b.Select(2)); // the same item again
    EXPECT_TRUE(b.Select(1));
    EXPECT_FALSE(b.Select(3));
    EXPECT_FALSE(b.Select(-1));
    EXPECT_EQ(log, (Events{"Change:29.97fps", "Change:25fps"}));
    b.SetItemIndex(7);
    EXPECT_EQ(b.ItemIndex(), -1);
    EXPECT_EQ(b.Text(), "");
    EXPECT_EQ(log.size(), 2u);
}

TEST(ComboBox, DeletingItemsKeepsOrClearsTheSelection) {
    const struct {
        int selected, deleted, expected;
    } rows[] = {{2, 0, 1}, {1, 1, -1}, {0, 2, 0}, {1, 5, 1}, {1, -1, 1}, {-1, 0, -1}};
    for (const auto& row : rows) {
        TComboBox b("B", {"a", "b", "c"}, row.selected);
        b.DeleteItem(row.deleted);
        EXPECT_EQ(b.ItemIndex(), row.expected) << row.selected << " " << row.deleted;
    }
    // Start-up drops the three DVD rows of the disc-type list.
    TComboBox cd("CDTypeBox",
                 {"21min CD", "74min CD", "80min CD", "90min CD", "99min CD", "2.6GB DVD",
                  "3.95GB DVD", "4.7GB DVD"},
                 2);
    for (int i = 0; i < 3; ++i) cd.DeleteItem(cd.Count() - 1);
    EXPECT_EQ(cd.Count(), 5);
    EXPECT_EQ(cd.Text(), "80min CD");
}

TEST(TrackBar, ChangesAreClampedAndOnlyRealOnesFire) {
    TTrackBar t("T", 0, 5, 1);
    Events log;
    t.OnChange = [&](TControl&) { log.push_back(std::to_string(t.Position())); };
    t.SetPosition(1);
    t.SetPosition(3);
    t.SetPosition(9);
    t.SetPosition(7);
    EXPECT_TRUE(t.Slide(-2));
    EXPECT_TRUE(t.Slide(0));
    t.SetEnabled(false);
    EXPECT_FALSE(t.Slide(4));
    EXPECT_EQ(log, (Events{"3", "5", "0"}));
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
    EXPECT_EQ(m.Lines(), (Events{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(m.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
    m.SetText("");
    EXPECT_TRUE(m.Lines().empty());
    EXPECT_EQ(m.Text(), "");
}

// ---------------------------------------------------------------------------
// Up-down

struct ClickRow {
    const char* name;
    int min, max, position, increment;
    bool wrap;
    TUDButton button;
    int expected;
    Events events;
};

void PrintTo(const ClickRow& row, std::ostream* os) {
    *os << row.name;
}

class UpDownClick : public testing::TestWithParam<ClickRow> {};

TEST_P(UpDownClick, ReportsChangeThenMovesThenWritesPartnerThenClicks) {
    const ClickRow& row = GetParam();
    TEdit e("E");
    TUpDown u("U", row.min, row.max, row.position);
    u.SetIncrement(row.increment);
    u.SetWrap(row.wrap);
    u.SetAssociate(&e);
    Recorder r;
    Watch(e, r);
    Watch(u, r);
    EXPECT_TRUE(u.Click(row.button));
    EXPECT_EQ(u.Position(), row.expected);
    EXPECT_EQ(e.Text(), std::to_string(row.expected));
    EXPECT_EQ(r.Take(), row.events);
}

constexpr auto Up = TUDButton::Up;
constexpr auto Down = TUDButton::Down;

const ClickRow clickRows[] = {
    {"UpInside", 0, 59, 58, 1, true, Up, 59, {"U.ChangingEx:59,Up", "E.Change:59", "U.Click:Up"}},
    {"DownInside",
     0,
     59,
     1,
     1,
     true,
     Down,
     0,
     {"U.ChangingEx:0,Down", "E.Change:0", "U.Click:Down"}},
    {"UpPastMaxWraps",
     0,
     59,
     59,
     1,
     true,
     Up,
     0,
     {"U.ChangingEx:60,None", "E.Change:0", "U.Click:Up"}},
    {"DownPastMinWraps",
     0,
     59,
     0,
     1,
     true,
     Down,
     59,
     {"U.ChangingEx:-1,None", "E.Change:59", "U.Click:Down"}},
    {"UpAtMaxStops", 0, 3, 3, 1, false, Up, 3, {"U.Click:Up"}},
    {"DownAtMinStops", 0, 3, 0, 1, false, Down, 0, {"U.Click:Down"}},
    {"StepOfTen",
     400,
     15000,
     2000,
     10,
     true,
     Down,
     1990,
     {"U.ChangingEx:1990,Down", "E.Change:1990", "U.Click:Down"}},
    {"StepOfTenPastMaxWraps",
     400,
     15000,
     14995,
     10,
     true,
     Up,
     400,
     {"U.ChangingEx:15005,None", "E.Change:400", "U.Click:Up"}},
    {"StepOfTenPastMaxClamps",
     400,
     15000,
     14995,
     10,
     false,
     Up,
     15000,
     {"U.ChangingEx:15005,None", "E.Change:15000", "U.Click:Up"}},
    {"OneValueRangeCannotMove", 1, 1, 1, 1, true, Up, 1, {"U.Click:Up"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, UpDownClick, testing::ValuesIn(clickRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpDown, SetPositionReportsTheRequestWithoutDirectionAndClamps) {
    TEdit e("E");
    TUpDown u("U", 400, 15000, 2000);
    u.SetAssociate(&e);
    EXPECT_EQ(e.Text(), "2000");
    Recorder r;
    Watch(e, r);
    Watch(u, r);
    u.SetPosition(2000);
    EXPECT_EQ(r.Take(), Events{});
    u.SetPosition(2500);
    EXPECT_EQ(r.Take(), (Events{"U.ChangingEx:2500,None", "E.Change:2500"}));
    // A request outside the range still reaches the handler as asked for.
    u.SetPosition(300);
    EXPECT_EQ(r.Take(), (Events{"U.ChangingEx:300,None", "E.Change:400"}));
    u.SetPosition(300);
    EXPECT_EQ(r.Take(), Events{"U.ChangingEx:300,None"});
    EXPECT_EQ(u.Position(), 400);
}

TEST(UpDown, RefusedChangeKeepsPositionAndPartnerButStillClicks) {
    TEdit e("E");
    TUpDown u("U", 0, 59, 58);
    u.SetAssociate(&e);
    Recorder r;
    Watch(e, r);
    Watch(u, r);
    auto record = u.OnChangingEx;
    u.OnChangingEx = [&](TControl& s, bool& allow, int v, TUpDownDirection d) {
        record(s, allow, v, d);
        allow = false;
    };
    u.ClickUp();
    u.SetPosition(10);
    EXPECT_EQ(r.Take(), (Events{"U.ChangingEx:59,Up", "U.Click:Up", "U.ChangingEx:10,None"}));
    EXPECT_EQ(u.Position(), 58);
    EXPECT_EQ(e.Text(), "58");
}

TEST(UpDown, PartnerHandlersSeeTheNewPosition) {
    TEdit e("EditCDNr", "1");
    TUpDown u("CDNrUpDown", 1, 9, 1);
    u.SetWrap(true);
    u.SetAssociate(&e);
    Events log;
    e.OnChange = [&](TControl&) { log.push_back(e.Text() + "@" + std::to_string(u.Position())); };
    u.ClickDown();
    u.ClickUp();
    EXPECT_EQ(log, (Events{"9@9", "1@1"}));
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
    EXPECT_EQ(r.Take(), Events{});
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
        r.events.push_back(s.Name() + ".ChangingEx:" + std::to_string(v) + "," + DirectionName(d));
        if (d != TUpDownDirection::None) return;
        if (v == 60) minUD.SetPosition(minUD.Position() + 1);
        if (v == -1) minUD.SetPosition(minUD.Position() - 1);
        (void)allow;
    };
    secUD.ClickUp();
    EXPECT_EQ(r.Take(), (Events{"SecUpDown.ChangingEx:60,None", "MinUpDown.ChangingEx:80,None",
                                "EditMin.Change:80", "EditSec.Change:0", "SecUpDown.Click:Up"}));
    secUD.ClickDown();
    EXPECT_EQ(r.Take(), (Events{"SecUpDown.ChangingEx:-1,None", "MinUpDown.ChangingEx:79,None",
                                "EditMin.Change:79", "EditSec.Change:59", "SecUpDown.Click:Down"}));
}

TEST(UpDown, ClickHandlerRunsAfterTheMove) {
    // A coarse up-down whose click steps a fine one, which in turn sets the coarse one back.
    TUpDown coarse("VideoUpDown10", 400, 15000, 2000), fine("VideoUpDown", 400, 15000, 2000);
    coarse.SetIncrement(10);
    coarse.SetWrap(true);
    Recorder r;
    Watch(coarse, r);
    Watch(fine, r);
    coarse.OnClick = [&](TControl&, TUDButton b) {
        r.events.push_back("VideoUpDown10.Click@" + std::to_string(coarse.Position()));
        fine.SetPosition(fine.Position() + (b == TUDButton::Up ? 10 : -10));
    };
    fine.OnChangingEx = [&](TControl&, bool&, int v, TUpDownDirection) {
        r.events.push_back("VideoUpDown.ChangingEx:" + std::to_string(v));
        coarse.SetPosition(v);
    };
    coarse.ClickUp();
    EXPECT_EQ(r.Take(), (Events{"VideoUpDown10.ChangingEx:2010,Up", "VideoUpDown10.Click@2010",
                                "VideoUpDown.ChangingEx:2010"}));
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
    TUpDown u("U", 0, 10, 4);
    u.SetRange(5, 1);
    EXPECT_EQ(u.Min(), 0);
    EXPECT_EQ(u.Max(), 10);
    u.SetIncrement(0);
    EXPECT_EQ(u.Increment(), 1);
    u.SetRange(6, 8); // brought into the range quietly
    EXPECT_EQ(u.Position(), 6);
    u.SetEnabled(false);
    EXPECT_FALSE(u.ClickUp());
    EXPECT_EQ(u.Position(), 6);
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
