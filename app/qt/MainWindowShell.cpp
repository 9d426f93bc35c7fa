// The main window as a whole: how it grows and how films reach it.
#include "app/qt/Layout.h"
#include "app/qt/MainWindow.h"
#include "app/qt/SidePanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QUrl>

namespace tarvex::qt {

namespace {

/// The first local file among what is dragged, or an empty text.
QString DroppedFilm(const QMimeData* data) {
    if (data == nullptr) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

} // namespace

void TQtMainWindow::OpenFilm(const QString& file) {
    Act([&] { FForm->OpenFilm(file.toStdString()); });
}

void TQtMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFilm(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TQtMainWindow::dropEvent(QDropEvent* event) {
    const QString film = DroppedFilm(event->mimeData());
    if (film.isEmpty()) return;
    event->acceptProposedAction();
    OpenFilm(film);
}

void TQtMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize grown = (size() - minimumSize()).expandedTo(QSize(0, 0));
    const TPlace* memo = FindPlace(ControlPlaces(*FForm), FForm->AVSMemo);
    if (QWidget* widget = WidgetOf(FForm->AVSMemo.Name()); widget != nullptr && memo != nullptr)
        widget->setGeometry(memo->Left, memo->Top, memo->Width, memo->Height + grown.height());
    if (FSidePanel != nullptr)
        FSidePanel->setGeometry(ClientWidth, 0, TSidePanel::Width + grown.width(), height());
    update(); // the panel frames follow the window's size
}

} // namespace tarvex::qt
