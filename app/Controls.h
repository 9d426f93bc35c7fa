// Controls without a toolkit: the state of every window control and the order in
// which its events run. The main window's handlers are written against these;
// a front end draws them and turns real input into the user actions below.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarvex {

class TControl;
class TEdit;
class TUpDown;
class TComboBox;
class TCheckBox;
class TTrackBar;
class TLabel;
class TMemo;
class TButton;

/// Font colours the window asks for.
enum class TColour { Default, Black, Yellow, Red, Green, Navy };

/// Any control, by its kind.
using TAnyControl =
    std::variant<TEdit*, TUpDown*, TComboBox*, TCheckBox*, TTrackBar*, TLabel*, TMemo*, TButton*>;

/// The part every kind of control shares.
TControl& AsControl(const TAnyControl& control);

/// A window's controls in the order they were constructed. A control constructed
/// with its owner joins this list, so declaring a control is all it takes to list it.
class TControlOwner {
  public:
    TControlOwner() = default;
    TControlOwner(const TControlOwner&) = delete;
    TControlOwner& operator=(const TControlOwner&) = delete;

    /// Every control, in the order of construction.
    const std::vector<TAnyControl>& AllControls() const { return FControls; }
    /// The control with this name, or nothing.
    const TAnyControl* FindControl(const std::string& name) const;

  protected:
    ~TControlOwner() = default;

  private:
    friend class TControl;
    std::vector<TAnyControl> FControls;
};

/// Direction an up-down reports for a coming change: Up or Down for a click that
/// stays inside the range, None for a change from code and for a click that
/// leaves the range (the wrap case).
enum class TUpDownDirection { None, Up, Down };

/// The button of an up-down that was clicked.
enum class TUDButton { Up, Down };

using TNotifyEvent = std::function<void(TControl& Sender)>;
/// Key press filter: setting Key to 0 discards the key, another value replaces it.
using TKeyPressEvent = std::function<void(TControl& Sender, char& Key)>;
/// Key release: Key is the key as typed, before any filter.
using TKeyEvent = std::function<void(TControl& Sender, char Key)>;
/// A coming up-down change to NewValue; setting AllowChange to false refuses it.
using TUDChangingEvent = std::function<void(TControl& Sender, bool& AllowChange, int NewValue,
                                            TUpDownDirection Direction)>;
using TUDClickEvent = std::function<void(TControl& Sender, TUDButton Button)>;

/// What every control has: a name, a hint and enabled and visible states.
/// Changing these runs no handler. A control has an identity (other controls and
/// handlers point at it), so it is neither copied nor moved.
///
/// User actions (the methods that stand for a click, a key or a choice) return
/// false and do nothing when the control is disabled or hidden, since the user
/// cannot reach it then; they return true otherwise.
class TControl {
  public:
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    const std::string& Name() const { return FName; }
    const std::string& Hint() const { return FHint; }
    void SetHint(std::string hint) { FHint = std::move(hint); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible) { FVisible = visible; }
    /// Whether the user can reach the control: enabled and visible.
    bool Reachable() const { return FEnabled && FVisible; }

  protected:
    explicit TControl(std::string name) : FName(std::move(name)) {}
    ~TControl() = default;

    /// Adds the control to its owner's list; every kind's owner constructor ends with it.
    static void Join(TControlOwner& owner, TAnyControl self) { owner.FControls.push_back(self); }

    /// Stores value in field and says whether that changed anything.
    template <class T>
    static bool Assign(T& field, const T& value) {
        if (field == value) return false;
        field = value;
        return true;
    }

  private:
    std::string FName;
    std::string FHint;
    bool FEnabled = true;
    bool FVisible = true;
};

/// Single-line text field.
///
/// The text is handled byte by byte; the selection is a byte range [SelStart,
/// SelStart + SelLength). Setting the text from code leaves the caret at its end
/// with nothing selected. The max length limits typing only, not text set from code.
class TEdit : public TControl {
  public:
    static constexpr char Backspace = 8;

    explicit TEdit(std::string name, std::string text = {});
    TEdit(TControlOwner& owner, std::string name, std::string text = {})
        : TEdit(std::move(name), std::move(text)) {
        Join(owner, this);
    }
    ~TEdit();

    TNotifyEvent OnChange;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnExit;

    const std::string& Text() const { return FText; }
    /// From code: when the text differs, stores it and runs OnChange.
    void SetText(const std::string& text);

    /// Most characters the user can type in; 0 means no limit. Negative values are refused.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int maxLength);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }
    /// Drawn on the button face as the read-only fields are, though the user may type.
    bool ButtonFace() const { return FButtonFace; }
    void SetButtonFace(bool buttonFace) { FButtonFace = buttonFace; }

    int SelStart() const { return FSelStart; }
    int SelLength() const { return FSelLength; }
    /// Selects length bytes from start, both cut to the text.
    void SetSelection(int start, int length);
    void SelectAll() { SetSelection(0, static_cast<int>(FText.size())); }

    bool Focused() const { return FFocused; }

    /// User: the field takes the focus (no handler runs).
    bool Focus();
    /// User: types one key into the field, which takes the focus. In this order:
    /// OnKeyPress (may discard or replace the key); then, unless the key was
    /// discarded or the field is read-only, the edit: Backspace deletes the
    /// selection or the byte before the caret, a printable character replaces the
    /// selection and is inserted only while the max length allows (so a full
    /// field without a selection stays as it is), other control characters such
    /// as Enter change nothing; OnChange if the text changed; finally OnKeyUp with
    /// the key as typed, which runs for every key, also a discarded one.
    bool TypeKey(char key);
    /// TypeKey for each character of keys, in order.
    bool TypeKeys(const std::string& keys);
    /// User: replaces the whole text by typing: takes the focus, selects all, types
    /// `text` (an empty one is Backspace) and leaves; false when the field is out of reach.
    bool Retype(const std::string& text);
    /// User: the focus leaves the field. Runs OnExit and returns true if the field
    /// had the focus; otherwise nothing happens and it returns false.
    bool Leave();

  private:
    friend class TUpDown;

    /// Stores a different text, lets the partner up-down follow it, runs OnChange.
    void ChangeText(std::string text, int caret);

    std::string FText;
    int FMaxLength = 0;
    bool FReadOnly = false;
    bool FButtonFace = false;
    int FSelStart = 0;
    int FSelLength = 0;
    bool FFocused = false;
    TUpDown* FBuddy = nullptr; // the up-down whose partner this is
};

/// Check box.
class TCheckBox : public TControl {
  public:
    explicit TCheckBox(std::string name, std::string caption = {}, bool checked = false)
        : TControl(std::move(name)), FCaption(std::move(caption)), FChecked(checked) {}
    TCheckBox(TControlOwner& owner, std::string name, std::string caption = {},
              bool checked = false)
        : TCheckBox(std::move(name), std::move(caption), checked) {
        Join(owner, this);
    }

    TNotifyEvent OnClick;

    const std::string& Caption() const { return FCaption; }
    bool Checked() const { return FChecked; }
    /// From code: when the state differs, stores it and runs OnClick.
    void SetChecked(bool checked);
    /// User: toggles the state, then runs OnClick.
    bool Click();

  private:
    std::string FCaption;
    bool FChecked = false;
};

/// Drop-down list with fixed items; ItemIndex -1 means no selection.
class TComboBox : public TControl {
  public:
    explicit TComboBox(std::string name, std::vector<std::string> items = {}, int itemIndex = -1);
    TComboBox(TControlOwner& owner, std::string name, std::vector<std::string> items = {},
              int itemIndex = -1)
        : TComboBox(std::move(name), std::move(items), itemIndex) {
        Join(owner, this);
    }

    TNotifyEvent OnChange;

    const std::vector<std::string>& Items() const { return FItems; }
    int Count() const { return static_cast<int>(FItems.size()); }
    /// Replaces the items; the selection is cleared. No handler runs.
    void SetItems(std::vector<std::string> items);

    int ItemIndex() const { return FItemIndex; }
    /// From code: selects the item, or nothing for an index outside the list.
    /// Runs no handler: a handler that selects an item calls the list's handler itself.
    void SetItemIndex(int index);
    /// The selected item's text, "" with no selection.
    std::string Text() const;

    /// User: chooses an item and runs OnChange, also when it was already
    /// selected. An index outside the list is refused (false, nothing happens).
    bool Select(int index);

  private:
    std::vector<std::string> FItems;
    int FItemIndex = -1;
};

/// Spin buttons with an integer position in [Min, Max] (a range with min > max
/// is refused: 0..100 stays), optionally bound to a partner edit.
///
/// The partner edit shows the position as decimal text: every change of the
/// position writes it there through TEdit::SetText, so the edit's OnChange runs
/// when the text differs. The other way round, whenever the partner's text
/// changes to a whole number inside the range, the position follows it quietly
/// (no handler), so code that writes the edit moves the spin buttons too;
/// other texts leave the position alone.
///
/// Order of events, from code (SetPosition) and from a click:
///   1. OnChangingEx(AllowChange, proposed position, direction): the proposal is
///      reported as asked for, even when it lies outside the range;
///   2. unless refused: the position becomes the proposal brought into the range
///      (wrapped or clamped);
///   3. the partner edit's text, with its OnChange;
///   4. for a click only: OnClick, which runs for every click, also when the
///      change was refused or there was nothing to change.
/// Handlers of the partner's OnChange therefore already see the new position.
class TUpDown : public TControl {
  public:
    explicit TUpDown(std::string name, int min = 0, int max = 100, int position = 0);
    TUpDown(TControlOwner& owner, std::string name, int min = 0, int max = 100, int position = 0)
        : TUpDown(std::move(name), min, max, position) {
        Join(owner, this);
    }
    ~TUpDown();

    TUDChangingEvent OnChangingEx;
    TUDClickEvent OnClick;

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    /// Step of one click; values below 1 are refused.
    int Increment() const { return FIncrement; }
    void SetIncrement(int increment);
    /// Whether a click past one end jumps to the other end (otherwise it stops at the end).
    bool Wrap() const { return FWrap; }
    void SetWrap(bool wrap) { FWrap = wrap; }

    TEdit* Associate() const { return FAssociate; }
    /// Binds a partner edit (nullptr unbinds) and writes the position into it.
    /// An edit has at most one up-down; binding it here unbinds it from another one.
    void SetAssociate(TEdit* edit);

    /// From code: when value differs from the position, OnChangingEx(value, None);
    /// unless refused the position becomes value clamped to the range, then the
    /// partner text.
    void SetPosition(int value);

    /// User: one click. The proposal is position +/- Increment with direction Up
    /// or Down; a proposal outside the range is reported with direction None and
    /// then wraps to the other end or, without Wrap, is clamped. A click that
    /// cannot move the position (clamped at the end of the range) runs OnClick only.
    bool Click(TUDButton button);
    bool ClickUp() { return Click(TUDButton::Up); }
    bool ClickDown() { return Click(TUDButton::Down); }

  private:
    friend class TEdit;

    int Clamp(long long value) const;
    void Move(int position);
    void PartnerTextChanged(const std::string& text);

    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FIncrement = 1;
    bool FWrap = false;
    TEdit* FAssociate = nullptr;
};

/// Small horizontal slider with integer positions in [Min, Max] (a range with
/// min > max is refused: 0..10 stays).
class TTrackBar : public TControl {
  public:
    explicit TTrackBar(std::string name, int min = 0, int max = 10, int position = 0);
    TTrackBar(TControlOwner& owner, std::string name, int min = 0, int max = 10, int position = 0)
        : TTrackBar(std::move(name), min, max, position) {
        Join(owner, this);
    }

    TNotifyEvent OnChange;

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    /// From code: the value is clamped to the range; OnChange when that differs.
    void SetPosition(int value);
    /// User: drags the slider to value (clamped); OnChange when the position changed.
    bool Slide(int value);

  private:
    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
};

/// Static text.
class TLabel : public TControl {
  public:
    explicit TLabel(std::string name, std::string caption = {})
        : TControl(std::move(name)), FCaption(std::move(caption)) {}
    TLabel(TControlOwner& owner, std::string name, std::string caption = {})
        : TLabel(std::move(name), std::move(caption)) {
        Join(owner, this);
    }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string caption) { FCaption = std::move(caption); }
    /// TColour::Default until a colour is set.
    TColour FontColour() const { return FFontColour; }
    void SetFontColour(TColour colour) { FFontColour = colour; }

  private:
    std::string FCaption;
    TColour FFontColour = TColour::Default;
};

/// Multi-line text field; it has no handlers.
class TMemo : public TControl {
  public:
    explicit TMemo(std::string name, std::vector<std::string> lines = {})
        : TControl(std::move(name)), FLines(std::move(lines)) {}
    TMemo(TControlOwner& owner, std::string name, std::vector<std::string> lines = {})
        : TMemo(std::move(name), std::move(lines)) {
        Join(owner, this);
    }

    const std::vector<std::string>& Lines() const { return FLines; }
    std::vector<std::string>& Lines() { return FLines; }
    void SetLines(std::vector<std::string> lines) { FLines = std::move(lines); }
    /// Every line followed by `lineEnd`.
    std::string Text(const std::string& lineEnd = "\r\n") const;
    /// Splits text at "\r\n", "\n" or "\r"; a line break at the very end adds no empty line.
    void SetText(const std::string& text);

  private:
    std::vector<std::string> FLines;
};

/// Push button.
class TButton : public TControl {
  public:
    explicit TButton(std::string name, std::string caption = {})
        : TControl(std::move(name)), FCaption(std::move(caption)) {}
    TButton(TControlOwner& owner, std::string name, std::string caption = {})
        : TButton(std::move(name), std::move(caption)) {
        Join(owner, this);
    }

    TNotifyEvent OnClick;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string caption) { FCaption = std::move(caption); }
    /// User: runs OnClick.
    bool Click();

  private:
    std::string FCaption;
};

} // namespace tarvex
