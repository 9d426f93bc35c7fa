// The real window under Qt's offscreen platform, with dialogs answered from a queue,
// and the helpers its tests share.
#pragma once

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

namespace tarvex::testkit {

using namespace tarvex::qt;

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

inline std::string PlainToolTip(const QWidget& widget) {
    QTextDocument document;
    document.setHtml(widget.toolTip());
    return document.toPlainText().toStdString();
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Lf(std::string text) {
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

} // namespace tarvex::testkit
