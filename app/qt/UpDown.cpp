#include "app/qt/UpDown.h"

#include <QResizeEvent>
#include <QToolButton>

namespace tarvex::qt {

namespace {

QToolButton* ArrowButton(QWidget* parent, Qt::ArrowType arrow) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(400);
    button->setAutoRepeatInterval(60);
    // The buttons are far smaller than a style's usual tool buttons.
    button->setMinimumSize(1, 1);
    return button;
}

} // namespace

TQtUpDown::TQtUpDown(QWidget* parent)
    : QWidget(parent), FUp(ArrowButton(this, Qt::UpArrow)),
      FDown(ArrowButton(this, Qt::DownArrow)) {
    QObject::connect(FUp, &QToolButton::clicked, this, [this] {
        if (OnUp) OnUp();
    });
    QObject::connect(FDown, &QToolButton::clicked, this, [this] {
        if (OnDown) OnDown();
    });
}

void TQtUpDown::resizeEvent(QResizeEvent* event) {
    const int width = event->size().width();
    const int height = event->size().height();
    const int upHeight = height / 2;
    FUp->setGeometry(0, 0, width, upHeight);
    FDown->setGeometry(0, upHeight, width, height - upHeight);
}

} // namespace tarvex::qt
