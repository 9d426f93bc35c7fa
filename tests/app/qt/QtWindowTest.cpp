// The real window driven through Qt events: every input goes through the widgets
// and the widgets must show what the controls hold afterwards.
#include "tests/app/qt/QtWindowFixture.h"

using namespace tarvex;
using namespace tarvex::qt;
using namespace tarvex::testkit;

namespace {

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

} // namespace
