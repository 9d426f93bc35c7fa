// The widget of each kind of control: how it is made and how it shows its control.
#include "app/qt/MainWindow.h"
#include "app/qt/WidgetText.h"

#include "app/qt/UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace tarvex::qt {

namespace {
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

std::unique_ptr<QStyle> MakeCompactListStyle() {
    return std::make_unique<TCompactListStyle>();
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
                line->setAcceptDrops(false); // a dropped film goes to the window
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

} // namespace tarvex::qt
