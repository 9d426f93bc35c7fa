// The program: the main window over Tarvex.ini beside the executable.
#include "app/qt/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    tarvex::qt::TQtPlatform platform;
    tarvex::qt::TQtMainWindow window(platform);
    window.Start();
    window.show();
    return QApplication::exec();
}
