#include "app/qt/PreviewWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>

namespace tarvex::qt {

namespace {

/// Slider steps over the whole film.
constexpr int SliderSteps = 1000;
constexpr int Gap = 8;

const QColor DiagramFrame(96, 96, 96);
const QColor DiagramPicture(150, 150, 150);
const QColor FilmColour(0, 200, 0);
const QColor CropColour(255, 64, 64);
const QColor FrameBordersColour(0, 200, 255);
const QColor OverscanShade(255, 255, 255, 90);
const QColor GridColour(255, 255, 255, 70);
/// The error label's colours: black, yellow, red.
const QColor BandColours[] = {QColor(0, 0, 0), QColor(255, 255, 0), QColor(255, 0, 0)};

QRectF R(const TRectF& r) {
    return {r.X, r.Y, r.W, r.H};
}

void Outline(QPainter& p, const QRectF& r, const QColor& colour, Qt::PenStyle style) {
    p.setPen(QPen(colour, 1, style));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

} // namespace

TQtPreviewWindow::TQtPreviewWindow(TMainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window), FForm(form) {
    setWindowTitle("Tarvex preview");
    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    FSlider = new QSlider(Qt::Horizontal, this);
    FSlider->setRange(0, SliderSteps);
    FSlider->setValue(SliderSteps / 2);
    FGrid = new QCheckBox("16 x 16 grid", this);
    controls->addWidget(FSlider, 1);
    controls->addWidget(FGrid);
    layout->addLayout(controls);
    layout->addStretch(1);
    connect(FSlider, &QSlider::valueChanged, this, [this](int v) { ShowPosition(v); });
    connect(FGrid, &QCheckBox::toggled, this, [this] { update(); });
    resize(900, 420);
}

void TQtPreviewWindow::Follow() {
    const TOpenSrcFile& source = FForm.SourceFile;
    if (source.FrameFile != FOpenFile || source.FrameCrop != FOpenCrop) {
        FOpenFile = source.FrameFile;
        FOpenCrop = source.FrameCrop;
        const auto& c = FOpenCrop;
        const bool opened = !FOpenFile.empty() &&
                            FReader.Open(FOpenFile, {c[0], c[1], c[2], c[3]}) == TFrameError::None;
        FSlider->setEnabled(opened);
        FImage = QImage();
        FFrameBorders.reset();
        if (opened) ShowPosition(FSlider->value());
    }
    update();
}

void TQtPreviewWindow::ShowPosition(int position) {
    const auto frame = FReader.DecodeAt(static_cast<double>(position) / SliderSteps, true);
    if (frame) {
        QImage image(frame->Width, frame->Height, QImage::Format_RGB32);
        for (int y = 0; y < frame->Height; ++y)
            std::copy_n(&frame->Rgb[static_cast<std::size_t>(y) * frame->Width], frame->Width,
                        reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
        FImage = image;
        FFrameBorders =
            MeasureFrame({frame->Luma.data(), frame->Width, frame->Height, frame->Width}).Any;
    }
    update();
}

QRect TQtPreviewWindow::ViewsArea() const {
    const int top = FSlider->geometry().bottom() + Gap;
    return {Gap, top, width() - 2 * Gap, height() - top - Gap};
}

TViewSize TQtPreviewWindow::SourceSize() const {
    const QRect a = ViewsArea();
    return {(a.width() - Gap) / 2, a.height()};
}

TViewSize TQtPreviewWindow::DestSize() const {
    return SourceSize();
}

void TQtPreviewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TPreviewGeometry g = FForm.PreviewGeometry();
    g.Grid = FGrid->isChecked();
    const bool image = HasFrame() && FImage.width() == g.SrcResX && FImage.height() == g.SrcResY;
    const TPreviewScene scene =
        LayoutPreview(g, SourceSize(), DestSize(), image, image ? FFrameBorders : std::nullopt);
    const QRect a = ViewsArea();
    Paint(painter, scene.Source, a.topLeft());
    Paint(painter, scene.Dest, a.topLeft() + QPoint(SourceSize().Width + Gap, 0));
}

void TQtPreviewWindow::Paint(QPainter& p, const TPreviewView& view, QPoint origin) {
    p.save();
    p.translate(origin);
    for (const TShapeItem& item : view.Items) {
        const QRectF r = R(item.Rect);
        switch (item.Shape) {
        case TShape::SourceImage:
        case TShape::Picture:
            p.drawImage(r, FImage, R(item.From));
            break;
        case TShape::SourceDiagram:
            p.fillRect(r, DiagramFrame);
            break;
        case TShape::PictureDiagram:
            p.fillRect(r, DiagramPicture);
            break;
        case TShape::DestFrame:
            p.fillRect(r, Qt::black);
            break;
        case TShape::FilmArea:
            Outline(p, r, FilmColour, Qt::SolidLine);
            break;
        case TShape::FrameBorders:
            Outline(p, r, FrameBordersColour, Qt::DashLine);
            break;
        case TShape::CropRect:
            Outline(p, r, CropColour, Qt::SolidLine);
            break;
        case TShape::Overscan:
            p.fillRect(r, OverscanShade);
            break;
        case TShape::GridLine:
            p.setPen(QPen(GridColour, 1));
            p.drawLine(r.topLeft(), r.bottomRight());
            break;
        case TShape::AspectBand:
            p.fillRect(r, BandColours[std::clamp(item.Band, 0, 2)]);
            break;
        }
    }
    p.restore();
}

} // namespace tarvex::qt
