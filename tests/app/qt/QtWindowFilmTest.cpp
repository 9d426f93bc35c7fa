// The window with a film: dropping and opening, the preview, the side panel,
// the manual and the file dialogs, and closing while work runs.
#include "tests/app/qt/QtWindowFixture.h"

using namespace tarvex;
using namespace tarvex::qt;
using namespace tarvex::testkit;

namespace {

TEST_F(QtWindow, ClosingItsFrameStopsTheWorkBeforeTheFrameGoes) {
    Platform = std::make_unique<TTestQtPlatform>((Temp.Path / "Tarvex.ini").string());
    Window = std::make_unique<TQtMainWindow>(*Platform);
    auto frame = std::make_unique<TScrollFrame>(*Window);
    Platform->SetWindow(frame.get());
    Window->Start();
    const std::string film = (Temp.Path / "film.mpg").string();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=720x576:d=10 "
                           "-c:v mpeg2video '" +
                           film + "'")
                              .c_str()),
              0);
    Window->Form().SourceFile.FrameFile = film;
    Window->Form().DetectBtnClick();
    ASSERT_TRUE(Window->Form().Detecting());
    frame->close();
    // Stopped and joined before the frame it reports through goes.
    EXPECT_FALSE(Window->Form().Detecting());
    frame.reset();
    QCoreApplication::processEvents();
}

TEST_F(QtWindow, ADroppedFilmOpensAndTheRecentFilmsAreOffered) {
    TQtMainWindow& w = Start();
    const std::string ntsc = Temp.Write(
        "ntsc.avi", tarvex::testkit::MakeAvi(720, 480, {{"vids", 1001, 30000, 900, "dvsd"}}));
    const std::string pal =
        Temp.Write("pal.avi", tarvex::testkit::MakeAvi(352, 288, {{"vids", 1, 25, 900, "dvsd"}}));
    for (const std::string& film : {ntsc, pal}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(film))});
        const QPoint at(560, 100);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
    }
    EXPECT_EQ(w.windowTitle().toStdString(), "pal.avi - Tarvex v1.0.0");
    EXPECT_EQ(Text("SrcXEdit"), "352");
    // The recent films from the keyboard: the second is the NTSC film.
    Platform->Choice = 1;
    Press("RecentBtn", Qt::Key_Space);
    EXPECT_EQ(w.windowTitle().toStdString(), "ntsc.avi - Tarvex v1.0.0");
    EXPECT_EQ(Text("SrcYEdit"), "480");
    ExpectMirrors();
}

// Run at the scale factors 1, 1.5 and 2.
TEST_F(QtWindow, PreviewFitsTheScreenAndF1ShowsTheManual) {
    TQtMainWindow& w = Start();
    Press("PreviewBtn", Qt::Key_Space);
    ASSERT_NE(w.Preview(), nullptr);
    const QRect available = w.screen()->availableGeometry();
    EXPECT_LE(w.Preview()->width(), available.width());
    EXPECT_LE(w.Preview()->height(), available.height());
    w.Preview()->close();

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F1);
    auto* manual = w.findChild<QDialog*>(QStringLiteral("ReportDialog"));
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(manual->windowTitle().toStdString(), "Tarvex manual");
    const std::string text = manual->findChild<QPlainTextEdit*>()->toPlainText().toStdString();
    // The page built beside the program where a man program is, else a plain sentence.
    if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
        EXPECT_TRUE(text.starts_with("The manual could not be found")) << text;
    else
        EXPECT_NE(text.find("film geometry and disc budget calculator"), std::string::npos) << text;
    manual->close();
}

TEST(QtDialogs, FiltersAndDefaultExtension) {
    EXPECT_EQ(DialogFilters("AviSynth-scripts (*.avs)|*.avs;*.AVS|All files (*.*)|*.*"),
              (QStringList{"AviSynth-scripts (*.avs *.AVS)", "All files (*)"}));
    EXPECT_EQ(DialogFilters("All files (*.d2v *.avi)|*.d2v;*.D2V;*.avi;*.AVI"),
              QStringList{"All files (*.d2v *.D2V *.avi *.AVI)"});
    EXPECT_EQ(DialogFilters("Lists|*.lst"), QStringList{"Lists (*.lst)"});
    EXPECT_EQ(DialogFilters("no patterns"), QStringList{});

    const std::pair<const char*, const char*> rows[] = {
        {"/tmp/film", "/tmp/film.avs"},
        {"/tmp/film.avs", "/tmp/film.avs"},
        {"/tmp/a.b/film", "/tmp/a.b/film.avs"},
        {"/tmp/film.txt", "/tmp/film.txt"},
    };
    for (const auto& [typed, chosen] : rows) EXPECT_EQ(WithDefaultExt(typed, "avs"), chosen);
    EXPECT_EQ(WithDefaultExt("/tmp/film", "*.d2v;*.avi"), "/tmp/film");
}

/// The colour at the middle of a view's rectangle, in the preview window's pixels.
QColor ColourAt(const QImage& image, QPoint origin, const TRectF& r) {
    return image.pixelColor(
        origin + QPoint(static_cast<int>(r.X + r.W / 2), static_cast<int>(r.Y + r.H / 2)));
}

TEST_F(QtWindow, PreviewDrawsTheGeometryAndFollowsTheWindow) {
    TQtMainWindow& w = Start();
    QTest::mouseClick(&Get<QPushButton>("PreviewBtn"), Qt::LeftButton);
    TQtPreviewWindow* preview = w.Preview();
    ASSERT_NE(preview, nullptr);
    preview->resize(900, 420);
    Type("SrcPixelYEdit", "436");
    ASSERT_FALSE(preview->HasFrame());

    const auto scene = [&] {
        return LayoutPreview(w.Form().PreviewGeometry(), preview->SourceSize(), preview->DestSize(),
                             false);
    };
    const auto item = [](const TPreviewView& v, TShape shape) {
        for (const TShapeItem& i : v.Items)
            if (i.Shape == shape) return i.Rect;
        throw std::runtime_error("shape not drawn");
    };
    const QPoint source = preview->ViewsArea().topLeft();
    // Two pixels in from the film area's top left corner: the crop's outline, 8 frame pixels
    // further in, covers the rest.
    const auto filmTop = [&](const QImage& image, const TRectF& film) {
        return image.pixelColor(source +
                                QPoint(static_cast<int>(film.X) + 2, static_cast<int>(film.Y)));
    };
    const QPoint dest = source + QPoint(preview->SourceSize().Width + 8, 0);
    const TPreviewScene s = scene();
    const QImage image = preview->grab().toImage();
    // Without a source: the frame as a diagram, the film area's top edge in green.
    EXPECT_EQ(ColourAt(image, source, item(s.Source, TShape::CropRect)), QColor(96, 96, 96));
    const TRectF film = item(s.Source, TShape::FilmArea);
    EXPECT_EQ(filmTop(image, film), QColor(0, 200, 0));
    // The destination: black borders, the overscan shaded over them, the picture.
    const TRectF frame = item(s.Dest, TShape::DestFrame);
    const TRectF picture = item(s.Dest, TShape::PictureDiagram);
    EXPECT_EQ(ColourAt(image, dest, item(s.Dest, TShape::Overscan)), QColor(90, 90, 90));
    EXPECT_EQ(ColourAt(image, dest, picture), QColor(150, 150, 150));
    const TRectF border{frame.X, (frame.Y + picture.Y) / 2 + 12, frame.W, 0};
    EXPECT_EQ(ColourAt(image, dest, border), QColor(0, 0, 0));

    // A change in the main window is drawn at once: a smaller film area, its top
    // edge lower down.
    Type("SrcPixelYEdit", "400");
    const TRectF moved = item(scene().Source, TShape::FilmArea);
    ASSERT_GT(moved.Y, film.Y);
    EXPECT_EQ(filmTop(preview->grab().toImage(), moved), QColor(0, 200, 0));
}

TEST_F(QtWindow, SidePanelShowsWarningsAndTakesACandidate) {
    TQtMainWindow& w = Start();
    auto* table = w.findChild<QTableWidget*>();
    ASSERT_NE(table, nullptr);
    ASSERT_GT(table->rowCount(), 3);
    const std::string height = table->item(3, 0)->text().toStdString();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(3, 0)).center());
    EXPECT_EQ(Text("ResizeYEdit"), height);
    EXPECT_EQ(std::to_string(w.Form().ResizeModel.ResizeY), height);

    const auto shown = [&](const std::string& text) {
        for (const QLabel* label : w.findChildren<QLabel*>())
            if (label->text().toStdString().find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_FALSE(shown("larger than the disc"));
    QTest::mouseClick(Get<TQtUpDown>("VideoUpDown10").UpButton(), Qt::LeftButton);
    ASSERT_FALSE(w.Form().Warnings().empty());
    EXPECT_TRUE(shown(w.Form().Warnings().front().Text));
    // The field the warning concerns is framed in red.
    const QRect field = w.WidgetOf(w.Form().Warnings().front().Concerns)->geometry();
    EXPECT_EQ(w.grab().toImage().pixelColor(field.left() - 2, field.center().y()), QColor(Qt::red));

    // The disc maker's button: without a source the plan is refused before any dialog.
    auto* make = w.findChild<QPushButton*>(QStringLiteral("MakeDiscBtn"));
    ASSERT_NE(make, nullptr);
    QTest::mouseClick(make, Qt::LeftButton);
    make->setFocus();
    QTest::keyClick(make, Qt::Key_Return);
    EXPECT_EQ(Platform->Messages, std::vector<std::string>(2, "Error: No source film is open."));
    EXPECT_TRUE(Platform->Dialogs.empty());
    EXPECT_EQ(make->text().toStdString(), "Make disc...");
    // The report of a run opens in a window of its own that the window does not wait for.
    Platform->TQtPlatform::ShowReport("Disc report", {"Made 1 disc image in /x.", "Disc 1: a"});
    auto* report = w.findChild<QDialog*>(QStringLiteral("ReportDialog"));
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->findChild<QPlainTextEdit*>()->toPlainText().toStdString(),
              "Made 1 disc image in /x.\nDisc 1: a");
    report->close();
}

} // namespace
