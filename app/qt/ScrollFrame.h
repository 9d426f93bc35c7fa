// A window larger than the screen's available area (a large scale factor on a
// small screen) is shown inside a scroll area that fits.
#pragma once

#include <QRect>
#include <QScrollArea>
#include <QSize>

namespace tarvex::qt {

class TQtMainWindow;

/// Whether a window of the given client size, with a title bar and border of
/// the usual size around it, is larger than the available area.
bool TooLargeFor(const QSize& client, const QRect& available);

class TScrollFrame : public QScrollArea {
  public:
    /// Takes the window inside; call before the window's Start(), and hand the
    /// frame to the platform as the window that is placed and moved.
    explicit TScrollFrame(TQtMainWindow& window);
    /// Hands the window back to its owner instead of deleting it with the frame.
    ~TScrollFrame() override;
    /// After the window's Start(): its caption, and a size within `available`.
    void Fit(const QRect& available);

  protected:
    /// Closing the frame closes the window inside first, which keeps the settings.
    void closeEvent(QCloseEvent* event) override;

  private:
    TQtMainWindow& FWindow;
};

} // namespace tarvex::qt
