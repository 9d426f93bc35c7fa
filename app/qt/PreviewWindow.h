// The preview window: the source frame at a chosen position with the film area
// and the crop, beside the destination frame as the script makes it. It only
// paints what the toolkit-free layout computes from the main window's geometry.
#pragma once

#include "app/Main.h"
#include "preview/Frames.h"
#include "preview/Layout.h"

#include <QImage>
#include <QWidget>

#include <optional>
#include <string>

class QCheckBox;
class QSlider;

namespace tarvex::qt {

class TQtPreviewWindow : public QWidget {
  public:
    explicit TQtPreviewWindow(TMainForm& form, QWidget* parent = nullptr);

    /// Takes the main window's state: reopens the source when it changed, repaints.
    void Follow();
    /// The part of the window the two views share (below the controls).
    QRect ViewsArea() const;
    /// The two views' sizes within `ViewsArea`.
    TViewSize SourceSize() const;
    TViewSize DestSize() const;
    bool HasFrame() const { return !FImage.isNull(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void ShowPosition(int position);
    void Paint(QPainter& painter, const TPreviewView& view, QPoint origin);

    TMainForm& FForm;
    QSlider* FSlider = nullptr;
    QCheckBox* FGrid = nullptr;
    TFrameReader FReader;
    std::string FOpenFile; ///< the file (and crop) the reader has open
    std::array<std::int32_t, 4> FOpenCrop{};
    QImage FImage;
    std::optional<TBorders> FFrameBorders;
};

} // namespace tarvex::qt
