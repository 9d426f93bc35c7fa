// The real main window: one Qt widget per control of TMainForm. Every user input
// becomes the control's user action; after each action every widget is refreshed
// from its control with its signals blocked, so the widgets never talk back.
#pragma once

#include "app/Main.h"
#include "app/qt/PreviewWindow.h"
#include "app/qt/QtPlatform.h"

#include <QWidget>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QLineEdit;
class QStyle;

namespace tarvex::qt {

class TSidePanel;

class TQtMainWindow : public QWidget {
  public:
    /// Builds the widgets over a new TMainForm; Start() fills them.
    explicit TQtMainWindow(TQtPlatform& platform, QWidget* parent = nullptr);
    ~TQtMainWindow() override;

    /// Start-up of the form (settings, window position, first computation), then
    /// the widgets show the result. Call once, before the window is shown.
    void Start();
    /// Brings every widget in line with its control.
    void Refresh();

    TMainForm& Form() { return *FForm; }
    /// The widget of the named control, or nullptr.
    QWidget* WidgetOf(std::string_view name) const;
    template <class W>
    W* Widget(std::string_view name) const {
        return dynamic_cast<W*>(WidgetOf(name));
    }
    bool Dragging() const { return FDragging; }
    /// The preview window, opened (or raised) by the preview button.
    TQtPreviewWindow& OpenPreview();
    TQtPreviewWindow* Preview() const { return FPreview.get(); }
    /// The manual (F1), as plain text in a window of its own.
    void ShowManual();
    /// Makes a window no larger than the available area of this window's screen.
    void FitToScreen(QWidget& window) const;
    /// Opens a film named on the command line or dropped onto the window.
    void OpenFilm(const QString& file);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    /// The script box and the side column take what the window grows by.
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct TBinding {
        TAnyControl Control;
        QWidget* Widget = nullptr;
        std::string ShownHint;   ///< the hint the tooltip was made from
        std::string ShownText;   ///< memo: the text last shown or taken from the user
        bool SizedByText = true; ///< the widget takes the size its text needs (labels)
    };

    void CreateWidgets();
    QWidget* CreateWidget(TBinding& binding);
    void ConnectDisplayChanges();
    void RefreshOne(TBinding& binding);

    /// Runs one user action: the focused edit's selection goes to its control
    /// first, so that typing lands where the user sees the caret; afterwards
    /// every widget is refreshed.
    template <class F>
    void Act(F&& action) {
        PullFocusedSelection();
        action();
        Refresh();
    }
    void PullFocusedSelection();
    bool EditKeyPress(TEdit& edit, QLineEdit& line, QKeyEvent& event);
    /// The edits with spin buttons take the keyboard focus; other read-only ones do not.
    void SetEditFocusPolicies();
    /// Types text key by key into the edit at its selection.
    static void TypeText(TEdit& edit, const QString& text);

    std::unique_ptr<TMainForm> FForm;
    std::unique_ptr<QStyle> FListStyle; ///< outlives the lists that use it
    std::vector<TBinding> FBindings;
    std::unordered_map<const QObject*, TEdit*> FEditOf;
    std::unordered_map<const TEdit*, TUpDown*> FBuddyOf;     ///< stepped by the arrow keys
    std::unordered_map<const TEdit*, TUpDown*> FPageBuddyOf; ///< stepped by Page Up and Down
    QObject* FMemoWidget = nullptr;
    bool FDragging = false;
    TPoint FGrabOffset;
    bool FStarted = false;
    bool FClosed = false;
    bool FScreenWatched = false;
    TSidePanel* FSidePanel = nullptr;    ///< disc fill, warnings and resize candidates
    std::vector<const QWidget*> FWarned; ///< the widgets of the controls warnings concern
    std::unique_ptr<TQtPreviewWindow> FPreview;
};

} // namespace tarvex::qt
