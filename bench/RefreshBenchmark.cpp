// How long the window takes to bring every widget in line with its control, after
// a change and without one. A benchmark, not a test: it prints and checks nothing.
//   build/tests/app/qt/tarvex_qt_refresh_benchmark [rounds]
#include "app/qt/MainWindow.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const tarvex::TTempFolder temp;
    tarvex::qt::TQtPlatform platform(temp / "Tarvex.ini");
    tarvex::qt::TQtMainWindow window(platform);
    window.Start();
    window.show();

    // Each round changes the geometry, its captions and the script behind the widgets' back.
    qint64 changed = 0, unchanged = 0;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        window.Form().SrcAnamorphic.Click();
        timer.start();
        window.Refresh();
        changed += timer.nsecsElapsed();
        timer.start();
        window.Refresh();
        unchanged += timer.nsecsElapsed();
    }
    const auto perRound = [rounds](qint64 ns) { return static_cast<double>(ns) / 1000.0 / rounds; };
    std::printf("Refresh of every widget over %d rounds: %.1f us after a change, %.1f us without\n",
                rounds, perRound(changed), perRound(unchanged));
    return 0;
}
