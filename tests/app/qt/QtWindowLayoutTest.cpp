// How the window lays itself out: positions, sizes, focus marks and scrolling at
// every scale the tests run at.
#include "tests/app/qt/QtWindowFixture.h"

using namespace tarvex;
using namespace tarvex::qt;
using namespace tarvex::testkit;

namespace {

TEST_F(QtWindow, DraggingTheBackgroundSnapsToTheWorkArea) {
    TQtMainWindow& w = Start();
    const TRect area = w.Form().WorkArea;
    struct Row {
        Qt::KeyboardModifiers Keys;
        int Dx; // mouse movement; the left edge starts 100 pixels right of the work area
        int ExpectedLeft;
    };
    // Where the edges pull is the moving model's to check; here the keys reach it.
    const Row rows[] = {
        {Qt::NoModifier, -93, area.Left},            // 7 pixels away: snaps
        {Qt::ShiftModifier, -93, area.Left + 7},     // Shift: no snapping
        {Qt::ControlModifier, -93, area.Left + 100}, // Ctrl: holds still
    };
    for (const Row& row : rows) {
        w.move(area.Left + 100, area.Top + 100);
        const QPoint grab(560, 100); // background between the panels' controls
        QTest::mousePress(&w, Qt::LeftButton, {}, grab);
        EXPECT_TRUE(w.Dragging());
        const QPoint to = w.mapToGlobal(grab) + QPoint(row.Dx, 0);
        QMouseEvent move(QEvent::MouseMove, w.mapFromGlobal(to), to, Qt::NoButton, Qt::LeftButton,
                         row.Keys);
        QApplication::sendEvent(&w, &move);
        EXPECT_EQ(w.x(), row.ExpectedLeft) << row.Dx << " " << row.Keys;
        QTest::mouseRelease(&w, Qt::LeftButton, {}, w.mapFromGlobal(to));
        EXPECT_FALSE(w.Dragging());
    }
}

/// Room for text inside a line edit, as Qt lays it out.
int Room(const QLineEdit& line) {
    QStyleOptionFrame option;
    option.initFrom(&line);
    option.rect = line.rect();
    option.lineWidth = line.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &line);
    const QRect contents =
        line.style()->subElementRect(QStyle::SE_LineEditContents, &option, &line);
    const QMargins margins = line.textMargins();
    return contents.width() - margins.left() - margins.right() - 2; // one pixel each side
}

// Run at the scale factors 1, 1.5 and 2 (QT_SCALE_FACTOR, see CMakeLists.txt).
TEST_F(QtWindow, NumbersFitAndNothingOverlaps) {
    TQtMainWindow& w = Start();
    // The widest number each field shows: lengths the fields take or the program writes.
    const std::pair<const char*, std::vector<const char*>> widest[] = {
        {"8", {"Edit1", "EditCDNr", "TVBorderEdit"}},
        {"88", {"EditGOP", "EditMenuPics", "EditCDsec"}},
        {"888", {"EditCDmin", "BorderLeftEdit", "BorderTopEdit"}},
        {"8888",
         {"EditMin", "EditSubPics", "SrcXEdit", "SrcYEdit", "SrcPixelXEdit", "SrcPixelYEdit",
          "CropXEdit", "CropYEdit", "ResizeXEdit", "ResizeYEdit", "DestXEdit", "DestYEdit"}},
        {"88888", {"EditSec"}},
        {"8888888", {"Videokbps", "EditImageBlocks"}}};
    for (const auto& [text, names] : widest)
        for (const char* name : names) {
            const QLineEdit& line = Get<QLineEdit>(name);
            EXPECT_LE(line.fontMetrics().horizontalAdvance(QLatin1String(text)), Room(line))
                << name;
        }
    // No caption runs into a field, no field covers another.
    std::vector<const QWidget*> shown;
    for (const QObject* child : w.children())
        if (const auto* widget = qobject_cast<const QWidget*>(child);
            widget && widget->isVisible() && widget->objectName() != "FocusMark")
            shown.push_back(widget);
    const auto nameOf = [&](const QWidget* widget) {
        if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
        for (const TAnyControl& any : w.Form().AllControls())
            if (w.WidgetOf(AsControl(any).Name()) == widget)
                return QString::fromStdString(AsControl(any).Name());
        return QString::fromLatin1(widget->metaObject()->className());
    };
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << nameOf(shown[i]).toStdString() << " / " << nameOf(shown[j]).toStdString();
}

/// The colour at a point in widget coordinates, at any scale factor.
QColor PixelAt(QWidget& widget, QPoint at) {
    const QImage image = widget.grab().toImage();
    return image.pixelColor((QPointF(at) * image.devicePixelRatio()).toPoint());
}

// Run at the scale factors 1, 1.5 and 2.
TEST_F(QtWindow, EveryFocusedControlIsMarkedAndButtonsLookLikeButtons) {
    TQtMainWindow& w = Start();
    const QColor background = w.palette().color(QPalette::Window);
    // Reached with Tab from the field before each, as the user does.
    const std::pair<const char*, const char*> rows[] = {
        {"SrcYEdit", "CopyBtn"},
        {"EditCDsec", "OpenVideoBtn"},
        {"OpenVideoBtn", "PreviewBtn"},
        {"BorderTopEdit", "DetectBtn"},
        {"ResampleAudioBox", "SaveAVSBtn"},
        {"SaveAVSBtn", "MakeDiscBtn"},
        {"MakeDiscBtn", "CandidateTable"},
        {"EditSubPics", "SubKBytes"},
        {"RateModeBox", "EditMin"},
        {"SubKBytes", "EditChapterMin"},
        {"Sound1Box", "Sound2Box"},
    };
    for (const auto& [before, name] : rows) {
        SCOPED_TRACE(name);
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(name));
        if (widget == nullptr) widget = w.WidgetOf(name);
        ASSERT_NE(widget, nullptr);
        QWidget& parent = *widget->parentWidget();
        const QPoint left(widget->x() - 1, widget->y() + widget->height() / 2);
        EXPECT_NE(PixelAt(parent, left), TFocusMark::Colour());
        QWidget* from = w.findChild<QWidget*>(QString::fromLatin1(before));
        if (from == nullptr) from = w.WidgetOf(before);
        from->setFocus();
        QTest::keyClick(from, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), widget);
        EXPECT_EQ(PixelAt(parent, left), TFocusMark::Colour());
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // A raised face: the button's edge is not the window's background.
            EXPECT_NE(PixelAt(*button, QPoint(0, button->height() / 2)), background);
        }
    }
}

TEST_F(QtWindow, ScriptBoxAndSideColumnGrowWithTheWindow) {
    TQtMainWindow& w = Start();
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("CandidateTable"));
    const auto columns = [table] {
        int sum = 0;
        for (int c = 0; c < table->columnCount(); ++c) sum += table->columnWidth(c);
        return sum;
    };
    // At the smallest size every column of the table is whole.
    EXPECT_LE(columns(), table->viewport()->width());
    QPlainTextEdit& memo = Get<QPlainTextEdit>("AVSMemo");
    const QRect small = memo.geometry();
    const QSize tableSmall = table->size();
    const QPoint below(small.center().x(), small.bottom() + 60);
    const QColor background = PixelAt(w, below);

    w.resize(w.size() + QSize(200, 150));
    EXPECT_EQ(memo.geometry(), small.adjusted(0, 0, 0, 150));
    EXPECT_EQ(table->size(), tableSmall + QSize(200, 150));
    // The script box is drawn where the background was, and shows its whole script.
    EXPECT_NE(PixelAt(w, below), background);
    EXPECT_EQ(PixelAt(w, below), memo.palette().color(QPalette::Base));
    EXPECT_EQ(memo.verticalScrollBar()->maximum(), 0);
    // Keys still reach the grown box.
    memo.setFocus();
    QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&memo, "x");
    EXPECT_EQ(w.Form().AVSMemo.Lines().back().back(), 'x');
}

// Run at the scale factors 1, 1.5 and 2.
TEST_F(QtWindow, EveryWarningCanBeReadInItsFrame) {
    TQtMainWindow& w = Start();
    // A one-minute film, long GOPs, an odd resize height and a border beyond the frame.
    Type("EditMin", "1");
    for (int i = 0; i < 10; ++i) Press("EditGOP", Qt::Key_Up);
    Type("ResizeYEdit", "201");
    Type("BorderTopEdit", "9999");
    QCoreApplication::processEvents(); // the frame lays its text out as the window shows it
    const auto& frame = *w.findChild<QScrollArea*>(QStringLiteral("WarningsFrame"));
    const QWidget& text = *frame.widget();
    // Inside the window, wrapped at its width, every line reached by scrolling.
    EXPECT_TRUE(w.rect().contains(QRect(frame.mapTo(&w, QPoint()), frame.size())));
    EXPECT_EQ(text.width(), frame.viewport()->width());
    EXPECT_GT(frame.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(frame.verticalScrollBar()->maximum(),
              text.heightForWidth(text.width()) - frame.viewport()->height());
}

TEST_F(QtWindow, TooLargeForTheScreenItScrollsAndKeepsItsSettings) {
    const QSize client(ClientWidth, ClientHeight);
    EXPECT_FALSE(TooLargeFor(client, QRect(0, 0, 1280, 994)));
    EXPECT_TRUE(TooLargeFor(client, QRect(0, 0, 640, 482))); // 1280 x 1024 at scale 2, a panel
    Platform = std::make_unique<TTestQtPlatform>((Temp.Path / "Tarvex.ini").string());
    Window = std::make_unique<TQtMainWindow>(*Platform);
    auto frame = std::make_unique<TScrollFrame>(*Window);
    Platform->SetWindow(frame.get());
    Window->Start();
    frame->Fit(QRect(0, 0, 400, 300));
    frame->show();
    EXPECT_LE(frame->width(), 400);
    EXPECT_LE(frame->height(), 300);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Tarvex v1.0.0");
    // Scrolled down, the save button is in sight.
    QPushButton& save = Get<QPushButton>("SaveAVSBtn");
    frame->ensureWidgetVisible(&save);
    const QRect shown(save.mapTo(frame->viewport(), QPoint(0, 0)), save.size());
    EXPECT_TRUE(frame->viewport()->rect().contains(shown));
    frame->move(30, 40);
    frame->close();
    const std::string ini = ReadFile(Temp.Path / "Tarvex.ini");
    EXPECT_NE(ini.find("WindowPosX=30\r\n"), std::string::npos) << ini;
    // The window belongs to whoever made it: the frame going first leaves it whole.
    frame.reset();
    EXPECT_EQ(Window->parent(), nullptr);
    EXPECT_EQ(Window->Form().WindowPosX, 30);
}

} // namespace
