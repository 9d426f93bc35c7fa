#include "app/qt/ScrollFrame.h"

#include "app/qt/MainWindow.h"

#include <QCloseEvent>
#include <QScrollBar>

#include <algorithm>

namespace tarvex::qt {

namespace {

/// Room for a title bar and a border that the window manager adds.
constexpr int DecorationWidth = 8;
constexpr int DecorationHeight = 40;

} // namespace

bool TooLargeFor(const QSize& client, const QRect& available) {
    return client.width() + DecorationWidth > available.width() ||
           client.height() + DecorationHeight > available.height();
}

TScrollFrame::TScrollFrame(TQtMainWindow& window) : FWindow(window) {
    const Qt::WindowFlags flags = window.windowFlags();
    setWidget(&window); // the window becomes a child here
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setWindowFlags(flags);
}

TScrollFrame::~TScrollFrame() {
    takeWidget();
}

void TScrollFrame::Fit(const QRect& available) {
    setWindowTitle(FWindow.windowTitle());
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    const QSize whole = FWindow.size() + QSize(scrollBar, scrollBar);
    setMaximumSize(whole);
    resize(std::min(whole.width(), available.width() - DecorationWidth),
           std::min(whole.height(), available.height() - DecorationHeight));
}

void TScrollFrame::closeEvent(QCloseEvent* event) {
    // The frame is what the user closes: the window's question is asked here.
    if (event->spontaneous() && !FWindow.Form().MayClose()) {
        event->ignore();
        return;
    }
    FWindow.close();
    event->accept();
}

} // namespace tarvex::qt
