// The program: the main window over its settings file (Tarvex.ini beside the
// executable, or in the user's configuration folder).
#include "app/qt/MainWindow.h"
#include "app/qt/ScrollFrame.h"

#include <QApplication>
#include <QLocale>
#include <QScreen>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    (void)!::write(SignalPipe[1], &byte, 1);
}

/// A request to end (logout, kill, Ctrl+C in the terminal) closes the window as
/// the user would, so that the settings are kept.
void CloseOnSignals(QWidget& window) {
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        while (::read(SignalPipe[0], &byte, 1) > 0) {
        }
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    // Qt has taken its own options; what is left is at most the film to open.
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() > 1 || (!args.isEmpty() && args.front().startsWith(QLatin1Char('-')))) {
        const bool help = args.front() == QLatin1String("--help");
        std::fputs("Usage: tarvex [FILM]\nOpens the window, with FILM as the source when one is "
                   "named.\n",
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvex"));
    tarvex::qt::TQtPlatform platform;
    tarvex::qt::TQtMainWindow window(platform);
    // Numbers with decimals are shown with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80)
        window.Form().DecimalSeparator = static_cast<char>(point[0].unicode());
    // Too large for the screen: the window scrolls inside a frame that fits.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    std::unique_ptr<tarvex::qt::TScrollFrame> frame;
    if (screen != nullptr && tarvex::qt::TooLargeFor(window.size(), available)) {
        frame = std::make_unique<tarvex::qt::TScrollFrame>(window);
        platform.SetWindow(frame.get());
    }
    QWidget& top = frame ? static_cast<QWidget&>(*frame) : window;
    CloseOnSignals(top);
    window.Start();
    if (!args.isEmpty()) window.OpenFilm(args.front());
    if (frame) frame->Fit(available);
    top.show();
    return QApplication::exec();
}
