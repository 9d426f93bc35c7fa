#include "app/qt/FocusMark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace tarvex::qt {

TFocusMark::TFocusMark(QWidget& window) : QWidget(&window), FWindow(window) {
    setObjectName(QStringLiteral("FocusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    QObject::connect(qApp, &QApplication::focusChanged, this,
                     [this](QWidget*, QWidget* now) { Follow(now); });
}

void TFocusMark::Follow(QWidget* focus) {
    if (FMarked != nullptr) FMarked->removeEventFilter(this);
    FMarked = nullptr;
    if (focus == nullptr || !FWindow.isAncestorOf(focus) || focus->parentWidget() == nullptr) {
        hide();
        return;
    }
    FMarked = focus;
    // A moved or resized control takes its mark along.
    FMarked->installEventFilter(this);
    if (parentWidget() != focus->parentWidget()) setParent(focus->parentWidget());
    setGeometry(focus->geometry().adjusted(-Thickness, -Thickness, Thickness, Thickness));
    show();
    raise();
}

bool TFocusMark::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == FMarked &&
        (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Hide))
        Follow(FMarked->isVisible() ? FMarked : nullptr);
    return false;
}

void TFocusMark::paintEvent(QPaintEvent*) {
    // Filled bands rather than lines, so that every scale factor covers them whole.
    QPainter painter(this);
    const int w = width(), h = height(), t = Thickness;
    painter.fillRect(0, 0, w, t, Colour());
    painter.fillRect(0, h - t, w, t, Colour());
    painter.fillRect(0, 0, t, h, Colour());
    painter.fillRect(w - t, 0, t, h, Colour());
}

} // namespace tarvex::qt
