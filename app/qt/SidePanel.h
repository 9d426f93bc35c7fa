// The column beside the window's panels: the disc fill of each disc image, the
// disc maker's button and progress, what the window warns about and the resize
// candidates. It only draws what TMainForm computes; choosing a candidate or
// pressing the disc maker's button goes back through the window's user action.
#pragma once

#include "app/Main.h"

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTableWidget;

namespace tarvex::qt {

class TDiscFillBars;

class TSidePanel : public QWidget {
  public:
    /// The smallest width; the column grows with the window.
    static constexpr int Width = 350;
    /// `act` runs a user action and refreshes the window afterwards.
    TSidePanel(TMainForm& form, std::function<void(std::function<void()>)> act, QWidget* parent);
    void Refresh();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Place();

    TMainForm& FForm;
    std::function<void(std::function<void()>)> FAct;
    TDiscFillBars* FBars;
    QPushButton* FMake;
    QProgressBar* FMakeProgress;
    QLabel* FMakeStatus;
    QLabel* FWarnings;
    QScrollArea* FWarningsFrame; ///< scrolls the warnings that do not fit its height
    QTableWidget* FCandidates;
};

} // namespace tarvex::qt
