// The program: the main window over Tarvex.ini beside the executable.
#include "app/qt/MainWindow.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    tarvex::qt::TQtPlatform platform;
    tarvex::qt::TQtMainWindow window(platform);
    // Numbers with decimals are shown with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80)
        window.Form().DecimalSeparator = static_cast<char>(point[0].unicode());
    window.Start();
    window.show();
    return QApplication::exec();
}
