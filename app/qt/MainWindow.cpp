#include "app/qt/MainWindow.h"

#include "app/qt/Layout.h"
#include "app/qt/SidePanel.h"
#include "app/qt/UpDown.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QWindow>

namespace tarvex::qt {

namespace {

/// The frames are laid out for the outer size of the design's window: a 3-pixel
/// border and a 20-pixel caption around the client area, whatever the window
/// manager draws here.
constexpr int OuterExtraWidth = 6;
constexpr int OuterExtraHeight = 26;
constexpr int HintMilliseconds = 20000;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

/// A caption for a button or check box, where '&' would mark a shortcut.
QString ButtonText(const std::string& caption) {
    return Q(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

/// A hint as a tooltip: rich text, so that its line breaks hold and a text in
/// angle brackets is shown rather than taken for markup.
QString ToolTip(const std::string& hint) {
    if (hint.empty()) return {};
    QString text = Q(hint).replace(QLatin1String("\r\n"), QLatin1String("\n")).toHtmlEscaped();
    text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return QLatin1String("<p style='white-space:pre'>") + text + QLatin1String("</p>");
}

QColor Colour(TColour colour, const QColor& standard) {
    switch (colour) {
    case TColour::Black:
        return Qt::black;
    case TColour::Yellow:
        // Pure yellow is unreadable on the grey background.
        return QColor(0xc8, 0xa0, 0x00);
    case TColour::Red:
        return QColor(0xff, 0x00, 0x00);
    case TColour::Green:
        return QColor(0x00, 0x80, 0x00);
    case TColour::Navy:
        return QColor(0x00, 0x00, 0x80);
    default:
        return standard;
    }
}

int Utf8Length(const QString& text, qsizetype chars) {
    return static_cast<int>(text.left(chars).toUtf8().size());
}

int CharLength(const std::string& text, int bytes) {
    const auto n = static_cast<qsizetype>(
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(bytes, 0)), 0, text.size()));
    return static_cast<int>(QString::fromUtf8(text.data(), n).size());
}

/// The memo's lines as the widget holds them.
std::string MemoText(const TMemo& memo) {
    std::string text;
    bool first = true;
    for (const std::string& line : memo.Lines()) {
        if (!first) text += '\n';
        first = false;
        text += line;
    }
    return text;
}

enum class TIcon { None, Open, Save, Arrow };

/// The image of a button; the arrow stands for a caption that is a glyph of a
/// symbol font, so that button shows no text.
TIcon IconOf(const TMainForm& form, const TButton& button) {
    if (&button == &form.OpenVideoBtn) return TIcon::Open;
    if (&button == &form.SaveAVSBtn) return TIcon::Save;
    if (&button == &form.CopyBtn) return TIcon::Arrow;
    return TIcon::None;
}

/// The buttons' small images, drawn here: a folder, a disk and an arrow pointing down.
QIcon DrawIcon(TIcon icon) {
    const int size = icon == TIcon::Arrow ? 7 : 12;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor outline(0x40, 0x40, 0x40);
    switch (icon) {
    case TIcon::Open: {
        p.setPen(outline);
        p.setBrush(QColor(0xe8, 0xc0, 0x40));
        const QPoint back[] = {{0, 2}, {4, 2}, {5, 3}, {10, 3}, {10, 10}, {0, 10}};
        p.drawPolygon(back, 6);
        p.setBrush(QColor(0xf8, 0xd8, 0x60));
        const QPoint front[] = {{0, 10}, {2, 5}, {11, 5}, {10, 10}};
        p.drawPolygon(front, 4);
        break;
    }
    case TIcon::Save:
        p.setPen(outline);
        p.setBrush(QColor(0x30, 0x50, 0xa0));
        p.drawRect(0, 0, 11, 11);
        p.fillRect(3, 1, 6, 4, Qt::white);
        p.fillRect(3, 7, 6, 4, QColor(0xc0, 0xc0, 0xc0));
        break;
    case TIcon::Arrow: {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const QPoint down[] = {{0, 1}, {7, 1}, {3, 5}};
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPolygon(down, 3);
        break;
    }
    case TIcon::None:
        break;
    }
    p.end();
    return QIcon(pixmap);
}

/// Lists with a narrower arrow, so that items fill the small lists as they were laid out.
class TCompactListStyle : public QProxyStyle {
  public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control != CC_ComboBox) return rect;
        constexpr int arrowWidth = 15;
        if (part == SC_ComboBoxArrow) rect.setLeft(option->rect.right() - arrowWidth + 1);
        if (part == SC_ComboBoxEditField) {
            rect.setLeft(option->rect.left() + 2);
            rect.setRight(option->rect.right() - arrowWidth);
        }
        return rect;
    }
};

} // namespace

TQtMainWindow::TQtMainWindow(TQtPlatform& platform, QWidget* parent)
    : QWidget(parent), FForm(std::make_unique<TMainForm>(platform)),
      FListStyle(std::make_unique<TCompactListStyle>()) {
    platform.SetWindow(this);
    platform.AfterPosted = [this] { Refresh(); };
    platform.OpenPreview = [this] { OpenPreview(); };
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth + TSidePanel::Width, ClientHeight);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    // The background is the button face, as the read-only fields are.
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Button));
    setPalette(background);
    setAutoFillBackground(true);
    CreateWidgets();
    FSidePanel = new TSidePanel(
        *FForm, [this](std::function<void()> action) { Act(action); }, this);
    FSidePanel->setGeometry(ClientWidth, 0, TSidePanel::Width, ClientHeight);
    ConnectDisplayChanges();
    Refresh();
}

TQtMainWindow::~TQtMainWindow() {
    // The widgets go before the form, and none of them reaches it on the way.
    for (TBinding& binding : FBindings) {
        binding.Widget->removeEventFilter(this);
        binding.Widget->blockSignals(true);
    }
    for (TBinding& binding : FBindings) delete binding.Widget;
    FBindings.clear();
}

void TQtMainWindow::Start() {
    if (FStarted) return;
    FStarted = true;
    FForm->FormCreate();
    Refresh();
}

QWidget* TQtMainWindow::WidgetOf(std::string_view name) const {
    for (const TBinding& binding : FBindings)
        if (AsControl(binding.Control).Name() == name) return binding.Widget;
    return nullptr;
}

void TQtMainWindow::CreateWidgets() {
    for (const TStaticCaption& caption : StaticCaptions()) {
        auto* label = new QLabel(
            QString::fromUtf8(caption.Text.data(), static_cast<qsizetype>(caption.Text.size())),
            this);
        label->setTextFormat(Qt::PlainText);
        label->move(caption.Left, caption.Top);
        label->adjustSize();
    }
    const std::vector<TPlace> places = ControlPlaces(*FForm);
    for (const TAnyControl& control : FForm->AllControls()) {
        const TPlace* place = FindPlace(places, AsControl(control));
        FBindings.push_back(TBinding{.Control = control,
                                     .Widget = nullptr,
                                     .ShownHint = {},
                                     .ShownText = {},
                                     .SizedByText = place == nullptr || place->Width == 0});
        TBinding& binding = FBindings.back();
        binding.Widget = CreateWidget(binding);
        if (place != nullptr) {
            if (place->Width > 0)
                binding.Widget->setGeometry(place->Left, place->Top, place->Width, place->Height);
            else
                binding.Widget->move(place->Left, place->Top);
        }
        binding.Widget->setToolTipDuration(HintMilliseconds);
    }
    // An edit with spin buttons steps them with the arrow keys; the video rate's
    // second pair steps by ten with Page Up and Page Down.
    for (const TAnyControl& control : FForm->AllControls())
        if (auto* const* upDown = std::get_if<TUpDown*>(&control))
            if ((*upDown)->Associate() != nullptr) FBuddyOf[(*upDown)->Associate()] = *upDown;
    FBuddyOf[&FForm->Videokbps] = &FForm->VideoUpDown;
    FPageBuddyOf[&FForm->Videokbps] = &FForm->VideoUpDown10;
    FBuddyOf[&FForm->ResizeYEdit] = &FForm->ResizeYUpDown;
    SetEditFocusPolicies();
}

void TQtMainWindow::SetEditFocusPolicies() {
    for (TBinding& binding : FBindings)
        if (auto* const* edit = std::get_if<TEdit*>(&binding.Control)) {
            // Output fields are skipped by the Tab key.
            const bool output = (*edit)->ReadOnly() && !FBuddyOf.contains(*edit);
            binding.Widget->setFocusPolicy(output ? Qt::ClickFocus : Qt::StrongFocus);
        }
}

QWidget* TQtMainWindow::CreateWidget(TBinding& binding) {
    return std::visit(
        [&](auto* c) -> QWidget* {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TEdit>) {
                auto* line = new QLineEdit(this);
                if (c->ReadOnly() || c->ButtonFace()) {
                    QPalette face = line->palette();
                    face.setColor(QPalette::Base, face.color(QPalette::Button));
                    line->setPalette(face);
                }
                line->setReadOnly(c->ReadOnly());
                line->setTextMargins(0, 0, 0, 0);
                line->installEventFilter(this);
                FEditOf[line] = c;
                // Edits the key filter does not see (context menu, undo, drag and
                // drop, input methods): the new text is typed over the old one.
                QObject::connect(line, &QLineEdit::textEdited, this,
                                 [this, c](const QString& text) {
                                     Act([&] {
                                         c->SelectAll();
                                         if (text.isEmpty())
                                             c->TypeKey(TEdit::Backspace);
                                         else
                                             TypeText(*c, text);
                                     });
                                 });
                return line;
            } else if constexpr (std::is_same_v<T, TUpDown>) {
                auto* upDown = new TQtUpDown(this);
                upDown->OnUp = [this, c] { Act([c] { c->ClickUp(); }); };
                upDown->OnDown = [this, c] { Act([c] { c->ClickDown(); }); };
                return upDown;
            } else if constexpr (std::is_same_v<T, TComboBox>) {
                auto* box = new QComboBox(this);
                box->setMaxVisibleItems(20);
                box->setStyle(FListStyle.get());
                QObject::connect(box, &QComboBox::activated, this,
                                 [this, c](int index) { Act([&] { c->Select(index); }); });
                return box;
            } else if constexpr (std::is_same_v<T, TCheckBox>) {
                auto* box = new QCheckBox(this);
                QObject::connect(box, &QCheckBox::clicked, this,
                                 [this, c] { Act([c] { c->Click(); }); });
                return box;
            } else if constexpr (std::is_same_v<T, TTrackBar>) {
                auto* slider = new QSlider(Qt::Horizontal, this);
                slider->setTickPosition(QSlider::TicksBelow);
                slider->setTickInterval(1);
                slider->setPageStep(1);
                QObject::connect(slider, &QSlider::valueChanged, this,
                                 [this, c](int value) { Act([&] { c->Slide(value); }); });
                return slider;
            } else if constexpr (std::is_same_v<T, TLabel>) {
                auto* label = new QLabel(this);
                label->setTextFormat(Qt::PlainText);
                if (!binding.SizedByText) {
                    // A panel title: boxed, centred, covering the panel frame behind it.
                    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                    label->setAlignment(Qt::AlignCenter);
                    label->setAutoFillBackground(true);
                }
                return label;
            } else if constexpr (std::is_same_v<T, TMemo>) {
                auto* memo = new QPlainTextEdit(this);
                memo->setLineWrapMode(QPlainTextEdit::NoWrap);
                memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                // Tab moves on to the next control; Ctrl+Tab types a tab (eventFilter).
                memo->setTabChangesFocus(true);
                memo->installEventFilter(this);
                FMemoWidget = memo;
                const std::size_t index = FBindings.size() - 1;
                QObject::connect(memo, &QPlainTextEdit::textChanged, this, [this, c, memo, index] {
                    // The user's own edit: the memo takes the text, nothing runs.
                    c->SetText(memo->toPlainText().toStdString());
                    FBindings[index].ShownText = MemoText(*c);
                });
                return memo;
            } else {
                auto* button = new QPushButton(this);
                button->setFlat(true);
                // In the Tab chain; Space, Enter and Return press it.
                button->setFocusPolicy(Qt::StrongFocus);
                button->setAutoDefault(true);
                const TIcon icon = IconOf(*FForm, *c);
                if (icon != TIcon::None) {
                    button->setIcon(DrawIcon(icon));
                    button->setIconSize(icon == TIcon::Arrow ? QSize(7, 7) : QSize(12, 12));
                }
                // The save button shows its image right of the text.
                if (icon == TIcon::Save) button->setLayoutDirection(Qt::RightToLeft);
                // The arrow shows no text: a screen reader says what it does.
                if (icon == TIcon::Arrow) button->setAccessibleName(Q(c->Hint()));
                QObject::connect(button, &QPushButton::clicked, this,
                                 [this, c] { Act([c] { c->Click(); }); });
                return button;
            }
        },
        binding.Control);
}

void TQtMainWindow::ConnectDisplayChanges() {
    const auto changed = [this] {
        FForm->DisplayChanged();
        update();
    };
    const auto watch = [this, changed](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, this, changed);
        QObject::connect(screen, &QScreen::availableGeometryChanged, this, changed);
    };
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, this, [changed, watch](QScreen* screen) {
        watch(screen);
        changed();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, this, changed);
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, this, changed);
}

void TQtMainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window may move to another screen; its work area goes with it.
    if (!FScreenWatched && windowHandle() != nullptr) {
        FScreenWatched = true;
        QObject::connect(windowHandle(), &QWindow::screenChanged, this,
                         [this] { FForm->DisplayChanged(); });
    }
}

TQtPreviewWindow& TQtMainWindow::OpenPreview() {
    if (!FPreview) FPreview = std::make_unique<TQtPreviewWindow>(*FForm);
    FPreview->show();
    FPreview->raise();
    FPreview->Follow();
    return *FPreview;
}

void TQtMainWindow::Refresh() {
    if (FPreview && FPreview->isVisible()) FPreview->Follow();
    setWindowTitle(Q(FForm->Caption));
    for (TBinding& binding : FBindings) RefreshOne(binding);
    if (FSidePanel != nullptr) FSidePanel->Refresh();
    // The fields a warning concerns get a red frame.
    std::vector<const QWidget*> warned;
    for (const TWarning& w : FForm->Warnings())
        if (const QWidget* widget = WidgetOf(w.Concerns); widget != nullptr)
            warned.push_back(widget);
    if (warned != FWarned) {
        FWarned = std::move(warned);
        update();
    }
}

void TQtMainWindow::RefreshOne(TBinding& binding) {
    QWidget* widget = binding.Widget;
    const QSignalBlocker blocker(widget);
    std::visit(
        [&](auto* c) {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TEdit>) {
                auto* line = static_cast<QLineEdit*>(widget);
                const QString text = Q(c->Text());
                if (line->text() != text) {
                    line->setText(text);
                    // A number too long for its field shows its first digits, not its last.
                    if (!line->hasFocus()) line->setCursorPosition(0);
                }
                if (line->isReadOnly() != c->ReadOnly()) line->setReadOnly(c->ReadOnly());
                if (line->hasFocus()) {
                    const int start = CharLength(c->Text(), c->SelStart());
                    const int length =
                        CharLength(c->Text(), c->SelStart() + c->SelLength()) - start;
                    const int shownStart = line->hasSelectedText()
                                               ? static_cast<int>(line->selectionStart())
                                               : line->cursorPosition();
                    const int shownLength =
                        line->hasSelectedText() ? static_cast<int>(line->selectionLength()) : 0;
                    if (start != shownStart || length != shownLength) {
                        if (length > 0)
                            line->setSelection(start, length);
                        else
                            line->setCursorPosition(start);
                    }
                }
            } else if constexpr (std::is_same_v<T, TComboBox>) {
                auto* box = static_cast<QComboBox*>(widget);
                bool same = box->count() == c->Count();
                for (int i = 0; same && i < c->Count(); ++i)
                    same = box->itemText(i) == Q(c->Items()[static_cast<std::size_t>(i)]);
                if (!same) {
                    box->clear();
                    for (const std::string& item : c->Items()) box->addItem(Q(item));
                }
                if (box->currentIndex() != c->ItemIndex()) box->setCurrentIndex(c->ItemIndex());
            } else if constexpr (std::is_same_v<T, TCheckBox>) {
                auto* box = static_cast<QCheckBox*>(widget);
                const QString caption = ButtonText(c->Caption());
                if (box->text() != caption) box->setText(caption);
                if (box->isChecked() != c->Checked()) box->setChecked(c->Checked());
            } else if constexpr (std::is_same_v<T, TTrackBar>) {
                auto* slider = static_cast<QSlider*>(widget);
                if (slider->minimum() != c->Min() || slider->maximum() != c->Max())
                    slider->setRange(c->Min(), c->Max());
                if (slider->value() != c->Position()) slider->setValue(c->Position());
            } else if constexpr (std::is_same_v<T, TLabel>) {
                auto* label = static_cast<QLabel*>(widget);
                const QString caption = Q(c->Caption());
                if (label->text() != caption) {
                    label->setText(caption);
                    if (binding.SizedByText) label->adjustSize();
                }
                const QColor colour =
                    Colour(c->FontColour(), palette().color(QPalette::WindowText));
                if (label->palette().color(QPalette::WindowText) != colour) {
                    QPalette p = label->palette();
                    p.setColor(QPalette::WindowText, colour);
                    label->setPalette(p);
                }
            } else if constexpr (std::is_same_v<T, TMemo>) {
                auto* memo = static_cast<QPlainTextEdit*>(widget);
                std::string text = MemoText(*c);
                if (text != binding.ShownText) {
                    memo->setPlainText(Q(text));
                    binding.ShownText = std::move(text);
                }
            } else if constexpr (std::is_same_v<T, TButton>) {
                auto* button = static_cast<QPushButton*>(widget);
                const QString caption =
                    IconOf(*FForm, *c) == TIcon::Arrow ? QString() : ButtonText(c->Caption());
                if (button->text() != caption) button->setText(caption);
            }
            if (widget->isEnabled() != c->Enabled()) widget->setEnabled(c->Enabled());
            if (widget->isHidden() == c->Visible()) widget->setHidden(!c->Visible());
            if (binding.ShownHint != c->Hint()) {
                binding.ShownHint = c->Hint();
                widget->setToolTip(ToolTip(binding.ShownHint));
            }
        },
        binding.Control);
}

void TQtMainWindow::PullFocusedSelection() {
    const auto found = FEditOf.find(QApplication::focusWidget());
    if (found == FEditOf.end()) return;
    TEdit& edit = *found->second;
    const auto* line = static_cast<const QLineEdit*>(found->first);
    const QString text = line->text();
    if (text != Q(edit.Text())) return; // a changed widget text is typed anew anyway
    const qsizetype start =
        line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    const qsizetype length = line->hasSelectedText() ? line->selectionLength() : 0;
    const int startBytes = Utf8Length(text, start);
    edit.SetSelection(startBytes, Utf8Length(text, start + length) - startBytes);
}

void TQtMainWindow::TypeText(TEdit& edit, const QString& text) {
    for (const char byte : text.toUtf8())
        if (byte != '\r' && byte != '\n') edit.TypeKey(byte);
}

bool TQtMainWindow::EditKeyPress(TEdit& edit, QLineEdit& line, QKeyEvent& event) {
    if (event.matches(QKeySequence::Paste)) {
        const QString pasted = QApplication::clipboard()->text();
        Act([&] { TypeText(edit, pasted); });
        return true;
    }
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event.key();
    const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down;
    const bool page = key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    if ((arrow || page) && mods == Qt::NoModifier) {
        const auto& buddies = arrow ? FBuddyOf : FPageBuddyOf;
        const auto buddy = buddies.find(&edit);
        if (buddy == buddies.end()) return false;
        TUpDown* upDown = buddy->second;
        const bool up = key == Qt::Key_Up || key == Qt::Key_PageUp;
        Act([&] { up ? upDown->ClickUp() : upDown->ClickDown(); });
        return true;
    }
    if (mods != Qt::NoModifier) return false; // shortcuts: copy, select all, word moves...
    if (key == Qt::Key_Backspace) {
        Act([&] { edit.TypeKey(TEdit::Backspace); });
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Act([&] { edit.TypeKey('\r'); });
        return true;
    }
    if (key == Qt::Key_Delete && !(event.modifiers() & Qt::ShiftModifier)) {
        // Delete takes the selection or the character after the caret, as
        // Backspace takes the one before it.
        Act([&] {
            if (edit.SelLength() == 0) {
                const QString text = line.text();
                const qsizetype caret = line.cursorPosition();
                if (caret >= text.size()) return;
                const qsizetype next =
                    caret + (text[caret].isHighSurrogate() && caret + 1 < text.size() ? 2 : 1);
                const int from = Utf8Length(text, caret);
                edit.SetSelection(from, Utf8Length(text, next) - from);
            }
            edit.TypeKey(TEdit::Backspace);
        });
        return true;
    }
    const QString text = event.text();
    const bool printable = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar ch) {
        return ch.unicode() >= 32 && ch.unicode() != 127;
    });
    if (!printable) return false; // navigation, Tab, Escape
    Act([&] { TypeText(edit, text); });
    return true;
}

bool TQtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FMemoWidget && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            static_cast<QPlainTextEdit*>(FMemoWidget)->insertPlainText(QStringLiteral("\t"));
            return true;
        }
    }
    const auto found = FEditOf.find(watched);
    if (found == FEditOf.end()) return QWidget::eventFilter(watched, event);
    TEdit& edit = *found->second;
    switch (event->type()) {
    case QEvent::KeyPress:
        return EditKeyPress(edit, *static_cast<QLineEdit*>(watched),
                            *static_cast<QKeyEvent*>(event));
    case QEvent::FocusIn:
        Act([&] { edit.Focus(); });
        break;
    case QEvent::FocusOut: {
        // Another window taking the focus does not leave the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Act([&] { edit.Leave(); });
        break;
    }
    default:
        break;
    }
    return false;
}

void TQtMainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    const auto top = [this](const TLabel& label) {
        const QWidget* title = WidgetOf(label.Name());
        return title != nullptr ? title->y() : 0;
    };
    QPainter painter(this);
    const QColor shadow = palette().color(QPalette::Dark);
    for (const TFrame& f :
         PanelFrames(width() + OuterExtraWidth, height() + OuterExtraHeight,
                     top(FForm->StaticText2), top(FForm->StaticText3), top(FForm->StaticText4))) {
        painter.setPen(Qt::white);
        const QPoint light[] = {{f.Left, f.Bottom}, {f.Left, f.Top}, {f.Right, f.Top}};
        painter.drawPolyline(light, 3);
        painter.setPen(shadow);
        const QPoint dark[] = {{f.Left, f.Bottom}, {f.Right, f.Bottom}, {f.Right, f.Top}};
        painter.drawPolyline(dark, 3);
    }
    painter.setPen(QPen(Qt::red, 2));
    for (const QWidget* widget : FWarned)
        painter.drawRect(widget->geometry().adjusted(-2, -2, 1, 1));
}

void TQtMainWindow::mousePressEvent(QMouseEvent* event) {
    // Only presses on the background (or on plain texts) come here.
    if (event->button() == Qt::LeftButton) {
        const QPoint at = mapFromGlobal(event->globalPosition().toPoint());
        FDragging = true;
        FGrabOffset = TPoint{at.x(), at.y()};
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TQtMainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!FDragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // The window itself moves, or the scrolling frame around it (ScrollFrame.h).
    QWidget& top = *window();
    const QPoint at = mapFromGlobal(event->globalPosition().toPoint());
    const QSize outer = top.frameGeometry().size();
    const TDragKeys keys{(event->modifiers() & Qt::ShiftModifier) != 0,
                         (event->modifiers() & Qt::ControlModifier) != 0};
    const TPoint to =
        CalcDragPosition(FDragging, TPoint{top.x(), top.y()}, TSize{outer.width(), outer.height()},
                         FForm->WorkArea, TPoint{at.x(), at.y()}, FGrabOffset, keys);
    if (to.X != top.x() || to.Y != top.y()) top.move(to.X, to.Y);
    event->accept();
}

void TQtMainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && FDragging) {
        FDragging = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TQtMainWindow::closeEvent(QCloseEvent* event) {
    // Closed by the user while discs are made: the hours already spent are asked about.
    if (event->spontaneous() && !FForm->MayClose()) {
        event->ignore();
        return;
    }
    if (FPreview) FPreview->close();
    // The work stops before anything it reports to goes.
    FForm->StopJobs();
    if (FStarted && !FClosed) {
        FClosed = true;
        FForm->FormClose();
    }
    event->accept();
}

} // namespace tarvex::qt
