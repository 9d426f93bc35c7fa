// Spin buttons: two small arrow buttons stacked on each other, repeating while held.
#pragma once

#include <QWidget>

#include <functional>

class QToolButton;

namespace tarvex::qt {

class TQtUpDown : public QWidget {
  public:
    explicit TQtUpDown(QWidget* parent = nullptr);

    /// Run for each click (and each repeat while the button is held).
    std::function<void()> OnUp;
    std::function<void()> OnDown;

    QToolButton* UpButton() const { return FUp; }
    QToolButton* DownButton() const { return FDown; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QToolButton* FUp;
    QToolButton* FDown;
};

} // namespace tarvex::qt
