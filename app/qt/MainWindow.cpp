#include "app/qt/MainWindow.h"

#include "app/qt/FocusMark.h"
#include "app/qt/Layout.h"
#include "app/qt/SidePanel.h"
#include "app/qt/WidgetText.h"

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
#include <QShortcut>
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

int Utf8Length(const QString& text, qsizetype chars) {
    return static_cast<int>(text.left(chars).toUtf8().size());
}

} // namespace

TQtMainWindow::TQtMainWindow(TQtPlatform& platform, QWidget* parent)
    : QWidget(parent), FForm(std::make_unique<TMainForm>(platform)),
      FListStyle(MakeCompactListStyle()) {
    platform.SetWindow(this);
    platform.AfterPosted = [this] { Refresh(); };
    platform.OpenPreview = [this] { OpenPreview(); };
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    // The design's arrangement is the smallest size; the window grows from there.
    setMinimumSize(ClientWidth + TSidePanel::Width, ClientHeight);
    resize(minimumSize());
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
    ConnectDisplayChanges();
    new TFocusMark(*this);
    setAcceptDrops(true); // a film dropped anywhere on the window is opened
    QObject::connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
                     [this] { ShowManual(); });
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
    if (!FPreview) {
        FPreview = std::make_unique<TQtPreviewWindow>(*FForm);
        FitToScreen(*FPreview);
    }
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
    for (const TPanelFrame& f :
         PanelFrames(width() + OuterExtraWidth, height() + OuterExtraHeight,
                     top(FForm->StreamTitle), top(FForm->ResizingTitle), top(FForm->ScriptTitle))) {
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
