#include "app/Controls.h"

#include "common/Numeric.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tarvex {

TControl& AsControl(const TAnyControl& control) {
    return *std::visit([](auto* c) -> TControl* { return c; }, control);
}

const TAnyControl* TControlOwner::FindControl(const std::string& name) const {
    for (const TAnyControl& c : FControls)
        if (AsControl(c).Name() == name) return &c;
    return nullptr;
}

// ---------------------------------------------------------------------------
// TEdit

TEdit::TEdit(std::string name, std::string text)
    : TControl(std::move(name)), FText(std::move(text)), FSelStart(static_cast<int>(FText.size())) {
}

TEdit::~TEdit() {
    if (FBuddy != nullptr) FBuddy->FAssociate = nullptr;
}

void TEdit::SetText(const std::string& text) {
    if (text == FText) return;
    ChangeText(text, static_cast<int>(text.size()));
}

void TEdit::ChangeText(std::string text, int caret) {
    FText = std::move(text);
    FSelStart = caret;
    FSelLength = 0;
    // The partner up-down moves first, so that OnChange handlers read the new position.
    if (FBuddy != nullptr) FBuddy->PartnerTextChanged(FText);
    if (OnChange) OnChange(*this);
}

void TEdit::SetMaxLength(int maxLength) {
    if (maxLength >= 0) FMaxLength = maxLength;
}

void TEdit::SetSelection(int start, int length) {
    const int size = static_cast<int>(FText.size());
    FSelStart = std::clamp(start, 0, size);
    FSelLength = std::clamp(length, 0, size - FSelStart);
}

bool TEdit::Focus() {
    if (!Reachable()) return false;
    FFocused = true;
    return true;
}

bool TEdit::TypeKey(char typed) {
    if (!Reachable()) return false;
    FFocused = true;
    char key = typed;
    if (OnKeyPress) OnKeyPress(*this, key);

    if (key != 0 && !FReadOnly) {
        // Read text and selection only now: the filter may have set the text.
        std::string text = FText;
        const auto start = static_cast<std::size_t>(FSelStart);
        const auto length = static_cast<std::size_t>(FSelLength);
        const bool printable = static_cast<unsigned char>(key) >= 32 && key != 127;
        bool edited = false;
        std::size_t caret = start;
        if (key == Backspace) {
            if (length > 0) {
                text.erase(start, length);
                edited = true;
            } else if (start > 0) {
                text.erase(start - 1, 1);
                caret = start - 1;
                edited = true;
            }
        } else if (printable) {
            // The selection goes in any case; the key only if it still fits, so a
            // full field without a selection stays as it is.
            text.erase(start, length);
            if (FMaxLength == 0 || text.size() < static_cast<std::size_t>(FMaxLength)) {
                text.insert(start, 1, key);
                caret = start + 1;
            }
            edited = true;
        }
        if (edited) {
            if (text != FText) {
                ChangeText(std::move(text), static_cast<int>(caret));
            } else {
                FSelStart = static_cast<int>(caret);
                FSelLength = 0;
            }
        }
    }

    // The key is released whatever the filter did with it.
    if (OnKeyUp) OnKeyUp(*this, typed);
    return true;
}

bool TEdit::TypeKeys(const std::string& keys) {
    for (const char key : keys)
        if (!TypeKey(key)) return false;
    return true;
}

bool TEdit::Retype(const std::string& text) {
    if (!Focus()) return false;
    SelectAll();
    if (text.empty())
        TypeKey(Backspace);
    else
        TypeKeys(text);
    return Leave();
}

bool TEdit::Leave() {
    if (!FFocused) return false;
    FFocused = false;
    if (OnExit) OnExit(*this);
    return true;
}

// ---------------------------------------------------------------------------
// TCheckBox

void TCheckBox::SetChecked(bool checked) {
    if (Assign(FChecked, checked) && OnClick) OnClick(*this);
}

bool TCheckBox::Click() {
    if (!Reachable()) return false;
    FChecked = !FChecked;
    if (OnClick) OnClick(*this);
    return true;
}

// ---------------------------------------------------------------------------
// TComboBox

TComboBox::TComboBox(std::string name, std::vector<std::string> items, int itemIndex)
    : TControl(std::move(name)), FItems(std::move(items)) {
    SetItemIndex(itemIndex);
}

void TComboBox::SetItems(std::vector<std::string> items) {
    FItems = std::move(items);
    FItemIndex = -1;
}

void TComboBox::SetItemIndex(int index) {
    FItemIndex = index >= 0 && index < Count() ? index : -1;
}

std::string TComboBox::Text() const {
    return FItemIndex >= 0 ? FItems[static_cast<std::size_t>(FItemIndex)] : std::string();
}

bool TComboBox::Select(int index) {
    if (!Reachable() || index < 0 || index >= Count()) return false;
    FItemIndex = index;
    if (OnChange) OnChange(*this);
    return true;
}

// ---------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(std::string name, int min, int max, int position) : TControl(std::move(name)) {
    if (min <= max) {
        FMin = min;
        FMax = max;
    }
    FPosition = Clamp(position);
}

TUpDown::~TUpDown() {
    if (FAssociate != nullptr) FAssociate->FBuddy = nullptr;
}

int TUpDown::Clamp(long long value) const {
    return static_cast<int>(std::clamp<long long>(value, FMin, FMax));
}

void TUpDown::SetIncrement(int increment) {
    if (increment >= 1) FIncrement = increment;
}

void TUpDown::SetAssociate(TEdit* edit) {
    if (edit == FAssociate) return;
    if (FAssociate != nullptr) FAssociate->FBuddy = nullptr;
    FAssociate = edit;
    if (edit == nullptr) return;
    if (edit->FBuddy != nullptr) edit->FBuddy->FAssociate = nullptr;
    edit->FBuddy = this;
    edit->SetText(IntToStr(FPosition));
}

void TUpDown::PartnerTextChanged(const std::string& text) {
    std::int32_t value = 0;
    if (TryStrToInt(text, value) && value >= FMin && value <= FMax) FPosition = value;
}

void TUpDown::Move(int position) {
    FPosition = position;
    if (FAssociate != nullptr) FAssociate->SetText(IntToStr(FPosition));
}

void TUpDown::SetPosition(int value) {
    if (value == FPosition) return;
    bool allow = true;
    if (OnChangingEx) OnChangingEx(*this, allow, value, TUpDownDirection::None);
    if (allow) Move(Clamp(value));
}

bool TUpDown::Click(TUDButton button) {
    if (!Reachable()) return false;
    const bool up = button == TUDButton::Up;
    const long long proposed = static_cast<long long>(FPosition) + (up ? FIncrement : -FIncrement);
    const bool inside = proposed >= FMin && proposed <= FMax;
    int target = 0;
    if (inside)
        target = static_cast<int>(proposed);
    else if (FWrap)
        target = up ? FMin : FMax;
    else
        target = up ? FMax : FMin;

    if (target != FPosition) {
        bool allow = true;
        const TUpDownDirection direction = !inside ? TUpDownDirection::None
                                           : up    ? TUpDownDirection::Up
                                                   : TUpDownDirection::Down;
        const int reported = static_cast<int>(std::clamp<long long>(proposed, INT_MIN, INT_MAX));
        if (OnChangingEx) OnChangingEx(*this, allow, reported, direction);
        if (allow) Move(target);
    }
    if (OnClick) OnClick(*this, button);
    return true;
}

// ---------------------------------------------------------------------------
// TTrackBar

TTrackBar::TTrackBar(std::string name, int min, int max, int position) : TControl(std::move(name)) {
    if (min <= max) {
        FMin = min;
        FMax = max;
    }
    FPosition = std::clamp(position, FMin, FMax);
}

void TTrackBar::SetPosition(int value) {
    if (Assign(FPosition, std::clamp(value, FMin, FMax)) && OnChange) OnChange(*this);
}

bool TTrackBar::Slide(int value) {
    if (!Reachable()) return false;
    SetPosition(value);
    return true;
}

// ---------------------------------------------------------------------------
// TMemo

std::string TMemo::Text(const std::string& lineEnd) const {
    std::string text;
    for (const std::string& line : FLines) text += line + lineEnd;
    return text;
}

void TMemo::SetText(const std::string& text) {
    FLines.clear();
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) {
            FLines.push_back(text.substr(begin));
            break;
        }
        FLines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
        if (text[end] == '\r' && begin < text.size() && text[begin] == '\n') ++begin;
    }
}

// ---------------------------------------------------------------------------
// TButton

bool TButton::Click() {
    if (!Reachable()) return false;
    if (OnClick) OnClick(*this);
    return true;
}

} // namespace tarvex
