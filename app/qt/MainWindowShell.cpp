// The main window as a whole: how it grows and how films reach it.
#include "app/qt/Layout.h"
#include "app/qt/MainWindow.h"
#include "app/qt/SidePanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QResizeEvent>
#include <QScreen>
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

void TQtMainWindow::FitToScreen(QWidget& window) const {
    const QScreen* shown = screen();
    if (shown == nullptr) return;
    // Room for the title bar and border the window manager adds.
    const QSize room = shown->availableGeometry().size() - QSize(16, 48);
    window.resize(window.size().boundedTo(room));
}

void TQtMainWindow::ShowManual() {
    // Rendered as plain text, so that no terminal and no pager is needed; the
    // installed page first, then the one of the build tree.
    const QStringList tries[] = {{QStringLiteral("tarvex")},
                                 {QStringLiteral("-l"), QStringLiteral(TARVEX_MANPAGE_BUILT)}};
    QString text;
    for (const QStringList& args : tries) {
        QProcess man;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MANPAGER"), QStringLiteral("cat"));
        env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        env.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
        man.setProcessEnvironment(env);
        man.setStandardInputFile(QProcess::nullDevice());
        man.start(QStringLiteral("man"),
                  QStringList{QStringLiteral("-P"), QStringLiteral("cat")} + args);
        if (!man.waitForFinished(5000)) {
            man.kill();
            man.waitForFinished(1000);
            continue;
        }
        text = QString::fromLocal8Bit(man.readAllStandardOutput());
        if (man.exitCode() == 0 && !text.trimmed().isEmpty()) break;
        text.clear();
    }
    if (text.isEmpty())
        text = QStringLiteral("The manual could not be found: \"man tarvex\" shows nothing here.");
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
    FForm->Platform.ShowReport("Tarvex manual", lines);
}

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
    const std::vector<TPlace> places = ControlPlaces(*FForm);
    const TPlace* memo = FindPlace(places, FForm->AVSMemo);
    if (QWidget* widget = WidgetOf(FForm->AVSMemo.Name()); widget != nullptr && memo != nullptr)
        widget->setGeometry(memo->Left, memo->Top, memo->Width, memo->Height + grown.height());
    if (FSidePanel != nullptr)
        FSidePanel->setGeometry(ClientWidth, 0, TSidePanel::Width + grown.width(), height());
    update(); // the panel frames follow the window's size
}

} // namespace tarvex::qt
