// A clear frame around whichever control of a window has the keyboard focus, the
// same for every kind of control, whatever the style draws of its own.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

namespace tarvex::qt {

class TFocusMark : public QWidget {
  public:
    static constexpr int Thickness = 2;
    static QColor Colour() { return QColor(0x00, 0x78, 0xd7); }

    /// Marks the focused widgets inside `window`; the mark is a child of it.
    explicit TFocusMark(QWidget& window);
    /// Puts the mark around `focus`, or hides it when the focus is elsewhere.
    void Follow(QWidget* focus);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& FWindow;
    QPointer<QWidget> FMarked;
};

} // namespace tarvex::qt
