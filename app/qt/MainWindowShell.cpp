// The main window as a whole: how it grows.
#include "app/qt/Layout.h"
#include "app/qt/MainWindow.h"
#include "app/qt/SidePanel.h"

#include <QResizeEvent>

namespace tarvex::qt {

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
