// The real window driven through Qt events: every input goes through the widgets
// and the widgets must show what the controls hold afterwards.
#include "app/qt/FocusMark.h"
#include "app/qt/Layout.h"
#include "app/qt/MainWindow.h"
#include "app/qt/PreviewWindow.h"
#include "app/qt/ScrollFrame.h"
#include "app/qt/SidePanel.h"
#include "app/qt/UpDown.h"
#include "tests/app/FormFixture.h"
#include "tests/source/SourceFixtures.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <set>

using namespace tarvex;
using namespace tarvex::qt;

namespace {

/// Dialogs and message boxes never open in a test: they answer from a queue and
/// are recorded.
class TTestQtPlatform : public TQtPlatform {
  public:
    using TQtPlatform::TQtPlatform;
    void ShowMessage(const std::string& title, const std::string& text) override {
        Messages.push_back(title + ": " + text);
    }
    std::optional<std::string> OpenDialog(const TFileDialog& d) override { return Ask(d); }
    std::optional<std::string> SaveDialog(const TFileDialog& d) override { return Ask(d); }
    std::optional<std::string> FolderDialog(const TFileDialog& d) override { return Ask(d); }
    std::optional<std::string> Ask(const TFileDialog& dialog) {
        Dialogs.push_back(dialog.Title);
        return std::nullopt;
    }
    bool Confirm(const std::string& title, const std::string& text) override {
        Messages.push_back(title + "? " + text);
        return false;
    }
    std::optional<int> ChooseItem(const std::string&, const std::vector<std::string>&) override {
        return Choice;
    }
    std::optional<int> Choice;
    std::vector<std::string> Messages;
    std::vector<std::string> Dialogs; ///< titles of the dialogs asked for
};

std::string PlainToolTip(const QWidget& widget) {
    QTextDocument document;
    document.setHtml(widget.toolTip());
    return document.toPlainText().toStdString();
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Lf(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

class QtWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (qApp == nullptr) {
            static int argc = 1;
            static char name[] = "tarvex_qt_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    TQtMainWindow& Start() {
        Platform = std::make_unique<TTestQtPlatform>((Temp.Path / "Tarvex.ini").string());
        Window = std::make_unique<TQtMainWindow>(*Platform);
        Window->Start();
        Window->show();
        Window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        return *Window;
    }
    template <class W>
    W& Get(std::string_view name) {
        W* widget = Window->Widget<W>(name);
        if (widget == nullptr) throw std::runtime_error("no widget " + std::string(name));
        return *widget;
    }
    std::string Text(std::string_view edit) { return Get<QLineEdit>(edit).text().toStdString(); }
    /// Replaces an edit's text by typing, as a user does, and leaves it with Tab (or `last`).
    void Type(std::string_view edit, const QString& keys, Qt::Key last = Qt::Key_Tab) {
        QLineEdit& line = Get<QLineEdit>(edit);
        QTest::mouseClick(&line, Qt::LeftButton);
        QTest::keyClick(&line, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&line, keys);
        QTest::keyClick(&line, last);
    }
    /// Gives a widget the focus and presses a key on it.
    void Press(std::string_view name, Qt::Key key) {
        Get<QWidget>(name).setFocus();
        QTest::keyClick(QApplication::focusWidget(), key);
    }
    void Click(std::string_view checkBox) {
        QCheckBox& box = Get<QCheckBox>(checkBox);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    }

    /// Every widget shows its control's state.
    void ExpectMirrors() {
        TMainForm& form = Window->Form();
        EXPECT_EQ(Window->windowTitle().toStdString(), form.Caption);
        for (const TAnyControl& any : form.AllControls()) {
            std::visit(
                [&](auto* c) {
                    using T = std::remove_pointer_t<decltype(c)>;
                    const QWidget* widget = Window->WidgetOf(c->Name());
                    ASSERT_NE(widget, nullptr) << c->Name();
                    SCOPED_TRACE(c->Name());
                    if constexpr (std::is_same_v<T, TEdit>) {
                        const auto* line = static_cast<const QLineEdit*>(widget);
                        EXPECT_EQ(line->text().toStdString(), c->Text());
                        EXPECT_EQ(line->isReadOnly(), c->ReadOnly());
                    } else if constexpr (std::is_same_v<T, TComboBox>) {
                        const auto* box = static_cast<const QComboBox*>(widget);
                        std::vector<std::string> items;
                        for (int i = 0; i < box->count(); ++i)
                            items.push_back(box->itemText(i).toStdString());
                        EXPECT_EQ(items, c->Items());
                        EXPECT_EQ(box->currentIndex(), c->ItemIndex());
                    } else if constexpr (std::is_same_v<T, TCheckBox>) {
                        const auto* box = static_cast<const QCheckBox*>(widget);
                        EXPECT_EQ(box->isChecked(), c->Checked());
                        EXPECT_EQ(box->text().toStdString(), c->Caption());
                    } else if constexpr (std::is_same_v<T, TTrackBar>) {
                        EXPECT_EQ(static_cast<const QSlider*>(widget)->value(), c->Position());
                    } else if constexpr (std::is_same_v<T, TLabel>) {
                        EXPECT_EQ(static_cast<const QLabel*>(widget)->text().toStdString(),
                                  c->Caption());
                    } else if constexpr (std::is_same_v<T, TMemo>) {
                        std::string text = c->Text();
                        if (text.size() >= 2) text.resize(text.size() - 2); // no last CR LF
                        EXPECT_EQ(
                            static_cast<const QPlainTextEdit*>(widget)->toPlainText().toStdString(),
                            Lf(text));
                    }
                    EXPECT_EQ(widget->isEnabled(), c->Enabled());
                    EXPECT_EQ(widget->isHidden(), !c->Visible());
                    EXPECT_EQ(PlainToolTip(*widget), Lf(c->Hint()));
                },
                any);
        }
    }

    TTempFolder Temp;
    std::unique_ptr<TTestQtPlatform> Platform;
    std::unique_ptr<TQtMainWindow> Window;
};

TEST_F(QtWindow, StartsWithEveryControlInPlace) {
    TQtMainWindow& w = Start();
    EXPECT_EQ(w.windowTitle().toStdString(), "Tarvex v1.0.0");
    EXPECT_EQ(w.size(), QSize(ClientWidth + TSidePanel::Width, ClientHeight));
    EXPECT_EQ(w.minimumSize(), w.size());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    ExpectMirrors();

    // One place per control, no place without its control.
    const std::vector<TPlace> places = ControlPlaces(w.Form());
    std::set<const TControl*> placed;
    for (const TAnyControl& any : w.Form().AllControls()) {
        const TControl& control = AsControl(any);
        const std::string& name = control.Name();
        placed.insert(&control);
        const TPlace* place = FindPlace(places, control);
        ASSERT_NE(place, nullptr) << name;
        const QWidget* widget = w.WidgetOf(name);
        EXPECT_EQ(widget->pos(), QPoint(place->Left, place->Top)) << name;
        if (place->Width > 0) {
            EXPECT_EQ(widget->size(), QSize(place->Width, place->Height)) << name;
        }
    }
    EXPECT_EQ(placed.size(), places.size());

    EXPECT_EQ(Get<QLabel>("StaticText2").palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(Get<QLabel>("StaticText4").palette().color(QPalette::WindowText), QColor(0, 0, 128));
    // Output fields are skipped by Tab.
    EXPECT_EQ(Get<QLineEdit>("CropXEdit").focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(Get<QLineEdit>("SrcPixelXEdit").focusPolicy(), Qt::StrongFocus);
    // The source size is typed on the button face of the output fields.
    const auto base = [&](std::string_view edit) {
        return Get<QLineEdit>(edit).palette().color(QPalette::Base);
    };
    EXPECT_EQ(base("SrcXEdit"), base("CropXEdit"));
    EXPECT_EQ(base("SrcYEdit"), base("CropXEdit"));
    EXPECT_NE(base("SrcPixelXEdit"), base("CropXEdit"));
    // Hints keep their lines and their angle brackets (every hint is compared by ExpectMirrors).
    ASSERT_NE(w.Form().CropModeBox.Hint().find("ratio. <default>\r\n"), std::string::npos);
    EXPECT_EQ(Get<QCheckBox>("ITUAspect").toolTipDuration(), 20000);
    EXPECT_EQ(Get<QPlainTextEdit>("AVSMemo").lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(Platform->Messages, std::vector<std::string>{});
    // Closing writes the position into the settings file.
    w.move(120, 80);
    w.close();
    const std::string ini = ReadFile(Temp.Path / "Tarvex.ini");
    EXPECT_NE(ini.find("WindowPosX=120\r\nWindowPosY=80\r\n"), std::string::npos) << ini;
}

TEST_F(QtWindow, TypingGoesThroughTheDigitFilter) {
    TQtMainWindow& w = Start();
    const std::vector<std::string> before = Snapshot(w.Form());
    QLineEdit& edit = Get<QLineEdit>("EditMin");
    QTest::mouseClick(&edit, Qt::LeftButton);
    for (const auto key : {Qt::Key_A, Qt::Key_Minus, Qt::Key_Period, Qt::Key_Space})
        QTest::keyClick(&edit, key);
    EXPECT_EQ(Snapshot(w.Form()), before);
    EXPECT_EQ(edit.text(), "50");

    // Digits land at the caret, Backspace and Delete work, a paste is typed key by key.
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClicks(&edit, "1x");
    EXPECT_EQ(edit.text(), "150");
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "10");
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QApplication::clipboard()->setText("2a5");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "125"); // at most 3 characters
    EXPECT_EQ(w.Form().EditMin.Text(), "125");
    EXPECT_EQ(w.Form().FilmSeconds, 125u * 60);
    EXPECT_EQ(edit.cursorPosition(), 3);

    // The source size: the film pixel fields follow the typed height.
    Type("SrcPixelYEdit", "4x80");
    EXPECT_EQ(Text("SrcPixelYEdit"), "480");
    EXPECT_EQ(w.Form().ResizeModel.SrcPixelY, 480);
    // Enter takes the seconds at once (125 s are 2 min 5 s); Tab leaves the field.
    Type("EditSec", "125", Qt::Key_Return);
    EXPECT_EQ(Text("EditMin") + ":" + Text("EditSec"), "2:5");
    Type("EditSec", "90");
    EXPECT_FALSE(w.Form().EditSec.Focused());
    ExpectMirrors();
}

TEST_F(QtWindow, SpinButtonsListsAndArrowKeys) {
    TQtMainWindow& w = Start();
    // Overscan blocks stop at 3; the destination follows each step.
    TQtUpDown& overscan = Get<TQtUpDown>("TVBorderUpDown");
    const std::string destY = w.Form().ResizeYEdit.Text();
    QTest::mouseClick(overscan.UpButton(), Qt::LeftButton);
    QTest::mouseClick(overscan.UpButton(), Qt::LeftButton);
    EXPECT_EQ(Text("TVBorderEdit"), "3");
    EXPECT_NE(Text("ResizeYEdit"), destY);

    // Seconds wrap from 0 to 59.
    QTest::mouseClick(Get<TQtUpDown>("SecUpDown").DownButton(), Qt::LeftButton);
    EXPECT_EQ(Text("EditSec"), "59");

    // Choosing another multiplexer: check boxes follow it (enabled states mirrored).
    QComboBox& mux = Get<QComboBox>("MuxModeBox");
    QTest::mouseClick(&mux, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    mux.setFocus();
    QTest::keyClick(&mux, Qt::Key_End);
    EXPECT_EQ(mux.currentText(), "DVD VOBs ffmpeg");
    EXPECT_EQ(w.Form().MuxModeBox.ItemIndex(), 8);
    EXPECT_EQ(w.Form().DiscImage.MuxMode, 8);
    ExpectMirrors();
}

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

/// The name of the control whose widget has the keyboard focus.
std::string FocusedName(TQtMainWindow& window) {
    for (const TAnyControl& any : window.Form().AllControls()) {
        const std::string name = std::visit([](auto* c) { return c->Name(); }, any);
        if (window.WidgetOf(name) == QApplication::focusWidget()) return name;
    }
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName().toStdString() : "(none)";
}

TEST_F(QtWindow, TabWalksEveryInputInReadingOrder) {
    TQtMainWindow& w = Start();
    // Panel by panel, row by row; output fields, spin buttons and the hidden
    // source rate and AC-3 box are not in it.
    const std::vector<std::string> chain = {
        "RateModeBox", "EditMin", "EditSec", "FpsCombo", "Videokbps", "EditGOP", "SceneDetect",
        "Audio1kbps", "Audio2kbps", "BurnSubsBox", "EditSubPics", "SubKBytes", "EditChapterMin",
        "Sound1Box", "Sound2Box", "MuxModeBox", "Edit1", "SeqAligning", "ScanOffsets",
        "AuthoringBox", "EditMenuPics", "EditExtraDataKB", "ExtraDataModeBox", "EditCDNr",
        "CDTypeBox", "EditCDmin", "EditCDsec",
        //
        "OpenVideoBtn", "PreviewBtn", "RecentBtn", "SrcXEdit", "SrcYEdit", "CopyBtn",
        "SrcAspectBox", "SrcPALBox", "SrcAnamorphic", "ITUAspect", "SrcPixelXEdit", "SrcPixelYEdit",
        "BorderLeftEdit", "BorderTopEdit", "DetectBtn", "CropModeBox", "RoundXCrop", "RoundYCrop",
        "ResizeYEdit", "RoundYResize", "DestAspectBox", "DestPALBox", "DestAnamorphic",
        "TVBorderEdit",
        //
        "ScriptViewBox", "AVSMemo", "ResizeBox", "SourceFilterBox", "InterlacedResBox",
        "OptPosSlider", "BffToTffBox", "RGBoutputBox", "ResampleAudioBox", "SaveAVSBtn",
        // the side column: the disc maker and the resize heights to choose from
        "MakeDiscBtn", "CandidateTable"};
    w.WidgetOf(chain.front())->setFocus();
    std::vector<std::string> forward, backward;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        forward.push_back(FocusedName(w));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(forward, chain);
    EXPECT_EQ(FocusedName(w), chain.front()); // the last input leads back to the first
    for (std::size_t i = 0; i < chain.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward.insert(backward.begin(), FocusedName(w));
    }
    EXPECT_EQ(backward, chain);
}

TEST_F(QtWindow, KeysPressButtonsStepFieldsAndEditTheScript) {
    TQtMainWindow& w = Start();
    // Enter on the arrow button takes the source frame as the film area.
    Type("SrcPixelYEdit", "400");
    Press("CopyBtn", Qt::Key_Return);
    EXPECT_EQ(Text("SrcPixelYEdit"), Text("SrcYEdit"));
    EXPECT_FALSE(Get<QPushButton>("CopyBtn").accessibleName().isEmpty());
    // Space on the source and save buttons opens their dialogs.
    Press("OpenVideoBtn", Qt::Key_Space);
    Press("SaveAVSBtn", Qt::Key_Enter);
    EXPECT_EQ(Platform->Dialogs.size(), 2u);

    // The arrow keys in a partner edit step its spin buttons: the video rate by one, and by ten
    // with the page keys.
    QLineEdit& rate = Get<QLineEdit>("Videokbps");
    rate.setFocus();
    const int before = rate.text().toInt();
    QTest::keyClick(&rate, Qt::Key_Up);
    EXPECT_EQ(rate.text().toInt(), before + 1);
    QTest::keyClick(&rate, Qt::Key_PageDown);
    EXPECT_EQ(rate.text().toInt(), before + 1 - 10);
    EXPECT_EQ(w.Form().DiscImage.VideoRate, static_cast<std::uint32_t>(before + 1 - 10) * 1000);
    // A slider moves with the arrow keys.
    QSlider& round = Get<QSlider>("RoundYResize");
    round.setFocus();
    const int position = round.value();
    QTest::keyClick(&round, position > 0 ? Qt::Key_Left : Qt::Key_Right);
    EXPECT_EQ(w.Form().RoundYResize.Position(), round.value());
    EXPECT_NE(round.value(), position);

    // The user's edit stays in the script box, its new line too; Ctrl+Tab types a tab, Tab
    // leaves the box.
    QPlainTextEdit& memo = Get<QPlainTextEdit>("AVSMemo");
    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClicks(&memo, "Sharpen(0.3)");
    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_EQ(w.Form().AVSMemo.Lines().back(), "#Trim(0,-1).FadeOut(150)\tSharpen(0.3)");
    EXPECT_TRUE(memo.toPlainText().endsWith("Sharpen(0.3)\n"));
    QTest::keyClick(&memo, Qt::Key_Tab);
    EXPECT_EQ(FocusedName(w), "ResizeBox");
    // A mouse click on a check box reaches the form; any change of the geometry writes the
    // script anew.
    const bool itu = w.Form().ITUAspect.Checked();
    Click("ITUAspect");
    EXPECT_NE(w.Form().ITUAspect.Checked(), itu);
    EXPECT_EQ(memo.toPlainText().toStdString().find("Sharpen"), std::string::npos);
    ExpectMirrors();
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

TEST_F(QtWindow, RefreshFollowsChangesMadeBehindTheWidgetsBack) {
    TQtMainWindow& w = Start();
    // Each round changes geometry, captions and script; the second refresh has nothing to do.
    for (int i = 0; i < 3; ++i) {
        w.Form().SrcAnamorphic.Click();
        w.Refresh();
        w.Refresh();
    }
    ExpectMirrors();
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
